#include "toolkit/ChoiceBox.h"

#include "toolkit/ChoiceModel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QtMath>

#include <array>
#include <memory>

namespace {

// How many of the texts estimated widest are measured in full.
constexpr int Measured = 8;

// Each character's advance, looked up once per call. The table is kept in
// blocks of 256 characters, made as the texts reach them.
class TAdvances
{
public:
    explicit TAdvances(const QFontMetrics &metrics)
        : m_metrics(metrics)
    {
    }

    // The sum of the text's advances; a text with characters outside the
    // basic plane is measured whole.
    qreal Estimate(const QString &text)
    {
        qreal sum = 0;
        for (const QChar c : text) {
            if (c.isSurrogate())
                return m_metrics.horizontalAdvance(text);
            std::unique_ptr<TBlock> &block = m_blocks[c.unicode() >> 8];
            if (!block) {
                block = std::make_unique<TBlock>();
                block->fill(-1.0f);
            }
            float &advance = (*block)[c.unicode() & 0xff];
            if (advance < 0)
                advance = float(m_metrics.horizontalAdvance(c));
            sum += advance;
        }
        return sum;
    }

private:
    using TBlock = std::array<float, 256>; // -1 until looked up

    QFontMetricsF m_metrics;
    std::array<std::unique_ptr<TBlock>, 256> m_blocks;
};

} // namespace

int ChoiceWidth::Widest(const QFontMetrics &metrics, const QStringList &texts)
{
    struct TCandidate
    {
        qreal estimate;
        qsizetype index;
    };
    std::array<TCandidate, Measured> widest{};
    int filled = 0;
    int narrowest = 0; // among the candidates, the one a wider text replaces

    TAdvances advances(metrics);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const qreal estimate = advances.Estimate(texts.at(i));
        if (filled < Measured) {
            widest[filled++] = {estimate, i};
        } else if (estimate > widest[narrowest].estimate) {
            widest[narrowest] = {estimate, i};
        } else {
            continue;
        }
        narrowest = 0;
        for (int c = 1; c < filled; ++c) {
            if (widest[c].estimate < widest[narrowest].estimate)
                narrowest = c;
        }
    }

    int width = 0;
    for (int c = 0; c < filled; ++c)
        width = qMax(width, metrics.boundingRect(texts.at(widest[c].index)).width());
    return width;
}

TChoiceBox::TChoiceBox(QWidget *parent)
    : QComboBox(parent)
{
}

TChoiceBox::~TChoiceBox()
{
    // The model may outlive this part of the box (the combo box deletes its
    // own model later): no change of it reaches a box half destroyed.
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
}

QSize TChoiceBox::sizeHint() const
{
    if (sizeAdjustPolicy() == AdjustToMinimumContentsLengthWithIcon)
        return QComboBox::sizeHint();
    return ContentsHint();
}

QSize TChoiceBox::minimumSizeHint() const
{
    // With a minimum length given, the box's minimum does not depend on its
    // entries.
    if (sizeAdjustPolicy() == AdjustToMinimumContentsLengthWithIcon || minimumContentsLength() > 0)
        return QComboBox::minimumSizeHint();
    return ContentsHint();
}

// The size a combo box adjusted to its contents asks for.
QSize TChoiceBox::ContentsHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int width = count() == 0 ? 7 * metrics.horizontalAdvance(u'x') : WidestEntry();
    if (minimumContentsLength() > 0)
        width = qMax(width, minimumContentsLength() * metrics.horizontalAdvance(u'X'));
    if (!placeholderText().isEmpty())
        width = qMax(width, metrics.boundingRect(placeholderText()).width());
    const int height = qMax(qCeil(QFontMetricsF(metrics).height()), 14) + 2;

    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(width, height), this);
}

int TChoiceBox::WidestEntry() const
{
    Watch(model());
    if (!m_widest) {
        QStringList texts;
        texts.reserve(count());
        const auto *choices = qobject_cast<const TChoiceModel *>(model());
        if (choices && modelColumn() == 0 && !rootModelIndex().isValid()) {
            // The names as they are, without a QVariant each.
            for (const TChoice &choice : choices->Choices())
                texts.append(choice.name);
        } else {
            for (int i = 0; i < count(); ++i)
                texts.append(itemText(i));
        }
        m_widest = ChoiceWidth::Widest(fontMetrics(), texts);
    }
    return *m_widest;
}

// The box's model can be replaced at any time (setModel() is not virtual):
// the width is kept for the model it was measured on, until its entries
// change.
void TChoiceBox::Watch(QAbstractItemModel *model) const
{
    if (m_watched == model)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_watched = model;
    m_widest.reset();
    if (!model)
        return;
    auto *self = const_cast<TChoiceBox *>(this);
    auto forget = [self] { self->Forget(); };
    m_connections = {connect(model, &QAbstractItemModel::modelReset, self, forget),
                     connect(model, &QAbstractItemModel::layoutChanged, self, forget),
                     connect(model, &QAbstractItemModel::rowsInserted, self, forget),
                     connect(model, &QAbstractItemModel::rowsRemoved, self, forget),
                     connect(model, &QAbstractItemModel::rowsMoved, self, forget),
                     connect(model, &QAbstractItemModel::dataChanged, self, forget)};
}

void TChoiceBox::Forget()
{
    if (!m_widest)
        return;
    m_widest.reset();
    updateGeometry();
}

void TChoiceBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Forget();
    QComboBox::changeEvent(event);
}
