// Statement text through the SQL dialect translation. A statement the
// translation cannot read ends in EAppError; anything else it throws, and any
// crash, is a fault. Typed text put between quotes with Quote must come out
// of the translation as one literal of exactly that text, which SQLite itself
// confirms: as a value compared with =, and as a LIKE pattern that matches
// the text.
#include "tests/fuzz/FuzzTargets.h"

#include "store/engine/Errors.h"
#include "store/engine/SqlDialect.h"

#include <sqlcipher/sqlite3.h>

namespace {

void TranslateAnything(const QString &statement)
{
    SqlDialect::Translation t;
    try {
        t = SqlDialect::Translate(statement);
    } catch (const EAppError &) {
        // Only a literal can be unreadable: a string or a date.
        FUZZ_CHECK(statement.contains(QLatin1Char('"')) || statement.contains(QLatin1Char('\'')) ||
                       statement.contains(QLatin1Char('#')),
                   QStringLiteral("refused a statement without a literal"));
        return;
    }
    FUZZ_CHECK(t.sql == t.sql.trimmed() && !t.sql.endsWith(QLatin1Char(';')), QStringLiteral("statement not trimmed"));
    // The layer's own analysis runs on every statement that translates.
    SqlDialect::TableQualifier(t, QStringLiteral("TbCd"));
    const QString widened = SqlDialect::WithLeadingColumn(t, QStringLiteral("A.Id"));
    if (t.isSelect)
        FUZZ_CHECK(widened.contains(QLatin1String(" A.Id,")), QStringLiteral("leading column missing"));
}

sqlite3 *Engine()
{
    static sqlite3 *const db = [] {
        sqlite3 *opened = nullptr;
        if (sqlite3_open(":memory:", &opened) != SQLITE_OK)
            throw FuzzFault(QStringLiteral("cannot open an in-memory database"));
        return opened;
    }();
    return db;
}

void QuotedTextStaysItself(QString typed)
{
    // SQLite ends a statement's text at a zero character.
    typed.replace(QChar(0), QLatin1Char(' '));
    const QString statement = QStringLiteral("SELECT ?1=") + SqlDialect::Quote(typed) + QStringLiteral(", ?1 LIKE ") +
                              SqlDialect::Quote(typed);
    QString sql;
    try {
        sql = SqlDialect::Translate(statement).sql;
    } catch (const EAppError &e) {
        throw FuzzFault(QStringLiteral("a quoted text was refused: ") + e.Message());
    }

    sqlite3_stmt *stmt = nullptr;
    const int prepared = sqlite3_prepare16_v2(Engine(), sql.utf16(), int(sql.size() * 2), &stmt, nullptr);
    struct Finalizer
    {
        sqlite3_stmt *stmt;
        ~Finalizer() { sqlite3_finalize(stmt); }
    } finalizer{stmt};
    FUZZ_CHECK(prepared == SQLITE_OK,
               QStringLiteral("SQLite refused %1: %2").arg(sql, QString::fromUtf8(sqlite3_errmsg(Engine()))));
    FUZZ_CHECK(sqlite3_column_count(stmt) == 2, QStringLiteral("the text left its literal: ") + sql);
    sqlite3_bind_text16(stmt, 1, typed.utf16(), int(typed.size() * 2), SQLITE_TRANSIENT);
    FUZZ_CHECK(sqlite3_step(stmt) == SQLITE_ROW, QStringLiteral("no row"));
    FUZZ_CHECK(sqlite3_column_int(stmt, 0) == 1, QStringLiteral("the literal is not the text: ") + sql);
    FUZZ_CHECK(sqlite3_column_int(stmt, 1) == 1, QStringLiteral("the pattern does not match its text: ") + sql);
}

} // namespace

void FuzzDialect(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    TranslateAnything(text);
    TranslateAnything(FuzzText::Utf16(data, size));
    QuotedTextStaysItself(text);
}
