#pragma once

#include "store/engine/DAOTypes.h"
#include "store/engine/EngineHandle.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class TDAODataset;
class TOpeningCheck;
class TRowReader;

enum class TDAOVersion { Dao35, Dao36 };

// One catalog file: owns the SQLite connection, opens it with the catalog's
// key and closes it again. Queries connect it on demand.
class TDAODatabase
{
public:
    TDAODatabase();
    ~TDAODatabase();
    TDAODatabase(const TDAODatabase &) = delete;
    TDAODatabase &operator=(const TDAODatabase &) = delete;

    // Connection properties: assignable only while closed.
    QString DatabaseName() const { return m_databaseName; }
    void SetDatabaseName(const QString &name);
    QString Password() const { return m_password; }
    void SetPassword(const QString &password);
    TDAOVersion DAOVersion() const { return m_daoVersion; }
    void SetDAOVersion(TDAOVersion version);
    bool Exclusive() const { return m_exclusive; }
    void SetExclusive(bool exclusive);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    bool CreateWorkspace() const { return m_createWorkspace; }
    void SetCreateWorkspace(bool create);
    QString SystemDB() const { return m_systemDb; }
    void SetSystemDB(const QString &systemDb);
    QString Version() const { return QStringLiteral("1.99"); }
    void SetVersion(const QString &) {}

    bool Connected() const { return m_db != nullptr; }
    void SetConnected(bool connected);

    // The next opening leaves its check for record numbers out of range
    // (OpenCatalogHandle) to a thread of its own, with a connection of its
    // own, while the caller goes on reading the catalog. The first statement
    // that writes waits for the check, and so does AwaitOpeningCheck, which
    // the caller runs before the user can act on the catalog. Without this
    // an opening checks before it returns.
    void CheckNextOpeningInBackground();
    // Waits for the check of the opening, if one is under way: a catalog
    // with a number out of range is then closed and refused as an opening
    // refuses it (EDAOError). Nothing was written to it.
    void AwaitOpeningCheck();
    bool OpeningCheckPending() const { return m_openingCheck != nullptr; }

    // Whether the file keeps its text as UTF-8 (the engine's encoding of
    // catalogs), so that a text can be taken as the bytes stored.
    bool TextIsUtf8() const { return m_textIsUtf8; }

    std::function<void(TDAODatabase &)> OnConnect;
    std::function<void(TDAODatabase &)> OnDisconnect;

    // Rows changed by the most recent Execute.
    int RowsAffected() const { return m_rowsAffected; }

    // Work that belongs together: BeginWork opens a transaction (a savepoint
    // when one is open already), CommitWork keeps what was done,
    // RollbackWork undoes it. Prefer TDAOTransaction.
    void BeginWork();
    void CommitWork();
    void RollbackWork();
    int WorkDepth() const { return m_workDepth; }
    // Counts the connections made, so that work begun on one is never
    // committed on the next. Numbered across every catalog object of the
    // program: together with Connected() it tells one connection from any
    // other, so that what was read through one is never taken for another's.
    int ConnectionSerial() const { return m_connectionSerial; }
    // The rows this connection has written, deleted or inserted since it
    // was made (0 when not connected): unchanged across a piece of work
    // when the work wrote nothing.
    qint64 RowsWritten() const;

    // The last row inserted through this connection, by its key (0 when
    // not connected or none was).
    qint64 LastInsertId() const;

    // Runs a statement that returns no rows; the engine's error, naming the
    // statement, when it fails.
    void Exec(const QString &sql);
    // Runs a statement to its end, handing each row to onRow; the engine's
    // error, naming the statement, when it fails.
    void ForEachRow(const QString &sql, const std::function<void(const TRowReader &)> &onRow);
    [[noreturn]] void RaiseEngineError(int code) const;
    // The engine's error on a connection of the caller's own (a catalog
    // being built or copied by hand), as an EDAOError.
    [[noreturn]] static void RaiseEngineError(sqlite3 *db, int code, const QString &context = {},
                                              const QString &statement = {});

    void RegisterDataset(TDAODataset *dataset);
    void UnregisterDataset(TDAODataset *dataset);

private:
    // The connection and its statements are the engine's alone: the
    // datasets, queries and bound statements reach them through these.
    friend class TDAODataset;
    friend class TDAOQuery;
    friend class TBoundStatement;

    // The open connection (connecting first), borrowed: m_db keeps it.
    sqlite3 *Handle();
    // A statement prepared on the connection (connecting first); the caller
    // finalizes it. One that writes waits for the opening's check.
    sqlite3_stmt *Prepare(const QString &sql);
    // The engine's error on a statement that failed to run, naming it.
    [[noreturn]] static void RaiseStatementError(sqlite3_stmt *stmt, int code);

    void Open();
    void Close();
    void RequireClosed() const;

    QString m_databaseName;
    QString m_password;
    TDAOVersion m_daoVersion = TDAOVersion::Dao35;
    bool m_exclusive = false;
    bool m_readOnly = false;
    bool m_createWorkspace = false;
    QString m_systemDb;
    bool m_checkInBackground = false;
    bool m_textIsUtf8 = false;
    TCatalogHandle m_db;
    std::unique_ptr<TOpeningCheck> m_openingCheck;
    int m_rowsAffected = 0;
    int m_workDepth = 0;
    int m_connectionSerial = 0;
    std::vector<TDAODataset *> m_openDatasets; // in the order they were opened
};

// A transaction as a scope: Commit() keeps the work; leaving the scope
// without it rolls the work back.
class TDAOTransaction
{
public:
    explicit TDAOTransaction(TDAODatabase &database);
    ~TDAOTransaction();
    TDAOTransaction(const TDAOTransaction &) = delete;
    TDAOTransaction &operator=(const TDAOTransaction &) = delete;
    void Commit();

private:
    TDAODatabase &m_database;
    bool m_done = false;
};
