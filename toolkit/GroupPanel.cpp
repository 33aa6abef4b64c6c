#include "toolkit/GroupPanel.h"

#include "toolkit/GridColumnDrag.h"
#include "toolkit/GridTexts.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

TGroupPanel::TGroupPanel(QWidget *owner, QWidget *parent)
    : QFrame(parent)
    , m_owner(owner)
{
    setObjectName(QStringLiteral("GroupPanel"));
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Mid);
    setAcceptDrops(true);

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("GroupPanelText"));
    // Said outright: left alone, a label over a dark background takes the
    // light role, which a skin's text colour does not change.
    m_hint->setForegroundRole(QPalette::WindowText);

    m_chip = new QLabel(this);
    m_chip->setObjectName(QStringLiteral("GroupChip"));
    m_chip->setFrameShape(QFrame::Panel);
    m_chip->setFrameShadow(QFrame::Raised);
    m_chip->setAutoFillBackground(true);
    m_chip->setBackgroundRole(QPalette::Button);
    m_chip->setForegroundRole(QPalette::ButtonText);
    m_chip->setMargin(3);
    m_chip->setCursor(Qt::OpenHandCursor);
    m_chip->installEventFilter(this);
    m_chip->hide();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 5, 8, 5);
    layout->addWidget(m_hint);
    layout->addWidget(m_chip);
    layout->addStretch(1);
    setMinimumHeight(fontMetrics().height() + 18);
    SetGrouped({}, {});
}

void TGroupPanel::SetGrouped(const QString &fieldName, const QString &caption)
{
    m_field = fieldName;
    m_hint->setText(GridTexts::GroupPanelText());
    m_hint->setVisible(fieldName.isEmpty());
    m_chip->setText(caption.isEmpty() ? fieldName : caption);
    m_chip->setVisible(!fieldName.isEmpty());
}

QString TGroupPanel::HintText() const
{
    return m_hint->isVisibleTo(this) ? m_hint->text() : QString();
}

QString TGroupPanel::ChipText() const
{
    return m_chip->isVisibleTo(this) ? m_chip->text() : QString();
}

void TGroupPanel::showEvent(QShowEvent *event)
{
    // The hint may have been set after the grid was made.
    m_hint->setText(GridTexts::GroupPanelText());
    QFrame::showEvent(event);
}

bool TGroupPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_chip)
        return QFrame::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        m_chipPressed = mouse->button() == Qt::LeftButton;
        m_pressPos = mouse->position().toPoint();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_chipPressed &&
            (mouse->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            m_chipPressed = false;
            DragChip();
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_chipPressed = false;
        return true;
    default:
        return QFrame::eventFilter(watched, event);
    }
}

void TGroupPanel::DragChip()
{
    auto *drag = new QDrag(m_chip);
    drag->setMimeData(GridColumnDrag::Make(m_field));
    drag->setPixmap(m_chip->grab());
    drag->setHotSpot(m_pressPos);
    m_chipCameBack = false;
    drag->exec(Qt::MoveAction);
    if (!m_chipCameBack)
        emit ungroupRequested();
}

void TGroupPanel::dragEnterEvent(QDragEnterEvent *event)
{
    GridColumnDrag::AcceptColumn(event, m_owner);
}

void TGroupPanel::dragMoveEvent(QDragMoveEvent *event)
{
    GridColumnDrag::AcceptColumn(event, m_owner);
}

void TGroupPanel::dropEvent(QDropEvent *event)
{
    const QString field = GridColumnDrag::AcceptColumn(event, m_owner);
    if (field.isEmpty())
        return;
    if (event->source() == m_chip)
        m_chipCameBack = true;
    else
        emit groupRequested(field);
}
