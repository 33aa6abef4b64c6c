#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTreeView;
class TDAODatabase;
class TDiscContentsModel;

// The page "光盘内容": the summary of a disc's last scan, its folders and
// files as a tree, and the commands to scan it again or clear it. A disc
// not yet saved (Id 0) can be scanned once it is.
class TDiscContentsPage : public QWidget
{
    Q_OBJECT

public:
    TDiscContentsPage(TDAODatabase &db, qint64 discId, QWidget *parent = nullptr);

    QLabel *lbSummary;
    QTreeView *tvContents;
    QPushButton *btnScan, *btnClear;
    TDiscContentsModel *Model() const { return m_model; }

    void btnScanClick();
    void btnClearClick();
    // Shows the stored contents again.
    void Refresh();

    // The summary of a disc's scan in one line, empty for a disc not scanned.
    static QString SummaryText(TDAODatabase &db, qint64 discId);

private:
    TDAODatabase &m_db;
    qint64 m_discId;
    TDiscContentsModel *m_model = nullptr;
};
