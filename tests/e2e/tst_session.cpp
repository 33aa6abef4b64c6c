// A user's session with the installed program, in a real window on a
// private X server: the first start, a new catalog, a folder, two discs (one
// with a cover picture), the quick jump by pinyin initials, the find, a
// delete, and the next start, which opens the catalog by itself. A catalog
// the program cannot open, remembered or chosen, is refused with a message
// and left as it is.
//
// The test drives the program through the keyboard and the mouse only
// (xdotool) and looks at what the user sees (window titles, the keyboard
// focus, the screen) and at the catalog file, read through the store. It
// finds the controls by their names, through a probe loaded into the program
// (WidgetProbe.cpp), which tells where they are on the screen, where the
// keyboard focus is and how many rows a list shows: another font, size or
// style moves nothing the test relies on. Each step leaves a screenshot in
// the build folder.
#include "tests/e2e/CatalogState.h"
#include "tests/e2e/ProbeClient.h"
#include "tests/e2e/XServer.h"
#include "tools/CatalogGenerator.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>

namespace {

const QString MainTitlePrefix = QStringLiteral("Zentra-Vorlix1.01 ");
// The program's windows, by their names.
const QString MainWindow = QStringLiteral("MainFm");
const QString Splash = QStringLiteral("FlashFm");
const QString OpenDialog = QStringLiteral("OpenDbFm");
const QString FolderDialog = QStringLiteral("AddTreeDlg");
const QString DiscDialog = QStringLiteral("AddCdDlg");
const QString PictureDialog = QStringLiteral("PictureDlg");
const QString FindDialog = QStringLiteral("FindFm");

// The names the user types; the Chinese ones come through keys of their own.
// The first is as long as a name may be: 50 characters, 100 bytes.
const QString DiscWithCover = QStringLiteral("星际穿越").repeated(12) + QStringLiteral("星际");
const QString DiscWithCoverSpell = QStringLiteral("XJCY").repeated(12) + QStringLiteral("XJ");
const QString DiscWithoutCover = QStringLiteral("流浪地球");
const QString NameFragment = QStringLiteral("穿越");

bool IsCoverColour(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 70 && qBlue(p) > 200;
}

int CountPixels(const QImage &image, const QRect &area, bool (*test)(QRgb))
{
    const QRect clipped = area.intersected(image.rect());
    int count = 0;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            count += test(line[x]) ? 1 : 0;
    }
    return count;
}

// The rows of a statement on the catalog while the program has it open;
// nothing while the program holds it locked for a moment.
std::optional<QStringList> ReadWhileOpen(const QString &catalog, const QString &sql)
{
    try {
        return CatalogState::Rows(catalog, sql);
    } catch (const EAppError &) {
        return std::nullopt;
    }
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void aUsersSession();
    void unreadableCatalogsAreRefused();

private:
    QString InstallProgram(const QString &name);
    void StartProgram(const QString &programFolder, const QString &configFolder);
    void WaitForProgramEnd();

    bool WaitFor(const std::function<bool()> &condition, int milliseconds = 20000);
    // A window of the program by its name, on the screen and holding the
    // keyboard focus; an empty place when there is none.
    TProbeClient::Place WaitForWindow(const QString &name, int milliseconds = 20000);
    // The main window, once its title bar reads the title.
    TProbeClient::Place WaitForMainWindow(const QString &title);
    TProbeClient::Place WaitForSplash();
    // A message box in front, holding the keyboard focus.
    TProbeClient::Place WaitForMessage();
    bool WaitUntilGone(quint32 window, int milliseconds = 20000);
    bool WaitForScreen(const std::function<bool(const QImage &)> &condition, int milliseconds = 20000);
    // Until the keyboard focus is in the control named so.
    bool WaitForFocus(const QString &name);
    // Until the list or tree named so shows this many rows, the current one
    // the first.
    bool WaitForOneCurrentRow(const QString &name);

    // Gives the window the keyboard focus, as a window manager does when the
    // user clicks it.
    bool Focus(quint32 window);
    // The middle of the control named so in the window in front.
    bool ClickOn(const QString &name, int button = 1);
    bool DoubleClickOn(const QString &name);
    // Opens a menu of the menu bar, by the menu's name.
    bool OpenMenu(const QString &menu);
    // Clicks an entry of the menu that popped up, by its name.
    bool ChooseMenuEntry(const QString &entry);
    // Clicks into the box, selects what it holds and types the text over it.
    bool Fill(const QString &box, const QString &text);
    bool Keys(const QStringList &keys);
    bool Type(const QString &text);
    void Shot(const QString &step);

    void CloseWithMenu();
    // Writes the settings a previous run leaves behind.
    void RememberCatalog(const QString &configFolder, const QString &catalog);

    QTemporaryDir m_temp;
    TXServer m_x;
    QString m_screens;
    int m_step = 0;
    std::unique_ptr<QProcess> m_program;
    std::unique_ptr<TProbeClient> m_probe;
    QString m_cover;
};

