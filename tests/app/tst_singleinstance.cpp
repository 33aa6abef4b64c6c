// One running program per user and data folder: a later start hands its file
// over and the first one receives it; stale sockets are replaced; strangers'
// bytes and silent connections are dropped; the socket lives in a folder
// only the user can enter, and nothing is handed to another user's program.
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void namesSeparateUsersAndDataFolders();
    void laterStartHandsOver_data();
    void laterStartHandsOver();
    void nothingListening();
    void secondServerRefusedStaleSocketReplaced();
    void strangersAreDropped();
    void silentConnectionsAreClosed();
    void nothingHandedToAnotherUser();
    void privateFolderWithoutRuntimeFolder_data();
    void privateFolderWithoutRuntimeFolder();

private:
    // HandOver blocks, so it runs on a thread of its own while this one
    // serves.
    bool HandOverServed(const QString &name, const QString &file, uid_t owner = ::getuid());

    QTemporaryDir m_runtime;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
}

bool TestSingleInstance::HandOverServed(const QString &name, const QString &file, uid_t owner)
{
    auto result = std::async(std::launch::async,
                             [name, file, owner] { return TSingleInstance::HandOver(name, file, 3000, owner); });
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return result.get();
}

void TestSingleInstance::namesSeparateUsersAndDataFolders()
{
    const QString name = TSingleInstance::ServerName(QStringLiteral("/home/a/.local/share/Zentra-Software/Vorlix"));
    QVERIFY(name.startsWith(m_runtime.path() + QStringLiteral("/vorlix-%1-").arg(getuid())));
    QCOMPARE(TSingleInstance::ServerName(QStringLiteral("/home/a/.local/share/Zentra-Software/Vorlix/")), name);
    QVERIFY(TSingleInstance::ServerName(QStringLiteral("/opt/dist")) != name);
}

void TestSingleInstance::laterStartHandsOver_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("a file") << QStringLiteral("/数据/光盘 夹/电影.MDB");
    QTest::newRow("no file: only to the front") << QString();
}

void TestSingleInstance::laterStartHandsOver()
{
    QFETCH(QString, file);
    const QString name = TSingleInstance::ServerName(QStringLiteral("/hand/over"));
    TSingleInstance first;
    QStringList received;
    first.OnRequest = [&](const QString &f) { received << f; };
    QVERIFY(first.Listen(name));
    QVERIFY(HandOverServed(name, file));
    QVERIFY(HandOverServed(name, file));
    QCOMPARE(received, (QStringList{file, file}));
}

void TestSingleInstance::nothingListening()
{
    QVERIFY(
        !TSingleInstance::HandOver(TSingleInstance::ServerName(QStringLiteral("/nobody")), QStringLiteral("/a.MDB")));
}

void TestSingleInstance::secondServerRefusedStaleSocketReplaced()
{
    const QString name = TSingleInstance::ServerName(QStringLiteral("/twice"));
    {
        TSingleInstance first;
        QVERIFY(first.Listen(name));
        TSingleInstance second;
        QVERIFY(!second.Listen(name));
        // The first still serves.
        QStringList received;
        first.OnRequest = [&](const QString &f) { received << f; };
        QVERIFY(HandOverServed(name, QStringLiteral("/x.MDB")));
        QCOMPARE(received, QStringList{QStringLiteral("/x.MDB")});
    }
    // What a program killed before it could remove its socket leaves.
    QFile stale(name);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    TSingleInstance next;
    QVERIFY(next.Listen(name));
    bool called = false;
    next.OnRequest = [&](const QString &) { called = true; };
    QVERIFY(HandOverServed(name, QString()));
    QVERIFY(called);
}

void TestSingleInstance::strangersAreDropped()
{
    const QString name = TSingleInstance::ServerName(QStringLiteral("/strangers"));
    TSingleInstance server;
    QStringList received;
    server.OnRequest = [&](const QString &f) { received << f; };
    QVERIFY(server.Listen(name));

    const QByteArray wrongMagic = QByteArray::fromHex("0000000100000003") + "abc";
    const QByteArray tooLong = QByteArray::fromHex("564f524c7fffffff") + "abc";
    for (const QByteArray &bytes : {wrongMagic, tooLong}) {
        QLocalSocket socket;
        socket.connectToServer(name);
        QVERIFY(socket.waitForConnected(1000));
        socket.write(bytes);
        socket.flush();
        QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
    }
    QVERIFY(received.isEmpty());
    QVERIFY(HandOverServed(name, QStringLiteral("/ok.MDB")));
    QCOMPARE(received, QStringList{QStringLiteral("/ok.MDB")});
}

