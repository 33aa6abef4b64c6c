#pragma once

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

// A column of a data grid dragged between its header and its group panel.
// Only drags that start inside the same grid count.
namespace GridColumnDrag {

inline constexpr const char *MimeType = "application/x-vorlix-grid-column";

inline QMimeData *Make(const QString &fieldName)
{
    auto *mime = new QMimeData;
    mime->setData(QString::fromLatin1(MimeType), fieldName.toUtf8());
    return mime;
}

// The dragged column's field name, or empty when the drag is not a column of
// the grid `owner`.
inline QString FieldOf(const QMimeData *mime, const QObject *source, const QWidget *owner)
{
    const auto *widget = qobject_cast<const QWidget *>(source);
    if (!mime || !widget || !owner || !(widget == owner || owner->isAncestorOf(widget)))
        return {};
    return QString::fromUtf8(mime->data(QString::fromLatin1(MimeType)));
}

// Accepts a drag or drop event as a move when it carries a column of the
// grid `owner`, ignores it otherwise. Returns the column's field name, or
// empty when ignored.
inline QString AcceptColumn(QDropEvent *event, const QWidget *owner)
{
    QString field = FieldOf(event->mimeData(), event->source(), owner);
    if (field.isEmpty()) {
        event->ignore();
        return {};
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    return field;
}

} // namespace GridColumnDrag
