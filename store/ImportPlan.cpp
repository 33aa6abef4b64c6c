#include "ImportPlan.h"

#include "TextBlank.h"

#include "DateUtils.h"
#include "GbkText.h"
#include "ImportFields.h"
#include "ImportValues.h"
#include "Spell.h"

#include <QDir>
#include <QFileInfo>

namespace ImportPlan {

QString ProblemText(TProblem problem)
{
    switch (problem) {
    case EmptyName:
        return QStringLiteral("名称为空");
    case CodeClash:
        return QStringLiteral("编号已存在或重复");
    case TooWide:
        return QStringLiteral("文字超出字段宽度");
    case BadDate:
        return QStringLiteral("无法识别的日期");
    case BadPrice:
        return QStringLiteral("无法识别的价格");
    case MissingPicture:
        return QStringLiteral("封面图片文件不存在");
    case ProblemCount:
        break;
    }
    return {};
}

QList<TChoice> ChoicesFor(TProblem problem)
{
    switch (problem) {
    case EmptyName:
        return {TChoice::Skip};
    case TooWide:
        return {TChoice::Skip, TChoice::Cut};
    default:
        return {TChoice::Skip, TChoice::Empty};
    }
}

QString ChoiceText(TChoice choice)
{
    switch (choice) {
    case TChoice::Skip:
        return QStringLiteral("跳过该行");
    case TChoice::Cut:
        return QStringLiteral("截断文字");
    case TChoice::Empty:
        return QStringLiteral("留空");
    }
    return {};
}

namespace {

class TRowBuilder
{
public:
    TRowBuilder(const TSettings &settings, TRow &row)
        : m_settings(settings)
        , m_row(row)
    {
    }

    void Note(TProblem problem, const QString &what)
    {
        const TChoice choice = m_settings.Choices[problem];
        if (choice == TChoice::Skip)
            m_row.Skipped = true;
        m_row.Problems << QStringLiteral("%1：%2（%3）").arg(ProblemText(problem), what, ChoiceText(choice));
    }

    // The text cut to the width, or the row skipped, as chosen.
    QString Fitted(const QString &text, int width, int field)
    {
        // No character is wider than two bytes: a short text needs no count.
        if (width <= 0 || text.size() * 2 <= width || GbkText::ByteWidth(text) <= width)
            return text;
        Note(TooWide, QStringLiteral("%1超过%2字节").arg(ImportFields::Caption(field), QString::number(width)));
        return GbkText::Truncate(text, width);
    }

    bool Keeps(TProblem problem) const { return m_settings.Choices[problem] != TChoice::Skip; }

private:
    const TSettings &m_settings;
    TRow &m_row;
};

} // namespace

QList<TRow> Build(const QList<CsvReader::TRecord> &records, const TSettings &settings)
{
    using namespace ImportFields;
    QList<TRow> rows;
    rows.reserve(records.size());
    QSet<QString> codesTaken = settings.ExistingCodes;
    codesTaken.reserve(settings.ExistingCodes.size() + records.size());
    const TWidths &w = settings.Widths;
    for (const CsvReader::TRecord &record : records) {
        // Built in its place in the list: a row is too big to move cheaply.
        TRow &row = rows.emplaceBack();
        row.Number = record.Number;
        TRowBuilder b(settings, row);
        auto cell = [&](int field) {
            const int column = field < settings.Mapping.size() ? settings.Mapping.at(field) : -1;
            if (column < 0 || column >= record.Fields.size())
                return QString();
            // A quoted text is taken as written (its writer quoted it to keep
            // its blanks and line breaks); stray blanks around a bare one, or
            // around a value that is read (date, price, code, a name looked
            // up), go.
            const bool asWritten = field == Name || field == Serial || field == Location || field == Memo;
            const QString &value = record.Fields.at(column);
            return asWritten && column < record.Quoted.size() && record.Quoted.at(column) ? value : value.trimmed();
        };

        row.Disc.Name = b.Fitted(cell(Name), w.Name, Name);
        if (TextBlank::IsBlank(row.Disc.Name))
            b.Note(EmptyName, Caption(Name));
        row.Disc.Spell = GbkText::Truncate(GetSpell(row.Disc.Name), w.Spell > 0 ? w.Spell : 1 << 20);
        row.Disc.Serial = b.Fitted(cell(Serial), w.Serial, Serial);
        row.Disc.Location = b.Fitted(cell(Location), w.Location, Location);
        row.Disc.Memo = cell(Memo);
        row.Category = b.Fitted(cell(Category), w.Category, Category);
        row.Quality = b.Fitted(cell(Quality), w.Quality, Quality);

        const QString code = b.Fitted(cell(Code), w.Code, Code);
        const QString codeKey = code.toLower();
        if (!code.isEmpty() && codesTaken.contains(codeKey))
            b.Note(CodeClash, code);
        else
            row.Disc.Code = code;

        const QString day = cell(Date);
        if (!day.isEmpty()) {
            if (const auto date = ImportValues::ParseDate(day)) {
                row.Disc.Day = DateUtils::ToDays(*date);
                row.HasDay = true;
            } else
                b.Note(BadDate, day);
        }

        const QString price = cell(Price);
        if (!price.isEmpty()) {
            if (const auto value = ImportValues::ParsePrice(price))
                row.Disc.Price = Currency::FromDouble(*value);
            else
                b.Note(BadPrice, price);
        }

        // The path's names between slashes or backslashes.
        const QString folder = cell(Folder);
        for (qsizetype start = 0; start < folder.size();) {
            qsizetype end = start;
            while (end < folder.size() && folder.at(end) != QLatin1Char('/') && folder.at(end) != QLatin1Char('\\'))
                ++end;
            const QString part = QStringView(folder).mid(start, end - start).trimmed().toString();
            if (!part.isEmpty())
                row.FolderPath << b.Fitted(part, w.Folder, Folder);
            start = end + 1;
        }

        const QString cover = cell(Cover);
        if (!cover.isEmpty()) {
            const QString path = QDir(settings.PictureFolder).filePath(QDir::fromNativeSeparators(cover));
            if (QFileInfo(path).isFile())
                row.PictureSource = QDir::cleanPath(path);
            else
                b.Note(MissingPicture, cover);
        }

        if (!row.Skipped && !row.Disc.Code.isEmpty())
            codesTaken.insert(codeKey);
    }
    return rows;
}

} // namespace ImportPlan
