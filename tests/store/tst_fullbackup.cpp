#include "tests/support/CatalogFixture.h"

#include "store/catalog/FullBackup.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRandomGenerator>
#include <QTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

void WriteFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Noise(int bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char &c : data)
        c = char(generator.bounded(256));
    return data;
}

// Writes the archive anew with its entries, by name, as edit leaves them.
void RewriteArchive(const QString &archive, const std::function<void(QMap<QString, QByteArray> &)> &edit)
{
    QMap<QString, QByteArray> entries;
    {
        QuaZip zip(archive);
        zip.setUtf8Enabled(true);
        QVERIFY(zip.open(QuaZip::mdUnzip));
        for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
            QuaZipFile in(&zip);
            QVERIFY(in.open(QIODevice::ReadOnly));
            entries.insert(zip.getCurrentFileName(), in.readAll());
        }
    }
    edit(entries);
    QuaZip zip(archive);
    zip.setUtf8Enabled(true);
    QVERIFY(zip.open(QuaZip::mdCreate));
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        QuaZipFile out(&zip);
        QVERIFY(out.open(QIODevice::WriteOnly, QuaZipNewInfo(it.key())));
        out.write(it.value());
        out.close();
    }
    zip.close();
}

void EditManifest(QMap<QString, QByteArray> &entries, const std::function<void(QJsonObject &)> &edit)
{
    const QString name = QStringLiteral("manifest.json");
    QJsonObject manifest = QJsonDocument::fromJson(entries.value(name)).object();
    edit(manifest);
    entries.insert(name, QJsonDocument(manifest).toJson());
}

// The picture names of the catalog's discs by serial.
QHash<QString, QString> PicturesBySerial(const QString &path)
{
    TDAODatabase db;
    db.SetDatabaseName(path);
    db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
    db.SetConnected(true);
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(QStringLiteral("SELECT Serial,Picture FROM TbCd"));
    q.Open();
    QHash<QString, QString> pictures;
    for (int row = 0; row < q.RowCount(); ++row)
        pictures.insert(q.TextAt(row, 0), q.TextAt(row, 1));
    return pictures;
}

} // namespace

class TestFullBackup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void roundTripKeepsCoversAndRenamesClashes();
    void refusesDamagedOrForeignArchives_data();
    void refusesDamagedOrForeignArchives();
    void fullDiskLeavesNoArchive();

private:
    FullBackup::TBackupReport Backup(const QString &archive);

    std::unique_ptr<CatalogFixture> m_catalog;
    QString m_pictures;
    const QString m_password = QString::fromLatin1(Schema::CatalogPassword);
};

void TestFullBackup::init()
{
    m_catalog = std::make_unique<CatalogFixture>();
    m_pictures = m_catalog->FilePath(QStringLiteral("Picture"));
    QVERIFY(QDir().mkpath(m_pictures));
    WriteFile(m_pictures + QStringLiteral("/封面.jpg"), "original cover");
    WriteFile(m_pictures + QStringLiteral("/b.png"), "same everywhere");
    TDAODatabase db;
    m_catalog->Attach(db);
    db.SetConnected(true);
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(QStringLiteral("INSERT INTO TbCd (Serial,Name,TId,Picture,Spell) VALUES "
                            "('1','甲',1,'封面.jpg',''),('2','乙',1,'封面.jpg',''),('3','丙',1,'b.png',''),"
                            "('4','丁',1,'丢失.jpg',''),('5','戊',1,'',''),('6','己',1,'../etc/passwd','')"));
    q.Execute();
}

void TestFullBackup::cleanup()
{
    m_catalog.reset();
}

FullBackup::TBackupReport TestFullBackup::Backup(const QString &archive)
{
    const QString folder = m_pictures;
    return FullBackup::WriteArchive(
        m_catalog->Path(), m_password,
        [folder](const QString &name) {
            const QString path = QDir(folder).filePath(name);
            return QFileInfo(path).isFile() ? path : QString();
        },
        archive);
}

