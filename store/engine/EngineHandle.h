#pragma once

#include <QByteArray>

#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// The engine's connections and statements, each with one owner that
// releases it: no caller closes or finalizes by hand.

struct TCatalogHandleCloser
{
    void operator()(sqlite3 *db) const;
};
// An open connection to a catalog file; closes it when it goes.
using TCatalogHandle = std::unique_ptr<sqlite3, TCatalogHandleCloser>;

// Closes the connection now and returns the engine's answer: SQLITE_OK when
// everything written reached the file. The handle is empty afterwards.
int CloseCatalogHandle(TCatalogHandle &db);

struct TStatementFinalizer
{
    void operator()(sqlite3_stmt *stmt) const;
};
// A prepared statement; finalized when it goes.
using TStatementHandle = std::unique_ptr<sqlite3_stmt, TStatementFinalizer>;

// Prepares one statement; empty, with the engine's code in rc when given,
// when it cannot be prepared.
TStatementHandle PrepareStatement(sqlite3 *db, const QByteArray &sql, int *rc = nullptr);

// Steps the statement to its end, handing each row to onRow. Returns
// SQLITE_DONE when it ran to its end, otherwise the engine's code.
int StepToEnd(sqlite3_stmt *stmt, const std::function<void(sqlite3_stmt *)> &onRow = {});

// Prepares and runs a statement to its end, handing each row to onRow.
// Returns SQLITE_OK when it ran to its end, otherwise the engine's code.
int RunStatement(sqlite3 *db, const QByteArray &sql, const std::function<void(sqlite3_stmt *)> &onRow = {});

// Whether the open file holds a catalog: its disc, folder and settings
// tables (names compared as the engine compares them, without regard to
// letter case). An empty file opens as an empty database and holds none. rc
// receives the engine's code; a wrong key or a file that is no database
// fails here, on the first read.
bool HoldsCatalog(sqlite3 *db, int &rc);
