#include "CalendarDateEdit.h"

#include <QCalendarWidget>

TCalendarDateEdit::TCalendarDateEdit(TSetUp setUp, QWidget *parent)
    : QDateEdit(parent)
    , m_setUp(std::move(setUp))
{
    setCalendarPopup(true);
}

QCalendarWidget *TCalendarDateEdit::Calendar()
{
    if (!m_made) {
        m_made = true;
        auto *calendar = new QCalendarWidget(this);
        if (m_setUp)
            m_setUp(calendar);
        setCalendarWidget(calendar);
    }
    return calendarWidget();
}

void TCalendarDateEdit::mousePressEvent(QMouseEvent *event)
{
    // Whichever button and part of the box: the box itself decides whether
    // the press opens the calendar, and then it is there with its settings.
    if (calendarPopup())
        Calendar();
    QDateEdit::mousePressEvent(event);
}
