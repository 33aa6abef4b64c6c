#pragma once

#include "store/catalog/CatalogMerge.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class TDAODatabase;

// Merging another catalog into the open one: the dialog says what will be
// copied and where, lists the discs whose codes clash with one choice for
// all of them, then writes everything in one go, on the worker with a
// connection of its own.
class TMergeDlg : public QDialog
{
    Q_OBJECT

public:
    TMergeDlg(const CatalogMerge::TSource &source, TDAODatabase &db, QWidget *parent = nullptr);

    QLabel *lbSummary, *lbClashes;
    QComboBox *cbCodeClash; // hidden when no code clashes
    QPushButton *btnMerge;

    // Where the merged discs' covers are looked for; empty: not looked for.
    QString PictureFolder;

    // After the dialog was accepted: what the merge did.
    const CatalogMerge::TReport &Report() const { return m_report; }

    void btnMergeClick();

private:
    const CatalogMerge::TSource &m_source;
    TDAODatabase &m_db;
    CatalogMerge::TReport m_report;
};

// The whole command: the file chooser (chooseFile gives the path, empty when
// declined), refusing the open catalog itself (currentDb), the merge dialog
// and the report, which names the covers pictureFolder lacks. The new
// folder's Id, 0 when nothing was merged.
int RunMerge(QWidget *parent, const std::function<QString()> &chooseFile, TDAODatabase &db, const QString &currentDb,
             const QString &pictureFolder);
