#include "store/engine/DAODatabase.h"

#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODataset.h"
#include "store/engine/Errors.h"
#include "store/engine/OpeningCheck.h"
#include "store/engine/RecordNumbers.h"
#include "store/engine/RowReader.h"
#include "store/engine/SqlDialect.h"

#include <QLoggingCategory>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <atomic>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcEngine)

namespace {

const char *const OpenDatabaseError = "Cannot perform this operation on an open database";

} // namespace

TDAODatabase::TDAODatabase() = default;

void TDAODatabase::CheckNextOpeningInBackground()
{
    m_checkInBackground = true;
}

void TDAODatabase::AwaitOpeningCheck()
{
    if (!m_openingCheck)
        return;
    std::optional<QString> outOfRange = m_openingCheck->Result();
    m_openingCheck.reset();
    // The check's own connection could not read the file: this one asks.
    if (!outOfRange)
        outOfRange = NumberOutOfRange(m_db.get());
    if (outOfRange->isEmpty())
        return;
    // Nothing was written: every statement that writes waited for the check.
    if (!sqlite3_get_autocommit(m_db.get()))
        sqlite3_exec(m_db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    m_workDepth = 0;
    Close();
    RaiseNumberOutOfRange(m_databaseName, *outOfRange);
}

TDAODatabase::~TDAODatabase()
{
    try {
        Close();
    } catch (...) {
        // Nothing can be reported from a destructor.
    }
}

qint64 TDAODatabase::RowsWritten() const
{
    return m_db ? qint64(sqlite3_total_changes(m_db.get())) : 0;
}

qint64 TDAODatabase::LastInsertId() const
{
    return m_db ? qint64(sqlite3_last_insert_rowid(m_db.get())) : 0;
}

void TDAODatabase::RequireClosed() const
{
    if (m_db)
        throw EDAODatabaseError(QString::fromLatin1(OpenDatabaseError));
}

void TDAODatabase::SetDatabaseName(const QString &name)
{
    if (name == m_databaseName)
        return;
    RequireClosed();
    m_databaseName = name;
}

void TDAODatabase::SetPassword(const QString &password)
{
    RequireClosed();
    m_password = password;
}

void TDAODatabase::SetDAOVersion(TDAOVersion version)
{
    RequireClosed();
    m_daoVersion = version;
}

void TDAODatabase::SetExclusive(bool exclusive)
{
    RequireClosed();
    m_exclusive = exclusive;
}

void TDAODatabase::SetReadOnly(bool readOnly)
{
    RequireClosed();
    m_readOnly = readOnly;
}

void TDAODatabase::SetCreateWorkspace(bool create)
{
    RequireClosed();
    m_createWorkspace = create;
}

void TDAODatabase::SetSystemDB(const QString &systemDb)
{
    RequireClosed();
    m_systemDb = systemDb;
}

void TDAODatabase::SetConnected(bool connected)
{
    if (connected)
        Open();
    else
        Close();
}

void TDAODatabase::Open()
{
    if (m_db)
        return;
    if (OnConnect)
        OnConnect(*this);
    const bool inBackground = std::exchange(m_checkInBackground, false);
    m_db = OpenCatalogHandle(m_databaseName, m_password, m_readOnly, false, !inBackground);
    if (inBackground)
        m_openingCheck = std::make_unique<TOpeningCheck>(m_databaseName, m_password);
    if (m_exclusive)
        sqlite3_exec(m_db.get(), "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    m_textIsUtf8 = false;
    RunStatement(m_db.get(), "PRAGMA encoding", [this](sqlite3_stmt *row) {
        m_textIsUtf8 = qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)), "UTF-8") == 0;
    });
    m_workDepth = 0;
    // Numbered across every catalog object, so that no two connections of
    // the program share a number, even with the same handle address.
    static std::atomic<int> connectionsMade{0};
    m_connectionSerial = ++connectionsMade;
}

void TDAODatabase::Close()
{
    if (!m_db)
        return;
    if (OnDisconnect)
        OnDisconnect(*this);
    m_openingCheck.reset();
    // The most recently opened query first.
    while (!m_openDatasets.empty())
        m_openDatasets.back()->Close();
    // Work still open at this point was already done by a command that
    // stopped early; keep it.
    if (!sqlite3_get_autocommit(m_db.get()))
        sqlite3_exec(m_db.get(), "COMMIT", nullptr, nullptr, nullptr);
    m_workDepth = 0;
    m_db.reset();
}

