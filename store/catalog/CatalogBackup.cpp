#include "store/catalog/CatalogBackup.h"

#include "store/catalog/CatalogFiles.h"
#include "store/catalog/Schema.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <sqlcipher/sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>

namespace CatalogBackup {

namespace {

const QString BackupFailed = QStringLiteral("备份光盘夹失败：");
const QString RestoreFailed = QStringLiteral("恢复光盘夹失败：");

[[noreturn]] void CannotWrite(const QString &prefix, const QString &path, const QString &reason,
                              const QString &details = {})
{
    throw EFileError(prefix + QStringLiteral("无法写入“%1”（%2）。").arg(QDir::toNativeSeparators(path), reason),
                     details);
}

// The engine's failure in a few Chinese words; its own words go to the
// details.
QString WriteReason(int code)
{
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足");
    case SQLITE_IOERR:
        return QStringLiteral("写入出错，磁盘可能已满或文件过大");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("文件正被另一个程序使用");
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        return QStringLiteral("文件或它所在的文件夹不能写入");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    default:
        return QStringLiteral("写入出错");
    }
}

// Engine errors and refused files carry their own message naming the file.
TCatalogHandle OpenOrThrow(const QString &prefix, const QString &path, const QString &password, bool readOnly,
                           bool create = false)
{
    try {
        return OpenCatalogHandle(path, password, readOnly, create);
    } catch (const EAppError &e) {
        throw EFileError(prefix + e.Message(), e.Details());
    }
}

// A journal left beside the destination by an interrupted change to the
// file being replaced would be played back into the new file.
void RemoveStaleJournal(const QString &path)
{
    QFile::remove(path + QStringLiteral("-journal"));
}

void RequireNotFolder(const QString &prefix, const QString &destination)
{
    if (QFileInfo(destination).isDir())
        CannotWrite(prefix, destination, QStringLiteral("这是一个文件夹"));
}

QString Text(sqlite3_stmt *row, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, column)),
                             sqlite3_column_bytes(row, column));
}

// The open's message names the file; the reason alone follows its prefix.
QString OpenProblem(const EAppError &e, const QString &path)
{
    const QString prefix = QStringLiteral("无法打开光盘夹文件“%1”：").arg(QDir::toNativeSeparators(path));
    return e.Message().startsWith(prefix) ? e.Message().mid(prefix.size()) : e.Message();
}

// The kinds of damage among the lines of the engine's integrity check.
QString DamageKinds(const QStringList &lines)
{
    bool pages = false, indexes = false, values = false;
    for (const QString &line : lines) {
        if (line.contains(QLatin1String("index"), Qt::CaseInsensitive))
            indexes = true;
        else if (line.contains(QLatin1String(" value in ")) || line.startsWith(QLatin1String("CHECK constraint")))
            values = true;
        else
            pages = true;
    }
    QStringList kinds;
    if (pages)
        kinds << QStringLiteral("数据页损坏");
    if (indexes)
        kinds << QStringLiteral("索引与数据不一致");
    if (values)
        kinds << QStringLiteral("数据不合规定");
    return kinds.join(QStringLiteral("、"));
}

// The engine reads every page, row and index of the file.
QString IntegrityProblem(sqlite3 *db, QString *details)
{
    constexpr int MostReported = 100;
    QStringList lines;
    const int rc = RunStatement(db, QByteArray("PRAGMA integrity_check(") + QByteArray::number(MostReported) + ')',
                                [&](sqlite3_stmt *row) { lines << Text(row, 0); });
    if (rc != SQLITE_OK) {
        *details = QString::fromUtf8(sqlite3_errmsg(db));
        return QStringLiteral("文件已经损坏，完整性检查无法读完。");
    }
    if (lines == QStringList{QStringLiteral("ok")})
        return {};
    // The engine heads its list of damaged pages with a line of its own.
    lines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("***")); });
    *details = lines.join(QLatin1Char('\n'));
    const QString count =
        lines.size() >= MostReported - 1 ? QStringLiteral("至少 %1").arg(lines.size()) : QString::number(lines.size());
    return QStringLiteral("文件已经损坏，完整性检查发现 %1 处问题（%2）。").arg(count, DamageKinds(lines));
}

