#pragma once

#include <QWidget>

#include <functional>

class QPushButton;
class QTreeWidget;
class TDAODatabase;

// "借出记录": the discs that are out, the overdue ones first and marked, and
// the loans that ended. A disc out can be given back from here.
class TLoansForm : public QWidget
{
    Q_OBJECT

public:
    TLoansForm(TDAODatabase &db, QWidget *parent = nullptr);

    // Reads both lists again.
    void Reload();

    // Called after a disc was given back here, for the windows that show it.
    std::function<void()> LoansChanged;

    QTreeWidget *lvOut;
    QTreeWidget *lvReturned;
    QPushButton *btnReturn;

private:
    void btnReturnClick();

    TDAODatabase &m_db;
};

TLoansForm *ShowLoans(TDAODatabase &db, QWidget *parent);
