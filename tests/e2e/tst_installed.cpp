// The Debian package as a user gets it: built with CPack, unpacked into a
// private root and started from there on a private X server, with a private
// home. Its files are where the desktop looks for them and pass the desktop
// tools' checks; the command line answers without a display; the first
// start makes the user's data folder and a catalog in it; a catalog named on
// the command line opens wherever it is; a second start hands its file to
// the running program and ends.
#include "store/catalog/Schema.h"
#include "tests/e2e/XServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/prctl.h>

#include <csignal>
#include <functional>
#include <memory>

namespace {

const QString MainTitlePrefix = QStringLiteral("Zentra-Vorlix1.01 ");
const QString OpenDialogTitle = QStringLiteral("打开/新建光盘夹");
const QString AppId = QStringLiteral("com.zentra_software.Vorlix");
const QPoint CatalogMenu(40, 8);

struct TRun
{
    int exitCode = -1;
    QString out, err;
};

TRun Run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment = {},
         const QString &folder = {}, int timeoutMs = 120000)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    TRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out or could not start: ") + process.errorString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err += QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class TestInstalled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void packageContents();
    void packageChecks();
    void commandLineWithoutDisplay_data();
    void commandLineWithoutDisplay();
    void firstStartSecondStartAndFileOnCommandLine();

private:
    QProcessEnvironment Environment(bool display) const;
    void Start(const QStringList &arguments);
    bool WaitFor(const std::function<bool()> &condition, int milliseconds = 20000);
    TXServer::Window WaitForWindow(const QString &title, bool focused);
    void Shot(const QString &step);
    void CloseProgram(const TXServer::Window &mainWindow);

    QTemporaryDir m_temp;
    TXServer m_x;
    QString m_deb, m_root, m_home, m_screens;
    int m_step = 0;
    std::unique_ptr<QProcess> m_program;
};

void TestInstalled::initTestCase()
{
    QVERIFY(m_temp.isValid());
    const QString packages = m_temp.filePath(QStringLiteral("packages"));
    const TRun cpack = Run(QStringLiteral(VORLIX_CPACK),
                           {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                            QStringLiteral(VORLIX_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), packages});
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.out + cpack.err));
    const QStringList debs = QDir(packages).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    m_deb = QDir(packages).filePath(debs.first());

    m_root = m_temp.filePath(QStringLiteral("root"));
    const TRun unpack = Run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root});
    QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.err));
    m_home = m_temp.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(m_home));

    QString error;
    QVERIFY2(m_x.Start(&error), qPrintable(error));
    m_screens = QStringLiteral(VORLIX_SCREENS_DIR);
    QDir screens(m_screens);
    QVERIFY(screens.mkpath(QStringLiteral(".")));
    for (const QString &old : screens.entryList({QStringLiteral("*.png")}, QDir::Files))
        screens.remove(old);
}

void TestInstalled::cleanup()
{
    if (QTest::currentTestFailed()) {
        Shot(QStringLiteral("failed"));
        if (m_program)
            qWarning("program output:\n%s", m_program->readAll().constData());
    }
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished(5000);
    }
    m_program.reset();
}

void TestInstalled::packageContents()
{
    const QString usr = m_root + QStringLiteral("/usr");
    const QString hicolor = usr + QStringLiteral("/share/icons/hicolor/");
    QStringList expected = {
        QStringLiteral("bin/vorlix"),
        QStringLiteral("share/vorlix/Blank"),
        QStringLiteral("share/applications/") + AppId + QStringLiteral(".desktop"),
        QStringLiteral("share/metainfo/") + AppId + QStringLiteral(".metainfo.xml"),
        QStringLiteral("share/mime/packages/") + AppId + QStringLiteral(".xml"),
        QStringLiteral("share/icons/hicolor/scalable/apps/") + AppId + QStringLiteral(".svg"),
        QStringLiteral("share/man/man1/vorlix.1.gz"),
        QStringLiteral("share/doc/vorlix/copyright"),
    };
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId);
    for (const QString &file : expected)
        QVERIFY2(QFileInfo(usr + QLatin1Char('/') + file).isFile(), qPrintable(file));
    QVERIFY(QFileInfo(usr + QStringLiteral("/bin/vorlix")).isExecutable());
    QCOMPARE(QImage(hicolor + QStringLiteral("256x256/apps/") + AppId + QStringLiteral(".png")).size(),
             QSize(256, 256));
    // The skins, and nothing of the portable folder.
    QVERIFY(QDirIterator(usr + QStringLiteral("/share/vorlix/Skin"), {QStringLiteral("*.ini")}, QDir::Files,
                         QDirIterator::Subdirectories)
                .hasNext());
    QVERIFY(!QFileInfo::exists(usr + QStringLiteral("/bin/Data")));
    QVERIFY(!QFileInfo::exists(usr + QStringLiteral("/Data")));

    const TRun depends = Run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Depends")});
    QCOMPARE(depends.exitCode, 0);
    for (const char *package : {"libqt6widgets6", "libqt6network6", "libsqlcipher", "qt6-qpa-plugins",
                                "qt6-translations-l10n", "fonts-wqy-microhei"})
        QVERIFY2(depends.out.contains(QLatin1String(package)), qPrintable(depends.out));
}

