// Where catalogs live: the portable folder when Data/ is beside the
// executable, else the user's data folder, made and given the template at
// the first start without touching anything already there.
#include "app/AppPaths.h"
#include "store/engine/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestAppPaths : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void portableFolderWins();
    void installedProgramUsesUserFolder();
    void firstStartMakesFoldersAndCopiesTemplate();
    void laterStartsReplaceNothing();
    void failuresAreReported_data();
    void failuresAreReported();

private:
    static void Write(const QString &path, const QByteArray &bytes);
    static QByteArray Read(const QString &path);

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_prefix, m_user;
};

void TestAppPaths::Write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TestAppPaths::Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestAppPaths::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_prefix = m_root->filePath(QStringLiteral("usr"));
    m_user = m_root->filePath(QStringLiteral("home/.local/share/Zentra-Software/Vorlix"));
    QDir().mkpath(m_prefix + QStringLiteral("/bin"));
    Write(m_prefix + QStringLiteral("/share/vorlix/Blank"), "template");
}

void TestAppPaths::portableFolderWins()
{
    const QString program = m_root->filePath(QStringLiteral("dist"));
    QDir().mkpath(program + QStringLiteral("/Data"));
    const AppPaths::TLayout layout = AppPaths::Resolve(program + QStringLiteral("/"), m_user);
    QVERIFY(layout.portable);
    QCOMPARE(layout.dataRoot, program);
    QCOMPARE(layout.skinFolder, program + QStringLiteral("/Skin"));
    AppPaths::Prepare(layout); // leaves the portable folder as it is
    QVERIFY(!QFileInfo::exists(m_user));
    QVERIFY(!QFileInfo::exists(program + QStringLiteral("/Data/Blank")));
}

void TestAppPaths::installedProgramUsesUserFolder()
{
    // A file named Data is no catalog folder.
    Write(m_prefix + QStringLiteral("/bin/Data"), "");
    const AppPaths::TLayout layout = AppPaths::Resolve(m_prefix + QStringLiteral("/bin"), m_user);
    QVERIFY(!layout.portable);
    QCOMPARE(layout.dataRoot, m_user);
    QCOMPARE(layout.sharedFolder, m_prefix + QStringLiteral("/share/vorlix"));
    QCOMPARE(layout.skinFolder, m_prefix + QStringLiteral("/share/vorlix/Skin"));
}

void TestAppPaths::firstStartMakesFoldersAndCopiesTemplate()
{
    const AppPaths::TLayout layout = AppPaths::Resolve(m_prefix + QStringLiteral("/bin"), m_user);
    AppPaths::Prepare(layout);
    QVERIFY(QFileInfo(m_user + QStringLiteral("/Picture")).isDir());
    QCOMPARE(Read(m_user + QStringLiteral("/Data/Blank")), QByteArray("template"));
    QCOMPARE(QDir(m_user + QStringLiteral("/Data")).entryList(QDir::Files | QDir::Hidden), QStringList{"Blank"});
    QVERIFY(QFileInfo(m_user + QStringLiteral("/Data/Blank")).isWritable());
}

void TestAppPaths::laterStartsReplaceNothing()
{
    // The user's template (in any letter case), catalogs and pictures stay.
    Write(m_user + QStringLiteral("/Data/BLANK"), "own template");
    Write(m_user + QStringLiteral("/Data/电影.MDB"), "catalog");
    Write(m_user + QStringLiteral("/Picture/1.jpg"), "cover");
    const AppPaths::TLayout layout = AppPaths::Resolve(m_prefix + QStringLiteral("/bin"), m_user);
    AppPaths::Prepare(layout);
    AppPaths::Prepare(layout);
    QCOMPARE(QDir(m_user + QStringLiteral("/Data")).entryList(QDir::Files, QDir::Name),
             (QStringList{"BLANK", "电影.MDB"}));
    QCOMPARE(Read(m_user + QStringLiteral("/Data/BLANK")), QByteArray("own template"));
    QCOMPARE(Read(m_user + QStringLiteral("/Data/电影.MDB")), QByteArray("catalog"));
    QCOMPARE(Read(m_user + QStringLiteral("/Picture/1.jpg")), QByteArray("cover"));
}

void TestAppPaths::failuresAreReported_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("template missing") << "template"
                                      << "找不到空白光盘夹模板";
    QTest::newRow("data folder is a file") << "data"
                                           << "无法创建文件夹";
    QTest::newRow("picture folder is a file") << "picture"
                                              << "无法创建文件夹";
}

void TestAppPaths::failuresAreReported()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    if (fault == QLatin1String("template"))
        QVERIFY(QFile::remove(m_prefix + QStringLiteral("/share/vorlix/Blank")));
    else if (fault == QLatin1String("data"))
        Write(m_user + QStringLiteral("/Data"), "");
    else
        Write(m_user + QStringLiteral("/Picture"), "");
    const AppPaths::TLayout layout = AppPaths::Resolve(m_prefix + QStringLiteral("/bin"), m_user);
    try {
        AppPaths::Prepare(layout);
        QFAIL("no error");
    } catch (const EAppError &e) {
        QVERIFY2(e.Message().contains(message), qPrintable(e.Message()));
    }
    QVERIFY(!QFileInfo::exists(m_user + QStringLiteral("/Data/Blank")));
}

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
