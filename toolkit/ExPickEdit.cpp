#include "toolkit/ExPickEdit.h"

#include "pinyin/GbkText.h"
#include "pinyin/Spell.h"
#include "store/catalog/PickFilter.h"
#include "store/engine/Errors.h"

#include <QAbstractItemView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {

QString AsciiUpper(QString text)
{
    for (QChar &c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 0x20);
    return text;
}

// Pads a text with spaces up to a width in GBK bytes; a longer text stays.
QString Pad(const QString &text, int width)
{
    const int bytes = GbkText::ByteWidth(text);
    return bytes >= width ? text : text + QString(width - bytes, QLatin1Char(' '));
}

// Bytes [from, from + length) of a text's GBK encoding, of whole characters
// only.
QByteArray Window(const QString &text, int from, int length)
{
    return GbkText::Encode(GbkText::Mid(text, from, length));
}

int ColumnWidth(const TDAOField *field, int limit, int fallback)
{
    if (!field)
        return 0;
    const int width = field->Size();
    return width > limit ? fallback : width;
}

// Whether a key types a character into the box: a printable one, or
// Backspace. Delete, Escape and the like carry control characters and do not.
bool TypesCharacter(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_Backspace)
        return true;
    const QString text = event.text();
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
}

// The name column shows at most this many bytes (20 Chinese characters): a
// long name is cut at a whole character, so the drop-down stays readable and
// the code column after it lines up in every row.
constexpr int NameColumnMax = 40;

// A window length that reaches the end of any row.
constexpr int RestOfRow = 1 << 20;

int NameColumnWidth(const TDAOField *field)
{
    return field ? qMin(field->Size(), NameColumnMax) : 0;
}

} // namespace

TExPickEdit::TExPickEdit(QWidget *parent)
    : TPickEdit(parent)
{
    QFont mono(QStringLiteral("WenQuanYi Micro Hei Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setFamilies({QStringLiteral("WenQuanYi Micro Hei Mono"), QStringLiteral("Noto Sans Mono CJK SC"),
                      QStringLiteral("NSimSun"), QStringLiteral("Monospace")});
    mono.setPixelSize(12);
    view()->setFont(mono);
}

TExPickEdit::TTextKind TExPickEdit::TextKind(const QString &text)
{
    for (QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
            continue;
        return u >= 0x80 ? TTextKind::Name : TTextKind::Code;
    }
    return TTextKind::Initials;
}

QString TExPickEdit::FormatRow(const QString &name, const QString &code, const QString &spell, const QString &status,
                               int nameWidth, int codeWidth, int spellWidth, int statusWidth)
{
    // The name is cut to its width, before the first character that does
    // not fit, so the columns after it stay in line.
    return Pad(GbkText::Truncate(name.trimmed(), nameWidth), nameWidth) + Pad(AsciiUpper(code.trimmed()), codeWidth) +
           Pad(spell.trimmed(), spellWidth) + Pad(status, statusWidth);
}

void TExPickEdit::RefreshList()
{
    const QString text = NormalizeSpellText(currentText());
    m_filter.clear();
    QString column;
    if (!text.isEmpty()) {
        switch (TextKind(text)) {
        case TTextKind::Initials:
            column = FieldSpell;
            break;
        case TTextKind::Code:
            column = FieldCode;
            break;
        case TTextKind::Name:
            column = FieldList;
            break;
        }
        if (!column.isEmpty())
            m_filter = PickFilterClause(SQL, column, text);
    }
    // A name search, like the whole list, keeps the key's order.
    m_order = PickOrderClause(column == FieldList ? QString() : column, FieldKey);
    ClearRows();
    FillList();
    if (RowCount() == 0)
        TPickEdit::hidePopup();
}

void TExPickEdit::FillList()
{
    m_query.SetDatabase(Database);
    int rows = 0;
    try {
        m_query.Close();
        m_query.SetSQL(SQL + m_filter + m_order);
        m_query.Open();
        m_query.Last();
        rows = m_query.RowCount();
        m_query.First();
    } catch (const EAppError &) {
        rows = 0; // a statement that cannot run finds nothing
    }
    if (rows == 0)
        return;
    QStringList texts;
    QList<int> keys;
    texts.reserve(rows);
    keys.reserve(rows);
    for (; !m_query.AtEnd(); m_query.Next()) {
        m_nameWidth = NameColumnWidth(m_query.FindField(FieldList));
        m_codeWidth = FieldCode.isEmpty() ? 0 : ColumnWidth(m_query.FindField(FieldCode), 14, 10);
        m_spellWidth = ColumnWidth(m_query.FindField(FieldSpell), 14, 10);
        m_statusWidth = FieldStatus.isEmpty() ? 0 : 1;
        const QString code = FieldCode.isEmpty() ? QString() : m_query.Field(FieldCode).AsString();
        QString status;
        if (!FieldStatus.isEmpty())
            status = m_query.Field(FieldStatus).AsInteger() == 1 ? QStringLiteral("√") : QStringLiteral("ⅹ");
        texts << FormatRow(m_query.Field(FieldList).AsString(), code, m_query.Field(FieldSpell).AsString(), status,
                           m_nameWidth, m_codeWidth, m_spellWidth, m_statusWidth);
        keys << m_query.Field(FieldKey).AsInteger();
    }
    SetRows(texts, keys);
    m_query.Close();
    // Wide enough for the rows, in the list's fixed-pitch font.
    const int chars = m_nameWidth + m_codeWidth + m_spellWidth + m_statusWidth + 2;
    view()->setMinimumWidth(view()->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 24);
}

