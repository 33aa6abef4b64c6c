// The command line: help and version without a window, the catalog to open
// made absolute, Qt's own options let through, mistakes refused, and file
// names taken from the bytes the program was given.
#include "app/CommandLine.h"

#include <QTest>

#include <vector>

using Action = CommandLine::TRequest::Action;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void argumentBytes_data();
    void argumentBytes();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("textPart");

    const auto run = int(Action::Run);
    const auto error = int(Action::Error);
    QTest::newRow("nothing") << QStringList{} << run << QString() << QString();
    QTest::newRow("absolute file") << QStringList{"/data/光盘/电影.MDB"} << run << "/data/光盘/电影.MDB" << QString();
    QTest::newRow("relative file") << QStringList{"../other/a.MDB"} << run << "/home/user/other/a.MDB" << QString();
    QTest::newRow("file URL") << QStringList{"file:///data/%E5%85%89%E7%9B%98.MDB"} << run << "/data/光盘.MDB"
                              << QString();
    QTest::newRow("file after --") << QStringList{"--", "-odd.MDB"} << run << "/home/user/work/-odd.MDB" << QString();
    QTest::newRow("Qt options let through")
        << QStringList{"-platform", "offscreen", "-style=Fusion", "-reverse", "a.MDB"} << run << "/home/user/work/a.MDB"
        << QString();
    QTest::newRow("help") << QStringList{"--help"} << int(Action::Help) << QString()
                          << "用法：vorlix [选项] [光盘夹文件]";
    QTest::newRow("short help") << QStringList{"-h", "a.MDB"} << int(Action::Help) << QString() << "-v, --version";
    QTest::newRow("version") << QStringList{"--version"} << int(Action::Version) << QString()
                             << "Vorlix 1.0.1（光盘夹格式 Build1.02）\n";
    QTest::newRow("short version") << QStringList{"-v"} << int(Action::Version) << QString() << "Vorlix 1.";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << error << QString() << "不认识的选项：bogus";
    QTest::newRow("option value missing") << QStringList{"-platform"} << error << QString() << "命令行有误";
    QTest::newRow("two files") << QStringList{"a.MDB", "b.MDB"} << error << QString() << "一次只能打开一个光盘夹文件。";
    QTest::newRow("remote URL") << QStringList{"file://host/a.MDB"} << error << QString() << "不是本机上的文件";
    QTest::newRow("URL of a name that is not UTF-8")
        << QStringList{"file:///data/%B9%E2%C5%CC.MDB"} << error << QString() << "文件名不是 UTF-8 编码";
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, file);
    QFETCH(QString, textPart);

    const CommandLine::TRequest request =
        CommandLine::Parse(QStringList{"/usr/bin/vorlix"} + arguments, QStringLiteral("/home/user/work"));
    QCOMPARE(int(request.action), action);
    QCOMPARE(request.file, file);
    QVERIFY2(request.text.contains(textPart), qPrintable(request.text));
    if (request.action == Action::Error)
        QVERIFY(request.text.contains(QStringLiteral("vorlix --help")));
}

void TestCommandLine::argumentBytes_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("textPart");

    QTest::newRow("UTF-8 name") << QByteArrayList{"/数据/电影.MDB"} << int(Action::Run) << "/数据/电影.MDB"
                                << QString();
    // "光盘" in GBK: bytes no Unicode name stands for.
    QTest::newRow("GBK name") << QByteArrayList{"/data/\xb9\xe2\xc5\xcc.MDB"} << int(Action::Error) << QString()
                              << "文件名不是 UTF-8 编码";
    QTest::newRow("GBK folder, relative")
        << QByteArrayList{"\xb9\xe2/a.MDB"} << int(Action::Error) << QString() << "请先把文件改名";
    QTest::newRow("odd bytes only in a Qt option's value")
        << QByteArrayList{"-title", "\xff", "a.MDB"} << int(Action::Run) << "/home/user/work/a.MDB" << QString();
}

void TestCommandLine::argumentBytes()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(int, action);
    QFETCH(QString, file);
    QFETCH(QString, textPart);

    arguments.prepend("/usr/bin/vorlix");
    std::vector<const char *> argv;
    for (const QByteArray &argument : arguments)
        argv.push_back(argument.constData());
    const CommandLine::TRequest request =
        CommandLine::Parse(int(argv.size()), argv.data(), QStringLiteral("/home/user/work"));
    QCOMPARE(int(request.action), action);
    QCOMPARE(request.file, file);
    QVERIFY2(request.text.contains(textPart), qPrintable(request.text));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
