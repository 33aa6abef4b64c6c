#include "dialogs/LendDlg.h"

#include "store/catalog/LoanStore.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/GbkLineEdit.h"
#include "toolkit/MessageBoxes.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Lent for a month unless the user says otherwise.
constexpr int UsualLoanDays = 30;

QDateEdit *NewDateEdit(const char *name, const QDate &date, QWidget *parent)
{
    auto *edit = new QDateEdit(date, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setDisplayFormat(QLatin1String(DateUtils::DateFormat));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

TLendDlg::TLendDlg(TDAODatabase &db, int cdId, const QString &discName, QWidget *parent)
    : TEnterFm(parent)
    , m_db(db)
    , m_cdId(cdId)
{
    setObjectName(QStringLiteral("LendDlg"));
    setWindowTitle(QStringLiteral("借出光盘"));
    const QDate today = DateUtils::ToDate(DateUtils::Today());

    edBorrower = new TGbkLineEdit(LoanStore::BorrowerWidth, this);
    edBorrower->setObjectName(QStringLiteral("edBorrower"));
    edBorrower->SetMinimumCharacters(14);
    edLent = NewDateEdit("edLent", today, this);
    edDue = NewDateEdit("edDue", today.addDays(UsualLoanDays), this);
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    lbDisc = new QLabel(QStringLiteral("光盘：%1").arg(discName), this);
    lbDisc->setObjectName(QStringLiteral("lbDisc"));
    lbDisc->setTextFormat(Qt::PlainText);

    auto *grid = new QGridLayout;
    auto addRow = [&](int row, const QString &caption, QWidget *control) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(control);
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(control, row, 1);
    };
    addRow(0, QStringLiteral("借给*："), edBorrower);
    addRow(1, QStringLiteral("借出日期："), edLent);
    addRow(2, QStringLiteral("应还日期："), edDue);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbDisc);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    // A due date before the lending date is never offered.
    connect(edLent, &QDateEdit::dateChanged, this, [this](const QDate &lent) {
        if (edDue->date() < lent)
            edDue->setDate(lent.addDays(UsualLoanDays));
    });
    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    edBorrower->setFocus();
}

void TLendDlg::btnOkClick()
{
    try {
        LoanStore::Lend(m_db, m_cdId, edBorrower->text(), edLent->date(), edDue->date());
    } catch (const EDAOError &) {
        throw; // the engine's own errors go to the command guard
    } catch (const EAppError &refused) {
        Msg::Warning(QStringLiteral("光盘没有借出：%1").arg(refused.Message()));
        edBorrower->setFocus();
        return;
    }
    accept();
}

bool LendDisc(TDAODatabase &db, int cdId, const QString &discName, QWidget *parent)
{
    TLendDlg dlg(db, cdId, discName, parent);
    return dlg.exec() == QDialog::Accepted;
}

bool ReturnDisc(TDAODatabase &db, int cdId, const QString &discName)
{
    const auto loan = LoanStore::CurrentLoan(db, cdId);
    if (!loan)
        return false;
    if (!Msg::Confirm(QStringLiteral("[%1]已经由“%2”归还了吗？").arg(discName, loan->Borrower)))
        return false;
    LoanStore::Return(db, cdId, DateUtils::ToDate(DateUtils::Today()));
    return true;
}