void TestSingleInstance::silentConnectionsAreClosed()
{
    const QString name = TSingleInstance::ServerName(QStringLiteral("/silent"));
    TSingleInstance server;
    server.IdleTimeoutMs = 200;
    QStringList received;
    server.OnRequest = [&](const QString &f) { received << f; };
    QVERIFY(server.Listen(name));

    // Many that say nothing, and one that stops halfway through its request.
    std::vector<std::unique_ptr<QLocalSocket>> sockets;
    for (int i = 0; i < 50; ++i) {
        sockets.push_back(std::make_unique<QLocalSocket>());
        sockets.back()->connectToServer(name);
        QVERIFY(sockets.back()->waitForConnected(1000));
    }
    sockets.front()->write(QByteArray::fromHex("564f524c00000010") + "/half");
    sockets.front()->flush();
    for (const auto &socket : sockets)
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QLocalSocket::UnconnectedState, 5000);
    QVERIFY(received.isEmpty());
    QVERIFY(HandOverServed(name, QStringLiteral("/after.MDB")));
    QCOMPARE(received, QStringList{QStringLiteral("/after.MDB")});
}

void TestSingleInstance::nothingHandedToAnotherUser()
{
    // The listener runs as this user; the start asking is told the owner
    // must be someone else, as when a stranger's program listens there.
    const QString name = TSingleInstance::ServerName(QStringLiteral("/other/user"));
    TSingleInstance server;
    QStringList received;
    server.OnRequest = [&](const QString &f) { received << f; };
    QVERIFY(server.Listen(name));
    QVERIFY(!HandOverServed(name, QStringLiteral("/secret/a.MDB"), ::getuid() + 1));
    QVERIFY(received.isEmpty());
    // The server takes the connections in turn: whatever the refused start
    // had sent would be there before the next start's file.
    QVERIFY(HandOverServed(name, QStringLiteral("/mine.MDB")));
    QCOMPARE(received, QStringList{QStringLiteral("/mine.MDB")});
}

void TestSingleInstance::privateFolderWithoutRuntimeFolder_data()
{
    QTest::addColumn<QString>("runtime");  // "open": a folder anyone may enter
    QTest::addColumn<QString>("existing"); // what is at the private folder's place
    QTest::addColumn<bool>("usable");
    QTest::newRow("no runtime folder") << QString() << QString() << true;
    QTest::newRow("runtime folder open to all") << "open" << QString() << true;
    QTest::newRow("own folder left open") << QString() << "open folder" << true;
    QTest::newRow("a link in its place") << QString() << "link" << false;
    QTest::newRow("a file in its place") << QString() << "file" << false;
}

void TestSingleInstance::privateFolderWithoutRuntimeFolder()
{
    QFETCH(QString, runtime);
    QFETCH(QString, existing);
    QFETCH(bool, usable);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString cache = root.filePath(QStringLiteral("cache"));
    const QString open = root.filePath(QStringLiteral("open"));
    QVERIFY(QDir().mkpath(cache) && QDir().mkpath(open));
    QVERIFY(::chmod(QFile::encodeName(open).constData(), 0777) == 0);
    const QString folder = cache + QStringLiteral("/vorlix-run");
    if (existing == QLatin1String("open folder")) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
    } else if (existing == QLatin1String("link")) {
        QVERIFY(QFile::link(open, folder));
    } else if (existing == QLatin1String("file")) {
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray cacheBefore = qgetenv("XDG_CACHE_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", runtimeBefore);
        if (cacheBefore.isNull())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", cacheBefore);
    });
    if (runtime.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(open));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));

    const QString name = TSingleInstance::ServerName(QStringLiteral("/private"));
    if (!usable) {
        // No private place: the program runs on its own, with no socket.
        QVERIFY(name.isEmpty());
        TSingleInstance server;
        QVERIFY(!server.Listen(name));
        QVERIFY(!TSingleInstance::HandOver(name, QStringLiteral("/a.MDB")));
        QVERIFY(QDir(open).isEmpty());
        return;
    }
    QCOMPARE(QFileInfo(name).absolutePath(), folder);
    struct stat status = {};
    QVERIFY(::lstat(QFile::encodeName(folder).constData(), &status) == 0);
    QVERIFY(S_ISDIR(status.st_mode));
    QCOMPARE(status.st_uid, ::getuid());
    QCOMPARE(status.st_mode & 0777, mode_t(0700));
    TSingleInstance server;
    QStringList received;
    server.OnRequest = [&](const QString &f) { received << f; };
    QVERIFY(server.Listen(name));
    QVERIFY(HandOverServed(name, QStringLiteral("/b.MDB")));
    QCOMPARE(received, QStringList{QStringLiteral("/b.MDB")});
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