sqlite3 *TDAODatabase::Handle()
{
    Open();
    return m_db.get();
}

void TDAODatabase::RaiseEngineError(int code) const
{
    RaiseEngineError(m_db.get(), code);
}

void TDAODatabase::RaiseEngineError(sqlite3 *db, int code, const QString &context, const QString &statement)
{
    QString message = ExplainEngineError(db, code);
    if (!context.isEmpty())
        message += QStringLiteral("\n") + context;
    const QString details = ExplainEngineDetails(db, code);
    qCWarning(lcEngine).noquote() << message << details;
    throw EDAOError(message, db ? sqlite3_extended_errcode(db) : code, details, statement);
}

void TDAODatabase::RaiseStatementError(sqlite3_stmt *stmt, int code)
{
    // The text as prepared: bound values (a key, say) stay placeholders.
    const char *text = stmt ? sqlite3_sql(stmt) : nullptr;
    RaiseEngineError(stmt ? sqlite3_db_handle(stmt) : nullptr, code, {}, text ? QString::fromUtf8(text) : QString());
}

sqlite3_stmt *TDAODatabase::Prepare(const QString &sql)
{
    sqlite3 *db = Handle();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        RaiseEngineError(db, rc, {}, sql);
    }
    // A catalog still being checked is written only once it passed.
    if (m_openingCheck && stmt && !sqlite3_stmt_readonly(stmt)) {
        try {
            AwaitOpeningCheck();
        } catch (...) {
            sqlite3_finalize(stmt);
            throw;
        }
    }
    return stmt;
}

void TDAODatabase::Exec(const QString &sql)
{
    TStatementHandle stmt(Prepare(sql));
    const int rc = StepToEnd(stmt.get());
    m_rowsAffected = sqlite3_changes(m_db.get());
    stmt.reset();
    if (rc != SQLITE_DONE)
        RaiseEngineError(m_db.get(), rc, {}, sql);
}

void TDAODatabase::ForEachRow(const QString &sql, const std::function<void(const TRowReader &)> &onRow)
{
    const TStatementHandle stmt(Prepare(sql));
    const TRowReader row(stmt.get());
    const int rc = StepToEnd(stmt.get(), [&](sqlite3_stmt *) { onRow(row); });
    if (rc != SQLITE_DONE)
        RaiseStatementError(stmt.get(), rc);
}

void TDAODatabase::BeginWork()
{
    Handle();
    AwaitOpeningCheck();
    if (m_workDepth == 0 && sqlite3_get_autocommit(m_db.get()))
        Exec(QStringLiteral("BEGIN IMMEDIATE"));
    else
        Exec(QStringLiteral("SAVEPOINT work%1").arg(m_workDepth));
    ++m_workDepth;
}

void TDAODatabase::CommitWork()
{
    if (m_workDepth == 0 || !m_db)
        return;
    --m_workDepth;
    // The engine ends a transaction by itself on some errors (a full disk);
    // then there is nothing left to commit.
    if (sqlite3_get_autocommit(m_db.get()))
        return;
    if (m_workDepth == 0)
        Exec(QStringLiteral("COMMIT"));
    else
        Exec(QStringLiteral("RELEASE work%1").arg(m_workDepth));
}

void TDAODatabase::RollbackWork()
{
    if (m_workDepth == 0 || !m_db)
        return;
    --m_workDepth;
    if (sqlite3_get_autocommit(m_db.get()))
        return;
    if (m_workDepth == 0) {
        Exec(QStringLiteral("ROLLBACK"));
    } else {
        Exec(QStringLiteral("ROLLBACK TO work%1").arg(m_workDepth));
        Exec(QStringLiteral("RELEASE work%1").arg(m_workDepth));
    }
}

void TDAODatabase::RegisterDataset(TDAODataset *dataset)
{
    UnregisterDataset(dataset);
    m_openDatasets.push_back(dataset);
}

void TDAODatabase::UnregisterDataset(TDAODataset *dataset)
{
    m_openDatasets.erase(std::remove(m_openDatasets.begin(), m_openDatasets.end(), dataset), m_openDatasets.end());
}

TDAOTransaction::TDAOTransaction(TDAODatabase &database)
    : m_database(database)
{
    m_database.BeginWork();
}

TDAOTransaction::~TDAOTransaction()
{
    if (m_done)
        return;
    try {
        m_database.RollbackWork();
    } catch (...) {
        // The engine has already ended the transaction.
    }
}

void TDAOTransaction::Commit()
{
    m_done = true;
    m_database.CommitWork();
}
