#include "store/engine/RecordNumbers.h"

#include "store/engine/EngineHandle.h"
#include "store/engine/SqlDialect.h"

#include <QList>
#include <QSet>

#include <functional>

#include <sqlcipher/sqlite3.h>

namespace {

// The limit leaves room for new rows below 2^31.
constexpr qint64 LargestId = 2000000000;

// The columns of a table that an index answers a range of values for: the
// rowid, a column that is the rowid under another name (the one INTEGER
// PRIMARY KEY) and the first column of every index over all of the rows.
QSet<QByteArray> IndexedColumns(sqlite3 *db, const QByteArray &quotedTable, bool &failed)
{
    auto run = [&](const QByteArray &sql, const std::function<void(sqlite3_stmt *)> &onRow) {
        failed = RunStatement(db, sql, onRow) != SQLITE_OK || failed;
    };
    QSet<QByteArray> indexed{"rowid"};
    QList<QByteArray> keys;
    QByteArray keyType;
    run("PRAGMA table_info(" + quotedTable + ")", [&](sqlite3_stmt *row) {
        if (sqlite3_column_int(row, 5) > 0) {
            keys << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(row, 1))).toLower();
            keyType = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(row, 2))).toUpper();
        }
    });
    if (keys.size() == 1 && keyType == "INTEGER")
        indexed << keys.first();
    QList<QByteArray> indexes;
    run("PRAGMA index_list(" + quotedTable + ")", [&](sqlite3_stmt *row) {
        // A partial index (its fifth column) leaves rows out.
        if (sqlite3_column_count(row) < 5 || sqlite3_column_int(row, 4) == 0)
            indexes << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(row, 1)));
    });
    for (const QByteArray &index : indexes)
        run("PRAGMA index_info(" + SqlDialect::Quote(QString::fromUtf8(index)).toUtf8() + ")", [&](sqlite3_stmt *row) {
            const auto *name = reinterpret_cast<const char *>(sqlite3_column_text(row, 2));
            if (sqlite3_column_int(row, 0) == 0 && name)
                indexed << QByteArray(name).toLower();
        });
    return indexed;
}

} // namespace

// The first number of the file beyond the limit, as "table.column = value";
// empty when there is none. A column with an index is asked for a number
// below or above the limit through the index, which the engine answers
// without reading the table; only the other columns are read row by row, all
// of a table's in one pass.
QString NumberOutOfRange(sqlite3 *db, bool *complete)
{
    bool failed = false;
    auto run = [&](const QByteArray &sql, const std::function<void(sqlite3_stmt *)> &onRow) {
        failed = RunStatement(db, sql, onRow) != SQLITE_OK || failed;
    };
    if (complete)
        *complete = false;
    auto firstValue = [&](const QByteArray &sql, qint64 &value) {
        bool found = false;
        run(sql, [&](sqlite3_stmt *row) {
            if (!found && sqlite3_column_type(row, 0) != SQLITE_NULL) {
                value = sqlite3_column_int64(row, 0);
                found = true;
            }
        });
        return found;
    };
    const QByteArray lowest = QByteArray::number(-LargestId);
    const QByteArray largest = QByteArray::number(LargestId);
    const QByteArray outside = " NOT BETWEEN " + lowest + " AND " + largest;
    qint64 value = 0;
    // The counters new rows are numbered from.
    if (firstValue("SELECT seq FROM sqlite_sequence WHERE seq" + outside + " LIMIT 1", value))
        return QStringLiteral("sqlite_sequence = %1").arg(value);

    QList<QByteArray> tables;
    // A disc's contents (TbEntry, TbVolume) hold 64-bit numbers of their own
    // and may run to millions of rows: they are not read as record numbers
    // and are left out, so that opening a scanned catalog stays quick.
    run("SELECT name FROM sqlite_master WHERE type='table' AND name LIKE 'Tb%' "
        "AND name NOT IN ('TbEntry','TbVolume')",
        [&](sqlite3_stmt *row) { tables << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(row, 0))); });
    auto quoted = [](const QByteArray &name) { return SqlDialect::Quote(QString::fromUtf8(name)).toUtf8(); };
    for (const QByteArray &table : tables) {
        const QByteArray quotedTable = quoted(table);
        const QSet<QByteArray> indexed = IndexedColumns(db, quotedTable, failed);
        QList<QByteArray> columns{"rowid"};
        run("PRAGMA table_info(" + quotedTable + ")", [&](sqlite3_stmt *row) {
            const QByteArray column(reinterpret_cast<const char *>(sqlite3_column_text(row, 1)));
            // Id, ID, Id1 and the references CId, TId, QId, DId.
            if (column.toLower().endsWith("id") || column.toLower() == "id1")
                columns << column;
        });
        QByteArrayList conditions;
        for (const QByteArray &column : columns) {
            const QByteArray name = column == "rowid" ? column : quoted(column);
            if (indexed.contains(column.toLower())) {
                // Numbers sort before every text and blob: "< ''" keeps the
                // numbers above the limit and leaves the texts out.
                const QByteArray select =
                    "SELECT rowid FROM " + quotedTable + " WHERE typeof(" + name + ") IN ('integer','real') AND ";
                if (firstValue(select + name + " < " + lowest + " LIMIT 1", value) ||
                    firstValue(select + name + " > " + largest + " AND " + name + " < '' LIMIT 1", value))
                    return QStringLiteral("%1, rowid %2").arg(QString::fromUtf8(table)).arg(value);
            } else {
                conditions << "(typeof(" + name + ") IN ('integer','real') AND " + name + outside + ")";
            }
        }
        if (conditions.isEmpty())
            continue;
        // One pass over the table for the numbers no index answers.
        const QByteArray sql = "SELECT rowid FROM " + quotedTable + " WHERE " + conditions.join(" OR ") + " LIMIT 1";
        if (firstValue(sql, value))
            return QStringLiteral("%1, rowid %2").arg(QString::fromUtf8(table)).arg(value);
    }
    if (complete)
        *complete = !failed;
    return {};
}
