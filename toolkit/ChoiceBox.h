#pragma once

#include <QComboBox>
#include <QPointer>

#include <optional>

// A combo box of text entries that is as wide as its widest entry, as a box
// adjusted to its contents is, without laying out every entry's text to
// find it: a list of 10,000 folders is measured in one pass over its
// characters, each character's advance looked up once, and only the few
// entries that come out widest are then measured in full. The box follows
// its entries when they change and its font when that changes.
//
// Entries are text only: an icon in an entry is not measured. With the
// AdjustToMinimumContentsLengthWithIcon policy the box sizes itself as any
// combo box does.
class TChoiceBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TChoiceBox(QWidget *parent = nullptr);
    ~TChoiceBox() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;

private:
    QSize ContentsHint() const;
    int WidestEntry() const;
    void Watch(QAbstractItemModel *model) const;
    void Forget();

    mutable QPointer<QAbstractItemModel> m_watched;
    mutable QList<QMetaObject::Connection> m_connections;
    mutable std::optional<int> m_widest; // the widest entry's width, in pixels
};

namespace ChoiceWidth {

// The widest of the texts as QFontMetrics::boundingRect() measures it: the
// texts' widths estimated from their characters' advances, then the few
// widest measured exactly. Texts that differ from the widest by no more
// than their characters' overhangs may be measured in its place.
int Widest(const QFontMetrics &metrics, const QStringList &texts);

} // namespace ChoiceWidth
