// The new-version check against an HTTP server of the test's own on
// 127.0.0.1, and the maker's addresses.
#include "app/VersionCheck.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "toolkit/MessageBoxes.h"

#include <QElapsedTimer>
#include <QMap>
#include <QMessageBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString Latest = QStringLiteral("您已经使用的是最新版软件。");
const QString Offline = QStringLiteral("请检查您的电脑是否已经上网，然后再使用此功能。");

QByteArray HttpResponse(int status, const QByteArray &body, const QByteArray &headers = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Status\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

// Answers each request for a known path with its canned response and closes
// the connection; a request for any other path gets no answer at all, or
// only a closed connection when hangUp is set.
class HttpServer : public QObject
{
public:
    HttpServer()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost, 0));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
        });
    }

    QUrl BaseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())); }

    QMap<QByteArray, QByteArray> responses; // path -> raw response
    bool hangUp = false;
    QList<QByteArray> requests; // each request's head

private:
    void Read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        buffer.clear();
        requests << head;
        const QByteArray path = head.split(' ').value(1);
        if (responses.contains(path)) {
            socket->write(responses.value(path));
            socket->disconnectFromHost();
        } else if (hangUp) {
            socket->abort();
        }
    }

    QTcpServer m_server;
    QMap<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace

class TestVersionCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultsPointAtTheMaker();
    void resultMessage_data();
    void resultMessage();
    void comparesTheFetchedText_data();
    void comparesTheFetchedText();
    void newCatalogIsCurrentWithBuild102();
    void errorStatusIsSilent_data();
    void errorStatusIsSilent();
    void failuresAskToCheckTheConnection_data();
    void failuresAskToCheckTheConnection();
    void answerTooLongIsNoVersionText_data();
    void answerTooLongIsNoVersionText();
    void messageShowsABoundedPlainText_data();
    void messageShowsABoundedPlainText();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TDM> m_dm; // a catalog of version Build1.01
    std::unique_ptr<Msg::Recorder> m_messages;
};

void TestVersionCheck::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString path = m_dir->filePath(QStringLiteral("Test.MDB"));
    Schema::CreateCatalog(path, Schema::Layout::Build101, false);
    m_dm = std::make_unique<TDM>();
    m_dm->NameCatalog(path);
    m_messages = std::make_unique<Msg::Recorder>();
}

void TestVersionCheck::cleanup()
{
    m_messages.reset();
    m_dm.reset();
    m_dir.reset();
}

void TestVersionCheck::defaultsPointAtTheMaker()
{
    const TVersionClient client;
    QCOMPARE(client.VersionUrl(), QUrl(QStringLiteral("http://www.zentra-software.com/chs/data/vorlix.txt")));
    QCOMPARE(client.Timeout(), 10000);
    QCOMPARE(VersionCheck::HomepageUrl(), QUrl(QStringLiteral("http://www.zentra-software.com/")));
}

void TestVersionCheck::resultMessage_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    const QString newest = QStringLiteral("目前软件的最新版为%1。");
    QTest::newRow("equal") << QByteArray("Build1.01") << Latest;
    QTest::newRow("newer") << QByteArray("Build1.02") << newest.arg("1.02");
    QTest::newRow("shorter than five characters") << QByteArray("Bui") << newest.arg(QString());
    QTest::newRow("character beyond 16 bits counts once") << QStringLiteral("😀uild1.02").toUtf8() << newest.arg("1.02");
    QTest::newRow("character beyond 16 bits is not cut")
        << QStringLiteral("Buil😀😀").toUtf8() << newest.arg(QStringLiteral("😀"));
    QTest::newRow("not UTF-8") << QByteArray("Build\xFF"
                                             "1")
                               << newest.arg(QStringLiteral("\uFFFD1"));
    QTest::newRow("cut at 64 characters") << QByteArray("Build") + QStringLiteral("版").repeated(70).toUtf8()
                                          << newest.arg(QStringLiteral("版").repeated(64) + QStringLiteral("…"));
    QTest::newRow("64 characters shown whole")
        << QByteArray("Build") + QByteArray(64, 'x') << newest.arg(QString(64, QLatin1Char('x')));
    QTest::newRow("cut after three lines") << QByteArray("Build1\n2\n3\n4\n5") << newest.arg("1\n2\n3\n…");
    QTest::newRow("pair not cut at the limit")
        << QByteArray("Build") + QByteArray(63, 'x') + QStringLiteral("😀😀").toUtf8()
        << newest.arg(QString(63, QLatin1Char('x')) + QStringLiteral("😀…"));
}

