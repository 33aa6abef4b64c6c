#include "toolkit/SizingSplitter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>

namespace {
constexpr int BarWidth = 7;
constexpr int HotSpotLength = 48;
} // namespace

TSizingSplitter::TSizingSplitter(Qt::Orientation orientation, int pane, QWidget *parent)
    : QSplitter(orientation, parent)
    , m_pane(pane)
{
    setHandleWidth(BarWidth);
    setChildrenCollapsible(true);
}

QSplitterHandle *TSizingSplitter::createHandle()
{
    return new TSizingBar(orientation(), this);
}

bool TSizingSplitter::PaneCollapsed() const
{
    const QList<int> s = sizes();
    return s.size() > m_pane && s[m_pane] == 0;
}

void TSizingSplitter::TogglePane()
{
    QList<int> s = sizes();
    if (s.size() < 2)
        return;
    const int other = 1 - m_pane;
    const int total = s[0] + s[1];
    if (s[m_pane] == 0) {
        const int restore = m_restoreSize > 0 ? m_restoreSize : total / 3;
        s[m_pane] = qMin(restore, total);
        s[other] = total - s[m_pane];
    } else {
        m_restoreSize = s[m_pane];
        s[m_pane] = 0;
        s[other] = total;
    }
    setSizes(s);
}

TSizingBar::TSizingBar(Qt::Orientation orientation, TSizingSplitter *parent)
    : QSplitterHandle(orientation, parent)
{
    setMouseTracking(true);
}

QRect TSizingBar::HotSpot() const
{
    if (orientation() == Qt::Horizontal)
        return QRect(0, (height() - HotSpotLength) / 2, width(), HotSpotLength);
    return QRect((width() - HotSpotLength) / 2, 0, HotSpotLength, height());
}

void TSizingBar::paintEvent(QPaintEvent *)
{
    // The bar's background comes from the style sheet of the skin, if any.
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &p, this);
    const QRect spot = HotSpot();
    p.fillRect(spot, palette().color(QPalette::Button));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(spot.adjusted(0, 0, -1, -1));

    // An arrow that points where a click sends the pane.
    auto *splitter = static_cast<TSizingSplitter *>(this->splitter());
    const bool collapsed = splitter->PaneCollapsed();
    const bool towardsPane = !collapsed; // collapsing moves the bar towards the pane
    const bool pointsBack = (splitter->CollapsiblePane() == 0) == towardsPane;
    QPainterPath arrow;
    const QPointF c = spot.center() + QPointF(0.5, 0.5);
    if (orientation() == Qt::Horizontal) {
        const qreal d = pointsBack ? -2 : 2;
        arrow.moveTo(c.x() - d, c.y() - 4);
        arrow.lineTo(c.x() + d, c.y());
        arrow.lineTo(c.x() - d, c.y() + 4);
    } else {
        const qreal d = pointsBack ? -2 : 2;
        arrow.moveTo(c.x() - 4, c.y() - d);
        arrow.lineTo(c.x(), c.y() + d);
        arrow.lineTo(c.x() + 4, c.y() - d);
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1.5));
    p.drawPath(arrow);
}

void TSizingBar::mousePressEvent(QMouseEvent *event)
{
    m_pressedOnHotSpot = event->button() == Qt::LeftButton && HotSpot().contains(event->position().toPoint());
    if (!m_pressedOnHotSpot)
        QSplitterHandle::mousePressEvent(event);
}

void TSizingBar::mouseMoveEvent(QMouseEvent *event)
{
    setCursor(HotSpot().contains(event->position().toPoint())
                  ? Qt::PointingHandCursor
                  : (orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor));
    if (!m_pressedOnHotSpot)
        QSplitterHandle::mouseMoveEvent(event);
}

void TSizingBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressedOnHotSpot) {
        m_pressedOnHotSpot = false;
        if (HotSpot().contains(event->position().toPoint()))
            static_cast<TSizingSplitter *>(splitter())->TogglePane();
        update();
        return;
    }
    QSplitterHandle::mouseReleaseEvent(event);
}
