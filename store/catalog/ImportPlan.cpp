#include "store/catalog/ImportPlan.h"

#include "pinyin/TextBlank.h"

#include "pinyin/GbkText.h"
#include "pinyin/Spell.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/ImportValues.h"
#include "store/engine/DateUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

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
    case NegativePrice:
        return QStringLiteral("价格为负数");
    case NotPicture:
        return QStringLiteral("封面不是图片");
    case OutsideFolder:
        return QStringLiteral("封面不在文件所在的文件夹中");
    case FolderTooDeep:
        return QStringLiteral("光盘夹目录层数过多");
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
    case NegativePrice:
        return {TChoice::Keep, TChoice::Empty, TChoice::Skip};
    case FolderTooDeep:
        return {TChoice::Cut, TChoice::Skip};
    default:
        return {TChoice::Skip, TChoice::Empty};
    }
}

std::array<TChoice, ProblemCount> DefaultChoices()
{
    std::array<TChoice, ProblemCount> choices{};
    for (int p = 0; p < ProblemCount; ++p)
        choices[size_t(p)] = ChoicesFor(TProblem(p)).constFirst();
    return choices;
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
    case TChoice::Keep:
        return QStringLiteral("照样导入");
    }
    return {};
}

namespace {

// A value quoted in a problem, shortened in the middle: a cell may hold
// megabytes, and the problems are shown line by line.
QString Quoted(const QString &value)
{
    constexpr qsizetype Keep = 40;
    if (value.size() <= 2 * Keep + 1)
        return value;
    return value.left(Keep) + QStringLiteral("…") + value.right(Keep);
}

// A spreadsheet takes a cell that begins with one of these as a formula;
// our export writes such a text with an apostrophe before it.
bool StartsFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@') ||
           c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

QString WithoutFormulaMark(const QString &text)
{
    if (text.startsWith(QLatin1Char('\'')) && StartsFormula(QStringView(text).mid(1)))
        return text.mid(1);
    return text;
}

// Whether the file lies in the folder or in a folder below it, links
// resolved; both exist.
bool LiesInside(const QString &canonicalFile, const QString &folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    if (canonicalFile.isEmpty() || canonicalFolder.isEmpty())
        return false;
    if (canonicalFolder == QStringLiteral("/"))
        return true;
    return canonicalFile.startsWith(canonicalFolder + QLatin1Char('/'));
}

class TRowBuilder
{
public:
    TRowBuilder(const TSettings &settings, TRow &row)
        : m_settings(settings)
        , m_row(row)
    {
    }

