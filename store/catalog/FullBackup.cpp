#include "store/catalog/FullBackup.h"

#include "store/catalog/CatalogBackup.h"
#include "store/catalog/CatalogFiles.h"
#include "store/catalog/PictureNames.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <sqlcipher/sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>

namespace FullBackup {

namespace {

const QString BackupFailed = QStringLiteral("完整备份失败：");
const QString RestoreFailed = QStringLiteral("从完整备份恢复失败：");
const QString ManifestEntry = QStringLiteral("manifest.json");
const QString CatalogEntry = QStringLiteral("catalog.mdb");
const QString PictureEntry = QStringLiteral("Picture/");
const QString ArchiveFormat = QStringLiteral("vorlix-full-backup");

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void CannotWrite(const QString &path, const QString &reason)
{
    throw EFileError(BackupFailed + QStringLiteral("无法写入“%1”（%2）。").arg(Native(path), reason));
}

[[noreturn]] void Refused(const QString &archive, const QString &reason)
{
    throw EFileError(RestoreFailed + QStringLiteral("“%1”不是可用的完整备份：%2。").arg(Native(archive), reason));
}

TStatementHandle Prepare(sqlite3 *db, const char *sql)
{
    int rc = SQLITE_OK;
    TStatementHandle stmt = PrepareStatement(db, sql, &rc);
    if (!stmt)
        TDAODatabase::RaiseEngineError(db, rc, {}, QString::fromUtf8(sql));
    return stmt;
}

// What the backup reads from the catalog copy.
struct TCatalogFacts
{
    int discs = 0;
    QString version;
    QStringList pictures; // distinct, as stored
};

TCatalogFacts ReadFacts(const QString &path, const QString &password)
{
    const TCatalogHandle db = OpenCatalogHandle(path, password, true);
    TCatalogFacts facts;
    const TStatementHandle count = Prepare(db.get(), "SELECT count(*) FROM TbCd");
    if (sqlite3_step(count.get()) == SQLITE_ROW)
        facts.discs = sqlite3_column_int(count.get(), 0);
    const TStatementHandle version = Prepare(db.get(), "SELECT Version FROM TbSetings");
    if (sqlite3_step(version.get()) == SQLITE_ROW)
        facts.version = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(version.get(), 0)));
    const TStatementHandle pictures =
        Prepare(db.get(), "SELECT DISTINCT Picture FROM TbCd WHERE Picture IS NOT NULL AND Picture<>'' ORDER BY 1");
    StepToEnd(pictures.get(), [&](sqlite3_stmt *row) {
        facts.pictures << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)));
    });
    return facts;
}

