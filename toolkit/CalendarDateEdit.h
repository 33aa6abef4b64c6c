#pragma once

#include <QDateEdit>

#include <functional>

class QCalendarWidget;

// A date box whose calendar pops up from its drop-down button. The calendar
// is made, and given its settings by the function passed in, when the user
// first presses the box: a dialog with a date box opens without building a
// month's grid that may never be shown.
//
// Ask Calendar() for the calendar: QDateEdit::calendarWidget() makes one
// without these settings when none has been made yet.
class TCalendarDateEdit : public QDateEdit
{
    Q_OBJECT

public:
    using TSetUp = std::function<void(QCalendarWidget *calendar)>;

    explicit TCalendarDateEdit(TSetUp setUp, QWidget *parent = nullptr);

    // The calendar that pops up, made now if it was not yet.
    QCalendarWidget *Calendar();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    TSetUp m_setUp;
    bool m_made = false;
};
