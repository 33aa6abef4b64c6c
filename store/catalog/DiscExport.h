#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class TDAODatabase;
class TDAODataset;
class TDAOQuery;

// Writing a list of discs as a table file for spreadsheet programs. The
// rows are those of an open disc query, in its order; the file is written
// beside its destination under a temporary name and renamed into place, so
// a failure leaves the old file, or none, never half a list.
namespace DiscExport {

enum class TFormat {
    CsvUtf8,     // comma-separated, UTF-8 with a byte-order mark
    CsvGb18030,  // comma-separated, GB18030, for older spreadsheet programs
    TabSeparated // tab-separated, UTF-8 with a byte-order mark
};

// One column of the file: a field of the query and its heading. The field
// FolderPathField stands for the disc's folder path.
struct TColumn
{
    QString FieldName;
    QString Caption;
};

inline const QString FolderPathField = QStringLiteral("#FolderPath");

// Every field of a disc, whatever a list shows: the fields named in
// shownFirst (the query's field names, as a list shows them) first and in
// that order, then the others. The headings are the names the import reads
// back, so an exported file imports again with every column in its place.
QList<TColumn> DiscColumns(const QStringList &shownFirst = {});

// Every folder's path from below the root folder, its names joined by "/"
// (电影/华语/2019); the root folder itself has an empty path.
QHash<int, QString> FolderPaths(TDAODatabase &database);

// Opens the whole catalog's disc list into the query, ordered by folder and
// serial, with the fields the disc list declares.
void OpenAllDiscs(TDAOQuery &query, TDAODatabase &database);

// One value as the file holds it: quoted when it holds the separator, a
// quote, a line break or leading/trailing blanks; quotes doubled inside.
QString QuotedValue(const QString &value, QChar separator);

// A text as a spreadsheet program must not run it: one that starts with
// "=", "+", "-", "@", a tab or a carriage return would be taken for a
// formula, so it gets a leading apostrophe. Numbers and dates are not
// passed through here.
QString InertText(const QString &text);

// Writes the rows of the open query: dates yyyy-MM-dd, prices with two
// decimals, an empty cell for a missing value. EFileError naming the file and the
// reason when it cannot be written; the destination is then unchanged.
// Returns the number of discs written.
int WriteDiscs(const TDAODataset &discs, const QList<TColumn> &columns, const QHash<int, QString> &folderPaths,
               TFormat format, const QString &path);

} // namespace DiscExport
