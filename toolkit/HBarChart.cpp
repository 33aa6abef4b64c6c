#include "toolkit/HBarChart.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int Margin = 8;
constexpr int Gap = 6; // between a name and its bar, a bar and its value

// The name column grows with the longest name up to this share of the width.
constexpr double MostLabelShare = 0.45;

const QColor MutedColor(0xA8, 0xA8, 0xA8);

QFont TitleFont(const QFont &base)
{
    QFont font = base;
    font.setBold(true);
    return font;
}

} // namespace

THBarChart::THBarChart(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void THBarChart::SetTitle(const QString &title)
{
    m_title = title;
    updateGeometry();
    update();
}

void THBarChart::SetColor(const QColor &color)
{
    m_color = color;
    update();
}

void THBarChart::SetBars(const QList<TBar> &bars)
{
    m_bars = bars;
    updateGeometry();
    update();
}

int THBarChart::TitleHeight() const
{
    return m_title.isEmpty() ? 0 : QFontMetrics(TitleFont(font())).height() + Margin;
}

THBarChart::TGeometry THBarChart::Geometry() const
{
    const QFontMetrics fm(font());
    TGeometry g;
    g.Title = QRect(Margin, Margin, width() - 2 * Margin, TitleHeight());
    g.Top = Margin + g.Title.height();

    int labels = 0, values = 0;
    for (const TBar &bar : m_bars) {
        labels = std::max(labels, fm.horizontalAdvance(bar.Label));
        values = std::max(values, fm.horizontalAdvance(bar.ValueText));
    }
    g.LabelLeft = Margin;
    g.LabelWidth = std::min(labels, int(width() * MostLabelShare));
    g.BarLeft = g.LabelLeft + g.LabelWidth + Gap;
    g.BarWidth = std::max(10, width() - Margin - values - Gap - g.BarLeft);

    const int rows = std::max<qsizetype>(1, m_bars.size());
    const int fits = (height() - g.Top - Margin) / rows;
    g.RowHeight = std::clamp(fits, fm.height() + 4, 2 * fm.height() + 4);
    return g;
}

int THBarChart::BarAt(const QPoint &pos) const
{
    for (int i = 0; i < m_bars.size(); ++i) {
        if (RowRect(i).contains(pos))
            return i;
    }
    return -1;
}

QRect THBarChart::RowRect(int index) const
{
    const TGeometry g = Geometry();
    return QRect(Margin, g.Top + index * g.RowHeight, width() - 2 * Margin, g.RowHeight);
}

QString THBarChart::LabelShown(int index) const
{
    return QFontMetrics(font()).elidedText(m_bars.value(index).Label, Qt::ElideRight, Geometry().LabelWidth);
}

QSize THBarChart::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(440, Margin + TitleHeight() + int(m_bars.size()) * (fm.height() + 8) + Margin);
}

QSize THBarChart::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(240, Margin + TitleHeight() + int(m_bars.size()) * (fm.height() + 4) + Margin);
}

bool THBarChart::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto *help = static_cast<QHelpEvent *>(event);
    const int index = BarAt(help->pos());
    if (index < 0 || m_bars.at(index).ToolTip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), m_bars.at(index).ToolTip, this, RowRect(index));
    }
    return true;
}

void THBarChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    const TGeometry g = Geometry();

    if (!m_title.isEmpty()) {
        painter.setFont(TitleFont(font()));
        painter.setPen(QColor(0x30, 0x30, 0x30));
        painter.drawText(g.Title, Qt::AlignHCenter | Qt::AlignTop, m_title);
        painter.setFont(font());
    }

    double most = 0;
    for (const TBar &bar : m_bars)
        most = std::max(most, bar.Value);
    if (most <= 0)
        most = 1;

    const int thickness = std::max(4, g.RowHeight * 7 / 10);
    for (int i = 0; i < m_bars.size(); ++i) {
        const TBar &bar = m_bars.at(i);
        const int top = g.Top + i * g.RowHeight;
        const QRect label(g.LabelLeft, top, g.LabelWidth, g.RowHeight);
        painter.setPen(QColor(0x30, 0x30, 0x30));
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, LabelShown(i));

        const int length = bar.Value > 0 ? std::max(1, int(g.BarWidth * bar.Value / most)) : 0;
        const QRect shape(g.BarLeft, top + (g.RowHeight - thickness) / 2, length, thickness);
        painter.fillRect(shape, bar.Muted ? MutedColor : m_color);
        painter.drawText(QRect(g.BarLeft + length + Gap, top, width() - g.BarLeft - length - Gap, g.RowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, bar.ValueText);
    }
    painter.setPen(QColor(0x90, 0x90, 0x90));
    painter.drawLine(g.BarLeft, g.Top, g.BarLeft, g.Top + int(m_bars.size()) * g.RowHeight);
}
