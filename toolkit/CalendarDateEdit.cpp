#include "toolkit/CalendarDateEdit.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

// What the box shows while it holds no date.
const QString NoDateText = QStringLiteral("无日期");

} // namespace

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

void TCalendarDateEdit::SetNoDateAllowed(bool allowed)
{
    if (allowed == (m_check != nullptr))
        return;
    if (!allowed) {
        ShowDay(true);
        delete m_check;
        m_check = nullptr;
        setSpecialValueText(QString());
        lineEdit()->setTextMargins(0, 0, 0, 0);
        return;
    }
    // No date is the box at its smallest date, which no disc has, shown as
    // the special text.
    setSpecialValueText(NoDateText);
    m_check = new QCheckBox(this);
    m_check->setObjectName(QStringLiteral("DateCheck"));
    m_check->setFocusPolicy(Qt::NoFocus);
    m_check->setCursor(Qt::ArrowCursor);
    m_check->setToolTip(QStringLiteral("不勾选：这张光盘没有日期"));
    m_check->setChecked(true);
    lineEdit()->setTextMargins(m_check->sizeHint().width() + 5, 0, 0, 0);
    connect(m_check, &QCheckBox::toggled, this, &TCalendarDateEdit::ShowDay);
    PlaceCheck();
    m_check->show();
}

bool TCalendarDateEdit::HasDay() const
{
    return !m_check || m_check->isChecked();
}

std::optional<QDate> TCalendarDateEdit::Day() const
{
    if (!HasDay())
        return std::nullopt;
    return date();
}

void TCalendarDateEdit::SetDay(const std::optional<QDate> &day)
{
    if (day && day->isValid()) {
        m_kept = *day;
        if (m_check && !m_check->isChecked())
            m_check->setChecked(true); // shows m_kept
        else
            setDate(*day);
    } else if (m_check) {
        m_check->setChecked(false);
        m_kept = QDate(); // ticked again, the box starts from today
    }
}

void TCalendarDateEdit::ShowDay(bool has)
{
    if (!m_check)
        return;
    const QSignalBlocker quiet(m_check);
    m_check->setChecked(has);
    if (has) {
        setReadOnly(false);
        setDate(m_kept.isValid() && m_kept > minimumDate() ? m_kept : QDate::currentDate());
    } else {
        if (date() > minimumDate())
            m_kept = date();
        setDate(minimumDate());
        setReadOnly(true);
    }
}

void TCalendarDateEdit::PlaceCheck()
{
    if (!m_check)
        return;
    const QRect field = lineEdit()->geometry();
    const QSize size = m_check->sizeHint();
    m_check->setGeometry(field.left() + 2, field.top() + (field.height() - size.height()) / 2, size.width(),
                         size.height());
    m_check->raise();
}

void TCalendarDateEdit::resizeEvent(QResizeEvent *event)
{
    QDateEdit::resizeEvent(event);
    PlaceCheck();
}

void TCalendarDateEdit::mousePressEvent(QMouseEvent *event)
{
    // A box without a date opens nothing: its check box gives it one.
    if (!HasDay()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    // Whichever button and part of the box: the box itself decides whether
    // the press opens the calendar, and then it is there with its settings.
    if (calendarPopup())
        Calendar();
    QDateEdit::mousePressEvent(event);
}

bool TCalendarDateEdit::focusNextPrevChild(bool next)
{
    // Without a date there are no sections to step through: Tab leaves,
    // past the date box's own stepping on purpose.
    if (!HasDay())
        return QWidget::focusNextPrevChild(next); // NOLINT(bugprone-parent-virtual-call)
    return QDateEdit::focusNextPrevChild(next);
}

void TCalendarDateEdit::keyPressEvent(QKeyEvent *event)
{
    if (m_check && event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        m_check->toggle();
        event->accept();
        return;
    }
    QDateEdit::keyPressEvent(event);
}
