#include "toolkit/GridFooter.h"

#include "store/engine/DAODataSource.h"
#include "store/engine/DAODataset.h"
#include "toolkit/GridFormat.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>
#include <limits>

namespace {

// A sum of ten-thousandths in the footer's decimals. Each price fits in 64
// bits, their sum need not: it is kept in 128 and written out exactly.
QString SumText(__int128 sum, int decimals)
{
    if (sum >= std::numeric_limits<qint64>::min() && sum <= std::numeric_limits<qint64>::max())
        return GridFormat::FixedScaled(qint64(sum), decimals);
    const bool negative = sum < 0;
    unsigned __int128 magnitude = negative ? 0 - static_cast<unsigned __int128>(sum) : sum;
    decimals = std::max(decimals, 0);
    int shown = 4; // decimals in magnitude
    if (decimals < 4) {
        unsigned __int128 divisor = 1;
        for (int i = decimals; i < 4; ++i)
            divisor *= 10;
        magnitude = (magnitude + divisor / 2) / divisor;
        shown = decimals;
    }
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    digits += QString(decimals - shown, u'0');
    if (decimals > 0)
        digits.insert(digits.size() - decimals, u'.');
    return negative ? u'-' + digits : digits;
}

} // namespace

TGridFooter::TGridFooter(QTreeView *view, QWidget *parent)
    : QWidget(parent)
    , m_view(view)
{
    setObjectName(QStringLiteral("Footer"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setFixedHeight(fontMetrics().height() + 8);
    QHeaderView *header = view->header();
    connect(header, &QHeaderView::sectionResized, this, &TGridFooter::Place);
    connect(header, &QHeaderView::sectionMoved, this, &TGridFooter::Place);
    connect(header, &QHeaderView::geometriesChanged, this, &TGridFooter::Place);
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &TGridFooter::Place);
    hide();
}

void TGridFooter::SetSource(TDAODataSource *source)
{
    for (const auto &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_source = source;
    if (source) {
        const auto invalidate = [this] { Invalidate(); };
        m_connections << connect(source, &QAbstractItemModel::modelReset, this, invalidate)
                      << connect(source, &QAbstractItemModel::rowsInserted, this, invalidate)
                      << connect(source, &QAbstractItemModel::rowsRemoved, this, invalidate)
                      << connect(source, &QAbstractItemModel::dataChanged, this, invalidate)
                      << connect(source, &QAbstractItemModel::layoutChanged, this, invalidate);
    }
    Invalidate();
}

void TGridFooter::SetColumns(const QList<TGridColumn> &columns)
{
    for (Cell &cell : m_cells)
        delete cell.label;
    m_cells.clear();
    for (int i = 0; i < columns.size(); ++i) {
        const TGridColumn &column = columns.at(i);
        if (column.Footer == TGridColumn::Summary::None)
            continue;
        Cell cell;
        cell.column = column;
        cell.viewColumn = i;
        cell.label = new QLabel(this);
        cell.label->setObjectName(QStringLiteral("FooterCell"));
        cell.label->setAlignment((column.Alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
        m_cells.push_back(cell);
    }
    setVisible(!m_cells.empty());
    Invalidate();
    Place();
}

QString TGridFooter::Text(const QString &fieldName) const
{
    Compute();
    for (const Cell &cell : m_cells)
        if (cell.column.FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return cell.text;
    return {};
}

void TGridFooter::Invalidate()
{
    m_dirty = true;
    if (m_refreshQueued || m_cells.empty())
        return;
    // Many changes in a row are totalled once.
    m_refreshQueued = true;
    QMetaObject::invokeMethod(this, &TGridFooter::Refresh, Qt::QueuedConnection);
}

void TGridFooter::Compute() const
{
    if (!m_dirty)
        return;
    m_dirty = false;
    const int rows = m_source ? m_source->rowCount() : 0;
    for (Cell &cell : m_cells) {
        const TGridColumn &column = cell.column;
        QString number;
        if (column.Footer == TGridColumn::Summary::Count) {
            number = GridFormat::FixedScaled(qint64(rows) * Currency::Scale, column.FooterDecimals);
        } else {
            const int sourceColumn = m_source ? m_source->ColumnOfField(column.FieldName) : -1;
            __int128 sum = 0; // ten-thousandths: exact for prices and whole numbers
            for (int r = 0; sourceColumn >= 0 && r < rows; ++r) {
                const QVariant value = m_source->data(m_source->index(r, sourceColumn), TDAODataSource::ValueRole);
                if (value.isValid())
                    sum += Currency::FromDouble(value.toDouble());
            }
            number = SumText(sum, column.FooterDecimals);
        }
        cell.text = column.FooterFormat.isEmpty() ? number : column.FooterFormat.arg(number);
    }
}

void TGridFooter::Refresh()
{
    m_refreshQueued = false;
    Compute();
    for (const Cell &cell : m_cells)
        cell.label->setText(cell.text);
    Place();
}

void TGridFooter::Place()
{
    if (m_cells.empty())
        return;
    const QHeaderView *header = m_view->header();
    const int origin = m_view->viewport()->mapTo(window(), QPoint()).x() - mapTo(window(), QPoint()).x();
    for (Cell &cell : m_cells) {
        if (cell.viewColumn >= header->count()) {
            cell.label->hide();
            continue;
        }
        // A total wider than its column spills over on the side it is not
        // aligned to, rather than being cut.
        const int left = origin + header->sectionViewportPosition(cell.viewColumn) + 3;
        const int size = header->sectionSize(cell.viewColumn) - 6;
        const int width = std::max(size, cell.label->fontMetrics().horizontalAdvance(cell.label->text()) + 2);
        const Qt::Alignment alignment = cell.label->alignment();
        int x = left;
        if (alignment & Qt::AlignRight)
            x = left + size - width;
        else if (alignment & Qt::AlignHCenter)
            x = left + (size - width) / 2;
        cell.label->setGeometry(x, 0, width, height());
        cell.label->show();
    }
}

void TGridFooter::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Place();
}

void TGridFooter::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
}