std::optional<Schema::Layout> LayoutOf(const QString &version)
{
    for (const Schema::Layout layout : {Schema::Layout::Build100, Schema::Layout::Build101, Schema::Layout::Build102})
        if (version == Schema::VersionOf(layout))
            return layout;
    return std::nullopt;
}

// The version must be one the upgrade knows, and the file must have every
// table and column of it: the program reads and the upgrade rebuilds them.
QString LayoutProblem(sqlite3 *db, QString *details)
{
    std::optional<QString> version;
    int rc =
        RunStatement(db, "SELECT Version FROM TbSetings LIMIT 1", [&](sqlite3_stmt *row) { version = Text(row, 0); });
    if (rc != SQLITE_OK) {
        *details = QString::fromUtf8(sqlite3_errmsg(db));
        return QStringLiteral("文件里读不到光盘夹的版本。");
    }
    if (!version || version->isEmpty())
        return QStringLiteral("文件里没有光盘夹的版本记录。");
    const std::optional<Schema::Layout> layout = LayoutOf(*version);
    if (!layout)
        return QStringLiteral("光盘夹的版本“%1”不是本程序能使用的版本。").arg(version->left(50));
    for (const QString &table : Schema::TableNames(*layout)) {
        QStringList columns;
        rc = RunStatement(db, QStringLiteral("PRAGMA table_info(%1)").arg(table).toUtf8(),
                          [&](sqlite3_stmt *row) { columns << Text(row, 1); });
        if (rc != SQLITE_OK) {
            *details = QString::fromUtf8(sqlite3_errmsg(db));
            return QStringLiteral("文件里的数据表“%1”无法读取。").arg(table);
        }
        if (columns.isEmpty())
            return QStringLiteral("文件里缺少程序需要的数据表“%1”。").arg(table);
        for (const QString &column : Schema::ColumnNames(table, *layout))
            if (!columns.contains(column, Qt::CaseInsensitive))
                return QStringLiteral("数据表“%1”缺少程序需要的列“%2”。").arg(table, column);
    }
    return {};
}

// Keeps the file about to be replaced, and the journal of a change to it
// that was interrupted, under the safety copy's name. An older safety copy
// is replaced only once the new one is complete.
QString KeepSafetyCopy(const QString &catalog)
{
    QString copy = SafetyCopyPath(catalog);
    auto fail = [&](const QString &reason) {
        throw EFileError(RestoreFailed + QStringLiteral("无法保留被替换的光盘夹的安全副本“%1”（%2），光盘夹没有改变。")
                                             .arg(QDir::toNativeSeparators(copy), reason));
    };
    if (QFileInfo(copy).isDir())
        fail(QStringLiteral("这是一个文件夹"));
    auto copyBytes = [&](const QString &from, const QString &to) {
        QFile in(from);
        if (!in.open(QIODevice::ReadOnly))
            fail(in.errorString());
        QSaveFile out(to);
        if (!out.open(QIODevice::WriteOnly))
            fail(out.errorString());
        QByteArray chunk;
        while (!(chunk = in.read(1 << 20)).isEmpty()) {
            if (out.write(chunk) != chunk.size())
                fail(out.errorString());
        }
        if (in.error() != QFileDevice::NoError)
            fail(in.errorString());
        if (!out.commit())
            fail(out.errorString());
    };
    // A journal left by the older copy would be played back into this one.
    RemoveStaleJournal(copy);
    copyBytes(catalog, copy);
    const QString journal = catalog + QStringLiteral("-journal");
    if (QFileInfo(journal).isFile())
        copyBytes(journal, copy + QStringLiteral("-journal"));
    return copy;
}

} // namespace

QString SafetyCopyPath(const QString &catalog)
{
    return catalog + QStringLiteral(".bak");
}

QString CatalogFileProblem(const QString &path, const QString &password, QString *details)
{
    QString ignored;
    if (!details)
        details = &ignored;
    TCatalogHandle db;
    try {
        db = OpenCatalogHandle(path, password, true);
    } catch (const EAppError &e) {
        *details = e.Details();
        return OpenProblem(e, path);
    }
    QString problem = IntegrityProblem(db.get(), details);
    if (problem.isEmpty())
        problem = LayoutProblem(db.get(), details);
    return problem;
}

bool SameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

