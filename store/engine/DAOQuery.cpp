#include "store/engine/DAOQuery.h"

#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"
#include "store/engine/SqlDialect.h"

#include <QRegularExpression>

#include <sqlcipher/sqlite3.h>

namespace {

const char *const NoDatabaseError = "Cannot perform this operation without Database property";

struct Statement
{
    sqlite3_stmt *stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
    void reset(sqlite3_stmt *s)
    {
        sqlite3_finalize(stmt);
        stmt = s;
    }
};

// Column types come from the declared type of the table column, in the
// names the catalogs use: TEXT(n), LONGTEXT, CURRENCY, DATETIME, INTEGER...
bool TypeOfDeclaration(const char *declared, TFieldType &type, int &size)
{
    if (!declared)
        return false;
    const QString decl = QString::fromUtf8(declared).toUpper();
    size = 255;
    if (decl.contains(QLatin1String("LONGTEXT")) || decl.contains(QLatin1String("MEMO"))) {
        type = TFieldType::Memo;
    } else if (decl.contains(QLatin1String("CHAR")) || decl.contains(QLatin1String("TEXT")) ||
               decl.contains(QLatin1String("CLOB"))) {
        type = TFieldType::Text;
        static const QRegularExpression width(QStringLiteral("\\(\\s*(\\d+)\\s*\\)"));
        const QRegularExpressionMatch m = width.match(decl);
        if (m.hasMatch())
            size = m.captured(1).toInt();
    } else if (decl.contains(QLatin1String("CURRENCY")) || decl.contains(QLatin1String("MONEY"))) {
        type = TFieldType::Currency;
    } else if (decl.contains(QLatin1String("DATE")) || decl.contains(QLatin1String("TIME"))) {
        type = TFieldType::DateTime;
    } else if (decl.contains(QLatin1String("SMALLINT")) || decl.contains(QLatin1String("SHORT")) ||
               decl.contains(QLatin1String("BYTE")) || decl.contains(QLatin1String("TINYINT"))) {
        type = TFieldType::SmallInt;
    } else if (decl.contains(QLatin1String("INT")) || decl.contains(QLatin1String("LONG")) ||
               decl.contains(QLatin1String("COUNTER"))) {
        type = TFieldType::Integer;
    } else if (decl.contains(QLatin1String("REAL")) || decl.contains(QLatin1String("FLOA")) ||
               decl.contains(QLatin1String("DOUB")) || decl.contains(QLatin1String("SINGLE"))) {
        type = TFieldType::Float;
    } else if (decl.contains(QLatin1String("BOOL")) || decl.contains(QLatin1String("BIT")) ||
               decl.contains(QLatin1String("YESNO"))) {
        type = TFieldType::Boolean;
    } else {
        return false;
    }
    return true;
}

QString Utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

TDAOQuery::TDAOQuery(QObject *parent)
    : TDAODataset(parent)
{
}

void TDAOQuery::SetSQL(const QStringList &lines)
{
    if (lines.join(QLatin1Char('\n')) != m_sql.join(QLatin1Char('\n')))
        Close();
    m_sql = lines;
}

QString TDAOQuery::StatementText() const
{
    QString text = m_sql.join(QLatin1Char('\n'));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

void TDAOQuery::Execute()
{
    if (!Database())
        throw EDAODatabaseError(QString::fromLatin1(NoDatabaseError));
    const SqlDialect::Translation translation = SqlDialect::Translate(StatementText());
    Database()->Exec(translation.sql);
    m_rowsAffected = Database()->RowsAffected();
}

void TDAOQuery::Open()
{
    if (!Database())
        throw EDAODatabaseError(QString::fromLatin1(NoDatabaseError));
    if (Active())
        return;
    TDAODatabase &db = *Database();
    const SqlDialect::Translation translation = SqlDialect::Translate(StatementText());

    Statement statement;
    statement.reset(db.Prepare(translation.sql));
    sqlite3_stmt *stmt = statement.stmt;

    // A UNION returns its rows ordered by their columns.
    if (translation.hasUnion && !translation.hasOrderBy) {
        const int count = sqlite3_column_count(stmt);
        statement.reset(db.Prepare(translation.sql + SqlDialect::OrderByAllColumns(count)));
        stmt = statement.stmt;
    }

    // The rows can be written when the result comes from one table: the
    // table of its first column taken from a table. The written table's
    // rowid is then fetched too, as a hidden leading column, so that even a
    // result that does not list the key can be edited.
    WriteTarget target;
    int rowidColumn = -1;
    const bool simple =
        translation.isSelect && !translation.hasUnion && !translation.hasDistinct && !translation.hasGroupBy;
    if (simple) {
        for (int c = 0; c < sqlite3_column_count(stmt) && target.table.isEmpty(); ++c)
            target.table = Utf8(sqlite3_column_table_name(stmt, c));
        const QString qualifier =
            target.table.isEmpty() ? QString() : SqlDialect::TableQualifier(translation, target.table);
        if (qualifier.isEmpty()) {
            target.table.clear();
        } else {
            const QString rowid = QLatin1Char('"') + qualifier + QStringLiteral("\".rowid");
            sqlite3_stmt *withRowid = nullptr;
            const QByteArray text = SqlDialect::WithLeadingColumn(translation, rowid).toUtf8();
            if (sqlite3_prepare_v2(db.Handle(), text.constData(), int(text.size()), &withRowid, nullptr) == SQLITE_OK) {
                statement.reset(withRowid);
                stmt = withRowid;
                rowidColumn = 0;
            } else {
                sqlite3_finalize(withRowid);
                target.table.clear();
            }
        }
    }

    std::vector<ColumnInfo> columns;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        if (c == rowidColumn)
            continue;
        ColumnInfo info;
        info.name = Utf8(sqlite3_column_name(stmt, c));
        info.typeKnown = TypeOfDeclaration(sqlite3_column_decltype(stmt, c), info.type, info.size);
        columns.push_back(info);
        if (!target.table.isEmpty()) {
            const bool fromTarget =
                Utf8(sqlite3_column_table_name(stmt, c)).compare(target.table, Qt::CaseInsensitive) == 0;
            target.originColumns.push_back(fromTarget ? Utf8(sqlite3_column_origin_name(stmt, c)) : QString());
        }
    }
    if (target.table.isEmpty())
        target.originColumns.assign(columns.size(), QString());

    Load(stmt, rowidColumn, std::move(columns), std::move(target));
    if (AfterOpen)
        AfterOpen(*this);
    if (RowCount() > 0 && AfterScroll)
        AfterScroll(*this);
}