void TestSession::initTestCase()
{
    QVERIFY(m_temp.isValid());
    QString error;
    QVERIFY2(m_x.Start(&error), qPrintable(error));
    QVERIFY(m_x.MapCharacters(DiscWithCover + DiscWithoutCover + NameFragment));

    m_screens = qEnvironmentVariable("VORLIX_SCREENS_DIR", QStringLiteral(VORLIX_SCREENS_DIR));
    QDir screens(m_screens);
    QVERIFY(screens.mkpath(QStringLiteral(".")));
    for (const QString &old : screens.entryList({QStringLiteral("*.png")}, QDir::Files))
        screens.remove(old);

    // A cover in a colour nothing else on the screen has.
    m_cover = m_temp.filePath(QStringLiteral("cover.jpg"));
    QImage cover(160, 200, QImage::Format_RGB32);
    cover.fill(QColor(255, 0, 255));
    QVERIFY(cover.save(m_cover, "JPG", 100));
}

void TestSession::cleanup()
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

QString TestSession::InstallProgram(const QString &name)
{
    // The README's way: the build installed into a folder of its own.
    const QString folder = m_temp.filePath(name);
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESTDIR"));
    install.setProcessEnvironment(environment);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(VORLIX_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(VORLIX_BUILD_DIR), QStringLiteral("--component"),
                   QStringLiteral("portable"), QStringLiteral("--prefix"), folder});
    if (!install.waitForFinished(60000) || install.exitCode() != 0) {
        qWarning("cmake --install failed:\n%s", install.readAll().constData());
        return {};
    }
    return QFileInfo(folder).canonicalFilePath();
}

void TestSession::StartProgram(const QString &programFolder, const QString &configFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                             "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "GNOME_DESKTOP_SESSION_ID", "KDE_FULL_SESSION"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("DISPLAY"), m_x.Display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    const QString runtime = m_temp.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // The probe, in the program as it was installed.
    m_probe = std::make_unique<TProbeClient>(m_temp.filePath(QStringLiteral("probe")));
    environment.insert(QStringLiteral("VORLIX_WIDGET_PROBE"), m_probe->Name());
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VORLIX_WIDGET_PROBE_LIBRARY));
    if (environment.contains(QStringLiteral("ASAN_OPTIONS")))
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                               QStringLiteral(":verify_asan_link_order=0"));

    m_program = std::make_unique<QProcess>();
    m_program->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_program->setProcessEnvironment(environment);
    m_program->setWorkingDirectory(m_temp.path());
    m_program->setProcessChannelMode(QProcess::MergedChannels);
    m_program->start(programFolder + QStringLiteral("/vorlix"), {});
    QVERIFY2(m_program->waitForStarted(10000), qPrintable(m_program->errorString()));
}

void TestSession::WaitForProgramEnd()
{
    QVERIFY(WaitFor([this] { return m_program->state() == QProcess::NotRunning; }));
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
}