void TestInstalled::packageChecks()
{
    const QString share = m_root + QStringLiteral("/usr/share/");
    const TRun desktop = Run(QStringLiteral("desktop-file-validate"),
                             {share + QStringLiteral("applications/") + AppId + QStringLiteral(".desktop")});
    QVERIFY2(desktop.exitCode == 0 && desktop.out.isEmpty(), qPrintable(desktop.out + desktop.err));
    const TRun metainfo = Run(QStringLiteral("appstreamcli"),
                              {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--explain"),
                               share + QStringLiteral("metainfo/") + AppId + QStringLiteral(".metainfo.xml")});
    QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.out + metainfo.err));
    const TRun lintian =
        Run(QStringLiteral("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error"), m_deb}, {}, {}, 300000);
    QVERIFY2(lintian.exitCode == 0, qPrintable(lintian.out + lintian.err));
    if (!lintian.out.isEmpty())
        qInfo("lintian:\n%s", qPrintable(lintian.out));
}

QProcessEnvironment TestInstalled::Environment(bool display) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"QT_QPA_PLATFORM", "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "QT_SCALE_FACTOR", "XDG_CURRENT_DESKTOP",
          "DESKTOP_SESSION", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "WAYLAND_DISPLAY", "DISPLAY"})
        environment.remove(QLatin1String(name));
    // A private home: the data folder and the settings go to their usual
    // places inside it.
    environment.insert(QStringLiteral("HOME"), m_home);
    const QString runtime = m_temp.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    if (display) {
        environment.insert(QStringLiteral("DISPLAY"), m_x.Display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }
    return environment;
}

void TestInstalled::commandLineWithoutDisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("help") << "--help" << 0 << "用法：vorlix [选项] [光盘夹文件]" << QString();
    QTest::newRow("version") << "--version" << 0 << "Vorlix " VORLIX_VERSION "（光盘夹格式 Build1.02）\n" << QString();
    QTest::newRow("unknown") << "--bogus" << 2 << QString() << "不认识的选项：bogus";
    QTest::newRow("start") << QString() << 1 << QString() << "无法连接到显示器：";
}

void TestInstalled::commandLineWithoutDisplay()
{
    QFETCH(QString, option);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const QStringList arguments = option.isEmpty() ? QStringList{} : QStringList{option};
    const TRun run = Run(m_root + QStringLiteral("/usr/bin/vorlix"), arguments, Environment(false), {}, 10000);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.contains(out), qPrintable(run.out));
    QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.contains(err), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(m_home + QStringLiteral("/.local")));
}

void TestInstalled::Start(const QStringList &arguments)
{
    m_program = std::make_unique<QProcess>();
    m_program->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_program->setProcessEnvironment(Environment(true));
    m_program->setWorkingDirectory(m_temp.path());
    m_program->setProcessChannelMode(QProcess::MergedChannels);
    m_program->start(m_root + QStringLiteral("/usr/bin/vorlix"), arguments);
    QVERIFY2(m_program->waitForStarted(10000), qPrintable(m_program->errorString()));
}

bool TestInstalled::WaitFor(const std::function<bool()> &condition, int milliseconds)
{
    return WaitWhileRunning(m_program.get(), condition, milliseconds);
}

TXServer::Window TestInstalled::WaitForWindow(const QString &title, bool focused)
{
    std::optional<TXServer::Window> found;
    const auto there = [&] {
        found = m_x.FindWindow(title);
        return found && (!focused || m_x.FocusWindow() == found->id);
    };
    WaitFor(there);
    return there() ? *found : TXServer::Window{};
}

