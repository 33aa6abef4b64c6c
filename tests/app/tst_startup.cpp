// The program's start and what surrounds it: the guide and its window, the
// start without a display, the version it names, a file name it cannot keep,
// and the main window's place kept between starts.
#include "app/DisplayCheck.h"
#include "app/HelpWindow.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/WindowPlacing.h"
#include "tests/support/ProgramFixture.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>

namespace {

struct TRun
{
    int exitCode = -1;
    QString out, err;
};

// The real program, with no display and no platform named unless given.
TRun RunProgram(const QStringList &arguments, const QHash<QString, QString> &environment = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VORLIX_PROGRAM), arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void guideCoversEveryFeature_data();
    void guideCoversEveryFeature();
    void helpWindowCloses_data();
    void helpWindowCloses();

    void displayProblem_data();
    void displayProblem();
    void programWithoutDisplay_data();
    void programWithoutDisplay();
    void fileNameNotUtf8();

    void windowPlaceKeptBetweenStarts();
};

void TestStartUp::guideCoversEveryFeature_data()
{
    QTest::addColumn<QString>("anchor");
    QTest::addColumn<QStringList>("says"); // the section's heading first, then the commands it names
    QTest::newRow("cover") << "cover" << QStringList{"添加封面图片", "光盘图片", "双击图片区域"};
    QTest::newRow("cover wall") << "wall" << QStringList{"封面墙", "项目设置"};
    QTest::newRow("find discs") << "find" << QStringList{"查找光盘", "手动查找", "包含文件", "Esc"};
    QTest::newRow("find files") << "findfile" << QStringList{"查找文件", "查找文件..."};
    QTest::newRow("scan") << "scan" << QStringList{"扫描光盘内容", "扫描光盘内容...", "清除光盘内容", "选择文件夹..."};
    QTest::newRow("loans") << "loans" << QStringList{"借出和归还", "借出...", "归还", "借出记录..."};
    QTest::newRow("statistics") << "stats" << QStringList{"统计", "统计...", "保存图表..."};
    QTest::newRow("import") << "import" << QStringList{"导入和导出", "导入光盘...", "导入报告", "导出光盘列表..."};
    QTest::newRow("merge") << "merge" << QStringList{"合并光盘夹", "合并光盘夹...", "合并报告", "跳过这些光盘"};
    QTest::newRow("complete backup") << "backup"
                                     << QStringList{"完整备份", "完整备份（含封面）...", "从完整备份恢复..."};
}

void TestStartUp::guideCoversEveryFeature()
{
    QFETCH(QString, anchor);
    QFETCH(QStringList, says);
    QFile file(QStringLiteral(":/help/guide.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QString start = QStringLiteral("<a name=\"%1\"></a>%2</h").arg(anchor, says.first());
    const qsizetype at = html.indexOf(start);
    QVERIFY2(at >= 0, qPrintable(start));
    // The section: up to the next heading of its level or above.
    qsizetype end = html.indexOf(QStringLiteral("<h2>"), at);
    if (const qsizetype h3 = html.indexOf(QStringLiteral("<h3>"), at); h3 >= 0 && (end < 0 || h3 < end))
        end = h3;
    const QString section = html.mid(at, end < 0 ? -1 : end - at);
    for (const QString &text : says)
        QVERIFY2(section.contains(text), qPrintable(text));
}

void TestStartUp::helpWindowCloses_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("关闭") << true;
    QTest::newRow("Esc") << false;
}

void TestStartUp::helpWindowCloses()
{
    QFETCH(bool, byButton);
    QPointer<THelpWindow> help = THelpWindow::ShowGuide(nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QCOMPARE(help->CloseButton()->text(), QStringLiteral("关闭"));
    QVERIFY(help->Browser()->document()->toPlainText().contains(QStringLiteral("合并光盘夹")));
    if (byButton) {
        QTest::mouseClick(help->CloseButton(), Qt::LeftButton);
    } else {
        QApplication::setActiveWindow(help);
        QVERIFY(QTest::qWaitForWindowActive(help));
        help->Browser()->setFocus();
        QTest::keyClick(help->Browser(), Qt::Key_Escape);
    }
    // Closed and freed: asked again, a new window.
    QTRY_VERIFY(!help);
}

void TestStartUp::displayProblem_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment"); // NAME=value
    QTest::addColumn<bool>("problem");
    QTest::newRow("nothing to show on") << QStringList{} << QStringList{} << true;
    QTest::newRow("empty DISPLAY") << QStringList{} << QStringList{"DISPLAY="} << true;
    QTest::newRow("X display") << QStringList{} << QStringList{"DISPLAY=:0"} << false;
    QTest::newRow("Wayland") << QStringList{} << QStringList{"WAYLAND_DISPLAY=wayland-0"} << false;
    QTest::newRow("platform in the environment") << QStringList{} << QStringList{"QT_QPA_PLATFORM=offscreen"} << false;
    QTest::newRow("platform option") << QStringList{"-platform", "offscreen"} << QStringList{} << false;
    QTest::newRow("platform option with =") << QStringList{"--platform=vnc"} << QStringList{} << false;
    QTest::newRow("a file named like the option") << QStringList{"--", "-platform"} << QStringList{} << true;
}