// Changes the discs' picture names in one transaction.
void RenamePictures(const QString &path, const QString &password, const QHash<QString, QString> &renamed)
{
    if (renamed.isEmpty())
        return;
    const TCatalogHandle db = OpenCatalogHandle(path, password, false);
    auto exec = [&](const char *sql) {
        if (sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            TDAODatabase::RaiseEngineError(db.get(), sqlite3_extended_errcode(db.get()));
    };
    exec("BEGIN IMMEDIATE");
    try {
        const TStatementHandle update = Prepare(db.get(), "UPDATE TbCd SET Picture=?1 WHERE Picture=?2");
        for (auto it = renamed.cbegin(); it != renamed.cend(); ++it) {
            const QByteArray to = it.value().toUtf8(), from = it.key().toUtf8();
            sqlite3_bind_text(update.get(), 1, to.constData(), int(to.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(update.get(), 2, from.constData(), int(from.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(update.get()) != SQLITE_DONE)
                TDAODatabase::RaiseEngineError(db.get(), sqlite3_extended_errcode(db.get()));
            sqlite3_reset(update.get());
        }
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

// A stored name that can only mean a file directly inside a folder.
bool PlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           name != QLatin1String(".") && name != QLatin1String("..");
}

void AddEntry(QuaZip &zip, const QString &entry, const QByteArray &data, const QString &archivePath)
{
    QuaZipFile out(&zip);
    if (!out.open(QIODevice::WriteOnly, QuaZipNewInfo(entry)))
        CannotWrite(archivePath, QStringLiteral("无法在归档中写入“%1”").arg(entry));
    const qint64 written = out.write(data);
    out.close();
    if (written != data.size() || out.getZipError() != ZIP_OK)
        CannotWrite(archivePath, QStringLiteral("写入出错，磁盘可能已满或文件过大"));
}

QByteArray ReadFile(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok)
        return {};
    QByteArray data = file.readAll();
    *ok = file.error() == QFileDevice::NoError;
    return data;
}

// A file's content as a digest, read piece by piece; empty when it cannot
// be read.
QByteArray Digest(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

} // namespace

TBackupReport WriteArchive(const QString &catalogPath, const QString &password, const PictureResolver &pictures,
                           const QString &archivePath)
{
    if (QFileInfo(archivePath).isDir())
        CannotWrite(archivePath, QStringLiteral("这是一个文件夹"));
    QTemporaryDir work;
    if (!work.isValid())
        CannotWrite(archivePath, QStringLiteral("无法建立临时文件夹"));
    const QString copy = work.filePath(CatalogEntry);
    try {
        CatalogBackup::BackupCatalog(catalogPath, password, copy);
    } catch (const EAppError &e) {
        throw EFileError(BackupFailed + e.Message(), e.Details());
    }
    const TCatalogFacts facts = ReadFacts(copy, password);

    TBackupReport report;
    report.Discs = facts.discs;
    QJsonArray pictureList;
    QList<QPair<QString, QString>> pictureFiles; // name, file
    for (const QString &name : facts.pictures) {
        const QString file = PlainName(name) ? pictures(name) : QString();
        if (file.isEmpty()) {
            report.MissingPictures << name;
            continue;
        }
        pictureFiles.append({name, file});
        pictureList.append(name);
    }

    const QFileInfo target(archivePath);
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        CannotWrite(archivePath, temp.errorString());
    const QString tempPath = temp.fileName();
    temp.close();
    {
        QuaZip zip(tempPath);
        zip.setUtf8Enabled(true);
        if (!zip.open(QuaZip::mdCreate))
            CannotWrite(archivePath, QStringLiteral("无法建立归档文件"));
        bool ok = false;
        const QByteArray catalog = ReadFile(copy, &ok);
        if (!ok)
            CannotWrite(archivePath, QStringLiteral("无法读取光盘夹的副本"));
        AddEntry(zip, CatalogEntry, catalog, archivePath);
        // The restore unpacks no entry beyond the size written here.
        QJsonObject sizes{{CatalogEntry, double(catalog.size())}};
        for (const auto &[name, file] : pictureFiles) {
            const QByteArray data = ReadFile(file, &ok);
            if (!ok) {
                report.MissingPictures << name;
                for (qsizetype i = 0; i < pictureList.size(); ++i)
                    if (pictureList[i].toString() == name)
                        pictureList.removeAt(i);
                continue;
            }
            AddEntry(zip, PictureEntry + name, data, archivePath);
            sizes.insert(PictureEntry + name, double(data.size()));
        }
        QJsonObject manifest{
            {QStringLiteral("format"), ArchiveFormat},
            {QStringLiteral("catalog"), QFileInfo(catalogPath).fileName()},
            {QStringLiteral("version"), facts.version},
            {QStringLiteral("discs"), facts.discs},
            {QStringLiteral("pictureCount"), pictureList.size()},
            {QStringLiteral("pictures"), pictureList},
            {QStringLiteral("sizes"), sizes},
            {QStringLiteral("date"), QDateTime::currentDateTime().toString(Qt::ISODate)},
        };
        AddEntry(zip, ManifestEntry, QJsonDocument(manifest).toJson(), archivePath);
        zip.close();
        if (zip.getZipError() != ZIP_OK)
            CannotWrite(archivePath, QStringLiteral("写入出错，磁盘可能已满或文件过大"));
    }
    report.Pictures = int(pictureList.size());
    QFile::setPermissions(tempPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                                        QFile::ReadGroup | QFile::ReadOther);
    if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(archivePath).constData()) != 0)
        CannotWrite(archivePath, qt_error_string(errno));
    temp.setAutoRemove(false);
    report.MissingPictures.sort();
    return report;
}

TArchive::TArchive(const QString &archivePath, const QString &password, const TUnpackLimits &limits)
    : m_password(password)
{
    QTemporaryDir work;
    if (!work.isValid())
        throw EFileError(RestoreFailed + QStringLiteral("无法建立临时文件夹。"));
    work.setAutoRemove(false);
    m_tempFolder = work.path();
    try {
        QuaZip zip(archivePath);
        zip.setUtf8Enabled(true);
        if (!QFileInfo(archivePath).isFile() || !zip.open(QuaZip::mdUnzip))
            Refused(archivePath, QStringLiteral("无法作为 zip 归档打开，文件可能已损坏"));
        // The size the archive's directory gives an entry; none for an
        // entry that is not there.
        quint64 packedSize = 0; // of the entry last asked about
        auto declaredSize = [&](const QString &entry) -> std::optional<qint64> {
            QuaZipFileInfo64 info;
            if (!zip.setCurrentFile(entry) || !zip.getCurrentFileInfo(&info) ||
                info.uncompressedSize > quint64(std::numeric_limits<qint64>::max()))
                return std::nullopt;
            packedSize = info.compressedSize;
            return qint64(info.uncompressedSize);
        };
        // Every entry is read in full, to exactly its size: a damaged one
        // fails its check sum, and one that would give more bytes is cut
        // off at the first byte too many.
        auto unpack = [&](const QString &entry, qint64 size, QIODevice &to) {
            if (!zip.setCurrentFile(entry))
                return false;
            QuaZipFile in(&zip);
            if (!in.open(QIODevice::ReadOnly))
                return false;
            QByteArray chunk(1 << 16, Qt::Uninitialized);
            qint64 done = 0;
            for (;;) {
                const qint64 got = in.read(chunk.data(), qMin<qint64>(chunk.size(), size - done + 1));
                if (got <= 0)
                    break;
                done += got;
                if (done > size || to.write(chunk.constData(), got) != got)
                    return false;
            }
            in.close();
            return in.getZipError() == UNZ_OK && done == size;
        };
        auto unpackToFile = [&](const QString &entry, qint64 size, const QString &what) {
            QFile file(QDir(m_tempFolder).filePath(entry));
            auto cannotWrite = [&] {
                throw EFileError(RestoreFailed +
                                 QStringLiteral("无法在临时文件夹中解开%1（%2）。").arg(what, file.errorString()));
            };
            if (!file.open(QIODevice::WriteOnly))
                cannotWrite();
            if (!unpack(entry, size, file)) {
                if (file.error() != QFileDevice::NoError)
                    cannotWrite();
                Refused(archivePath, QStringLiteral("其中的%1缺失或已损坏").arg(what));
            }
            if (!file.flush())
                cannotWrite();
        };

        // Cover names fill the manifest: it stays small next to them.
        constexpr qint64 MostManifestBytes = 16 << 20;
        const std::optional<qint64> manifestSize = declaredSize(ManifestEntry);
        if (!manifestSize)
            Refused(archivePath, QStringLiteral("其中没有完整备份的清单"));
        if (*manifestSize > MostManifestBytes)
            Refused(archivePath, QStringLiteral("其中的清单大得不合常理"));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        if (!unpack(ManifestEntry, *manifestSize, buffer))
            Refused(archivePath, QStringLiteral("其中的清单已损坏"));
        const QJsonObject manifest = QJsonDocument::fromJson(buffer.data()).object();
        if (manifest.value(QStringLiteral("format")).toString() != ArchiveFormat)
            Refused(archivePath, QStringLiteral("清单不是本程序的完整备份清单"));
        m_catalogName = QFileInfo(manifest.value(QStringLiteral("catalog")).toString()).fileName();
        if (m_catalogName.isEmpty() || !PlainName(m_catalogName))
            Refused(archivePath, QStringLiteral("清单中没有光盘夹的名称"));
        if (CatalogFiles::IsTemplate(m_catalogName))
            Refused(archivePath,
                    QStringLiteral("清单把光盘夹称作“%1”，这是新建光盘夹所用的空白模板的名称").arg(m_catalogName));

        // What will be unpacked, each entry's size checked before anything
        // is written: the directory's and the manifest's must agree (archives
        // of older versions have no sizes in the manifest).
        const QJsonObject sizes = manifest.value(QStringLiteral("sizes")).toObject();
        QList<QPair<QString, qint64>> entries; // entry, size
        qint64 total = 0;
        auto plan = [&](const QString &entry, const QString &what, qint64 most) {
            const std::optional<qint64> size = declaredSize(entry);
            if (!size)
                Refused(archivePath, QStringLiteral("其中的%1缺失或已损坏").arg(what));
            if (sizes.contains(entry) && sizes.value(entry).toDouble(-1) != double(*size))
                Refused(archivePath, QStringLiteral("其中%1的大小（%2）与清单所记的不符，归档可能被改动过")
                                         .arg(what, QLocale::system().formattedDataSize(*size)));
            if (*size > most)
                Refused(archivePath, QStringLiteral("其中%1有 %2，超过了允许的 %3")
                                         .arg(what, QLocale::system().formattedDataSize(*size),
                                              QLocale::system().formattedDataSize(most)));
            entries.append({entry, *size});
            total += *size;
        };
        plan(CatalogEntry, QStringLiteral("光盘夹文件"), std::numeric_limits<qint64>::max());
        // An encrypted catalog looks like noise and hardly compresses; an
        // entry that unpacks to many times its packed size is no catalog of
        // ours, and is refused before it fills the disk.
        constexpr qint64 PackingSlack = 1 << 20;
        if (entries.constFirst().second > qint64(qMin<quint64>(packedSize, quint64(1) << 60)) * 2 + PackingSlack)
            Refused(archivePath, QStringLiteral("其中的光盘夹文件压缩前有 %1，压缩后只有 %2，不会是加密的光盘夹")
                                     .arg(QLocale::system().formattedDataSize(entries.constFirst().second),
                                          QLocale::system().formattedDataSize(qint64(packedSize))));
        for (const auto &value : manifest.value(QStringLiteral("pictures")).toArray()) {
            const QString name = value.toString();
            if (!PlainName(name))
                Refused(archivePath, QStringLiteral("清单中的封面名称“%1”不可用").arg(name));
            plan(PictureEntry + name, QStringLiteral("封面“%1”").arg(name), limits.MostPictureBytes);
            m_pictures << name;
        }
        const qint64 room = limits.FreeBytes >= 0 ? limits.FreeBytes : QStorageInfo(m_tempFolder).bytesAvailable();
        if (room >= 0 && total > room)
            throw EFileError(RestoreFailed + QStringLiteral("磁盘空间不足：解开“%1”需要 %2，临时文件夹“%3”所在的磁盘"
                                                            "只有 %4 可用。")
                                                 .arg(Native(archivePath), QLocale::system().formattedDataSize(total),
                                                      Native(m_tempFolder), QLocale::system().formattedDataSize(room)));

        unpackToFile(CatalogEntry, entries.constFirst().second, QStringLiteral("光盘夹文件"));
        const QString catalog = QDir(m_tempFolder).filePath(CatalogEntry);
        QString problem = CatalogBackup::CatalogFileProblem(catalog, password);
        if (!problem.isEmpty()) {
            if (problem.endsWith(QStringLiteral("。")))
                problem.chop(1);
            Refused(archivePath, QStringLiteral("其中的光盘夹不能使用：%1").arg(problem));
        }
        m_discs = ReadFacts(catalog, password).discs;

        QDir(m_tempFolder).mkdir(QStringLiteral("Picture"));
        for (qsizetype i = 1; i < entries.size(); ++i)
            unpackToFile(entries.at(i).first, entries.at(i).second,
                         QStringLiteral("封面“%1”").arg(m_pictures.at(i - 1)));
    } catch (...) {
        QDir(m_tempFolder).removeRecursively();
        throw;
    }
}

TArchive::~TArchive()
{
    QDir(m_tempFolder).removeRecursively();
}

TArchive::TRestoreReport TArchive::Restore(const QString &destination, const QString &pictureFolder)
{
    TRestoreReport report;
    QStringList copied;
    const QDir pictures(pictureFolder);
    try {
        if (!m_pictures.isEmpty() && !pictures.exists() && !QDir().mkpath(pictureFolder))
            throw EFileError(RestoreFailed + QStringLiteral("无法建立封面文件夹“%1”。").arg(Native(pictureFolder)));
        for (const QString &name : m_pictures) {
            const QString source = QDir(m_tempFolder).filePath(PictureEntry + name);
            const QByteArray digest = Digest(source);
            if (digest.isEmpty())
                throw EFileError(RestoreFailed +
                                 QStringLiteral("无法读取临时文件夹中的封面“%1”。").arg(Native(source)));
            // The same picture already there is kept; a different one gets a
            // free name beside it, as the disc editor names it.
            QString target;
            for (int n = 0;; ++n) {
                target = PictureNames::CopyName(name, n);
                const QString path = pictures.filePath(target);
                if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
                    break;
                if (QFileInfo(path).isFile() && Digest(path) == digest)
                    break;
            }
            const QString path = pictures.filePath(target);
            if (!QFileInfo::exists(path)) {
                if (!QFile::copy(source, path))
                    throw EFileError(RestoreFailed + QStringLiteral("无法写入封面“%1”。").arg(Native(path)));
                copied << path;
            }
            if (target != name)
                report.Renamed.insert(name, target);
            ++report.Pictures;
        }
        const QString catalog = QDir(m_tempFolder).filePath(CatalogEntry);
        RenamePictures(catalog, m_password, report.Renamed);
        try {
            report.SafetyCopy = CatalogBackup::RestoreCatalog(catalog, destination, m_password);
        } catch (const EAppError &e) {
            QString message = e.Message();
            message.replace(QStringLiteral("恢复光盘夹失败："), QString());
            throw EFileError(RestoreFailed + message, e.Details());
        }
    } catch (...) {
        for (const QString &path : copied)
            QFile::remove(path);
        throw;
    }
    return report;
}

} // namespace FullBackup
