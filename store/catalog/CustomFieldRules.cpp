#include "store/catalog/CustomFieldRules.h"

#include "pinyin/TextBlank.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/ImportValues.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace CustomFields {

namespace {

// Characters as the user counts them: a character outside the basic plane
// is one, not two.
int Characters(const QString &text)
{
    int n = 0;
    for (const QChar c : text) {
        if (!c.isLowSurrogate())
            ++n;
    }
    return n;
}

bool IsLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85);
}

QString OneLine(const QString &text)
{
    QString line = text;
    line.replace(u"\r\n"_s, u" "_s);
    for (QChar &c : line) {
        if (IsLineBreak(c) || c == u'\t')
            c = u' ';
    }
    return line;
}

// A value quoted in a message: a long one is cut short.
QString Quoted(const QString &text)
{
    constexpr int Shown = 20;
    return text.size() <= Shown ? text : text.left(Shown) + u"…"_s;
}

// Whole numbers stay integers, so that 90 reads back as 90; a fraction or
// a number beyond the integers a real holds exactly stays a real.
std::optional<QVariant> ParseNumber(const QString &text)
{
    QString n = text.normalized(QString::NormalizationForm_KC);
    n.remove(u' ');
    static const QRegularExpression thousands(u"^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"_s);
    if (thousands.match(n).hasMatch())
        n.remove(u',');
    static const QRegularExpression plain(u"^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"_s);
    if (!plain.match(n).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(n, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    constexpr double ExactLimit = 9007199254740992.0; // 2^53
    if (value == std::trunc(value) && std::fabs(value) <= ExactLimit)
        return QVariant(qint64(value));
    return QVariant(value);
}

std::optional<bool> ParseYesNo(const QString &text)
{
    static const QStringList yes = {u"是"_s,   u"是的"_s, u"有"_s, u"对"_s, u"y"_s, u"yes"_s,
                                    u"true"_s, u"1"_s,    u"√"_s,  u"✓"_s,  u"✔"_s};
    static const QStringList no = {u"否"_s, u"不"_s,    u"不是"_s, u"无"_s, u"没有"_s, u"n"_s,
                                   u"no"_s, u"false"_s, u"0"_s,    u"×"_s,  u"✗"_s,    u"✘"_s};
    const QString key = text.normalized(QString::NormalizationForm_KC).toLower();
    if (yes.contains(key))
        return true;
    if (no.contains(key))
        return false;
    return std::nullopt;
}

void CheckLength(const QString &fieldName, const QString &value)
{
    const int length = Characters(value);
    if (length > MaxValueLength)
        throw EAppError(
            u"“%1”的内容有 %2 个字，太长了：最多只能有 %3 个字。"_s.arg(fieldName).arg(length).arg(MaxValueLength));
}

TNewField Field(const char16_t *name, TFieldKind kind, const QStringList &choices = {})
{
    return {QString::fromUtf16(name), kind, choices};
}

} // namespace

QString KindName(TFieldKind kind)
{
    switch (kind) {
    case TFieldKind::Text:
        return u"文本"_s;
    case TFieldKind::LongText:
        return u"多行文本"_s;
    case TFieldKind::Number:
        return u"数字"_s;
    case TFieldKind::Date:
        return u"日期"_s;
    case TFieldKind::YesNo:
        return u"是/否"_s;
    case TFieldKind::Choice:
        return u"选择"_s;
    case TFieldKind::MultiValue:
        return u"多值"_s;
    }
    return {};
}

TFieldKind KindOf(int number)
{
    return number >= 0 && number < KindCount ? TFieldKind(number) : TFieldKind::Text;
}

bool HoldsSeveral(TFieldKind kind)
{
    return kind == TFieldKind::MultiValue;
}

const QList<TFieldSet> &ReadyMadeSets()
{
    using K = TFieldKind;
    static const QList<TFieldSet> sets = {
        {u"电影"_s,
         {Field(u"导演", K::MultiValue), Field(u"主演", K::MultiValue), Field(u"编剧", K::MultiValue),
          Field(u"地区", K::Choice,
                {u"中国大陆"_s, u"中国香港"_s, u"中国台湾"_s, u"美国"_s, u"日本"_s, u"韩国"_s, u"英国"_s, u"法国"_s}),
          Field(u"语言", K::MultiValue), Field(u"片长（分钟）", K::Number), Field(u"字幕", K::MultiValue),
          Field(u"介质格式", K::Choice, {u"DVD"_s, u"蓝光"_s, u"4K 蓝光"_s, u"VCD"_s, u"CD"_s})}},
        {u"音乐"_s,
         {Field(u"艺术家", K::MultiValue), Field(u"唱片公司", K::Text), Field(u"发行年份", K::Number),
          Field(u"曲目", K::MultiValue),
          Field(u"介质格式", K::Choice, {u"CD"_s, u"SACD"_s, u"DVD-Audio"_s, u"蓝光音频"_s})}},
        {u"软件与游戏"_s,
         {Field(u"平台", K::Choice, {u"Windows"_s, u"macOS"_s, u"Linux"_s, u"PlayStation"_s, u"Xbox"_s, u"Nintendo"_s}),
          Field(u"版本", K::Text), Field(u"开发商", K::Text), Field(u"语言", K::MultiValue)}},
    };
    return sets;
}

QString CleanName(const QString &name)
{
    return TextBlank::Trimmed(name);
}

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString NameRefusal(const QString &name, const QList<TCustomField> &fields, int ignoreId)
{
    const QString n = CleanName(name);
    if (TextBlank::ShowsNothing(n))
        return u"请填写字段的名称。"_s;
    for (const QChar c : n) {
        if (IsLineBreak(c) || c.category() == QChar::Other_Control)
            return u"字段的名称只能写成一行。"_s;
    }
    if (Characters(n) > MaxNameLength)
        return u"字段的名称最多只能有 %1 个字。"_s.arg(MaxNameLength);
    const int fixed = ImportFields::GuessField(n);
    if (fixed >= 0)
        return u"“%1”和光盘本身的“%2”重名，请换一个名称。"_s.arg(n, ImportFields::Caption(fixed));
    for (const TFieldDef &def : DiscListFields()) {
        if (SameName(def.Name, n))
            return u"“%1”是光盘本身的字段，请换一个名称。"_s.arg(n);
    }
    for (const TCustomField &field : fields) {
        if (field.Id != ignoreId && SameName(field.Name, n))
            return u"已经有一个叫“%1”的字段了，请换一个名称。"_s.arg(field.Name);
    }
    return {};
}

QStringList CleanChoices(const QStringList &choices)
{
    QStringList clean;
    for (const QString &choice : choices) {
        const QString c = TextBlank::Trimmed(OneLine(choice));
        if (TextBlank::IsBlank(c))
            continue;
        if (Characters(c) > MaxValueLength)
            throw EAppError(u"选择列表里的“%1”太长了：最多只能有 %2 个字。"_s.arg(Quoted(c)).arg(MaxValueLength));
        if (std::none_of(clean.cbegin(), clean.cend(), [&c](const QString &kept) { return SameName(kept, c); }))
            clean << c;
    }
    if (clean.size() > MaxValues)
        throw EAppError(u"选择列表最多只能有 %1 项。"_s.arg(MaxValues));
    return clean;
}

QVariant StoredValue(const TCustomField &field, const QString &text, bool addChoices)
{
    const QString value = TextBlank::Trimmed(field.Kind == TFieldKind::LongText ? text : OneLine(text));
    if (TextBlank::IsBlank(value))
        return {};
    CheckLength(field.Name, value);
    switch (field.Kind) {
    case TFieldKind::Number:
        if (const auto number = ParseNumber(value))
            return *number;
        throw EAppError(u"“%1”要填一个数字，“%2”不是数字。"_s.arg(field.Name, Quoted(value)));
    case TFieldKind::Date:
        if (const auto date = ImportValues::ParseDate(value))
            return DateUtils::ToDays(*date);
        throw EAppError(u"“%1”要填一个日期（例如 2024-05-01），“%2”不是日期。"_s.arg(field.Name, Quoted(value)));
    case TFieldKind::YesNo:
        if (const auto yes = ParseYesNo(value))
            return qint64(*yes ? 1 : 0);
        throw EAppError(u"“%1”只能填“是”或“否”，不能填“%2”。"_s.arg(field.Name, Quoted(value)));
    case TFieldKind::Choice:
        for (const QString &choice : field.Choices) {
            if (SameName(choice, value))
                return choice;
        }
        if (addChoices)
            return value;
        throw EAppError(u"“%1”不在“%2”的选择列表里。"_s.arg(Quoted(value), field.Name));
    case TFieldKind::Text:
    case TFieldKind::LongText:
    case TFieldKind::MultiValue:
        break;
    }
    return value;
}

QString DisplayText(TFieldKind kind, const QVariant &stored)
{
    if (stored.isNull())
        return {};
    switch (kind) {
    case TFieldKind::Number:
        if (stored.typeId() == QMetaType::Double)
            return QString::number(stored.toDouble(), 'g', 15);
        return QString::number(stored.toLongLong());
    case TFieldKind::Date:
        return DateUtils::FormatDate(stored.toDouble());
    case TFieldKind::YesNo:
        return stored.toLongLong() != 0 ? u"是"_s : u"否"_s;
    default:
        return stored.toString();
    }
}

QStringList CleanValues(const TCustomField &field, const QStringList &texts)
{
    QStringList values;
    for (const QString &text : texts) {
        const QString value = TextBlank::Trimmed(OneLine(text));
        if (TextBlank::IsBlank(value))
            continue;
        CheckLength(field.Name, value);
        values << value;
    }
    if (values.size() > MaxValues)
        throw EAppError(u"“%1”最多只能有 %2 个值，这里有 %3 个。"_s.arg(field.Name).arg(MaxValues).arg(values.size()));
    return values;
}

} // namespace CustomFields