void TestVersionCheck::resultMessage()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    QCOMPARE(VersionCheck::ResultMessage(body, QStringLiteral("Build1.01")), message);
}

void TestVersionCheck::comparesTheFetchedText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("redirect");
    QTest::addColumn<QString>("message");
    const QString newest = QStringLiteral("目前软件的最新版为%1。");
    QTest::newRow("equal") << QByteArray("Build1.01") << false << Latest;
    QTest::newRow("trailing line break") << QByteArray("Build1.01\r\n") << false << newest.arg("1.01\r\n");
    QTest::newRow("newer") << QByteArray("Build1.02") << false << newest.arg("1.02");
    QTest::newRow("older counts as newest") << QByteArray("Build1.00") << false << newest.arg("1.00");
    QTest::newRow("letter case differs") << QByteArray("build1.01") << false << newest.arg("1.01");
    QTest::newRow("empty body") << QByteArray() << false << newest.arg(QString());
    QTest::newRow("redirected, equal") << QByteArray("Build1.01") << true << Latest;
}

void TestVersionCheck::comparesTheFetchedText()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, redirect);
    QFETCH(QString, message);
    HttpServer server;
    if (redirect) {
        server.responses["/chs/data/vorlix.txt"] = HttpResponse(302, {}, "Location: /moved/vorlix.txt\r\n");
        server.responses["/moved/vorlix.txt"] = HttpResponse(200, body);
    } else {
        server.responses["/chs/data/vorlix.txt"] = HttpResponse(200, body);
    }
    TVersionClient client;
    client.SetBaseUrl(server.BaseUrl());

    CheckVersion(*m_dm, client);
    QCOMPARE(m_messages->Texts(), QStringList{message});
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Information);
    QCOMPARE(server.requests.size(), redirect ? 2 : 1);
    QVERIFY(server.requests[0].startsWith("GET /chs/data/vorlix.txt HTTP/1.1\r\n"));
    QVERIFY(server.requests[0].contains("\r\nHost: 127.0.0.1:"));
}

void TestVersionCheck::newCatalogIsCurrentWithBuild102()
{
    // A catalog made or upgraded today is "Build1.02", and so is the newest.
    const QString path = m_dir->filePath(QStringLiteral("New.MDB"));
    Schema::CreateCatalog(path, Schema::Layout::Build102, false);
    TDM dm;
    dm.NameCatalog(path);
    HttpServer server;
    server.responses["/chs/data/vorlix.txt"] = HttpResponse(200, "Build1.02");
    TVersionClient client;
    client.SetBaseUrl(server.BaseUrl());
    CheckVersion(dm, client);
    QCOMPARE(m_messages->Texts(), QStringList{Latest});
}

void TestVersionCheck::errorStatusIsSilent_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("404") << 404;
    QTest::newRow("500") << 500;
}

void TestVersionCheck::errorStatusIsSilent()
{
    QFETCH(int, status);
    HttpServer server;
    server.responses["/chs/data/vorlix.txt"] = HttpResponse(status, "Build1.02");
    TVersionClient client;
    client.SetBaseUrl(server.BaseUrl());

    CheckVersion(*m_dm, client);
    QCOMPARE(server.requests.size(), 1);
    QVERIFY(m_messages->shown.isEmpty());
}

void TestVersionCheck::failuresAskToCheckTheConnection_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("connection refused") << "refused";
    QTest::newRow("server never answers") << "silent";
    QTest::newRow("connection closed without an answer") << "hang up";
    QTest::newRow("no catalog open") << "no catalog";
}