int TExPickEdit::FindRow() const
{
    QString s = AsciiUpper(currentText());
    int from = 0, length = 0;
    if (RowCount() >= 2) {
        from = m_nameWidth;
        length = m_codeWidth;
        // Several rows: compared by the code column of the text itself.
        s = GbkText::Mid(s, m_nameWidth, m_codeWidth);
    } else {
        switch (TextKind(s)) {
        case TTextKind::Initials:
            from = m_nameWidth + m_codeWidth;
            // Initials are never cut: those of a long name run on past their
            // column, and all of them still find the row.
            length = m_statusWidth == 0 ? RestOfRow : m_spellWidth;
            break;
        case TTextKind::Code:
            from = m_nameWidth;
            length = m_codeWidth;
            break;
        case TTextKind::Name:
            from = 0;
            length = m_nameWidth;
            break;
        }
    }
    const QByteArray wanted = GbkText::Encode(s);
    if (wanted.isEmpty())
        return -1;
    for (int row = 0; row < RowCount(); ++row)
        if (Window(RowText(row), from, length).contains(wanted))
            return row;
    return -1;
}

void TExPickEdit::SelectRow(int row)
{
    if (row < 0 || row >= RowCount() || !isEditable())
        return;
    setCurrentIndex(row);
    setEditText(RowText(row));
    lineEdit()->selectAll();
}

QString TExPickEdit::NameColumn(const QString &text) const
{
    return GbkText::Truncate(text, m_nameWidth).trimmed();
}

void TExPickEdit::StartAgainIfConfirmed()
{
    if (m_confirmed != 1)
        return;
    clearEditText();
    m_confirmed = 0;
}

void TExPickEdit::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    bool moveOn = false;
    if (enter) {
        if (m_confirmed == 1)
            moveOn = true;
        m_confirmed = 1;
    } else if (TypesCharacter(*event)) {
        StartAgainIfConfirmed();
    }
    if (enter) {
        RefreshList();
        if (!m_filter.isEmpty() && RowCount() > 1) {
            showPopup();
        } else {
            const int row = FindRow();
            if (row >= 0) {
                m_signalledKey = 0;
                m_selectedKey = RowValue(row);
                SelectRow(row);
                setEditText(NameColumn(currentText()));
                TextOrSelectionChanged();
            }
        }
        event->accept();
    } else {
        TPickEdit::keyPressEvent(event);
    }
    if (OnKeyPress)
        OnKeyPress(*this, event->key());
    // Enter on a box whose choice was confirmed moves on to the next control.
    if (moveOn)
        focusNextChild();
}

void TExPickEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Only a commit types anything: a composition still under way may yet
    // be cancelled, and leaves the box as it is until then.
    if (event->commitString().isEmpty() || m_confirmed != 1) {
        TPickEdit::inputMethodEvent(event);
        return;
    }
    StartAgainIfConfirmed();
    // A replacement of text around the caret meant the old text, which is
    // gone: only the committed text goes into the empty box.
    QInputMethodEvent typed(event->preeditString(), event->attributes());
    typed.setCommitString(event->commitString());
    TPickEdit::inputMethodEvent(&typed);
    event->accept();
}

void TExPickEdit::DropDown()
{
    if (m_opening)
        return;
    m_opening = true;
    const QString text = currentText();
    SelectRow(FindRow());
    setEditText(text);
    m_opening = false;
}

void TExPickEdit::CloseUp(int accepted)
{
    if (accepted >= 0 && accepted < RowCount())
        setEditText(RowText(accepted));
    const int row = FindRow();
    if (row >= 0)
        m_selectedKey = RowValue(row);
    setEditText(NameColumn(currentText()));
    TextOrSelectionChanged();
}

void TExPickEdit::TextOrSelectionChanged()
{
    if (m_confirmed == 1 && m_selectedKey != m_signalledKey) {
        m_signalledKey = m_selectedKey;
        if (OnSelectionChange)
            OnSelectionChange(*this);
    }
}
