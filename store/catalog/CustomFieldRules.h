#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The fields a catalog defines for itself: their kinds, the rules their
// names and values follow and the ready-made sets offered when adding some.
// Nothing here reads or writes the catalog (CustomFields does).
namespace CustomFields {

// Kept in the catalog as these numbers: never renumber them.
enum class TFieldKind {
    Text = 0,       // 文本: one line
    LongText = 1,   // 多行文本
    Number = 2,     // 数字
    Date = 3,       // 日期
    YesNo = 4,      // 是/否
    Choice = 5,     // 选择: one value from the field's list
    MultiValue = 6, // 多值: a list of texts, in order
};
inline constexpr int KindCount = 7;

// The most fields a catalog defines.
inline constexpr int MaxFields = 64;
// The longest name of a field, in characters.
inline constexpr int MaxNameLength = 20;
// The longest value (and the longest choice of a list), in characters.
inline constexpr int MaxValueLength = 4000;
// The most values one disc holds in a 多值 field, and the most choices a
// 选择 field's list holds.
inline constexpr int MaxValues = 1000;

struct TCustomField
{
    int Id = 0;
    QString Name;
    TFieldKind Kind = TFieldKind::Text;
    int Position = 0;
    QStringList Choices; // a 选择 field's list, in the user's order
};

// A field to be defined: what the dialog and the ready-made sets hand over.
struct TNewField
{
    TNewField() = default;
    TNewField(const QString &name, TFieldKind kind = TFieldKind::Text, const QStringList &choices = {})
        : Name(name)
        , Kind(kind)
        , Choices(choices)
    {
    }

    QString Name;
    TFieldKind Kind = TFieldKind::Text;
    QStringList Choices;
};

// One of the ready-made sets offered when adding fields.
struct TFieldSet
{
    QString Name;
    QList<TNewField> Fields;
};

// "文本", "多行文本", ... as the dialog lists them.
QString KindName(TFieldKind kind);
// The kind a stored number stands for; Text for a number no kind has.
TFieldKind KindOf(int number);
bool HoldsSeveral(TFieldKind kind);

// 电影, 音乐 and 软件与游戏.
const QList<TFieldSet> &ReadyMadeSets();

// The name as it is kept: without blanks at either end.
QString CleanName(const QString &name);
// Whether two names are the same name: letter case is not told apart.
bool SameName(const QString &a, const QString &b);
// Why the name cannot name a new field beside the fields given (the field
// of ignoreId, being renamed, left out); empty when it can. Refused: a blank
// name, a name too long or holding a line break, a name a disc's own field
// goes by (编号, 名称, 分类, their other names in an imported table, ...)
// and a name one of the fields has, whatever its letter case.
QString NameRefusal(const QString &name, const QList<TCustomField> &fields, int ignoreId = 0);

// The choices as a 选择 field keeps them: trimmed, blank lines dropped, each
// once (letter case not told apart). Raises EAppError when one is longer
// than MaxValueLength or there are more than MaxValues.
QStringList CleanChoices(const QStringList &choices);

// The value a text of the field's kind is kept as: an integer or a real
// for a number, a day count for a date, 1 or 0 for yes or no, the text for
// the others (a single-line kind's line breaks become blanks). A null
// QVariant for a blank text, which is no value. A 选择 value is matched to
// its list's spelling (letter case not told apart). Raises EAppError,
// naming the field, for a text longer than MaxValueLength, a number or a
// date that cannot be read, or a 选择 value not in the list; with
// addChoices the value is taken as it is instead (the caller adds it to the
// list).
QVariant StoredValue(const TCustomField &field, const QString &text, bool addChoices = false);

// The text of a kept value as the user reads and types it: "2024-05-01"
// for a date, "是" or "否", a number without trailing zeros.
QString DisplayText(TFieldKind kind, const QVariant &stored);

// The values of a 多值 field as they are kept: trimmed, blanks dropped.
// Raises EAppError for more than MaxValues.
QStringList CleanValues(const TCustomField &field, const QStringList &texts);

} // namespace CustomFields
