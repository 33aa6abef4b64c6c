#include "dialogs/LoansForm.h"

#include "dialogs/LendDlg.h"
#include "store/catalog/LoanStore.h"
#include "store/engine/DateUtils.h"
#include "toolkit/CommandGuard.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString DateText(const QDate &date)
{
    return date.isValid() ? DateUtils::FormatDate(date) : QString();
}

QTreeWidget *NewList(const char *name, const QStringList &captions, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    list->setHeaderLabels(captions);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(true);
    return list;
}

} // namespace

TLoansForm::TLoansForm(TDAODatabase &db, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_db(db)
{
    setObjectName(QStringLiteral("LoansForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("借出记录"));
    resize(760, 520);

    lvOut = NewList("lvOut",
                    {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("借给"), QStringLiteral("借出日期"),
                     QStringLiteral("应还日期"), QStringLiteral("状态")},
                    this);
    lvReturned = NewList("lvReturned",
                         {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("借给"),
                          QStringLiteral("借出日期"), QStringLiteral("应还日期"), QStringLiteral("归还日期")},
                         this);
    btnReturn = new QPushButton(QStringLiteral("归还"), this);
    btnReturn->setObjectName(QStringLiteral("btnReturn"));
    auto *btnClose = new QPushButton(QStringLiteral("关闭"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnReturn, &QPushButton::clicked, this, Guarded([this] { btnReturnClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lvOut, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { btnReturn->setEnabled(current != nullptr); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnReturn);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("借出中的光盘（逾期的在前）："), this));
    layout->addWidget(lvOut, 3);
    layout->addWidget(new QLabel(QStringLiteral("已归还："), this));
    layout->addWidget(lvReturned, 2);
    layout->addLayout(buttons);
    Reload();
}

void TLoansForm::Reload()
{
    const QDate today = DateUtils::ToDate(DateUtils::Today());
    lvOut->clear();
    for (const LoanStore::TLoan &loan : LoanStore::OpenLoans(m_db, today)) {
        QString state;
        if (loan.IsOverdue(today))
            state = QStringLiteral("已逾期 %1 天").arg(loan.Due.daysTo(today));
        auto *item = new QTreeWidgetItem(
            lvOut, {loan.CdCode, loan.CdName, loan.Borrower, DateText(loan.Lent), DateText(loan.Due), state});
        item->setData(0, Qt::UserRole, loan.CdId);
        if (loan.IsOverdue(today)) {
            for (int column = 0; column < item->columnCount(); ++column)
                item->setForeground(column, QColor(0xC0, 0x20, 0x20));
        }
    }
    lvReturned->clear();
    for (const LoanStore::TLoan &loan : LoanStore::ReturnedLoans(m_db))
        new QTreeWidgetItem(lvReturned, {loan.CdCode, loan.CdName, loan.Borrower, DateText(loan.Lent),
                                         DateText(loan.Due), DateText(loan.Returned)});
    btnReturn->setEnabled(lvOut->currentItem() != nullptr);
}

void TLoansForm::btnReturnClick()
{
    QTreeWidgetItem *item = lvOut->currentItem();
    if (!item)
        return;
    if (!ReturnDisc(m_db, item->data(0, Qt::UserRole).toInt(), item->text(1)))
        return;
    Reload();
    if (LoansChanged)
        LoansChanged();
}

TLoansForm *ShowLoans(TDAODatabase &db, QWidget *parent)
{
    auto *form = new TLoansForm(db, parent);
    form->show();
    return form;
}
