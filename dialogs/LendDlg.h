#pragma once

#include "dialogs/EnterForm.h"

#include <QDate>

class QDateEdit;
class QLabel;
class QPushButton;
class TDAODatabase;
class TGbkLineEdit;

// "借出光盘": to whom a disc goes, the day it goes and the day it is due
// back. OK writes the loan; a loan the catalog refuses is reported and the
// dialog stays open.
class TLendDlg : public TEnterFm
{
    Q_OBJECT

public:
    TLendDlg(TDAODatabase &db, int cdId, const QString &discName, QWidget *parent = nullptr);

    QLabel *lbDisc;
    TGbkLineEdit *edBorrower;
    QDateEdit *edLent, *edDue;
    QPushButton *btnOk, *btnCancel;

private:
    void btnOkClick();

    TDAODatabase &m_db;
    int m_cdId;
};

// Lends the disc through the dialog; true when a loan was written.
bool LendDisc(TDAODatabase &db, int cdId, const QString &discName, QWidget *parent);

// Asks whether the disc came back and, when it did, ends its loan today;
// true when a loan was ended. Nothing happens for a disc that is not out.
bool ReturnDisc(TDAODatabase &db, int cdId, const QString &discName);