void TestStartUp::displayProblem()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(bool, problem);
    QProcessEnvironment env;
    for (const QString &pair : environment)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    const QString message = DisplayCheck::Problem(QStringList{QStringLiteral("vorlix")} + arguments, env);
    QCOMPARE(!message.isEmpty(), problem);
    if (problem)
        QVERIFY(message.startsWith(QStringLiteral("无法连接到显示器")));
}

void TestStartUp::programWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // how the error output starts
    const QString version = QStringLiteral("Vorlix " VORLIX_VERSION "（光盘夹格式 Build1.02）\n");
    QTest::newRow("no display") << QStringList{} << QString() << 1 << QString() << "无法连接到显示器：";
    QTest::newRow("a display nobody serves") << QStringList{} << ":4711" << 1 << QString() << "无法连接到显示器“:4711”";
    QTest::newRow("--version") << QStringList{"--version"} << QString() << 0 << version << QString();
    QTest::newRow("--help") << QStringList{"--help"} << QString() << 0 << "用法：" << QString();
}

void TestStartUp::programWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, display);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/.X11-unix/X4711")));
    QTemporaryDir home;
    QHash<QString, QString> environment{{QStringLiteral("HOME"), home.path()},
                                        {QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config"))},
                                        {QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data"))}};
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    const TRun run = RunProgram(arguments, environment);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out), qPrintable(run.out));
    QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.startsWith(err), qPrintable(run.err));
}

void TestStartUp::fileNameNotUtf8()
{
    // An existing catalog whose name is "光盘" in GBK: refused by name before
    // any window, not looked for under another name and "not found".
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray name = QFile::encodeName(dir.path()) + "/\xb9\xe2\xc5\xcc.MDB";
    FILE *file = std::fopen(name.constData(), "w");
    QVERIFY(file);
    std::fclose(file);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4711"));
    process.setProcessEnvironment(env);
    // The name's bytes reach the program as they are through a shell.
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$1/$(printf '\\271\\342\\305\\314').MDB\""),
                   QStringLiteral(VORLIX_PROGRAM), dir.path()});
    QVERIFY(process.waitForFinished(20000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 2);
    QVERIFY2(err.contains(QStringLiteral("文件名不是 UTF-8 编码")), qPrintable(err));
    QVERIFY(!err.contains(QStringLiteral("找不到")));
}

void TestStartUp::windowPlaceKeptBetweenStarts()
{
    ProgramFixture program;
    program.Start();
    MainFm->setGeometry(QRect(50, 60, 640, 480));
    const QRect shown = MainFm->geometry();
    MainFm->close();
    const std::optional<TWindowPlace> place = Settings->ReadWindowPlace();
    QVERIFY(place);
    QCOMPARE(*place, (TWindowPlace{shown, false}));

    // The next start puts it there; a place on a screen gone, or none,
    // gives the maximized window of a first start.
    QWidget next;
    ShowMainWindow(next, place);
    QCOMPARE(next.geometry(), shown);
    QVERIFY(!next.isMaximized());
    for (const std::optional<TWindowPlace> &elsewhere :
         {std::optional(TWindowPlace{QRect(5000, 60, 640, 480), false}), std::optional<TWindowPlace>()}) {
        QWidget other;
        ShowMainWindow(other, elsewhere);
        QVERIFY(other.isMaximized());
    }
    QWidget maximized;
    ShowMainWindow(maximized, TWindowPlace{shown, true});
    QVERIFY(maximized.isMaximized());
    QCOMPARE(maximized.normalGeometry().topLeft(), shown.topLeft());
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
