// The start-up, the main window's first showing, opening catalogs, closing,
// skins and the splash.
#include "app/FlashForm.h"
#include "app/Globalvar.h"
#include "app/HelpWindow.h"
#include "app/MainForm.h"
#include "app/OpenRequests.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "browser/DetailView.h"
#include "dialogs/OpenDbForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DAODatabase.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ExPickEdit.h"
#include "toolkit/GridTexts.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/SizingSplitter.h"
#include "toolkit/SkinData.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <sqlcipher/sqlite3.h>

Q_DECLARE_METATYPE(Schema::Layout)

namespace {

QByteArray CatalogDigest(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartCreatesSettingsAndOpensNothing();
    void firstShowingOpensRememberedCatalog();
    void firstShowingWithoutCatalogAsks_data();
    void firstShowingWithoutCatalogAsks();
    void openingFromMenu();
    void refusedCatalogKeepsThePreviousOne();
    void catalogWithNumberOutOfRangeIsRefusedUntouched_data();
    void catalogWithNumberOutOfRangeIsRefusedUntouched();
    void startFileOpensWhereverItIs_data();
    void startFileOpensWhereverItIs();
    void handedOverFileWaitsForDialogs();
    void closingStoresSettings();
    void savedLayoutsLoadAndStayWhereTheyWere();
    void catalogTheProgramFailedOnIsNotReopenedUnasked_data();
    void catalogTheProgramFailedOnIsNotReopenedUnasked();
    void skinsLoadFailAndClear();
    void savedSkinAppliedAtStart();
    void sizingBarsCollapseAndRestore();
    void splashClosesByItsTimerOnly();
    void catalogMenuHasNoSeparator();
    void shortcuts();

private:
    void Start();
    QString MakeCatalog(const QString &name, Schema::Layout layout = Schema::Layout::Build102, int discs = 0);
    QString CopySkin(const QString &name, bool withTool = true);

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<Msg::Recorder> m_messages;
    QStringList m_asked; // the catalog choices the window asked for
};

void TestMainForm::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    // The settings' folder is fixed for the process once settings are used:
    // one folder for the whole test, the file removed before each test.
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
    QVERIFY(TSettings::FileName().startsWith(m_config->path()));
}

void TestMainForm::init()
{
    QFile::remove(TSettings::FileName());
    m_program = std::make_unique<QTemporaryDir>();
    QDir(m_program->path()).mkpath(QStringLiteral("Data"));
    QDir(m_program->path()).mkpath(QStringLiteral("Skin"));
    TMainFm::SetAppFolderForTests(m_program->path());
    m_messages = std::make_unique<Msg::Recorder>();
    m_asked.clear();
    Options = {};
    CurrentDb.clear();
    AppFolder.clear();
    Settings = std::make_unique<TSettings>();
}

void TestMainForm::cleanup()
{
    DestroyMainObjects();
    m_messages.reset();
    Skins::Main().Clear();
    Skins::Dialog().Clear();
    Skins::Tool().Clear();
    m_program.reset();
}

void TestMainForm::Start()
{
    CreateMainObjects();
    QVERIFY(MainFm);
    MainFm->ChooseCatalogHook = [this](QString &) {
        m_asked << QStringLiteral("cancel");
        return false;
    };
}

QString TestMainForm::MakeCatalog(const QString &name, Schema::Layout layout, int discs)
{
    const QString path = m_program->filePath(QStringLiteral("Data/") + name + QStringLiteral(".MDB"));
    Schema::CreateCatalog(path, layout, true);
    TDM dm;
    dm.NameCatalog(path);
    for (int i = 1; i <= discs; ++i)
        dm.ExecuteSQL(QStringLiteral("INSERT INTO TbCd (Name, TId) VALUES (\"盘%1\", 1)").arg(i));
    return path;
}

