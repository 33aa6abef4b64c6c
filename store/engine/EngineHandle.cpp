#include "store/engine/EngineHandle.h"

#include <sqlcipher/sqlite3.h>

void TCatalogHandleCloser::operator()(sqlite3 *db) const
{
    // Statements still open keep the connection until they are finalized.
    sqlite3_close_v2(db);
}

int CloseCatalogHandle(TCatalogHandle &db)
{
    return db ? sqlite3_close_v2(db.release()) : SQLITE_OK;
}

void TStatementFinalizer::operator()(sqlite3_stmt *stmt) const
{
    sqlite3_finalize(stmt);
}

TStatementHandle PrepareStatement(sqlite3 *db, const QByteArray &sql, int *rc)
{
    sqlite3_stmt *stmt = nullptr;
    const int code = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr);
    if (rc)
        *rc = code;
    TStatementHandle owned(stmt);
    if (code != SQLITE_OK)
        owned.reset();
    return owned;
}

int StepToEnd(sqlite3_stmt *stmt, const std::function<void(sqlite3_stmt *)> &onRow)
{
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        if (onRow)
            onRow(stmt);
    return rc;
}

int RunStatement(sqlite3 *db, const QByteArray &sql, const std::function<void(sqlite3_stmt *)> &onRow)
{
    int rc = SQLITE_OK;
    const TStatementHandle stmt = PrepareStatement(db, sql, &rc);
    if (!stmt)
        return rc;
    rc = StepToEnd(stmt.get(), onRow);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

bool HoldsCatalog(sqlite3 *db, int &rc)
{
    int tables = 0;
    rc = RunStatement(db,
                      "SELECT count(*) FROM sqlite_master WHERE type='table' "
                      "AND lower(name) IN ('tbcd','tbtree','tbsetings')",
                      [&](sqlite3_stmt *row) { tables = sqlite3_column_int(row, 0); });
    return rc == SQLITE_OK && tables == 3;
}
