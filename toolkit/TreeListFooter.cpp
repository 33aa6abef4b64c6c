#include "toolkit/TreeListFooter.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTreeView>

TTreeList::Footer::Footer(TTreeList *owner)
    : QWidget(owner)
    , m_owner(owner)
{
    setObjectName(QStringLiteral("TreeFooter"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedHeight(fontMetrics().height() + 6);
}

void TTreeList::Footer::paintEvent(QPaintEvent *)
{
    // The background as the skin paints it, if any.
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
    painter.setPen(palette().color(QPalette::WindowText));
    const QHeaderView *header = m_owner->View()->header();
    const int offset = m_owner->View()->viewport()->geometry().left();
    for (int c = 0; c < m_owner->m_columns.size(); ++c) {
        const TTreeColumn &column = m_owner->m_columns[c];
        if (column.FooterFormat.isEmpty() || header->isSectionHidden(c))
            continue;
        const QRect cell(offset + header->sectionViewportPosition(c) + 3, 1, header->sectionSize(c) - 6, height() - 1);
        painter.drawText(cell, int(column.Alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter,
                         m_owner->FooterText(column.FieldName));
    }
}
