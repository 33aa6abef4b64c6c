#include "store/engine/CatalogOpening.h"

#include "store/engine/EngineHandle.h"
#include "store/engine/Errors.h"
#include "store/engine/RecordNumbers.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <sqlcipher/sqlite3.h>

Q_LOGGING_CATEGORY(lcEngine, "vorlix.store.engine")

// EDAOError tells its kinds by the engine's codes without naming the engine.
static_assert(SQLITE_CORRUPT == 11 && SQLITE_NOTADB == 26 && SQLITE_CONSTRAINT_UNIQUE == 2067);

namespace {

QString EngineMessage(sqlite3 *db, int code)
{
    if (db)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(code));
}

// How long a connection waits for another one that holds the file.
constexpr int BusyTimeoutMs = 3000;

QString FileNameOf(sqlite3 *db)
{
    const char *name = db ? sqlite3_db_filename(db, "main") : nullptr;
    return name && *name ? QDir::toNativeSeparators(QString::fromUtf8(name)) : QString();
}

// The words of the engine and its error number, for the log and the details
// of the message box.
QString EngineDetails(sqlite3 *db, int code)
{
    const int extended = db ? sqlite3_extended_errcode(db) : code;
    return QStringLiteral("%1 (SQLite %2)").arg(EngineMessage(db, code)).arg(extended);
}

[[noreturn]] void RaiseOpenError(const QString &path, const QString &reason, int code, const QString &details = {})
{
    const QString message = QStringLiteral("无法打开光盘夹文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
    if (!details.isEmpty())
        qCWarning(lcEngine).noquote() << message << details;
    throw EDAOError(message, code, details);
}

// Why the engine could not open or read the file, in a sentence without the
// file's name (the caller names it).
QString OpenFailureReason(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral("不是光盘夹文件，或者密码不对。");
    case SQLITE_CORRUPT:
        return QStringLiteral("文件已经损坏。请用备份恢复它。");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("文件正被另一个程序使用，请稍后再试。");
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("无法读写这个文件，请检查文件和它所在文件夹的权限。");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足。");
    case SQLITE_IOERR:
        return QStringLiteral("读取文件时出错，文件可能已经损坏。");
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足。");
    default:
        return QStringLiteral("文件无法读取。");
    }
}

} // namespace

QString ExplainEngineError(sqlite3 *db, int code)
{
    const int extended = db ? sqlite3_extended_errcode(db) : code;
    const QString file = FileNameOf(db);
    const QString catalog = file.isEmpty() ? QStringLiteral("光盘夹文件") : QStringLiteral("光盘夹文件“%1”").arg(file);
    switch (extended & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("%1已经损坏，无法读取。请用备份恢复它。").arg(catalog);
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足，无法写入%1，这次修改没有保存。").arg(catalog);
    case SQLITE_IOERR:
        switch (extended) {
        case SQLITE_IOERR_READ:
        case SQLITE_IOERR_SHORT_READ:
            return QStringLiteral("读取%1时出错，文件可能已经损坏。").arg(catalog);
        default:
            return QStringLiteral("写入%1时出错：磁盘可能已满或文件过大，这次修改没有保存。").arg(catalog);
        }
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("%1正被另一个程序使用，请稍后再试。").arg(catalog);
    case SQLITE_READONLY:
        // The file at the path is no longer the one this connection opened:
        // it was replaced (a restore from another window) or moved.
        if (extended == SQLITE_READONLY_DBMOVED)
            return QStringLiteral("%1已经在磁盘上被替换或移动（例如被恢复），这次修改没有保存。"
                                  "窗口里显示的可能是旧的内容，请重新打开这个光盘夹。")
                .arg(catalog);
        return QStringLiteral("%1是只读的，不能修改。").arg(catalog);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return QStringLiteral("无法读写%1或在它所在的文件夹里建立临时文件，这次操作没有完成。"
                              "请检查文件和文件夹的权限。")
            .arg(catalog);
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足，无法处理%1。").arg(catalog);
    default:
        return QStringLiteral("处理%1时出错，这次操作没有完成。").arg(catalog);
    }
}

