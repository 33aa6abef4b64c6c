#pragma once

#include "dialogs/EnterForm.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// Opens a catalog of the catalog folder, or creates a new one there as a
// copy of the empty template.
class TOpenDbFm : public TEnterFm
{
    Q_OBJECT

public:
    // Lists the catalogs of appFolder's catalog folder and selects the first.
    explicit TOpenDbFm(const QString &appFolder, QWidget *parent = nullptr);

    QRadioButton *rdNew;
    QLineEdit *edDbName;
    QRadioButton *rdOpen;
    QLabel *lbdir;
    QListWidget *lisboxDb;
    QPushButton *btnOpen;
    QPushButton *btnCancel;

    QString CatalogFolder() const { return m_folder; }
    // The file name of the confirmed choice; empty until one is confirmed.
    QString FileName() const { return m_fileName; }

    // New: checks the typed name and creates the catalog from the template.
    // Open: takes the selected catalog. Closes the dialog as confirmed when
    // it has a file; otherwise it stays open.
    void btnOpenClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FillList();
    void rdNewClick();
    void rdOpenClick();

    QString m_folder;
    QString m_fileName;
};

// Shows the open/new dialog for the catalogs of appFolder's "Data" folder.
// When the user confirms, path becomes the chosen catalog's full path and
// the result is true; otherwise false and path is left as it was.
bool ChooseCatalog(const QString &appFolder, QString &path, QWidget *parent = nullptr);