QString TestMainForm::CopySkin(const QString &name, bool withTool)
{
    // The first shipped skin, copied into the program folder.
    const QDir source(QStringLiteral(VORLIX_SKIN_DIR));
    QStringList skins;
    for (const QString &dir : source.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (!QDir(source.filePath(dir)).entryList({QStringLiteral("*.ini")}, QDir::Files).isEmpty())
            skins << dir;
    if (skins.isEmpty())
        return {};
    const QDir from(source.filePath(skins.first()));
    const QString to = m_program->filePath(QStringLiteral("Skin/") + name);
    QDir().mkpath(to);
    QString mainFile;
    for (const QString &file : from.entryList(QDir::Files)) {
        if (!withTool && file == QLatin1String("tool.in1"))
            continue;
        QFile::copy(from.filePath(file), to + QLatin1Char('/') + file);
        if (file.endsWith(QLatin1String(".ini")))
            mainFile = to + QLatin1Char('/') + file;
    }
    for (const QString &dir : from.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir().mkpath(to + QLatin1Char('/') + dir);
        for (const QString &file : QDir(from.filePath(dir)).entryList(QDir::Files))
            QFile::copy(from.filePath(dir + QLatin1Char('/') + file),
                        to + QLatin1Char('/') + dir + QLatin1Char('/') + file);
    }
    return mainFile;
}

void TestMainForm::firstStartCreatesSettingsAndOpensNothing()
{
    Start();
    QCOMPARE(GridTexts::GroupPanelText(), QStringLiteral("拖动某个列标题到此处即可按该列分组。"));
    QVERIFY(DM);
    QVERIFY(!DM->DbBase.Connected());
    QCOMPARE(DM->DbBase.DatabaseName(), QString());
    QCOMPARE(Options, TOptions::Defaults());
    QCOMPARE(AppFolder, m_program->path());
    QCOMPARE(MainFm->windowTitle(), QStringLiteral("MainFm"));
    QVERIFY(!MainFm->isVisible());
    QCOMPARE(MainFm->SkinFolder(), m_program->path() + QStringLiteral("/Skin"));
    QVERIFY(m_messages->shown.isEmpty());

    // Only the options are stored at start-up.
    QSettings ini(TSettings::FileName(), QSettings::IniFormat);
    const QStringList keys = ini.allKeys();
    QCOMPARE(keys.size(), 1);
    QVERIFY(keys.first().endsWith(QLatin1String("Option")));
}

void TestMainForm::savedLayoutsLoadAndStayWhereTheyWere()
{
    // A settings file as earlier versions left it: the layouts under their
    // own group, spelt differently from the options' group.
    const QString root = QStringLiteral("Software/Zentra-SoftWare/Vorlix/");
    {
        QStandardItemModel columns(0, 3);
        QHeaderView header(Qt::Horizontal);
        header.setModel(&columns);
        header.resizeSection(2, 222);
        QSettings ini(TSettings::FileName(), QSettings::IniFormat);
        ini.setValue(root + QStringLiteral("dgCd/Columns"), QStringLiteral("Name,Code"));
        ini.setValue(root + QStringLiteral("dgCd/Widths"), QStringLiteral("200,90"));
        ini.setValue(root + QStringLiteral("dgCd/GroupField"), QStringLiteral("Category"));
        ini.setValue(root + QStringLiteral("tlCdTree/Header"), header.saveState());
    }
    Start();
    TDataGrid *grid = MainFm->CdList->dgCd;
    QHeaderView *gridHeader = grid->View()->header();
    const auto fieldAt = [grid, gridHeader](int visual) {
        return grid->View()
            ->model()
            ->headerData(gridHeader->logicalIndex(visual), Qt::Horizontal, TDAODataSource::FieldNameRole)
            .toString();
    };
    QCOMPARE(fieldAt(0), QStringLiteral("Name"));
    QCOMPARE(fieldAt(1), QStringLiteral("Code"));
    QCOMPARE(grid->GroupedBy(), QStringLiteral("Category"));
    QCOMPARE(MainFm->CdTree->tlCdTree->View()->header()->sectionSize(2), 222);

    // Closing writes them back where they were read, and nowhere else.
    gridHeader->moveSection(1, 0);
    DestroyMainObjects();
    QSettings ini(TSettings::FileName(), QSettings::IniFormat);
    QVERIFY(ini.value(root + QStringLiteral("dgCd/Columns")).toString().startsWith(QLatin1String("Code,Name,")));
    QVERIFY(!ini.value(root + QStringLiteral("tlCdTree/Header")).toByteArray().isEmpty());
    ini.beginGroup(QStringLiteral("Software"));
    QCOMPARE(ini.childGroups(), QStringList{QStringLiteral("Zentra-SoftWare")});
}

void TestMainForm::firstShowingOpensRememberedCatalog()
{
    const QString path = MakeCatalog(QStringLiteral("光盘"), Schema::Layout::Build100, 3);
    Settings->WriteDefaultDb(path);
    Start();
    // Reading the catalog into the panes shows the wait cursor, which goes
    // afterwards.
    QList<bool> busy;
    const QObject watch; // the watch ends with this test
    connect(MainFm->CdList, &TCdListPane::DiscCommandsEnabled, &watch, [&busy] {
        busy << (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    });
    MainFm->FormShow();
    QVERIFY(!busy.isEmpty() && !busy.contains(false));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(m_asked.isEmpty());
    QVERIFY(m_messages->shown.isEmpty());
    QCOMPARE(MainFm->windowTitle(), QStringLiteral("Zentra-Vorlix1.01 ") + path);
    QCOMPARE(CurrentDb, path);
    QCOMPARE(GetDbVersion(*DM), QStringLiteral("Build1.02")); // upgraded on the way
    QVERIFY(MainFm->QCdTree.Active());
    QCOMPARE(MainFm->QCd.RowCount(), 3);
}

void TestMainForm::firstShowingWithoutCatalogAsks_data()
{
    QTest::addColumn<bool>("remembered");
    QTest::newRow("first start") << false;
    QTest::newRow("remembered file gone") << true;
}

void TestMainForm::firstShowingWithoutCatalogAsks()
{
    QFETCH(bool, remembered);
    const QString gone = m_program->filePath(QStringLiteral("Data/Gone.MDB"));
    if (remembered)
        Settings->WriteDefaultDb(gone);
    Start();
    QVERIFY(!RunCommand([] { MainFm->FormShow(); }));
    QCOMPARE(m_asked, QStringList{QStringLiteral("cancel")});
    // Cancelled: the tree cannot load without a catalog; the error is shown.
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(m_messages->shown.first().kind, Msg::Kind::Error);
    QCOMPARE(MainFm->windowTitle(), QStringLiteral("MainFm"));
    QVERIFY(!MainFm->QCdTree.Active());

    MainFm->close();
    QCOMPARE(Settings->ReadDefaultDb(), remembered ? gone : QString());
}

void TestMainForm::openingFromMenu()
{
    const QString films = MakeCatalog(QStringLiteral("Films"), Schema::Layout::Build102, 2);
    const QString music = MakeCatalog(QStringLiteral("Music"), Schema::Layout::Build100, 1);
    Settings->WriteDefaultDb(films);
    Start();
    MainFm->FormShow();

    // Cancelled from the menu: the same catalog, its lists reloaded.
    MainFm->QCd.Close();
    MainFm->mOpenClick();
    QCOMPARE(CurrentDb, films);
    QCOMPARE(MainFm->windowTitle(), QStringLiteral("Zentra-Vorlix1.01 ") + films);
    QCOMPARE(MainFm->QCd.RowCount(), 2);

    MainFm->ChooseCatalogHook = [&](QString &path) {
        path = music;
        return true;
    };
    MainFm->mOpenClick();
    QCOMPARE(CurrentDb, music);
    QCOMPARE(MainFm->windowTitle(), QStringLiteral("Zentra-Vorlix1.01 ") + music);
    QCOMPARE(GetDbVersion(*DM), QStringLiteral("Build1.02"));
    QCOMPARE(MainFm->QCd.RowCount(), 1);
    QVERIFY(m_messages->shown.isEmpty());
}

void TestMainForm::refusedCatalogKeepsThePreviousOne()
{
    const QString films = MakeCatalog(QStringLiteral("Films"), Schema::Layout::Build102, 2);
    const QString broken = m_program->filePath(QStringLiteral("Data/Broken.MDB"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    Settings->WriteDefaultDb(films);
    Start();
    MainFm->FormShow();

    MainFm->ChooseCatalogHook = [&](QString &path) {
        path = broken;
        return true;
    };
    QVERIFY(!RunCommand([] { MainFm->mOpenClick(); }));
    QCOMPARE(m_messages->shown.size(), 1);
    QVERIFY(m_messages->shown.first().text.contains(broken));
    QCOMPARE(MainFm->windowTitle(), QStringLiteral("Zentra-Vorlix1.01 ") + films);
    QCOMPARE(CurrentDb, films);
    QCOMPARE(DM->DbBase.DatabaseName(), broken);
    QVERIFY(!DM->DbBase.Connected());
    QVERIFY(!MainFm->QCd.Active());
    QVERIFY(!MainFm->QCdTree.Active());
}

// The window checks a catalog's record numbers while it reads the panes:
// a catalog it must refuse is still refused before the user can act on it,
// with nothing written, also when it is one to upgrade.
void TestMainForm::catalogWithNumberOutOfRangeIsRefusedUntouched_data()
{
    QTest::addColumn<Schema::Layout>("layout");
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("at the first showing") << Schema::Layout::Build102 << false;
    QTest::newRow("at the first showing, to upgrade") << Schema::Layout::Build100 << false;
    QTest::newRow("from the menu") << Schema::Layout::Build102 << true;
    QTest::newRow("from the menu, to upgrade") << Schema::Layout::Build100 << true;
}

void TestMainForm::catalogWithNumberOutOfRangeIsRefusedUntouched()
{
    QFETCH(Schema::Layout, layout);
    QFETCH(bool, fromMenu);
    const QString films = MakeCatalog(QStringLiteral("Films"), Schema::Layout::Build102, 2);
    const QString bad = MakeCatalog(QStringLiteral("Bad"), layout, 3);
    QCOMPARE(sqlite3_exec(OpenCatalogHandle(bad, QString::fromLatin1(Schema::CatalogPassword), false).get(),
                          "UPDATE TbCd SET Name='坏盘'||Id; INSERT INTO TbCd (Id, Name) VALUES (4294967298, '坏盘')",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    const QByteArray before = CatalogDigest(bad);
    Settings->WriteDefaultDb(fromMenu ? films : bad);
    Start();
    QString caption = MainFm->windowTitle();
    if (fromMenu) {
        MainFm->FormShow();
        caption = MainFm->windowTitle();
        MainFm->ChooseCatalogHook = [&](QString &path) {
            path = bad;
            return true;
        };
        QVERIFY(!RunCommand([] { MainFm->mOpenClick(); }));
    } else {
        QVERIFY(!RunCommand([] { MainFm->FormShow(); }));
    }
    QCOMPARE(m_messages->shown.size(), 1);
    QVERIFY2(m_messages->shown.first().text.contains(QStringLiteral("超出范围的记录编号")) &&
                 m_messages->shown.first().text.contains(bad),
             qPrintable(m_messages->shown.first().text));
    QVERIFY(!DM->DbBase.Connected());
    QVERIFY(!MainFm->QCd.Active());
    QVERIFY(!MainFm->QCdTree.Active());
    // Nothing of it is left on screen.
    QVERIFY(!MainFm->WebBrowser->toPlainText().contains(QStringLiteral("坏盘")));
    QCOMPARE(MainFm->windowTitle(), caption);
    QCOMPARE(CurrentDb, fromMenu ? films : bad);
    QCOMPARE(CatalogDigest(bad), before);
}

void TestMainForm::startFileOpensWhereverItIs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("outside the catalog folder") << "catalog" << QString();
    QTest::newRow("missing: the remembered one instead") << "missing"
                                                         << "找不到光盘夹文件“%1”。";
    QTest::newRow("no catalog: the remembered one instead") << "broken"
                                                            << "%1";
}

void TestMainForm::startFileOpensWhereverItIs()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    const QString films = MakeCatalog(QStringLiteral("Films"), Schema::Layout::Build101, 1);
    QTemporaryDir elsewhere;
    const QString other = elsewhere.filePath(QStringLiteral("别处 的/光盘.MDB"));
    QDir().mkpath(QFileInfo(other).absolutePath());
    if (kind == QLatin1String("catalog")) {
        QVERIFY(QFile::copy(MakeCatalog(QStringLiteral("Other"), Schema::Layout::Build100, 2), other));
    } else if (kind == QLatin1String("broken")) {
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    const QByteArray before = QFile::exists(other) ? CatalogDigest(other) : QByteArray();
    Settings->WriteDefaultDb(films);
    Start();
    MainFm->StartFile = other;
    MainFm->FormShow();
    QVERIFY(MainFm->StartFile.isEmpty());
    QVERIFY(m_asked.isEmpty());
    const QString opened = message.isEmpty() ? other : films;
    QCOMPARE(CurrentDb, opened);
    QCOMPARE(MainFm->windowTitle(), QStringLiteral("Zentra-Vorlix1.01 ") + opened);
    QCOMPARE(MainFm->QCd.RowCount(), message.isEmpty() ? 2 : 1);
    if (message.isEmpty()) {
        QVERIFY(m_messages->shown.isEmpty());
        QCOMPARE(GetDbVersion(*DM), QString::fromLatin1(Schema::VersionCurrent));
    } else {
        QCOMPARE(m_messages->shown.size(), 1);
        QVERIFY2(m_messages->shown.first().text.contains(message.arg(other)),
                 qPrintable(m_messages->shown.first().text));
        if (kind == QLatin1String("broken"))
            QCOMPARE(CatalogDigest(other), before); // refused, not changed
    }
    // Remembered by its full path for the next start.
    MainFm->show();
    QVERIFY(MainFm->close());
    QCOMPARE(Settings->ReadDefaultDb(), opened);
}

void TestMainForm::handedOverFileWaitsForDialogs()
{
    const QString films = MakeCatalog(QStringLiteral("Films"));
    const QString music = MakeCatalog(QStringLiteral("Music"));
    const QString games = MakeCatalog(QStringLiteral("Games"));
    Start();
    // Before the window is on the screen, a request takes the command
    // line's place.
    MainFm->StartFile = films;
    HandleOpenRequest(*MainFm, music);
    QCOMPARE(MainFm->StartFile, music);
    MainFm->StartFile.clear();
    Settings->WriteDefaultDb(films);
    MainFm->show();
    QTRY_COMPARE(CurrentDb, films);

    // Another dialog: the file opens once it is closed.
    QDialog editor(MainFm);
    editor.setWindowModality(Qt::ApplicationModal);
    editor.show();
    HandleOpenRequest(*MainFm, music);
    // The request's first try (the next turn of the event loop) and its
    // retry a while later have both found the dialog: timers of the same
    // length run in the order they were started.
    bool tried = false;
    QTimer::singleShot(0, MainFm, [&] { QTimer::singleShot(200, MainFm, [&] { tried = true; }); });
    QTRY_VERIFY(tried);
    QCOMPARE(CurrentDb, films);
    editor.hide();
    QTRY_COMPARE(CurrentDb, music);

    // The open dialog is answered by the request.
    MainFm->ChooseCatalogHook = [](QString &path) { return ChooseCatalog(AppFolder, path, MainFm); };
    QTimer::singleShot(0, MainFm, [games] { HandleOpenRequest(*MainFm, games); });
    QVERIFY(RunCommand([] { MainFm->mOpenClick(); }));
    QCOMPARE(CurrentDb, games);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(MainFm->StartFile.isEmpty());
    QVERIFY(m_messages->shown.isEmpty());
}

void TestMainForm::closingStoresSettings()
{
    const QString films = MakeCatalog(QStringLiteral("Films"));
    Settings->WriteDefaultDb(films);
    Start();
    MainFm->FormShow();
    Options = {0, 2};
    MainFm->show();
    QVERIFY(MainFm->close());
    QCOMPARE(Settings->ReadDefaultDb(), films);
    QCOMPARE(Settings->ReadOptions(), (TOptions{0, 2}));
}

void TestMainForm::catalogTheProgramFailedOnIsNotReopenedUnasked_data()
{
    QTest::addColumn<bool>("failedBefore");
    QTest::addColumn<bool>("answer");
    QTest::newRow("last start went well") << false << true;
    QTest::newRow("failed, opened again") << true << true;
    QTest::newRow("failed, another chosen") << true << false;
}

void TestMainForm::catalogTheProgramFailedOnIsNotReopenedUnasked()
{
    QFETCH(bool, failedBefore);
    QFETCH(bool, answer);
    const QString films = MakeCatalog(QStringLiteral("Films"), Schema::Layout::Build101, 2);
    Settings->WriteDefaultDb(films);
    if (failedBefore)
        Settings->WriteOpening(films);
    m_messages->confirmAnswer = answer;
    Start();
    // While it opens, the catalog is noted as being opened.
    QString noted;
    const QObject watch; // the watch ends with this test
    connect(MainFm->CdList, &TCdListPane::DiscCommandsEnabled, &watch, [&noted] { noted = Settings->ReadOpening(); });
    MainFm->show();
    RunCommand([] { MainFm->FormShow(); });

    const bool opened = !failedBefore || answer;
    QCOMPARE(m_messages->shown.isEmpty(), !failedBefore);
    if (failedBefore) {
        QCOMPARE(m_messages->shown.first().kind, Msg::Kind::Question);
        QVERIFY(m_messages->shown.first().text.contains(QDir::toNativeSeparators(films)));
    }
    QCOMPARE(m_asked.isEmpty(), opened);
    QCOMPARE(MainFm->QCd.Active() && MainFm->QCd.RowCount() == 2, opened);
    if (opened)
        QCOMPARE(noted, films);
    // Once the window has shown it, nothing is left noted.
    QTRY_COMPARE(Settings->ReadOpening(), QString());
}

void TestMainForm::skinsLoadFailAndClear()
{
    Start();
    const QString full = CopySkin(QStringLiteral("Full"));
    const QString noTool = CopySkin(QStringLiteral("NoTool"), false);
    QVERIFY2(!full.isEmpty(), "no skin shipped");
    // The buttons and the caption's colour of the control bar, unskinned.
    auto barLook = [] {
        return std::pair{MainFm->pnToolBar->grab().toImage(), MainFm->Label2->palette().color(QPalette::WindowText)};
    };
    const auto plainBar = barLook();
    const QImage plainList = MainFm->CdList->grab().toImage();

    QString answer = full;
    MainFm->ChooseSkinFileHook = [&](const QString &) { return answer; };
    MainFm->mSkinClick();
    QCOMPARE(Settings->ReadSkin(), full);
    QVERIFY(Skins::Main().Loaded());
    QVERIFY(Skins::Dialog().Loaded());
    QVERIFY(Skins::Tool().Loaded());
    QVERIFY(!MainFm->styleSheet().isEmpty());
    QVERIFY(!MainFm->ControlBar->styleSheet().isEmpty());
    QVERIFY(barLook() != plainBar);

    // Without a tool skin the control bar is drawn in the plain look, and
    // the rest of the window in the main skin.
    answer = noTool;
    MainFm->mSkinClick();
    QCOMPARE(Settings->ReadSkin(), noTool);
    QVERIFY(Skins::Main().Loaded());
    QVERIFY(!Skins::Tool().Loaded());
    QVERIFY(barLook() == plainBar);
    QVERIFY(MainFm->CdList->grab().toImage() != plainList);

    // A skin that cannot be read: the error is shown, nothing is stored.
    const QString broken = m_program->filePath(QStringLiteral("Skin/broken.ini"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Skin]\nStyleSheet=missing.qss\n");
    file.close();
    answer = broken;
    QVERIFY(!RunCommand([] { MainFm->mSkinClick(); }));
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(Settings->ReadSkin(), noTool);

    // One bad file of three: no set changes.
    const QString badTool = CopySkin(QStringLiteral("BadTool"));
    QFile tool(QFileInfo(badTool).absolutePath() + QStringLiteral("/tool.in1"));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write("this is no skin\n");
    tool.close();
    answer = badTool;
    QVERIFY(!RunCommand([] { MainFm->mSkinClick(); }));
    QCOMPARE(m_messages->shown.size(), 2);
    QCOMPARE(Skins::Main().FileName(), noTool);
    QCOMPARE(Settings->ReadSkin(), noTool);

    // Cancelled: nothing changes.
    answer.clear();
    MainFm->mSkinClick();
    QCOMPARE(Settings->ReadSkin(), noTool);

    MainFm->mClearSkinClick();
    QCOMPARE(Settings->ReadSkin(), QString());
    QVERIFY(!Skins::Main().Loaded());
    QVERIFY(!Skins::Dialog().Loaded());
    QVERIFY(!Skins::Tool().Loaded());
    QVERIFY(MainFm->styleSheet().isEmpty());
    QVERIFY(barLook() == plainBar);
    QCOMPARE(MainFm->CdList->grab().toImage(), plainList);
}

void TestMainForm::savedSkinAppliedAtStart()
{
    const QString full = CopySkin(QStringLiteral("Full"));
    QVERIFY2(!full.isEmpty(), "no skin shipped");
    Settings->WriteSkin(full);
    Start();
    QVERIFY(Skins::Main().Loaded());
    QCOMPARE(MainFm->SkinFolder(), QFileInfo(full).absolutePath());
    QVERIFY(!MainFm->styleSheet().isEmpty());
}

void TestMainForm::sizingBarsCollapseAndRestore()
{
    Start();
    MainFm->resize(1000, 700);
    MainFm->show();
    QVERIFY(QTest::qWaitForWindowExposed(MainFm));
    const int left = MainFm->LeftSplitter->sizes().first();
    QVERIFY(left > 100);
    auto *bar = static_cast<TSizingBar *>(MainFm->LeftSplitter->handle(1));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->HotSpot().center());
    QCOMPARE(MainFm->LeftSplitter->sizes().first(), 0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->HotSpot().center());
    QCOMPARE(MainFm->LeftSplitter->sizes().first(), left);

    const int detail = MainFm->DetailSplitter->sizes().last();
    QVERIFY(detail > 100);
    MainFm->DetailSplitter->TogglePane();
    QCOMPARE(MainFm->DetailSplitter->sizes().last(), 0);
    MainFm->DetailSplitter->TogglePane();
    QCOMPARE(MainFm->DetailSplitter->sizes().last(), detail);
}

void TestMainForm::splashClosesByItsTimerOnly()
{
    QPointer<TFlashFm> flash = new TFlashFm;
    FlashFm = flash;
    QCOMPARE(flash->size(), QSize(472, 293));
    QCOMPARE(flash->Image1->pixmap().size(), QSize(480, 300));
    QCOMPARE(flash->Timer1->interval(), 5000);
    QVERIFY(flash->Timer1->isActive());
    flash->show();
    QTest::keyClick(flash, Qt::Key_Escape);
    QVERIFY(flash);
    QVERIFY(flash->isVisible());
    flash->Timer1->setInterval(1); // as if five seconds had passed
    flash->Timer1->start();
    QTRY_VERIFY(!flash);
    QVERIFY(!FlashFm);
}

void TestMainForm::catalogMenuHasNoSeparator()
{
    Start();
    const auto *menu = MainFm->findChild<QMenu *>(QStringLiteral("mCd"));
    QVERIFY(menu);
    QStringList captions;
    for (const QAction *action : menu->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(
        captions,
        (QStringList{QStringLiteral("新建/打开光盘夹.."), QStringLiteral("备份光盘夹"), QStringLiteral("恢复光盘夹"),
                     QStringLiteral("整理光盘夹..."), QStringLiteral("统计..."), QStringLiteral("借出记录..."),
                     QStringLiteral("导入光盘..."), QStringLiteral("合并光盘夹..."), QStringLiteral("导出光盘列表..."),
                     QStringLiteral("打印光盘列表..."), QStringLiteral("完整备份（含封面）..."),
                     QStringLiteral("从完整备份恢复..."), QStringLiteral("查找文件..."), QStringLiteral("退出")}));
}

// Each shortcut through the real window: what it does, and that Delete in
// the quick code box stays the box's own.
void TestMainForm::shortcuts()
{
    const QString films = MakeCatalog(QStringLiteral("Films"), Schema::Layout::Build102, 2);
    Settings->WriteDefaultDb(films);
    Start();
    MainFm->FormShow();
    MainFm->show();
    QApplication::setActiveWindow(MainFm);
    QVERIFY(QTest::qWaitForWindowActive(MainFm));
    QList<int> edited;
    MainFm->CdList->EditDisc = [&](TCdRec &disc) {
        edited << disc.Id;
        return false;
    };
    QTreeView *grid = MainFm->CdList->dgCd->View();
    grid->setFocus();
    const int current = MainFm->QCd.Field(QStringLiteral("ID")).AsInteger();
    QVERIFY(current > 0);

    QTest::keyClick(grid, Qt::Key_F2);
    QTest::keyClick(grid, Qt::Key_Insert);
    QTest::keyClick(grid, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(edited, (QList<int>{current, 0, 0}));

    m_messages->confirmAnswer = false;
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(m_messages->Texts(),
             QStringList{
                 QStringLiteral("真的要删除[%1]光盘吗？").arg(MainFm->QCd.Field(QStringLiteral("Name")).AsString())});
    QCOMPARE(MainFm->QCd.RowCount(), 2); // declined
    m_messages->Clear();

    QTest::keyClick(grid, Qt::Key_L, Qt::ControlModifier);
    auto *code = MainFm->cbCode->findChild<QLineEdit *>();
    QVERIFY(code);
    QVERIFY(code->hasFocus() || MainFm->cbCode->hasFocus());
    code->setText(QStringLiteral("cjg"));
    code->setCursorPosition(0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QCOMPARE(code->text(), QStringLiteral("jg"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    QVERIFY(m_messages->shown.isEmpty());
    QCOMPARE(edited.size(), 3);

    QString opened;
    QTimer::singleShot(0, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            opened = dialog->windowTitle();
            dialog->close();
        }
    });
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!opened.isEmpty());

    QApplication::setActiveWindow(MainFm);
    QVERIFY(QTest::qWaitForWindowActive(MainFm));
    m_asked.clear();
    QTest::keyClick(grid, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_asked, QStringList{QStringLiteral("cancel")});
    QVERIFY(MainFm->btnAdd->toolTip().contains(QStringLiteral("Ctrl+N")));

    // F1 opens the guide, with its pictures; asked again, the same window.
    QTest::keyClick(grid, Qt::Key_F1);
    THelpWindow *help = nullptr;
    QTRY_VERIFY(help = MainFm->findChild<THelpWindow *>());
    QVERIFY(help->isVisible());
    const QTextDocument *guide = help->Browser()->document();
    QVERIFY(guide->toPlainText().contains(QStringLiteral("快速查找框")));
    for (const char *picture : {"main-window.png", "disc-editor.png", "main-window-moyun.png"})
        QVERIFY2(!guide->resource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(picture))).isNull(), picture);
    QApplication::setActiveWindow(MainFm);
    MainFm->N9->trigger();
    QCOMPARE(MainFm->findChildren<THelpWindow *>().size(), 1);
    QVERIFY(MainFm->btnDel->toolTip().contains(QStringLiteral("Delete")));
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
