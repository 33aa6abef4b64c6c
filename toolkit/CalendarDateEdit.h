#pragma once

#include <QDate>
#include <QDateEdit>

#include <functional>
#include <optional>

class QCalendarWidget;
class QCheckBox;

// A date box whose calendar pops up from its drop-down button. The calendar
// is made, and given its settings by the function passed in, when the user
// first presses the box: a dialog with a date box opens without building a
// month's grid that may never be shown.
//
// Ask Calendar() for the calendar: QDateEdit::calendarWidget() makes one
// without these settings when none has been made yet.
//
// With SetNoDateAllowed the box can also hold no date: a check box inside
// its left edge says whether it has one. Unticked, the box shows "无日期"
// and cannot be edited; ticking it (a click, or Space in the box) brings
// back the date it had, or today's.
class TCalendarDateEdit : public QDateEdit
{
    Q_OBJECT

public:
    using TSetUp = std::function<void(QCalendarWidget *calendar)>;

    explicit TCalendarDateEdit(TSetUp setUp, QWidget *parent = nullptr);

    // The calendar that pops up, made now if it was not yet.
    QCalendarWidget *Calendar();

    void SetNoDateAllowed(bool allowed);
    // The check box inside the box; null until no date is allowed.
    QCheckBox *DateCheck() const { return m_check; }
    // The date, or none while the check box is unticked.
    std::optional<QDate> Day() const;
    // Shows the date, or no date (only when no date is allowed).
    void SetDay(const std::optional<QDate> &day);
    bool HasDay() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void ShowDay(bool has);
    void PlaceCheck();

    TSetUp m_setUp;
    bool m_made = false;
    QCheckBox *m_check = nullptr;
    QDate m_kept; // the date shown again when the box is ticked
};