void TestFullBackup::roundTripKeepsCoversAndRenamesClashes()
{
    const QString archive = m_catalog->FilePath(QStringLiteral("备份.zip"));
    const FullBackup::TBackupReport report = Backup(archive);
    QCOMPARE(report.Discs, 6);
    QCOMPARE(report.Pictures, 2);
    QCOMPARE(report.MissingPictures, (QStringList{QStringLiteral("../etc/passwd"), QStringLiteral("丢失.jpg")}));

    // The new computer: a different picture under one of the names, the
    // same picture under the other.
    QTemporaryDir other;
    const QString pictures = other.filePath(QStringLiteral("Picture"));
    QVERIFY(QDir().mkpath(pictures));
    WriteFile(pictures + QStringLiteral("/封面.jpg"), "someone else's cover");
    WriteFile(pictures + QStringLiteral("/封面_1.jpg"), "the editor's second cover of that name");
    WriteFile(pictures + QStringLiteral("/b.png"), "same everywhere");
    const QString destination = other.filePath(QStringLiteral("Test.MDB"));
    WriteFile(destination, "the catalog that was there");

    FullBackup::TArchive content(archive, m_password);
    QCOMPARE(content.CatalogName(), QStringLiteral("Test.MDB"));
    QCOMPARE(content.Discs(), 6);
    QCOMPARE(content.Pictures(), 2);
    const auto restored = content.Restore(destination, pictures);
    QCOMPARE(restored.Pictures, 2);
    // A clash is named as the disc editor names one.
    QCOMPARE(restored.Renamed, (QHash<QString, QString>{{QStringLiteral("封面.jpg"), QStringLiteral("封面_2.jpg")}}));
    QCOMPARE(restored.SafetyCopy, destination + QStringLiteral(".bak"));
    QCOMPARE(ReadAll(restored.SafetyCopy), QByteArray("the catalog that was there"));

    QCOMPARE(ReadAll(pictures + QStringLiteral("/封面.jpg")), QByteArray("someone else's cover"));
    QCOMPARE(ReadAll(pictures + QStringLiteral("/封面_2.jpg")), QByteArray("original cover"));
    QCOMPARE(QDir(pictures).entryList(QDir::Files).size(), 4);
    const QHash<QString, QString> discs = PicturesBySerial(destination);
    QCOMPARE(discs.value(QStringLiteral("1")), QStringLiteral("封面_2.jpg"));
    QCOMPARE(discs.value(QStringLiteral("2")), QStringLiteral("封面_2.jpg"));
    QCOMPARE(discs.value(QStringLiteral("3")), QStringLiteral("b.png"));
    QCOMPARE(discs.value(QStringLiteral("4")), QStringLiteral("丢失.jpg"));
    // The catalog at the source is untouched by the renames.
    QCOMPARE(PicturesBySerial(m_catalog->Path()).value(QStringLiteral("1")), QStringLiteral("封面.jpg"));
}

void TestFullBackup::refusesDamagedOrForeignArchives_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason"); // what the message says, when it matters
    auto row = [](const char *name, const char *damage, const char *reason) {
        QTest::newRow(name) << QString::fromUtf8(damage) << QString::fromUtf8(reason);
    };
    row("cut short", "cut", "");
    row("bytes changed", "flip", "");
    row("not a zip", "text", "");
    row("missing", "missing", "");
    row("catalog failing the integrity check", "damaged catalog", "索引与数据不一致");
    row("entry larger than the manifest says", "manifest size", "与清单所记的不符");
    row("catalog named as the template", "template", "空白模板");
    row("cover over the limit", "picture limit", "超过了允许的");
    row("no room to unpack", "no room", "磁盘空间不足");
    row("catalog of zeros packed small", "zeros", "不会是加密的光盘夹");
}