bool TestSession::WaitFor(const std::function<bool()> &condition, int milliseconds)
{
    return WaitWhileRunning(m_program.get(), condition, milliseconds);
}

TProbeClient::Place TestSession::WaitForWindow(const QString &name, int milliseconds)
{
    TProbeClient::Place found;
    const auto there = [&] {
        found = m_probe->Window(name);
        return found && m_x.FocusWindow() == found.window;
    };
    WaitFor(there, milliseconds);
    return found && m_x.FocusWindow() == found.window ? found : TProbeClient::Place{};
}

TProbeClient::Place TestSession::WaitForMainWindow(const QString &title)
{
    TProbeClient::Place found;
    const auto there = [&] {
        found = m_probe->Window(MainWindow);
        const std::optional<TXServer::Window> titled = m_x.FindWindow(title);
        return found && titled && titled->id == found.window;
    };
    WaitFor(there);
    return there() ? found : TProbeClient::Place{};
}

TProbeClient::Place TestSession::WaitForSplash()
{
    TProbeClient::Place found;
    WaitFor([&] { return bool(found = m_probe->Window(Splash)); });
    return found;
}

TProbeClient::Place TestSession::WaitForMessage()
{
    TProbeClient::Place found;
    const auto there = [&] {
        if (m_probe->ModalClass() != QLatin1String("QMessageBox"))
            return false;
        found.window = m_probe->ModalWindow();
        return found.window && m_x.FocusWindow() == found.window;
    };
    WaitFor(there);
    return there() ? found : TProbeClient::Place{};
}

bool TestSession::WaitUntilGone(quint32 window, int milliseconds)
{
    return WaitFor(
        [&] {
            const QList<TXServer::Window> windows = m_x.Windows();
            return std::none_of(windows.begin(), windows.end(), [&](const auto &w) { return w.id == window; });
        },
        milliseconds);
}

bool TestSession::WaitForScreen(const std::function<bool(const QImage &)> &condition, int milliseconds)
{
    return WaitFor([&] { return condition(m_x.Screenshot()); }, milliseconds);
}

bool TestSession::WaitForFocus(const QString &name)
{
    return WaitFor([&] { return m_probe->FocusChain().contains(name); });
}

bool TestSession::WaitForOneCurrentRow(const QString &name)
{
    return WaitFor([&] { return m_probe->View(name) == std::pair(1, 0); });
}

bool TestSession::Focus(quint32 window)
{
    if (m_x.FocusWindow() != window &&
        !m_x.Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)}))
        return false;
    return WaitFor([&] { return m_x.FocusWindow() == window; });
}

bool TestSession::ClickOn(const QString &name, int button)
{
    TProbeClient::Place place;
    if (!WaitFor([&] { return bool(place = m_probe->Widget(name)); }))
        return false;
    const QPoint at = place.rect.center();
    return m_x.Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                        QStringLiteral("click"), QString::number(button)});
}

bool TestSession::DoubleClickOn(const QString &name)
{
    TProbeClient::Place place;
    if (!WaitFor([&] { return bool(place = m_probe->Widget(name)); }))
        return false;
    const QPoint at = place.rect.center();
    return m_x.Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                        QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                        QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("1")});
}

bool TestSession::OpenMenu(const QString &menu)
{
    TProbeClient::Place place;
    if (!WaitFor([&] { return bool(place = m_probe->Item(menu)); }))
        return false;
    const QPoint at = place.rect.center();
    return m_x.Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                        QStringLiteral("click"), QStringLiteral("1")});
}

bool TestSession::ChooseMenuEntry(const QString &entry)
{
    TProbeClient::Place place;
    if (!WaitFor([&] { return bool(place = m_probe->Item(entry)); }))
        return false;
    const QPoint at = place.rect.center();
    return m_x.Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                        QStringLiteral("click"), QStringLiteral("1")}) &&
           WaitUntilGone(place.window);
}

