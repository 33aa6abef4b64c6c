// A window skinned all but one of its parts.
#include "toolkit/SkinData.h"

#include <QChildEvent>
#include <QEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

#include <memory>
#include <vector>

namespace {

using TSets = std::vector<QPointer<TSkinData>>;

QString Combined(const TSets &sets)
{
    QStringList sheets;
    for (const QPointer<TSkinData> &set : sets) {
        if (set && !set->StyleSheet().isEmpty())
            sheets << set->StyleSheet();
    }
    return sheets.join(u'\n');
}

// Splits at the commas that are not inside brackets or quotes.
QStringList SplitSelectors(const QString &selectors)
{
    QStringList parts;
    QString current;
    int depth = 0;
    QChar quote;
    for (const QChar c : selectors) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'[' || c == u'(') {
            ++depth;
        } else if ((c == u']' || c == u')') && depth > 0) {
            --depth;
        } else if (c == u',' && depth == 0) {
            parts << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    parts << current.trimmed();
    return parts;
}

// A selector of one widget alone (no descendant or child combinator),
// rewritten to name the widget; empty when it cannot match the widget.
QString SelectorForItself(const QString &selector, const QWidget &widget)
{
    // The type comes first, then an id, then the rest (attributes, states,
    // sub-controls); a combinator outside brackets leaves the rule out, as
    // does another widget's id.
    static const QRegularExpression form(QStringLiteral(
        R"(^(\.?)([A-Za-z_][A-Za-z0-9_]*|\*)?(?:#([A-Za-z0-9_-]+))?((?:\[[^\]]*\]|::?[!A-Za-z0-9_-]+(?:\([^)]*\))?)*)$)"));
    const QRegularExpressionMatch match = form.match(selector);
    if (!match.hasMatch() || selector.isEmpty())
        return {};
    const QString id = match.captured(3);
    if (!id.isEmpty() && id != widget.objectName())
        return {};
    const bool exact = !match.captured(1).isEmpty();
    const QString type = match.captured(2);
    if (!type.isEmpty() && type != QLatin1String("*")) {
        const QByteArray name = type.toLatin1();
        if (exact ? qstrcmp(widget.metaObject()->className(), name.constData()) != 0
                  : !widget.inherits(name.constData()))
            return {};
    }
    return match.captured(1) + (type.isEmpty() ? QStringLiteral("*") : type) + QLatin1Char('#') + widget.objectName() +
           match.captured(4);
}

// Gives the whole sets to the children of the path's widgets that are
// neither on the path nor the part left apart, now and whenever one is
// polished later; the widgets on the path get their own rules.
class TApartAttachment : public QObject
{
public:
    TApartAttachment(QWidget *window, QWidget *apart, TSets sets)
        : QObject(window)
        , m_apart(apart)
        , m_sets(std::move(sets))
    {
        for (QWidget *w = apart ? apart->parentWidget() : nullptr; w; w = w->parentWidget()) {
            m_path.push_back(w);
            w->installEventFilter(this);
            if (w == window)
                break;
        }
        for (const QPointer<TSkinData> &set : m_sets)
            connect(set, &TSkinData::changed, this, &TApartAttachment::ApplyToPath);
        ApplyToPath();
        for (const QPointer<QWidget> &w : m_path)
            for (QObject *child : w->children())
                AttachChild(child);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildPolished)
            AttachChild(static_cast<QChildEvent *>(event)->child());
        return QObject::eventFilter(watched, event);
    }

private:
    bool OnPath(const QObject *object) const
    {
        for (const QPointer<QWidget> &w : m_path)
            if (w == object)
                return true;
        return false;
    }

    void AttachChild(QObject *child)
    {
        auto *widget = qobject_cast<QWidget *>(child);
        if (!widget || widget == m_apart || OnPath(widget) || Skins::Attached(widget))
            return;
        // Each child follows the sets on its own from now on.
        QList<TSkinData *> sets;
        for (const QPointer<TSkinData> &set : m_sets)
            sets << set.data();
        Skins::Attach(widget, sets);
    }

    void ApplyToPath()
    {
        const QString sheet = Combined(m_sets);
        for (const QPointer<QWidget> &w : m_path) {
            if (!w)
                continue;
            const QString own = Skins::RulesForItself(sheet, *w);
            if (w->styleSheet() != own)
                w->setStyleSheet(own);
        }
    }

    QPointer<QWidget> m_apart;
    TSets m_sets;
    std::vector<QPointer<QWidget>> m_path;
};

} // namespace

namespace Skins {

QString RulesForItself(const QString &sheet, const QWidget &widget)
{
    if (widget.objectName().isEmpty() || sheet.isEmpty())
        return {};
    static const QRegularExpression comment(QStringLiteral(R"(/\*.*?\*/)"),
                                            QRegularExpression::DotMatchesEverythingOption);
    QString text = sheet;
    text.remove(comment);
    QStringList rules;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(u'{', pos);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(u'}', open);
        if (close < 0)
            break;
        QStringList mine;
        for (const QString &selector : SplitSelectors(text.mid(pos, open - pos))) {
            const QString rewritten = SelectorForItself(selector, widget);
            if (!rewritten.isEmpty())
                mine << rewritten;
        }
        if (!mine.isEmpty())
            rules << mine.join(QStringLiteral(", ")) + QLatin1Char(' ') + text.mid(open, close - open + 1);
        pos = close + 1;
    }
    return rules.join(u'\n');
}

void AttachApartFrom(QWidget *window, std::initializer_list<TSkinData *> sets, QWidget *apart)
{
    Q_ASSERT(window && apart && window->isAncestorOf(apart));
    TSets list;
    for (TSkinData *set : sets) {
        if (set)
            list.push_back(set);
    }
    new TApartAttachment(window, apart, std::move(list));
}

} // namespace Skins
