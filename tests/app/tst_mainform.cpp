// The start-up, the main window's first showing, opening catalogs, closing,
// skins and the splash.
#include "CdListPane.h"
#include "CommandGuard.h"
#include "DataModule.h"
#include "FlashForm.h"
#include "Globalvar.h"
#include "GridTexts.h"
#include "MainForm.h"
#include "MessageBoxes.h"
#include "Schema.h"
#include "SettingObjects.h"
#include "SizingSplitter.h"
#include "SkinData.h"
#include "StartUp.h"
#include "UpgradeUnit.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
    void closingStoresSettings();
    void skinsLoadFailAndClear();
    void savedSkinAppliedAtStart();
    void sizingBarsCollapseAndRestore();
    void splashClosesByItsTimerOnly();

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
            QFile::copy(from.filePath(dir + QLatin1Char('/') + file), to + QLatin1Char('/') + dir + QLatin1Char('/') + file);
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

void TestMainForm::firstShowingOpensRememberedCatalog()
{
    const QString path = MakeCatalog(QStringLiteral("光盘"), Schema::Layout::Build100, 3);
    Settings->WriteDefaultDb(path);
    Start();
    // Reading the catalog into the panes shows the wait cursor, which goes
    // afterwards.
    QList<bool> busy;
    MainFm->CdList->EnableDiscCommands = [&busy](bool on) {
        busy << (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        MainFm->UpdateCdButtons(on);
    };
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

void TestMainForm::skinsLoadFailAndClear()
{
    Start();
    const QString full = CopySkin(QStringLiteral("Full"));
    const QString noTool = CopySkin(QStringLiteral("NoTool"), false);
    QVERIFY2(!full.isEmpty(), "no skin shipped");

    QString answer = full;
    MainFm->ChooseSkinFileHook = [&](const QString &) { return answer; };
    MainFm->mSkinClick();
    QCOMPARE(Settings->ReadSkin(), full);
    QVERIFY(Skins::Main().Loaded());
    QVERIFY(Skins::Dialog().Loaded());
    QVERIFY(Skins::Tool().Loaded());
    QVERIFY(!MainFm->styleSheet().isEmpty());
    QVERIFY(!MainFm->ControlBar->styleSheet().isEmpty());

    answer = noTool;
    MainFm->mSkinClick();
    QCOMPARE(Settings->ReadSkin(), noTool);
    QVERIFY(Skins::Main().Loaded());
    QVERIFY(!Skins::Tool().Loaded()); // the tool bar in the plain look

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

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