QString ExplainEngineDetails(sqlite3 *db, int code)
{
    return EngineDetails(db, code);
}

void RaiseNumberOutOfRange(const QString &path, const QString &details)
{
    RaiseOpenError(path,
                   QStringLiteral("文件里有超出范围的记录编号，它可能已经损坏或被改动过。"
                                  "为了不把一条记录当成另一条，这个光盘夹没有打开。"),
                   SQLITE_CORRUPT, details);
}

TCatalogHandle OpenCatalogHandle(const QString &path, const QString &password, bool readOnly, bool create,
                                 bool checkNumbers)
{
    if (path.isEmpty())
        throw EDAOError(QStringLiteral("还没有打开光盘夹：请通过“新建/打开光盘夹..”选择一个光盘夹。"), SQLITE_CANTOPEN);
    const QFileInfo info(path);
    if (!create && !info.exists())
        RaiseOpenError(path, QStringLiteral("文件不存在。"), SQLITE_CANTOPEN);
    if (!create && info.isDir())
        RaiseOpenError(path, QStringLiteral("这是一个文件夹，不是光盘夹文件。"), SQLITE_CANTOPEN);

    // Each connection is used by one thread only (the window's, or the one a
    // background read opened for itself): the engine need not lock it around
    // every call.
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3 *raw = nullptr;
    const QByteArray file = path.toUtf8();
    int rc = sqlite3_open_v2(file.constData(), &raw, flags, nullptr);
    TCatalogHandle db(raw);
    if (rc != SQLITE_OK)
        RaiseOpenError(path, OpenFailureReason(rc), rc, EngineDetails(raw, rc));

    // Another program (or another of our own connections) may hold the file
    // for a moment; wait for it from the very first read on.
    sqlite3_busy_timeout(raw, BusyTimeoutMs);

    if (!password.isEmpty()) {
        const QByteArray key = password.toUtf8();
        rc = sqlite3_key(raw, key.constData(), int(key.size()));
        if (rc != SQLITE_OK)
            RaiseOpenError(path, OpenFailureReason(rc), rc, EngineDetails(raw, rc));
    }
    // A wrong key or a file that is no catalog fails on the first read.
    const bool isCatalog = HoldsCatalog(raw, rc);
    if (rc != SQLITE_OK)
        RaiseOpenError(path, OpenFailureReason(rc), rc, EngineDetails(raw, rc));
    // An empty file opens as an empty database: it holds no catalog.
    if (!create && !isCatalog)
        RaiseOpenError(path, QStringLiteral("不是光盘夹文件（文件里没有光盘夹的数据表）。"), SQLITE_NOTADB);

    if (!create) {
        if (!readOnly && sqlite3_db_readonly(raw, "main") == 1)
            RaiseOpenError(path, QStringLiteral("文件是只读的，不能修改。"), SQLITE_READONLY);
        // A file cut short still opens; its missing pages would only show
        // later, as a damaged list. Refuse it now.
        qint64 pages = 0, pageSize = 0;
        RunStatement(raw, "PRAGMA page_count", [&](sqlite3_stmt *row) { pages = sqlite3_column_int64(row, 0); });
        RunStatement(raw, "PRAGMA page_size", [&](sqlite3_stmt *row) { pageSize = sqlite3_column_int64(row, 0); });
        if (QFileInfo(path).size() < pages * pageSize)
            RaiseOpenError(path, QStringLiteral("文件不完整，已经损坏。"), SQLITE_CORRUPT);
        if (checkNumbers) {
            const QString outOfRange = NumberOutOfRange(raw);
            if (!outOfRange.isEmpty())
                RaiseNumberOutOfRange(path, outOfRange);
        }
    }
    return db;
}