void CheckCatalogFile(const QString &path, const QString &password)
{
    QString details;
    const QString problem = CatalogFileProblem(path, password, &details);
    if (!problem.isEmpty())
        throw EFileError(QStringLiteral("光盘夹文件“%1”不能使用：%2").arg(QDir::toNativeSeparators(path), problem),
                         details);
}

void BackupCatalog(const QString &source, const QString &password, const QString &destination)
{
    if (SameFile(source, destination))
        throw EFileError(BackupFailed + QStringLiteral("“%1”就是当前光盘夹文件本身，请选择另一个文件。")
                                            .arg(QDir::toNativeSeparators(destination)));
    RequireNotFolder(BackupFailed, destination);
    const TCatalogHandle from = OpenOrThrow(BackupFailed, source, password, true);

    const QFileInfo target(destination);
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        CannotWrite(BackupFailed, destination, temp.errorString());
    const QString tempPath = temp.fileName();
    // The engine writes the file; no second descriptor of ours stays open.
    temp.close();
    auto cleanUp = [&] { QFile::remove(tempPath + QStringLiteral("-journal")); };

    {
        TCatalogHandle to = OpenOrThrow(BackupFailed, tempPath, password, false, true);
        sqlite3_backup *backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
        if (!backup) {
            const int code = sqlite3_extended_errcode(to.get());
            const QString details = QString::fromUtf8(sqlite3_errmsg(to.get()));
            cleanUp();
            CannotWrite(BackupFailed, destination, WriteReason(code), details);
        }
        // All pages in one step, under one read lock of the source: the copy
        // shows the catalog as of one moment. A writer holding the file
        // briefly is waited for.
        int rc = SQLITE_OK;
        for (int attempt = 0; attempt < 50; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(100);
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE) {
            const QString details = QString::fromUtf8(sqlite3_errstr(rc));
            to.reset();
            cleanUp();
            CannotWrite(BackupFailed, destination, WriteReason(rc), details);
        }
        const int closed = CloseCatalogHandle(to);
        if (closed != SQLITE_OK) {
            cleanUp();
            CannotWrite(BackupFailed, destination, WriteReason(closed), QString::fromUtf8(sqlite3_errstr(closed)));
        }
    }

    // A replaced file keeps its permissions; a new one is readable by all.
    const QFile::Permissions permissions = target.exists() ? QFile::permissions(destination)
                                                           : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                                 QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(tempPath, permissions);
    RemoveStaleJournal(destination);
    // rename() replaces the destination in one step.
    if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(destination).constData()) != 0) {
        const QString reason = qt_error_string(errno);
        CannotWrite(BackupFailed, destination, reason);
    }
    temp.setAutoRemove(false);
}

QString RestoreCatalog(const QString &source, const QString &destination, const QString &password)
{
    if (CatalogFiles::IsTemplate(QFileInfo(destination).fileName()))
        throw EFileError(RestoreFailed +
                         QStringLiteral("不能用“%1”替换“%2”：它是新建光盘夹所用的空白模板。"
                                        "请把要恢复的文件改一个名字再恢复。")
                             .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(destination)));
    try {
        CheckCatalogFile(source, password);
    } catch (const EAppError &e) {
        throw EFileError(RestoreFailed + e.Message(), e.Details());
    }
    if (SameFile(source, destination))
        return {};
    RequireNotFolder(RestoreFailed, destination);

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw EFileError(
            RestoreFailed +
            QStringLiteral("无法读取“%1”（%2）。").arg(QDir::toNativeSeparators(source), in.errorString()));
    QString safetyCopy = QFileInfo::exists(destination) ? KeepSafetyCopy(destination) : QString();
    // QSaveFile writes beside the destination and renames on commit; a
    // failure leaves the destination as it was.
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        CannotWrite(RestoreFailed, destination, out.errorString());
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size())
            CannotWrite(RestoreFailed, destination, out.errorString());
    }
    if (in.error() != QFileDevice::NoError)
        throw EFileError(
            RestoreFailed +
            QStringLiteral("无法读取“%1”（%2）。").arg(QDir::toNativeSeparators(source), in.errorString()));
    RemoveStaleJournal(destination);
    if (!out.commit())
        CannotWrite(RestoreFailed, destination, out.errorString());
    return safetyCopy;
}

} // namespace CatalogBackup