void TestFullBackup::refusesDamagedOrForeignArchives()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    const QString archive = m_catalog->FilePath(QStringLiteral("备份.zip"));
    Backup(archive);
    FullBackup::TUnpackLimits limits;
    if (damage == QLatin1String("picture limit"))
        limits.MostPictureBytes = 10;
    else if (damage == QLatin1String("no room"))
        limits.FreeBytes = 1000;
    else if (damage == QLatin1String("damaged catalog")) {
        const QString broken = m_catalog->FilePath(QStringLiteral("broken.MDB"));
        QVERIFY(QFile::copy(m_catalog->Path(), broken));
        CatalogFixture::BreakCodeIndex(broken);
        RewriteArchive(archive, [&](QMap<QString, QByteArray> &entries) {
            const QByteArray catalog = ReadAll(broken);
            entries.insert(QStringLiteral("catalog.mdb"), catalog);
            EditManifest(entries, [&](QJsonObject &manifest) {
                QJsonObject sizes = manifest.value(QStringLiteral("sizes")).toObject();
                sizes.insert(QStringLiteral("catalog.mdb"), double(catalog.size()));
                manifest.insert(QStringLiteral("sizes"), sizes);
            });
        });
    } else if (damage == QLatin1String("zeros")) {
        // Archives of older versions give no sizes in their manifest.
        RewriteArchive(archive, [&](QMap<QString, QByteArray> &entries) {
            entries.insert(QStringLiteral("catalog.mdb"), QByteArray(8 << 20, '\0'));
            EditManifest(entries, [](QJsonObject &manifest) { manifest.remove(QStringLiteral("sizes")); });
        });
    } else if (damage == QLatin1String("manifest size") || damage == QLatin1String("template")) {
        RewriteArchive(archive, [&](QMap<QString, QByteArray> &entries) {
            EditManifest(entries, [&](QJsonObject &manifest) {
                if (damage == QLatin1String("template")) {
                    manifest.insert(QStringLiteral("catalog"), QStringLiteral("blank"));
                    return;
                }
                QJsonObject sizes = manifest.value(QStringLiteral("sizes")).toObject();
                sizes.insert(QStringLiteral("catalog.mdb"), 100);
                manifest.insert(QStringLiteral("sizes"), sizes);
            });
        });
    }
    QByteArray bytes = ReadAll(archive);
    if (damage == QLatin1String("cut"))
        bytes.truncate(bytes.size() / 2);
    else if (damage == QLatin1String("flip"))
        for (qsizetype i = 60; i < bytes.size() - 200; i += 97) // inside the entries, the directory intact
            bytes[i] = char(~bytes[i]);
    else if (damage == QLatin1String("text"))
        bytes = "光盘,名称\n1,甲\n";
    if (damage == QLatin1String("missing"))
        QFile::remove(archive);
    else
        WriteFile(archive, bytes);

    QTemporaryDir other;
    const QString destination = other.filePath(QStringLiteral("Test.MDB"));
    WriteFile(destination, "the catalog that was there");
    try {
        FullBackup::TArchive content(archive, m_password, limits);
        content.Restore(destination, other.filePath(QStringLiteral("Picture")));
        QFAIL("a damaged archive was restored");
    } catch (const EFileError &e) {
        QVERIFY2(e.Message().startsWith(QStringLiteral("从完整备份恢复失败：")), qPrintable(e.Message()));
        QVERIFY2(e.Message().contains(reason), qPrintable(e.Message()));
    }
    QCOMPARE(ReadAll(destination), QByteArray("the catalog that was there"));
    QCOMPARE(QDir(other.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Test.MDB")});
}

void TestFullBackup::fullDiskLeavesNoArchive()
{
    // A picture larger than the file-size limit standing in for a full disk.
    WriteFile(m_pictures + QStringLiteral("/b.png"), Noise(3 << 20));
    const QString archive = m_catalog->FilePath(QStringLiteral("备份.zip"));
    WriteFile(archive, "an older backup");

    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 1 << 20;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString message;
    try {
        Backup(archive);
    } catch (const EFileError &e) {
        message = e.Message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY2(message.startsWith(QStringLiteral("完整备份失败：")) && message.contains(QStringLiteral("备份.zip")),
             qPrintable(message));
    QCOMPARE(ReadAll(archive), QByteArray("an older backup"));
    const QStringList left = QDir(m_catalog->FilePath(QString())).entryList({QStringLiteral("备份.zip.*")});
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
}

QTEST_GUILESS_MAIN(TestFullBackup)
#include "tst_fullbackup.moc"