void TestVersionCheck::failuresAskToCheckTheConnection()
{
    QFETCH(QString, kind);
    HttpServer server;
    TVersionClient client;
    client.SetBaseUrl(server.BaseUrl());
    client.SetTimeout(400);
    if (kind == QLatin1String("refused")) {
        // A port that was free a moment ago, with nobody listening now.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        client.SetBaseUrl(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
    } else if (kind == QLatin1String("hang up")) {
        server.hangUp = true;
    } else if (kind == QLatin1String("no catalog")) {
        server.responses["/chs/data/vorlix.txt"] = HttpResponse(200, "Build1.01");
        m_dm = std::make_unique<TDM>();
    }

    // The program keeps running its events while it waits.
    bool ticked = false;
    QObject tickOwner; // a row that ends sooner takes its tick with it
    QTimer::singleShot(100, &tickOwner, [&ticked] { ticked = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    CheckVersion(*m_dm, client);
    QCOMPARE(m_messages->Texts(), QStringList{Offline});
    QCOMPARE(m_messages->shown[0].kind, Msg::Kind::Information);
    if (kind == QLatin1String("silent")) {
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(elapsed.elapsed() >= 400);
        QVERIFY(ticked);
    }
    QVERIFY(elapsed.elapsed() < 5000);
}

void TestVersionCheck::answerTooLongIsNoVersionText_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("accepted");
    const QByteArray limit(VersionCheck::MaxBodyBytes, 'v');
    QTest::newRow("exactly the limit") << HttpResponse(200, limit) << true;
    QTest::newRow("one byte more") << HttpResponse(200, limit + "v") << false;
    QTest::newRow("900 KB") << HttpResponse(200, QByteArray(900 * 1024, '<')) << false;
    QTest::newRow("6 MB") << HttpResponse(200, QByteArray(6 * 1024 * 1024, 'x')) << false;
    // No length given: the server just goes on sending.
    QTest::newRow("no length, 1 MB") << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n") +
                                            QByteArray(1024 * 1024, 'x')
                                     << false;
    // A small gzip stream of a megabyte of zeros: the client unpacks it, and
    // the limit counts what it unpacks.
    const QByteArray zeros(1024 * 1024, '\0');
    QByteArray gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    gzip += qCompress(zeros).mid(4 + 2).chopped(4); // the bare deflate stream
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : zeros) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    for (quint32 v : {crc, quint32(zeros.size())})
        for (int i = 0; i < 4; ++i)
            gzip += char((v >> (8 * i)) & 0xff);
    QTest::newRow("long only once unpacked") << HttpResponse(200, gzip, "Content-Encoding: gzip\r\n") << false;
}

void TestVersionCheck::answerTooLongIsNoVersionText()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, accepted);
    HttpServer server;
    server.responses["/chs/data/vorlix.txt"] = response;
    TVersionClient client;
    client.SetBaseUrl(server.BaseUrl());

    CheckVersion(*m_dm, client);
    QCOMPARE(m_messages->shown.size(), 1);
    if (accepted) {
        QVERIFY(m_messages->Texts()[0].startsWith(QStringLiteral("目前软件的最新版为")));
    } else {
        QCOMPARE(m_messages->Texts(), QStringList{VersionCheck::NoVersionTextMessage()});
        QVERIFY(m_messages->Texts()[0].contains(QStringLiteral("不是版本信息")));
    }
}

void TestVersionCheck::messageShowsABoundedPlainText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("markup") << QByteArray("Build<img src=/dev/zero><a href='file:///etc/passwd'>1.02</a>");
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 37 + 11) % 256);
    QTest::newRow("4 KB of binary") << binary;
    QTest::newRow("4 KB of line breaks") << QByteArray("Build") + QByteArray(4091, '\n');
}

void TestVersionCheck::messageShowsABoundedPlainText()
{
    QFETCH(QByteArray, body);
    HttpServer server;
    server.responses["/chs/data/vorlix.txt"] = HttpResponse(200, body);
    TVersionClient client;
    client.SetBaseUrl(server.BaseUrl());
    CheckVersion(*m_dm, client);
    QCOMPARE(m_messages->shown.size(), 1);
    const QString text = m_messages->Texts()[0];
    QVERIFY(text.startsWith(QStringLiteral("目前软件的最新版为")));
    QVERIFY2(text.size() <= 9 + 2 * VersionCheck::MaxShownCharacters + 2, qPrintable(text));
    QVERIFY(text.count(QLatin1Char('\n')) <= VersionCheck::MaxShownLines);

    // The box itself shows it as plain text and keeps its height.
    const std::unique_ptr<QMessageBox> box = Msg::Build(Msg::Kind::Information, text);
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->text(), text);
    box->adjustSize();
    QVERIFY2(box->sizeHint().height() < 400, qPrintable(QString::number(box->sizeHint().height())));
}

QTEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
