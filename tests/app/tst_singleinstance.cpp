// One running program per user and data folder: a later start hands its file
// over and the first one receives it; stale sockets are replaced; strangers'
// bytes are dropped.
#include "SingleInstance.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <unistd.h>

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

private:
    // HandOver blocks, so it runs on a thread of its own while this one
    // serves.
    bool HandOverServed(const QString &name, const QString &file);

    QTemporaryDir m_runtime;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
}

bool TestSingleInstance::HandOverServed(const QString &name, const QString &file)
{
    auto result = std::async(std::launch::async, [name, file] { return TSingleInstance::HandOver(name, file); });
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

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
