#pragma once

#include "media/CsvReader.h"
#include "store/catalog/ImportPlan.h"
#include "store/catalog/ImportStore.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TDAODatabase;
class TProblemLines;

// Importing discs from a comma, tab or semicolon separated file: the
// dialog shows how the file reads, which column fills which field, the
// first rows as they will be stored and the rows with problems, then writes
// the discs in one go, on the worker with a connection of its own.
class TImportDlg : public QDialog
{
    Q_OBJECT

public:
    TImportDlg(const QString &path, const QByteArray &bytes, TDAODatabase &db, int currentFolder,
               const QString &pictureFolder, QWidget *parent = nullptr);

    QComboBox *cbEncoding, *cbSeparator, *cbFolder;
    QCheckBox *chkHeader;
    QList<QComboBox *> cbFields;  // per disc field: the column, index 0 for none
    QList<QComboBox *> cbChoices; // per kind of problem
    QTableWidget *gridPreview;
    QLabel *lbProblems;     // how many rows have problems
    QListView *lstProblems; // every problem of the file and its rows, one line each
    QPushButton *btnImport;

    // After the dialog was accepted: what the import did, and the folder the
    // discs went to.
    const ImportStore::TReport &Report() const { return m_report; }
    int TargetFolder() const;
    // The rows as they stand now.
    const QList<ImportPlan::TRow> &Rows() const { return m_rows; }

    void Reread();
    void Replan();
    void btnImportClick();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    ImportPlan::TSettings Settings() const;
    void FillProblems(int skipped, int withProblems);

    QString m_path;
    QByteArray m_bytes;
    TDAODatabase &m_db;
    QString m_pictureFolder;
    QList<CsvReader::TRecord> m_records;
    qsizetype m_columns = 0; // the columns of the file's widest record, mapped or not
    QList<ImportPlan::TRow> m_rows;
    ImportPlan::TWidths m_widths;
    QSet<QString> m_codes;
    QString m_firstQuality; // what rows without a grade get
    ImportStore::TReport m_report;
    bool m_reading = false;
    TProblemLines *m_problemLines = nullptr;
};

// The report of an import, which the user can save as a text file.
class TImportReportDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TImportReportDlg(const QString &text, QWidget *parent = nullptr);
    QPlainTextEdit *edReport;
    QPushButton *btnSave;
    // The file to save to; empty when the user declined.
    std::function<QString()> ChooseFileHook;
    void btnSaveClick();
};

// The whole command: the file chooser (chooseFile gives the path, empty when
// declined), the import dialog and the report. The folder the discs went to,
// 0 when nothing was imported.
int RunImport(QWidget *parent, const std::function<QString()> &chooseFile, TDAODatabase &db, int currentFolder,
              const QString &pictureFolder);
