#include "store/catalog/DataModule.h"

#include "store/catalog/NameIndex.h"
#include "store/catalog/Schema.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/Errors.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

TDM *DM = nullptr;

TDM::TDM()
{
    DbBase.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
    // The names "查找文件..." holds belong to the connection: a restore or
    // another catalog must not find them, nor a reading of them still open.
    DbBase.OnDisconnect = [](TDAODatabase &) { NameIndex::Release(); };
    Q1.SetDatabase(&DbBase);
    Q2.SetDatabase(&DbBase);
}

TDM::~TDM()
{
    Q1.Close();
    Q2.Close();
    DbBase.SetConnected(false);
}

void TDM::NameCatalog(const QString &path)
{
    DbBase.SetDatabaseName(path);
}

void TDM::SwitchCatalog(const QString &path)
{
    DbBase.SetConnected(false);
    DbBase.SetDatabaseName(path);
    DbBase.SetConnected(true);
}

qint64 TDM::FileSizeOf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw EFileError(QStringLiteral("无法打开文件“%1”：%2").arg(fileName, file.errorString()));
    return file.size();
}

namespace {

// The compacted copy while it is being written: beside the catalog, so that
// the rename that puts it in place never crosses a file system. Its
// extension keeps it out of the list of catalogs.
constexpr const char *CompactCopyName = "Tmp_mdb.tmp";

bool SyncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void RemoveCopy(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

// Writes a compacted copy of the catalog open on source (the file catalog)
// to target, with the same key: every table, row, index and counter. Returns
// the engine's error code (SQLITE_OK when the copy is complete and on disk);
// on failure, failure says why, for the user.
int ExportCompacted(sqlite3 *source, const QString &catalog, const QString &target, const QString &password,
                    QString &failure)
{
    auto fail = [&](int rc) {
        const int extended = sqlite3_extended_errcode(source);
        const QString file = QDir::toNativeSeparators(catalog);
        switch (extended & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            failure = ExplainEngineError(source, rc);
            break;
        case SQLITE_FULL:
        case SQLITE_IOERR:
            failure = QStringLiteral("整理光盘夹文件“%1”时，写入整理好的副本出错，磁盘可能已满。"
                                     "光盘夹没有整理，原文件保持不变。")
                          .arg(file);
            break;
        default:
            failure = QStringLiteral("整理光盘夹文件“%1”时出错，光盘夹没有整理，原文件保持不变。").arg(file);
            break;
        }
        qWarning().noquote() << failure << ExplainEngineDetails(source, rc);
        return rc;
    };
    int rc = SQLITE_OK;
    if (const TStatementHandle stmt = PrepareStatement(source, "ATTACH ?1 AS compacted KEY ?2", &rc)) {
        const QByteArray file = target.toUtf8();
        const QByteArray key = password.toUtf8();
        sqlite3_bind_text(stmt.get(), 1, file.constData(), int(file.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt.get(), 2, key.constData(), int(key.size()), SQLITE_TRANSIENT);
        rc = StepToEnd(stmt.get());
        rc = rc == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(source);
    }
    if (rc != SQLITE_OK)
        return fail(rc);
    // One transaction over both files: the catalog cannot change while it is
    // copied, and the copy is complete or not there at all.
    const char *const steps[] = {
        "BEGIN IMMEDIATE",
        "SELECT sqlcipher_export('compacted')",
        "COMMIT",
    };
    for (const char *step : steps) {
        rc = sqlite3_exec(source, step, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            fail(rc);
            sqlite3_exec(source, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_exec(source, "DETACH compacted", nullptr, nullptr, nullptr);
            return rc;
        }
    }
    rc = sqlite3_exec(source, "DETACH compacted", nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? rc : fail(rc);
}

} // namespace

TCurrency TDM::CompactDb()
{
    m_compactFailure.clear();
    const QString fileName = DbBase.DatabaseName();
    DbBase.SetConnected(false);
    const QString password = DbBase.Password();
    const qint64 oldSize = FileSizeOf(fileName);

    // The catalog itself is only read: the compacted copy is written beside
    // it and renamed over it once it is complete and on disk. Until that
    // rename the catalog file is byte for byte as it was; a failure, a full
    // disk or the program ending on the way leave it so.
    const QFileInfo info(fileName);
    const QString folder = info.absolutePath();
    const QString copy = QDir(folder).filePath(QLatin1String(CompactCopyName));
    RemoveCopy(copy);
    try {
        {
            TCatalogHandle db = OpenCatalogHandle(fileName, password, false);
            QFile created(copy);
            if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                m_compactFailure = QStringLiteral("无法在光盘夹文件“%1”所在的文件夹里建立临时文件，"
                                                  "光盘夹没有整理。请检查文件夹的权限和磁盘空间。")
                                       .arg(QDir::toNativeSeparators(fileName));
                qWarning().noquote() << m_compactFailure << copy << created.errorString();
                return 0;
            }
            created.close();
            if (ExportCompacted(db.get(), fileName, copy, password, m_compactFailure) != SQLITE_OK) {
                db.reset();
                RemoveCopy(copy);
                return 0;
            }
        }
        // The copy must open with the key and be sound before it replaces
        // anything.
        {
            TCatalogHandle db = OpenCatalogHandle(copy, password, true);
            QString check;
            RunStatement(db.get(), "PRAGMA quick_check", [&](sqlite3_stmt *row) {
                if (check.isEmpty())
                    check = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)));
            });
            if (check != QLatin1String("ok")) {
                db.reset();
                RemoveCopy(copy);
                m_compactFailure =
                    QStringLiteral("整理光盘夹文件“%1”时得到的副本不完整，光盘夹没有整理，原文件保持不变。")
                        .arg(QDir::toNativeSeparators(fileName));
                return 0;
            }
        }
    } catch (const EAppError &e) {
        RemoveCopy(copy);
        m_compactFailure = e.Message();
        return 0;
    }
    QFile::setPermissions(copy, QFile::permissions(fileName));
    if (::rename(QFile::encodeName(copy).constData(), QFile::encodeName(fileName).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        RemoveCopy(copy);
        m_compactFailure = QStringLiteral("无法用整理好的副本替换光盘夹文件“%1”，光盘夹没有整理，原文件保持不变。")
                               .arg(QDir::toNativeSeparators(fileName));
        qWarning().noquote() << m_compactFailure << reason;
        return 0;
    }
    SyncFolder(folder);
    const qint64 newSize = FileSizeOf(fileName);
    if (oldSize <= 0)
        return 0;
    return Currency::FromDouble(double(newSize) / double(oldSize));
}

QString TDM::GetFieldValue(const QString &sql, const QString &fieldName)
{
    OpenQuery(Q1, sql);
    QString value;
    if (Q1.RowCount() > 0)
        value = Q1.Field(fieldName).AsString();
    Q1.Close();
    return value;
}

void TDM::OpenSQL(const QString &sql)
{
    OpenQuery(Q1, sql);
}

void TDM::OpenQuery(TDAOQuery &query, const QString &sql)
{
    query.Close();
    query.SetSQL(sql);
    query.Open();
}

void TDM::ExecuteSQL(const QString &sql)
{
    Q1.Close();
    Q1.SetSQL(sql);
    Q1.Execute();
}

bool TDM::HasRecords(const QString &sql)
{
    OpenQuery(Q1, sql);
    return Q1.RowCount() > 0;
}