    // what quotes the value in question, or is empty when the problem's
    // name says it all.
    void Note(TProblem problem, const QString &what = {})
    {
        const TChoice choice = m_settings.Choices[problem];
        if (choice == TChoice::Skip)
            m_row.Skipped = true;
        if (what.isEmpty())
            m_row.Problems << QStringLiteral("%1（%2）").arg(ProblemText(problem), ChoiceText(choice));
        else
            m_row.Problems
                << QStringLiteral("%1：%2（%3）").arg(ProblemText(problem), Quoted(what), ChoiceText(choice));
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

namespace {

// A row's code, read in the first pass and checked against the codes taken
// in the second.
struct TCodeCheck
{
    QString Code;
    QString Key;          // lower case
    qsizetype NoteAt = 0; // where in the row's problems a clash is told
};

// Everything of one row that does not depend on the rows before it.
void BuildRow(const CsvReader::TRecord &record, const TSettings &settings, TRow &row, TCodeCheck &check)
{
    using namespace ImportFields;
    const TWidths &w = settings.Widths;
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
        return WithoutFormulaMark(
            asWritten && column < record.Quoted.size() && record.Quoted.at(column) ? value : value.trimmed());
    };

    row.Disc.Name = b.Fitted(cell(Name), w.Name, Name);
    if (TextBlank::IsBlank(row.Disc.Name))
        b.Note(EmptyName);
    row.Disc.Spell = GbkText::Truncate(GetSpell(row.Disc.Name), w.Spell > 0 ? w.Spell : 1 << 20);
    row.Disc.Serial = b.Fitted(cell(Serial), w.Serial, Serial);
    row.Disc.Location = b.Fitted(cell(Location), w.Location, Location);
    row.Disc.Memo = cell(Memo);
    row.Category = b.Fitted(cell(Category), w.Category, Category);
    row.Quality = b.Fitted(cell(Quality), w.Quality, Quality);

    check.Code = b.Fitted(cell(Code), w.Code, Code);
    check.Key = check.Code.toLower();
    check.NoteAt = row.Problems.size();

    const QString day = cell(Date);
    if (!day.isEmpty()) {
        if (const auto date = ImportValues::ParseDate(day)) {
            row.Disc.Day = DateUtils::ToDays(*date);
            row.HasDay = true;
        } else
            b.Note(BadDate, day);
    }

    // An empty cell leaves the price empty, which is not a price of 0.
    const QString price = cell(Price);
    if (!price.isEmpty()) {
        if (const auto value = ImportValues::ParsePrice(price)) {
            row.Disc.Price = Currency::FromDouble(*value);
            row.HasPrice = true;
            if (*row.Disc.Price < 0) {
                b.Note(NegativePrice, price);
                if (settings.Choices[NegativePrice] != TChoice::Keep) {
                    row.Disc.Price = 0;
                    row.HasPrice = false;
                }
            }
        } else
            b.Note(BadPrice, price);
    }

    // The path's names between slashes or backslashes, as deep as the folder
    // tree goes below the target.
    const QString folder = cell(Folder);
    const qsizetype levels = std::max(settings.FolderLevels, 0);
    for (qsizetype start = 0; start < folder.size();) {
        qsizetype end = start;
        while (end < folder.size() && folder.at(end) != QLatin1Char('/') && folder.at(end) != QLatin1Char('\\'))
            ++end;
        const QStringView part = QStringView(folder).mid(start, end - start).trimmed();
        if (!part.isEmpty()) {
            if (row.FolderPath.size() == levels) {
                b.Note(FolderTooDeep, QStringLiteral("超过%1层").arg(levels));
                break;
            }
            row.FolderPath << b.Fitted(part.toString(), w.Folder, Folder);
        }
        start = end + 1;
    }

    // A cover is copied into the catalog's pictures: only a picture that lies
    // beside the table, where its writer put it, not whatever file a name or
    // a link leads to.
    const QString cover = cell(Cover);
    if (!cover.isEmpty()) {
        const QFileInfo file(QDir(settings.PictureFolder).filePath(QDir::fromNativeSeparators(cover)));
        const QString real = file.canonicalFilePath();
        if (!file.isFile())
            b.Note(MissingPicture, cover);
        else if (!LiesInside(real, settings.PictureFolder))
            b.Note(OutsideFolder, cover);
        else if (settings.IsPicture && !settings.IsPicture(real))
            b.Note(NotPicture, cover);
        else
            row.PictureSource = real;
    }
}

// Rows below this many are built on the calling thread alone.
constexpr qsizetype RowsPerThread = 2000;

} // namespace

QList<TRow> Build(const QList<CsvReader::TRecord> &records, const TSettings &settings)
{
    QList<TRow> rows(records.size());
    std::vector<TCodeCheck> checks(size_t(records.size()));

    // The rows are independent of each other but for their codes: they are
    // built on every core, each thread a run of rows of its own.
    const qsizetype threads =
        std::clamp<qsizetype>(records.size() / RowsPerThread, 1, std::max(1, QThread::idealThreadCount()));
    const qsizetype per = (records.size() + threads - 1) / std::max<qsizetype>(threads, 1);
    auto buildRun = [&](qsizetype first) {
        const qsizetype last = std::min(records.size(), first + per);
        for (qsizetype i = first; i < last; ++i)
            BuildRow(records.at(i), settings, rows[i], checks[size_t(i)]);
    };
    // What a run throws (no memory) is handed back to this thread: an
    // exception that leaves a thread ends the program.
    std::vector<std::exception_ptr> errors(static_cast<size_t>(threads));
    auto guardedRun = [&](qsizetype t) {
        try {
            buildRun(t * per);
        } catch (...) {
            errors[size_t(t)] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(size_t(threads));
    for (qsizetype t = 1; t < threads; ++t) {
        try {
            workers.emplace_back(guardedRun, t);
        } catch (...) {
            guardedRun(t); // no thread to be had: this one does the run
        }
    }
    guardedRun(0);
    for (std::thread &worker : workers)
        worker.join();
    for (const std::exception_ptr &error : errors)
        if (error)
            std::rethrow_exception(error);

    // Codes in file order: a code clashes with the catalog's and with those
    // of the rows before it that go in.
    QSet<QString> codesTaken = settings.ExistingCodes;
    codesTaken.reserve(settings.ExistingCodes.size() + records.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        TRow &row = rows[i];
        const TCodeCheck &check = checks[size_t(i)];
        if (check.Code.isEmpty())
            continue;
        if (codesTaken.contains(check.Key)) {
            // Told in its place among the row's problems, as the row reads.
            QStringList later = row.Problems.mid(check.NoteAt);
            row.Problems.resize(check.NoteAt);
            TRowBuilder(settings, row).Note(CodeClash, check.Code);
            row.Problems << later;
            continue;
        }
        row.Disc.Code = check.Code;
        if (!row.Skipped)
            codesTaken.insert(check.Key);
    }
    return rows;
}

} // namespace ImportPlan