bool TestSession::Fill(const QString &box, const QString &text)
{
    return ClickOn(box) && WaitForFocus(box) && Keys({QStringLiteral("ctrl+a")}) && Type(text);
}

bool TestSession::Keys(const QStringList &keys)
{
    return m_x.Xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")} + keys);
}

bool TestSession::Type(const QString &text)
{
    return m_x.Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

void TestSession::Shot(const QString &step)
{
    const QString name = QStringLiteral("%1-%2.png").arg(++m_step, 2, 10, QLatin1Char('0')).arg(step);
    if (!m_x.Screenshot().save(QDir(m_screens).filePath(name)))
        qWarning("cannot save the screenshot %s", qPrintable(name));
}

void TestSession::CloseWithMenu()
{
    QVERIFY(OpenMenu(QStringLiteral("mCd")));
    QVERIFY2(ChooseMenuEntry(QStringLiteral("mExit")), "退出 not chosen");
    WaitForProgramEnd();
}

void TestSession::RememberCatalog(const QString &configFolder, const QString &catalog)
{
    QDir().mkpath(configFolder + QStringLiteral("/Zentra-Software"));
    QFile ini(configFolder + QStringLiteral("/Zentra-Software/Vorlix.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[SoftWare]\nZentra-Software\\Vorlix\\DefaultDb=" + catalog.toUtf8() + "\n");
}

void TestSession::aUsersSession()
{
    const QString program = InstallProgram(QStringLiteral("Vorlix"));
    QVERIFY(!program.isEmpty());
    const QString config = m_temp.filePath(QStringLiteral("config"));
    const QString catalog = program + QStringLiteral("/Data/Films.MDB");

    // The first start: the splash, then the open/new dialog over the window.
    StartProgram(program, config);
    QVERIFY2(WaitForSplash(), "no splash");
    QElapsedTimer splash;
    splash.start();
    Shot(QStringLiteral("splash"));
    TProbeClient::Place dialog = WaitForWindow(OpenDialog);
    QVERIFY2(dialog, "no open/new dialog");
    QVERIFY2(splash.elapsed() > 3000, "the splash went early");
    QCOMPARE(m_probe->ModalWindow(), dialog.window); // no message over it
    Shot(QStringLiteral("open-dialog"));

    // A new catalog: its name, then the open button.
    QVERIFY(Fill(QStringLiteral("edDbName"), QStringLiteral("Films")));
    QVERIFY(ClickOn(QStringLiteral("btnOpen")));
    const TProbeClient::Place mainWindow = WaitForMainWindow(MainTitlePrefix + catalog);
    QVERIFY2(mainWindow, "the new catalog is not open");
    QVERIFY(WaitUntilGone(dialog.window));
    const QString countDiscs = QStringLiteral("SELECT count(*) FROM TbCd");
    auto discsAre = [&](int count) {
        return WaitFor([&] { return ReadWhileOpen(catalog, countDiscs) == QStringList{QString::number(count)}; });
    };
    QVERIFY(discsAre(0));
    Shot(QStringLiteral("catalog-created"));

    // A folder below the root, from the folder tree's menu, opened on the
    // tree's empty space.
    QVERIFY(ClickOn(QStringLiteral("tlCdTree"), 3));
    QVERIFY(ChooseMenuEntry(QStringLiteral("pmCdTreeAdd")));
    dialog = WaitForWindow(FolderDialog);
    QVERIFY2(dialog, "no folder dialog");
    QVERIFY(Fill(QStringLiteral("edName"), QStringLiteral("Movies")));
    QVERIFY(ClickOn(QStringLiteral("btnOk")));
    QVERIFY(WaitUntilGone(dialog.window));
    QString folderId;
    QVERIFY(WaitFor([&] {
        folderId = ReadWhileOpen(catalog, QStringLiteral("SELECT ID FROM TbTree WHERE Name='Movies' AND Id1=1"))
                       .value_or(QStringList())
                       .value(0);
        return !folderId.isEmpty();
    }));
    Shot(QStringLiteral("folder-added"));

    // The first disc, with a cover. Category and quality are typed over the
    // choices the editor offers.
    QVERIFY(ClickOn(QStringLiteral("btnAdd")));
    dialog = WaitForWindow(DiscDialog);
    QVERIFY2(dialog, "no disc editor");
    auto fillDisc = [&](const QString &serial, const QString &code, const QString &name) {
        return Fill(QStringLiteral("cbCategory"), QStringLiteral("DVD")) &&
               Fill(QStringLiteral("cbQuality"), QStringLiteral("Good")) && Fill(QStringLiteral("edSerial"), serial) &&
               Fill(QStringLiteral("edCode"), code) && Fill(QStringLiteral("edName"), name);
    };
    QVERIFY(fillDisc(QStringLiteral("S1"), QStringLiteral("A1"), DiscWithCover));
    // The picture page, and a double click on its picture box.
    const auto pictureShown = [&] { return bool(m_probe->Widget(QStringLiteral("imgPicture"))); };
    for (int page = 0; page < 4 && !pictureShown(); ++page)
        QVERIFY(Keys({QStringLiteral("ctrl+Tab")}) && (WaitFor(pictureShown, 2000) || true));
    QVERIFY2(pictureShown(), "no picture page");
    QVERIFY(DoubleClickOn(QStringLiteral("imgPicture")));
    const TProbeClient::Place picture = WaitForWindow(PictureDialog);
    QVERIFY2(picture, "no picture dialog");
    QVERIFY(Type(m_cover));
    // Enter closes the file name's completion list, when it is open, before
    // it opens the file.
    QVERIFY(WaitFor(
        [&] {
            if (!m_probe->Window(PictureDialog))
                return true;
            Keys({QStringLiteral("Return")});
            return WaitUntilGone(picture.window, 5000);
        },
        30000));
    QVERIFY2(
        WaitForScreen([&](const QImage &screen) { return CountPixels(screen, dialog.rect, IsCoverColour) > 5000; }),
        "the chosen cover is not shown");
    Shot(QStringLiteral("disc-with-cover"));
    QVERIFY(ClickOn(QStringLiteral("btnOk")));
    QVERIFY(WaitUntilGone(dialog.window));
    QVERIFY(discsAre(1));
    QVERIFY2(
        WaitForScreen([&](const QImage &screen) { return CountPixels(screen, mainWindow.rect, IsCoverColour) > 5000; }),
        "the detail page shows no cover");
    Shot(QStringLiteral("first-disc"));

    // The second disc, without a cover.
    QVERIFY(ClickOn(QStringLiteral("btnAdd")));
    dialog = WaitForWindow(DiscDialog);
    QVERIFY2(dialog, "no disc editor");
    QVERIFY(fillDisc(QStringLiteral("S2"), QStringLiteral("A2"), DiscWithoutCover));
    Shot(QStringLiteral("disc-without-cover"));
    QVERIFY(ClickOn(QStringLiteral("btnOk")));
    QVERIFY(WaitUntilGone(dialog.window));
    QVERIFY(discsAre(2));
    std::optional<QStringList> discs;
    QVERIFY(WaitFor([&] {
        return (discs = ReadWhileOpen(catalog, QStringLiteral("SELECT Name,Spell,TId,Picture FROM TbCd ORDER BY Id")))
            .has_value();
    }));
    QCOMPARE(*discs, QStringList({DiscWithCover + QStringLiteral("|%1|%2|cover.jpg").arg(DiscWithCoverSpell, folderId),
                                  DiscWithoutCover + QStringLiteral("|LLDQ|%1|").arg(folderId)}));
    Shot(QStringLiteral("second-disc"));

    // The quick jump: the initials of the second disc, then Enter. Its page
    // has no cover, and the list shows it alone.
    QVERIFY(Focus(mainWindow.window));
    QVERIFY(ClickOn(QStringLiteral("cbCode")));
    QVERIFY(WaitForFocus(QStringLiteral("cbCode")));
    QVERIFY(Type(QStringLiteral("lldq")));
    QVERIFY(Keys({QStringLiteral("Return")}));
    QVERIFY2(WaitForOneCurrentRow(QStringLiteral("dgCd")), "the jump did not list the disc alone");
    QVERIFY2(
        WaitForScreen([&](const QImage &screen) { return CountPixels(screen, mainWindow.rect, IsCoverColour) == 0; }),
        "the jump did not show the disc's page");
    Shot(QStringLiteral("jump-by-initials"));

    // The find, by a part of the first disc's name: one disc found.
    QVERIFY(ClickOn(QStringLiteral("btnFind")));
    dialog = WaitForWindow(FindDialog);
    QVERIFY2(dialog, "no find dialog");
    QVERIFY(Fill(QStringLiteral("edName"), NameFragment));
    QVERIFY(ClickOn(QStringLiteral("btnFind"))); // 开始查找
    QVERIFY2(WaitForOneCurrentRow(QStringLiteral("dgFind")), "the find does not list one disc");
    Shot(QStringLiteral("find-by-name"));
    QVERIFY(m_x.Close(dialog.window));
    QVERIFY(WaitUntilGone(dialog.window));

    // Delete the disc the jump went to, after the confirmation.
    QVERIFY(ClickOn(QStringLiteral("btnDel")));
    dialog = WaitForMessage();
    QVERIFY2(dialog, "no confirmation");
    Shot(QStringLiteral("confirm-delete"));
    QVERIFY(Keys({QStringLiteral("Return")}));
    QVERIFY(WaitUntilGone(dialog.window));
    QVERIFY(discsAre(1));
    Shot(QStringLiteral("deleted"));
    CloseWithMenu();

    // The next start opens the catalog without asking, lists the disc and
    // shows its page with the cover.
    StartProgram(program, config);
    QVERIFY2(WaitForSplash(), "no splash");
    Shot(QStringLiteral("second-start-splash"));
    const TProbeClient::Place again = WaitForMainWindow(MainTitlePrefix + catalog);
    QVERIFY2(again, "the catalog was not opened");
    QVERIFY2(WaitForOneCurrentRow(QStringLiteral("dgCd")), "the disc is not listed");
    QVERIFY2(WaitForScreen([&](const QImage &screen) { return CountPixels(screen, again.rect, IsCoverColour) > 5000; }),
             "the disc's page is not shown");
    QVERIFY(!m_probe->Window(OpenDialog));
    QVERIFY(m_probe->ModalClass().isEmpty());
    Shot(QStringLiteral("second-start"));
    CloseWithMenu();

    // The file, read through the store.
    QCOMPARE(CatalogState::IntegrityCheck(catalog), QStringLiteral("ok"));
    QCOMPARE(
        CatalogState::Rows(catalog,
                           QStringLiteral("SELECT A.Serial,A.Code,A.Name,A.Spell,B.Name,C.Name,T.Name,A.Picture "
                                          "FROM TbCd A JOIN TbCategory B ON A.CId=B.Id JOIN TbQuality C ON "
                                          "A.QId=C.Id JOIN TbTree T ON A.TId=T.ID")),
        QStringList{QStringLiteral("S1|A1|%1|%2|DVD|Good|Movies|cover.jpg").arg(DiscWithCover, DiscWithCoverSpell)});
    QCOMPARE(CatalogState::FileDigest(program + QStringLiteral("/Picture/cover.jpg")),
             CatalogState::FileDigest(m_cover));
}

void TestSession::unreadableCatalogsAreRefused()
{
    const QString program = InstallProgram(QStringLiteral("Refusing"));
    QVERIFY(!program.isEmpty());
    const QString config = m_temp.filePath(QStringLiteral("config-refusing"));
    const QString data = program + QStringLiteral("/Data/");

    // A catalog damaged in its middle, one cut short, an empty file and a
    // database of another program; each name starts with its own letter.
    const QString damaged = data + QStringLiteral("Damaged.MDB");
    const QString truncated = data + QStringLiteral("Truncated.MDB");
    CatalogGenerator::GenerateCatalog(damaged, 2000, Schema::Layout::Build102);
    QVERIFY(QFile::copy(damaged, truncated));
    {
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() / 2 - 32768));
        file.write(QByteArray(65536, '\x5a'));
        QFile cut(truncated);
        QVERIFY(cut.resize(cut.size() / 2));
        QFile empty(data + QStringLiteral("Empty.MDB"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    {
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open((data + QStringLiteral("Other.MDB")).toUtf8().constData(), &raw), SQLITE_OK);
        const CatalogState::Handle other(raw);
        QCOMPARE(sqlite3_exec(raw, "CREATE TABLE Songs (Title TEXT)", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    QMap<QString, QByteArray> digests;
    for (const QString &name :
         {QStringLiteral("Damaged"), QStringLiteral("Truncated"), QStringLiteral("Empty"), QStringLiteral("Other")})
        digests[name] = CatalogState::FileDigest(data + name + QStringLiteral(".MDB"));

    // Remembered from the last run: a message over the window.
    RememberCatalog(config, damaged);
    StartProgram(program, config);
    const TProbeClient::Place mainWindow = WaitForMainWindow(MainTitlePrefix + damaged);
    QVERIFY2(mainWindow, "no main window");
    TProbeClient::Place message = WaitForMessage();
    QVERIFY2(message, "no message about the damaged catalog");
    Shot(QStringLiteral("remembered-damaged"));
    QVERIFY(Keys({QStringLiteral("Return")}));
    QVERIFY(WaitUntilGone(message.window));

    // Chosen in the open dialog: the list finds a catalog by its first
    // letter, and the open button opens what the list shows.
    for (const QString &name : {QStringLiteral("Truncated"), QStringLiteral("Empty"), QStringLiteral("Other")}) {
        QVERIFY(OpenMenu(QStringLiteral("mCd")));
        QVERIFY(ChooseMenuEntry(QStringLiteral("mOpen")));
        const TProbeClient::Place dialog = WaitForWindow(OpenDialog);
        QVERIFY2(dialog, "no open dialog");
        QVERIFY(WaitForFocus(QStringLiteral("lisboxDb")));
        QVERIFY(Type(name.left(1)));
        QVERIFY(ClickOn(QStringLiteral("btnOpen")));
        message = WaitForMessage();
        QVERIFY2(message, qPrintable(QStringLiteral("no message about ") + name));
        Shot(QStringLiteral("chosen-") + name.toLower());
        QVERIFY(Keys({QStringLiteral("Return")}));
        QVERIFY(WaitUntilGone(message.window));
        QVERIFY(WaitUntilGone(dialog.window));
    }

    // The window still works: a new catalog opens.
    QVERIFY(OpenMenu(QStringLiteral("mCd")));
    QVERIFY(ChooseMenuEntry(QStringLiteral("mOpen")));
    const TProbeClient::Place dialog = WaitForWindow(OpenDialog);
    QVERIFY2(dialog, "no open dialog");
    QVERIFY(Fill(QStringLiteral("edDbName"), QStringLiteral("Fresh")));
    QVERIFY(ClickOn(QStringLiteral("btnOpen")));
    QVERIFY2(WaitForMainWindow(MainTitlePrefix + data + QStringLiteral("Fresh.MDB")), "the new catalog is not open");
    QVERIFY(WaitUntilGone(dialog.window));
    QVERIFY(m_probe->ModalClass().isEmpty());
    Shot(QStringLiteral("fresh-catalog"));
    CloseWithMenu();

    for (auto it = digests.cbegin(); it != digests.cend(); ++it)
        QVERIFY2(CatalogState::FileDigest(data + it.key() + QStringLiteral(".MDB")) == it.value(),
                 qPrintable(it.key() + QStringLiteral(" was changed")));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
