// A user's session with the installed program, in a real window on a
// private X server: the first start, a new catalog, a folder, two discs (one
// with a cover picture), the quick jump by pinyin initials, the find, a
// delete, and the next start, which opens the catalog by itself. A catalog
// the program cannot open, remembered or chosen, is refused with a message
// and left as it is.
//
// The test drives the program through the keyboard and the mouse only
// (xdotool) and looks at what the user sees (window titles, the keyboard
// focus, the screen) and at the catalog file, read through the store. Each
// step leaves a screenshot in the build folder.
#include "tests/e2e/CatalogState.h"
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
const QString OpenDialogTitle = QStringLiteral("打开/新建光盘夹");
const QString FolderDialogTitle = QStringLiteral("添加光盘夹目录");
const QString DiscDialogTitle = QStringLiteral("添加光盘");
const QString PictureDialogTitle = QStringLiteral("选择光盘图片文件...");
const QString FindDialogTitle = QStringLiteral("手动查找");
const QString MessageTitle = QStringLiteral("Vorlix"); // message boxes and the splash
const QSize SplashSize(472, 293);

// Where the main window's controls are, from its top-left corner. The
// window is not maximised: there is no window manager to do it.
const QPoint AddButton(34, 50);
const QPoint DeleteButton(156, 50);
const QPoint FindButton(226, 50);
const QPoint CodeBox(454, 48); // after the tool bar's six buttons
const QPoint CatalogMenu(40, 8);
const QPoint FolderTreeSpace(80, 330);
const QRect DiscGrid(176, 100, 610, 180);

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

// The selection colour of a list row.
bool IsHighlight(QRgb p)
{
    return qBlue(p) > 150 && qBlue(p) - qRed(p) > 80 && qGreen(p) < qBlue(p);
}

bool IsInk(QRgb p)
{
    return qRed(p) < 110 && qGreen(p) < 110 && qBlue(p) < 110;
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

// Whether a list in the area shows exactly one row, selected: one band of
// the selection colour across the list, and nothing written below it.
bool ShowsOneSelectedRow(const QImage &screen, const QRect &area)
{
    QList<int> band;
    for (int y = area.top(); y <= area.bottom(); ++y)
        if (CountPixels(screen, QRect(area.left(), y, area.width(), 1), IsHighlight) > area.width() / 2)
            band << y;
    if (band.isEmpty() || band.last() - band.first() + 1 != band.size() || band.size() < 12 || band.size() > 30)
        return false;
    return CountPixels(screen, QRect(area.left(), band.last() + 4, area.width(), 14), IsInk) == 0;
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
    // A window with the title, on the screen and holding the keyboard focus.
    TXServer::Window WaitForWindow(const QString &title, int milliseconds = 20000);
    TXServer::Window WaitForMainWindow(const QString &title);
    TXServer::Window WaitForSplash();
    TXServer::Window WaitForMessage();
    bool WaitUntilGone(quint32 window, int milliseconds = 20000);
    bool WaitForScreen(const std::function<bool(const QImage &)> &condition, int milliseconds = 20000);

    // Gives the window the keyboard focus, as a window manager does when the
    // user clicks it.
    bool Focus(const TXServer::Window &window);
    bool Click(const TXServer::Window &window, QPoint at, int button = 1);
    bool DoubleClick(const TXServer::Window &window, QPoint at);
    bool ChooseMenuItem(bool last);
    bool Keys(const QStringList &keys);
    bool Type(const QString &text);
    void Shot(const QString &step);

    void CloseWithMenu(const TXServer::Window &mainWindow);
    // Writes the settings a previous run leaves behind.
    void RememberCatalog(const QString &configFolder, const QString &catalog);

    QTemporaryDir m_temp;
    TXServer m_x;
    QString m_screens;
    int m_step = 0;
    std::unique_ptr<QProcess> m_program;
    QString m_cover;
};

void TestSession::initTestCase()
{
    QVERIFY(m_temp.isValid());
    QString error;
    QVERIFY2(m_x.Start(&error), qPrintable(error));
    QVERIFY(m_x.MapCharacters(DiscWithCover + DiscWithoutCover + NameFragment));

    m_screens = QStringLiteral(VORLIX_SCREENS_DIR);
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

TXServer::Window TestSession::WaitForWindow(const QString &title, int milliseconds)
{
    std::optional<TXServer::Window> found;
    WaitFor(
        [&] {
            found = m_x.FindWindow(title);
            return found && m_x.FocusWindow() == found->id;
        },
        milliseconds);
    return found && m_x.FocusWindow() == found->id ? *found : TXServer::Window{};
}

TXServer::Window TestSession::WaitForMainWindow(const QString &title)
{
    std::optional<TXServer::Window> found;
    WaitFor([&] { return (found = m_x.FindWindow(title)).has_value(); });
    return found.value_or(TXServer::Window{});
}

TXServer::Window TestSession::WaitForSplash()
{
    std::optional<TXServer::Window> found;
    WaitFor([&] {
        found = m_x.FindWindow(MessageTitle);
        return found && found->rect.size() == SplashSize;
    });
    return found && found->rect.size() == SplashSize ? *found : TXServer::Window{};
}

TXServer::Window TestSession::WaitForMessage()
{
    std::optional<TXServer::Window> found;
    const auto isMessage = [&] {
        found = m_x.FindWindow(MessageTitle);
        return found && found->rect.size() != SplashSize && m_x.FocusWindow() == found->id;
    };
    WaitFor(isMessage);
    return isMessage() ? *found : TXServer::Window{};
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

bool TestSession::Focus(const TXServer::Window &window)
{
    if (m_x.FocusWindow() != window.id &&
        !m_x.Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window.id)}))
        return false;
    return WaitFor([&] { return m_x.FocusWindow() == window.id; });
}