void TestInstalled::Shot(const QString &step)
{
    // A window found by its title may not be painted yet.
    QImage screen;
    if (!m_x.SettledScreenshot(&screen))
        qWarning("the screen did not settle for %s", qPrintable(step));
    const QString name = QStringLiteral("%1-%2.png").arg(++m_step, 2, 10, QLatin1Char('0')).arg(step);
    if (!screen.save(QDir(m_screens).filePath(name)))
        qWarning("cannot save the screenshot %s", qPrintable(name));
}

void TestInstalled::CloseProgram(const TXServer::Window &mainWindow)
{
    QVERIFY(m_x.Close(mainWindow.id));
    QVERIFY(WaitFor([this] { return m_program->state() == QProcess::NotRunning; }));
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
}

void TestInstalled::firstStartSecondStartAndFileOnCommandLine()
{
    const QString userData = m_home + QStringLiteral("/.local/share/Zentra-Software/Vorlix");
    const QString alpha = userData + QStringLiteral("/Data/Alpha.MDB");
    QVERIFY(!QFileInfo::exists(userData));

    // The first start: the data folder with the template, then the open
    // dialog, where a new catalog is made.
    Start({});
    TXServer::Window dialog = WaitForWindow(OpenDialogTitle, true);
    QVERIFY2(dialog.id, "no open/new dialog");
    QVERIFY(QFileInfo(userData + QStringLiteral("/Data/Blank")).isFile());
    QVERIFY(QFileInfo(userData + QStringLiteral("/Picture")).isDir());
    Shot(QStringLiteral("open-dialog"));
    QVERIFY(m_x.Xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"),
                         QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab")}));
    QVERIFY(m_x.Xdotool(
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("Alpha")}));
    QVERIFY(m_x.Xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("Tab"),
                         QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")}));
    TXServer::Window mainWindow = WaitForWindow(MainTitlePrefix + alpha, false);
    QVERIFY2(mainWindow.id, "the new catalog is not open");
    QVERIFY(QFileInfo(alpha).isFile());
    Shot(QStringLiteral("catalog-created"));

    // A second start with a catalog elsewhere, named relative to where it
    // starts: the running program opens it; the second one ends at once.
    const QString elsewhere = m_temp.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    Schema::CreateCatalog(elsewhere + QStringLiteral("/Beta.MDB"), Schema::Layout::Build101, true);
    Schema::CreateCatalog(elsewhere + QStringLiteral("/Gamma.MDB"), Schema::Layout::Build101, true);
    const TRun second = Run(m_root + QStringLiteral("/usr/bin/vorlix"), {QStringLiteral("Beta.MDB")}, Environment(true),
                            elsewhere, 15000);
    QVERIFY2(second.exitCode == 0, qPrintable(second.err));
    mainWindow = WaitForWindow(MainTitlePrefix + elsewhere + QStringLiteral("/Beta.MDB"), false);
    QVERIFY2(mainWindow.id, "the handed-over catalog is not open");
    int mainWindows = 0;
    for (const TXServer::Window &window : m_x.Windows())
        mainWindows += window.title.startsWith(MainTitlePrefix) ? 1 : 0;
    QCOMPARE(mainWindows, 1);
    Shot(QStringLiteral("handed-over"));
    CloseProgram(mainWindow);

    // A start with a file named on the command line opens it in place of
    // the remembered one, and remembers it by its full path.
    const QString gamma = elsewhere + QStringLiteral("/Gamma.MDB");
    Start({gamma});
    mainWindow = WaitForWindow(MainTitlePrefix + gamma, false);
    QVERIFY2(mainWindow.id, "the catalog named on the command line is not open");
    QVERIFY(!m_x.FindWindow(OpenDialogTitle));
    Shot(QStringLiteral("command-line-file"));
    CloseProgram(mainWindow);
    QFile ini(m_home + QStringLiteral("/.config/Zentra-Software/Vorlix.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(ini.readAll()).contains(QStringLiteral("DefaultDb=") + gamma));

    // Nothing landed beside the program.
    QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/usr/bin/Data")));
    QCOMPARE(QDir(userData + QStringLiteral("/Data")).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("Alpha.MDB"), QStringLiteral("Blank")}));
}

QTEST_GUILESS_MAIN(TestInstalled)
#include "tst_installed.moc"
