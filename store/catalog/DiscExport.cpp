#include "store/catalog/DiscExport.h"

#include "store/catalog/DiscList.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>

namespace DiscExport {

namespace {

[[noreturn]] void WriteFailed(const QString &path, const QString &reason)
{
    throw EFileError(QStringLiteral("无法导出光盘列表到“%1”（%2）。").arg(QDir::toNativeSeparators(path), reason));
}

// The text of one field of a row as the file shows it: dates yyyy-MM-dd,
// prices with two decimals, texts as stored but never as a formula.
QString FieldText(const TDAODataset &discs, int row, int field)
{
    switch (discs.FieldAt(field).DataType()) {
    case TFieldType::DateTime: {
        const QVariant value = discs.ValueAt(row, field);
        return value.isValid() ? value.toDateTime().date().toString(QString::fromLatin1(DateUtils::DateFormat))
                               : QString();
    }
    case TFieldType::Currency:
    case TFieldType::Float: {
        const QVariant value = discs.ValueAt(row, field);
        return value.isValid() ? QString::number(value.toDouble(), 'f', 2) : QString();
    }
    case TFieldType::Text:
    case TFieldType::Memo:
        return InertText(discs.TextAt(row, field));
    default:
        return discs.TextAt(row, field);
    }
}

} // namespace

QList<TColumn> DiscColumns(const QStringList &shownFirst)
{
    // In the order the disc list shows its columns, the ones it hides after.
    const std::pair<ImportFields::TDiscField, QString> fields[] = {
        {ImportFields::Serial, QStringLiteral("Serial")},
        {ImportFields::Date, QStringLiteral("Day")},
        {ImportFields::Code, QStringLiteral("Code")},
        {ImportFields::Name, QStringLiteral("Name")},
        {ImportFields::Category, QStringLiteral("Category")},
        {ImportFields::Quality, QStringLiteral("Quality")},
        {ImportFields::Price, QStringLiteral("Price")},
        {ImportFields::Location, QStringLiteral("Location")},
        {ImportFields::Folder, FolderPathField},
        {ImportFields::Memo, QStringLiteral("Memo")},
        {ImportFields::Cover, QStringLiteral("Picture")},
    };
    QList<TColumn> all;
    for (const auto &[field, name] : fields)
        all.append({name, ImportFields::Caption(field)});

    QList<TColumn> columns;
    for (const QString &shown : shownFirst) {
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all[i].FieldName.compare(shown, Qt::CaseInsensitive) == 0) {
                columns.append(all.takeAt(i));
                break;
            }
        }
    }
    return columns + all;
}

QHash<int, QString> FolderPaths(TDAODatabase &database)
{
    TDAOQuery tree;
    tree.SetDatabase(&database);
    tree.SetSQL(QStringLiteral("SELECT ID,Id1,Name FROM TbTree"));
    tree.Open();
    QHash<int, QPair<int, QString>> folders;
    const int id = 0, parent = 1, name = 2;
    for (int row = 0; row < tree.RowCount(); ++row)
        folders.insert(tree.ValueAt(row, id).toInt(), {tree.ValueAt(row, parent).toInt(), tree.TextAt(row, name)});
    tree.Close();

    QHash<int, QString> paths;
    for (auto it = folders.cbegin(); it != folders.cend(); ++it) {
        QStringList names;
        int current = it.key();
        // A damaged tree may loop: a path is never deeper than the tree.
        for (qsizetype depth = 0; depth <= folders.size() && current != Schema::RootFolderId; ++depth) {
            const auto folder = folders.constFind(current);
            if (folder == folders.cend())
                break;
            names.prepend(folder->second);
            current = folder->first;
        }
        paths.insert(it.key(), names.join(QLatin1Char('/')));
    }
    return paths;
}

void OpenAllDiscs(TDAOQuery &query, TDAODatabase &database)
{
    query.Close();
    query.SetDatabase(&database);
    query.SetSQL(DiscListStatement() + QStringLiteral(" ORDER BY A.TId,A.Serial,A.ID"));
    query.Open();
}

QString InertText(const QString &text)
{
    if (text.isEmpty())
        return text;
    switch (text.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        return QLatin1Char('\'') + text;
    default:
        return text;
    }
}

QString QuotedValue(const QString &value, QChar separator)
{
    bool quote = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    for (const QChar c : value) {
        if (c == separator || c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            quote = true;
            break;
        }
    }
    if (!quote)
        return value;
    QString text = value;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

int WriteDiscs(const TDAODataset &discs, const QList<TColumn> &columns, const QHash<int, QString> &folderPaths,
               TFormat format, const QString &path)
{
    const QChar separator = format == TFormat::TabSeparated ? QLatin1Char('\t') : QLatin1Char(',');
    QStringEncoder encoder(format == TFormat::CsvGb18030 ? "GB18030" : "UTF-8");
    if (!encoder.isValid())
        WriteFailed(path, QStringLiteral("系统不支持 GB18030 编码"));

    // Where each column's value comes from: a field of the query, the
    // folder path, or nothing when the query has no such field.
    enum { Missing = -1, Folder = -2 };
    std::vector<int> sources;
    for (const TColumn &column : columns) {
        if (column.FieldName == FolderPathField) {
            sources.push_back(Folder);
            continue;
        }
        int found = Missing;
        for (int f = 0; f < discs.FieldCount(); ++f) {
            if (discs.FieldAt(f).FieldName().compare(column.FieldName, Qt::CaseInsensitive) == 0) {
                found = f;
                break;
            }
        }
        sources.push_back(found);
    }
    int folderField = Missing;
    for (int f = 0; f < discs.FieldCount(); ++f) {
        if (discs.FieldAt(f).FieldName().compare(QLatin1String("TId"), Qt::CaseInsensitive) == 0)
            folderField = f;
    }

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        WriteFailed(path, out.errorString());

    QByteArray chunk;
    if (format != TFormat::CsvGb18030)
        chunk += "\xEF\xBB\xBF";
    QString line;
    auto flush = [&](bool always) {
        if (!always && chunk.size() < (1 << 20))
            return;
        if (out.write(chunk) != chunk.size())
            WriteFailed(path, out.errorString());
        chunk.clear();
    };
    auto endLine = [&] {
        line += QLatin1String("\r\n");
        chunk += encoder.encode(line);
        line.clear();
        flush(false);
    };

    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (c > 0)
            line += separator;
        line += QuotedValue(columns[c].Caption, separator);
    }
    endLine();

    const int rows = discs.RowCount();
    for (int row = 0; row < rows; ++row) {
        for (size_t c = 0; c < sources.size(); ++c) {
            if (c > 0)
                line += separator;
            QString value;
            if (sources[c] == Folder) {
                if (folderField != Missing)
                    value = InertText(folderPaths.value(discs.ValueAt(row, folderField).toInt()));
            } else if (sources[c] != Missing) {
                value = FieldText(discs, row, sources[c]);
            }
            line += QuotedValue(value, separator);
        }
        endLine();
    }
    if (encoder.hasError())
        WriteFailed(path, QStringLiteral("有文字无法用所选编码写出"));
    flush(true);
    if (!out.commit())
        WriteFailed(path, out.errorString());
    return rows;
}

} // namespace DiscExport