bool TestSession::Click(const TXServer::Window &window, QPoint at, int button)
{
    const QPoint screen = window.rect.topLeft() + at;
    return m_x.Xdotool({QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                        QStringLiteral("click"), QString::number(button)});
}

bool TestSession::DoubleClick(const TXServer::Window &window, QPoint at)
{
    const QPoint screen = window.rect.topLeft() + at;
    return m_x.Xdotool({QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                        QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                        QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("1")});
}

bool TestSession::ChooseMenuItem(bool last)
{
    std::optional<TXServer::Window> menu;
    if (!WaitFor([&] { return (menu = m_x.FindPopup()).has_value(); }))
        return false;
    const QPoint item(30, last ? menu->rect.height() - 11 : 12);
    return Click(*menu, item) && WaitUntilGone(menu->id);
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

void TestSession::CloseWithMenu(const TXServer::Window &mainWindow)
{
    QVERIFY(Click(mainWindow, CatalogMenu));
    QVERIFY2(ChooseMenuItem(true), "退出 not chosen");
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
    QVERIFY2(WaitForSplash().id, "no splash");
    QElapsedTimer splash;
    splash.start();
    Shot(QStringLiteral("splash"));
    TXServer::Window dialog = WaitForWindow(OpenDialogTitle);
    QVERIFY2(dialog.id, "no open/new dialog");
    QVERIFY2(splash.elapsed() > 3000, "the splash went early");
    QVERIFY(!m_x.FindWindow(MessageTitle));
    Shot(QStringLiteral("open-dialog"));

    // A new catalog: the name box is two steps back from the list.
    QVERIFY(Keys({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab")}));
    QVERIFY(Type(QStringLiteral("Films")));
    QVERIFY(Keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")}));
    const TXServer::Window mainWindow = WaitForMainWindow(MainTitlePrefix + catalog);
    QVERIFY2(mainWindow.id, "the new catalog is not open");
    QVERIFY(WaitUntilGone(dialog.id));
    const QString countDiscs = QStringLiteral("SELECT count(*) FROM TbCd");
    auto discsAre = [&](int count) {
        return WaitFor([&] { return ReadWhileOpen(catalog, countDiscs) == QStringList{QString::number(count)}; });
    };
    QVERIFY(discsAre(0));
    Shot(QStringLiteral("catalog-created"));

    // A folder below the root, from the folder tree's menu.
    QVERIFY(Click(mainWindow, FolderTreeSpace, 3));
    QVERIFY(ChooseMenuItem(false));
    dialog = WaitForWindow(FolderDialogTitle);
    QVERIFY2(dialog.id, "no folder dialog");
    QVERIFY(Type(QStringLiteral("Movies")));
    QVERIFY(Keys({QStringLiteral("Tab"), QStringLiteral("space")}));
    QVERIFY(WaitUntilGone(dialog.id));
    QString folderId;
    QVERIFY(WaitFor([&] {
        folderId = ReadWhileOpen(catalog, QStringLiteral("SELECT ID FROM TbTree WHERE Name='Movies' AND Id1=1"))
                       .value_or(QStringList())
                       .value(0);
        return !folderId.isEmpty();
    }));
    Shot(QStringLiteral("folder-added"));

    // The first disc, with a cover. The date box has three parts to tab
    // through; code, serial, category and quality are typed over.
    QVERIFY(Click(mainWindow, AddButton));
    dialog = WaitForWindow(DiscDialogTitle);
    QVERIFY2(dialog.id, "no disc editor");
    auto fillDisc = [&](const QString &serial, const QString &code, const QString &name) {
        return Keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab")}) &&
               Type(QStringLiteral("DVD")) && Keys({QStringLiteral("Tab"), QStringLiteral("Tab")}) &&
               Type(QStringLiteral("Good")) && Keys({QStringLiteral("Tab")}) && Type(serial) &&
               Keys({QStringLiteral("Tab")}) && Type(code) && Keys({QStringLiteral("Tab")}) && Type(name) &&
               Keys({QStringLiteral("Tab")});
    };
    QVERIFY(fillDisc(QStringLiteral("S1"), QStringLiteral("A1"), DiscWithCover));
    // The picture page, and a double click on its picture box.
    QVERIFY(Keys({QStringLiteral("ctrl+Tab"), QStringLiteral("ctrl+Tab")}));
    QVERIFY(DoubleClick(dialog, QPoint(dialog.rect.width() / 2, dialog.rect.height() / 2)));
    const TXServer::Window picture = WaitForWindow(PictureDialogTitle);
    QVERIFY2(picture.id, "no picture dialog");
    QVERIFY(Type(m_cover));
    // Enter closes the file name's completion list, when it is open, before
    // it opens the file.
    QVERIFY(WaitFor(
        [&] {
            if (!m_x.FindWindow(PictureDialogTitle))
                return true;
            Keys({QStringLiteral("Return")});
            return WaitUntilGone(picture.id, 5000);
        },
        30000));
    QVERIFY2(
        WaitForScreen([&](const QImage &screen) { return CountPixels(screen, dialog.rect, IsCoverColour) > 5000; }),
        "the chosen cover is not shown");
    Shot(QStringLiteral("disc-with-cover"));
    QVERIFY(Click(dialog, QPoint(dialog.rect.width() - 138, dialog.rect.height() - 23))); // 确定
    QVERIFY(WaitUntilGone(dialog.id));
    QVERIFY(discsAre(1));
    QVERIFY2(
        WaitForScreen([&](const QImage &screen) { return CountPixels(screen, mainWindow.rect, IsCoverColour) > 5000; }),
        "the detail page shows no cover");
    Shot(QStringLiteral("first-disc"));

    // The second disc, without a cover: from the last field on to OK.
    QVERIFY(Click(mainWindow, AddButton));
    dialog = WaitForWindow(DiscDialogTitle);
    QVERIFY2(dialog.id, "no disc editor");
    QVERIFY(fillDisc(QStringLiteral("S2"), QStringLiteral("A2"), DiscWithoutCover));
    Shot(QStringLiteral("disc-without-cover"));
    QVERIFY(Keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")}));
    QVERIFY(WaitUntilGone(dialog.id));
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
    QVERIFY(Focus(mainWindow));
    QVERIFY(Click(mainWindow, CodeBox));
    QVERIFY(Type(QStringLiteral("lldq")));
    QVERIFY(Keys({QStringLiteral("Return")}));
    QVERIFY2(WaitForScreen([&](const QImage &screen) {
                 return CountPixels(screen, mainWindow.rect, IsCoverColour) == 0 &&
                        ShowsOneSelectedRow(screen, DiscGrid.translated(mainWindow.rect.topLeft()));
             }),
             "the jump did not show the disc");
    Shot(QStringLiteral("jump-by-initials"));

    // The find, by a part of the first disc's name: one disc found.
    QVERIFY(Click(mainWindow, FindButton));
    dialog = WaitForWindow(FindDialogTitle);
    QVERIFY2(dialog.id, "no find dialog");
    QVERIFY(Type(NameFragment));
    QVERIFY(Keys({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"), QStringLiteral("space")})); // 开始查找
    const QRect found(dialog.rect.left() + 12, dialog.rect.top() + dialog.rect.height() / 2, dialog.rect.width() - 24,
                      dialog.rect.height() / 2 - 30);
    QVERIFY2(WaitForScreen([&](const QImage &screen) { return ShowsOneSelectedRow(screen, found); }),
             "the find does not list one disc");
    Shot(QStringLiteral("find-by-name"));
    QVERIFY(m_x.Close(dialog.id));
    QVERIFY(WaitUntilGone(dialog.id));

    // Delete the disc the jump went to, after the confirmation.
    QVERIFY(Click(mainWindow, DeleteButton));
    dialog = WaitForMessage();
    QVERIFY2(dialog.id, "no confirmation");
    Shot(QStringLiteral("confirm-delete"));
    QVERIFY(Keys({QStringLiteral("Return")}));
    QVERIFY(WaitUntilGone(dialog.id));
    QVERIFY(discsAre(1));
    Shot(QStringLiteral("deleted"));
    CloseWithMenu(mainWindow);

    // The next start opens the catalog without asking, lists the disc and
    // shows its page with the cover.
    StartProgram(program, config);
    QVERIFY2(WaitForSplash().id, "no splash");
    Shot(QStringLiteral("second-start-splash"));
    const TXServer::Window again = WaitForMainWindow(MainTitlePrefix + catalog);
    QVERIFY2(again.id, "the catalog was not opened");
    QVERIFY2(WaitForScreen([&](const QImage &screen) {
                 return CountPixels(screen, again.rect, IsCoverColour) > 5000 &&
                        ShowsOneSelectedRow(screen, DiscGrid.translated(again.rect.topLeft()));
             }),
             "the disc or its page is not shown");
    QVERIFY(!m_x.FindWindow(OpenDialogTitle));
    QVERIFY(!m_x.FindWindow(MessageTitle));
    Shot(QStringLiteral("second-start"));
    CloseWithMenu(again);

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
    const TXServer::Window mainWindow = WaitForMainWindow(MainTitlePrefix + damaged);
    QVERIFY2(mainWindow.id, "no main window");
    TXServer::Window message = WaitForMessage();
    QVERIFY2(message.id, "no message about the damaged catalog");
    Shot(QStringLiteral("remembered-damaged"));
    QVERIFY(Keys({QStringLiteral("Return")}));
    QVERIFY(WaitUntilGone(message.id));

    // Chosen in the open dialog: the list finds a catalog by its first
    // letter, and the open button follows it.
    for (const QString &name : {QStringLiteral("Truncated"), QStringLiteral("Empty"), QStringLiteral("Other")}) {
        QVERIFY(Click(mainWindow, CatalogMenu));
        QVERIFY(ChooseMenuItem(false));
        const TXServer::Window dialog = WaitForWindow(OpenDialogTitle);
        QVERIFY2(dialog.id, "no open dialog");
        QVERIFY(Type(name.left(1)));
        QVERIFY(Keys({QStringLiteral("Tab"), QStringLiteral("space")}));
        message = WaitForMessage();
        QVERIFY2(message.id, qPrintable(QStringLiteral("no message about ") + name));
        Shot(QStringLiteral("chosen-") + name.toLower());
        QVERIFY(Keys({QStringLiteral("Return")}));
        QVERIFY(WaitUntilGone(message.id));
        QVERIFY(WaitUntilGone(dialog.id));
    }

    // The window still works: a new catalog opens.
    QVERIFY(Click(mainWindow, CatalogMenu));
    QVERIFY(ChooseMenuItem(false));
    const TXServer::Window dialog = WaitForWindow(OpenDialogTitle);
    QVERIFY2(dialog.id, "no open dialog");
    QVERIFY(Keys({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab")}));
    QVERIFY(Type(QStringLiteral("Fresh")));
    QVERIFY(Keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")}));
    QVERIFY2(WaitForMainWindow(MainTitlePrefix + data + QStringLiteral("Fresh.MDB")).id, "the new catalog is not open");
    QVERIFY(!m_x.FindWindow(MessageTitle));
    Shot(QStringLiteral("fresh-catalog"));
    CloseWithMenu(mainWindow);

    for (auto it = digests.cbegin(); it != digests.cend(); ++it)
        QVERIFY2(CatalogState::FileDigest(data + it.key() + QStringLiteral(".MDB")) == it.value(),
                 qPrintable(it.key() + QStringLiteral(" was changed")));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
