#include "dialogs/CheckDateEdit.h"

#include "store/engine/DateUtils.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

TCheckDateEdit::TCheckDateEdit(QWidget *parent)
    : QWidget(parent)
{
    Check = new QCheckBox(this);
    Edit = new QDateEdit(this);
    Edit->setDisplayFormat(QLatin1String(DateUtils::DateFormat));
    Edit->setCalendarPopup(true);
    auto *calendar = new QCalendarWidget(Edit);
    calendar->setFirstDayOfWeek(Qt::Sunday);
    calendar->setGridVisible(true);
    Edit->setCalendarWidget(calendar);
    Edit->setEnabled(false);
    Edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(Check);
    layout->addWidget(Edit, 1);
    setFocusProxy(Check);

    connect(Check, &QCheckBox::toggled, Edit, &QWidget::setEnabled);
}

bool TCheckDateEdit::Checked() const
{
    return Check->isChecked();
}

void TCheckDateEdit::SetChecked(bool checked)
{
    Check->setChecked(checked);
}

QDate TCheckDateEdit::Date() const
{
    return Edit->date();
}

void TCheckDateEdit::SetDate(const QDate &date)
{
    Edit->setDate(date);
}

std::optional<QDate> TCheckDateEdit::CheckedDate() const
{
    if (!Checked())
        return std::nullopt;
    return Date();
}
