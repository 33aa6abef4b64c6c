#include "app/MainForm.h"
#include "app/MainShortcuts.h"

#include "app/AppPaths.h"
#include "app/CatalogCommands.h"
#include "app/Globalvar.h"
#include "app/SettingObjects.h"
#include "app/VersionCheck.h"
#include "app/WindowPlacing.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "browser/DetailView.h"
#include "dialogs/AddCdDlg.h"
#include "dialogs/AddTreeDlg.h"
#include "dialogs/CustomFieldsDlg.h"
#include "dialogs/ExportDiscs.h"
#include "dialogs/FindFileForm.h"
#include "dialogs/FindForm.h"
#include "dialogs/ImportDlg.h"
#include "dialogs/LendDlg.h"
#include "dialogs/LoansForm.h"
#include "dialogs/MergeDlg.h"
#include "dialogs/OpenDbForm.h"
#include "dialogs/OptionForm.h"
#include "dialogs/ScanDiscDlg.h"
#include "dialogs/StatsForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscExport.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/UpgradeUnit.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ExPickEdit.h"
#include "toolkit/GridPrint.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/SizingSplitter.h"
#include "toolkit/SkinData.h"
#include "toolkit/WaitCursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <utility>

TMainFm *MainFm = nullptr;

namespace {

QString appFolderOverride;

const QString CaptionPrefix = QStringLiteral("Zentra-Vorlix1.01 ");

// The folder the skin dialog starts in until a skin is chosen.
QString DefaultSkinFolder()
{
    if (!appFolderOverride.isEmpty())
        return appFolderOverride + QStringLiteral("/Skin");
    return AppPaths::Current().skinFolder;
}

QToolButton *ToolButton(const QString &name, const QString &caption, const QString &icon, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(60, 50);
    return button;
}

} // namespace

TMainFm::TMainFm(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFm"));
    setWindowTitle(QStringLiteral("MainFm"));
    QIcon icon(QStringLiteral(":/icons/vorlix.png"));
    icon.addFile(QStringLiteral(":/icons/vorlix@2x.png"));
    setWindowIcon(icon);
    resize(794, 589 + 22);
    QCd.setObjectName(QStringLiteral("QCd"));
    QCdTree.setObjectName(QStringLiteral("QCdTree"));
    if (DM) {
        QCd.SetDatabase(&DM->DbBase);
        QCdTree.SetDatabase(&DM->DbBase);
    }
    BuildMenus();
    BuildControlBar();
    BuildPanes();
    // The control bar has a skin set of its own: without it, the bar keeps
    // the plain look rather than the main skin's.
    Skins::AttachApartFrom(this, {&Skins::Main()}, ControlBar);
    Skins::Attach(ControlBar, {&Skins::Tool()});
    ChooseCatalogHook = [this](QString &path) { return ChooseCatalog(AppFolder, path, this); };
    ChooseImportFileHook = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("选择要导入的文件"), QString(),
                                            QStringLiteral("表格文件 (*.csv *.txt *.tsv);;所有文件 (*)"));
    };
    ChooseMergeFileHook = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("选择要合并的光盘夹"),
                                            AppFolder + QStringLiteral("/Data"),
                                            QStringLiteral("光盘夹文件 (*.MDB *.mdb);;所有文件 (*)"));
    };
    ChooseSkinFileHook = [this](const QString &startFolder) {
        return QFileDialog::getOpenFileName(this, QStringLiteral("请选择一个皮肤文件"), startFolder,
                                            QStringLiteral("*.ini"));
    };
    RunCommand([this] { FormCreate(); });
    InstallMainShortcuts(*this);
}

TMainFm::~TMainFm()
{
    // FormDestroy
    UnregisterPageHandler();
    // The panes work on the window's queries: they go first, after saving
    // their layouts, while the queries still exist.
    {
        const std::unique_ptr<QSettings> layouts = TSettings::OpenLayouts();
        CdTree->SaveLayout(*layouts);
        CdList->SaveLayout(*layouts);
    }
    delete CdTree;
    delete CdList;
    if (MainFm == this)
        MainFm = nullptr;
}

void TMainFm::BuildMenus()
{
    auto action = [this](QMenu *menu, const char *name, const QString &caption, void (TMainFm::*handler)()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
        return a;
    };
    QMenu *mCd = menuBar()->addMenu(QStringLiteral("光盘夹管理"));
    mCd->setObjectName(QStringLiteral("mCd"));
    mOpen = action(mCd, "mOpen", QStringLiteral("新建/打开光盘夹.."), &TMainFm::mOpenClick);
    mBackup = action(mCd, "mBackup", QStringLiteral("备份光盘夹"), &TMainFm::mBackupClick);
    mRestore = action(mCd, "mRestore", QStringLiteral("恢复光盘夹"), &TMainFm::mRestoreClick);
    mCompress = action(mCd, "mCompress", QStringLiteral("整理光盘夹..."), &TMainFm::mCompressClick);
    mStats = action(mCd, "mStats", QStringLiteral("统计..."), &TMainFm::mStatsClick);
    mLoans = action(mCd, "mLoans", QStringLiteral("借出记录..."), &TMainFm::mLoansClick);
    mImport = action(mCd, "mImport", QStringLiteral("导入光盘..."), &TMainFm::mImportClick);
    mMerge = action(mCd, "mMerge", QStringLiteral("合并光盘夹..."), &TMainFm::mMergeClick);
    mExport = action(mCd, "mExport", QStringLiteral("导出光盘列表..."), &TMainFm::mExportClick);
    mPrint = action(mCd, "mPrint", QStringLiteral("打印光盘列表..."), &TMainFm::mPrintClick);
    mFullBackup = action(mCd, "mFullBackup", QStringLiteral("完整备份（含封面）..."), &TMainFm::mFullBackupClick);
    mFullRestore = action(mCd, "mFullRestore", QStringLiteral("从完整备份恢复..."), &TMainFm::mFullRestoreClick);
    mFindFile = action(mCd, "mFindFile", QStringLiteral("查找文件..."), &TMainFm::mFindFileClick);
    mExit = action(mCd, "mExit", QStringLiteral("退出"), &TMainFm::mExitClick);

    QMenu *mSystem = menuBar()->addMenu(QStringLiteral("项目设置"));
    mSystem->setObjectName(QStringLiteral("mSystem"));
    mOption = action(mSystem, "mOption", QStringLiteral("喜好设置..."), &TMainFm::mOptionClick);
    mSkin = action(mSystem, "mSkin", QStringLiteral("更换皮肤..."), &TMainFm::mSkinClick);
    mClearSkin = action(mSystem, "mClearSkin", QStringLiteral("清除皮肤"), &TMainFm::mClearSkinClick);
    mSystem->addSeparator();
    QAction *mCustomFields = mSystem->addAction(QStringLiteral("自定义字段..."));
    mCustomFields->setObjectName(QStringLiteral("mCustomFields"));
    connect(mCustomFields, &QAction::triggered, this, Guarded([this] { ShowCustomFields(DM->DbBase, this); }));
    connect(mSystem, &QMenu::aboutToShow, mCustomFields,
            [mCustomFields] { mCustomFields->setEnabled(DM && DM->DbBase.Connected()); });

    QMenu *n16 = menuBar()->addMenu(QStringLiteral("帮助"));
    n16->setObjectName(QStringLiteral("N16"));
    N9 = n16->addAction(QStringLiteral("帮助内容")); // the guide, with F1 (MainShortcuts)
    N9->setObjectName(QStringLiteral("N9"));
    mHomepage = action(n16, "mHomepage", QStringLiteral("Zentra软件网站"), &TMainFm::mHomepageClick);
    mCheckVersion = action(n16, "mCheckVersion", QStringLiteral("检查是否有新版软件"), &TMainFm::mCheckVersionClick);
}

void TMainFm::BuildControlBar()
{
    ControlBar = new QWidget(this);
    ControlBar->setObjectName(QStringLiteral("ControlBar"));
    ControlBar->setFixedHeight(58);
    ControlBar->setAttribute(Qt::WA_StyledBackground);
    // Unskinned, the bar paints the plain background itself rather than
    // letting the skinned window show through.
    ControlBar->setAutoFillBackground(true);
    auto *bar = new QHBoxLayout(ControlBar);
    bar->setContentsMargins(4, 4, 4, 4);
    bar->setSpacing(8);

    pnToolBar = new QWidget(ControlBar);
    pnToolBar->setObjectName(QStringLiteral("pnToolBar"));
    pnToolBar->setAttribute(Qt::WA_StyledBackground);
    auto *tools = new QHBoxLayout(pnToolBar);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(2);
    btnAdd =
        ToolButton(QStringLiteral("btnAdd"), QStringLiteral("添加光盘"), QStringLiteral(":/icons/add.png"), pnToolBar);
    btnEdit = ToolButton(QStringLiteral("btnEdit"), QStringLiteral("修改光盘"), QStringLiteral(":/icons/edit.png"),
                         pnToolBar);
    btnDel = ToolButton(QStringLiteral("btnDel"), QStringLiteral("删除光盘"), QStringLiteral(":/icons/delete.png"),
                        pnToolBar);
    btnFind = ToolButton(QStringLiteral("btnFind"), QStringLiteral("查找光盘"), QStringLiteral(":/icons/find.png"),
                         pnToolBar);
    btnFindFile = ToolButton(QStringLiteral("btnFindFile"), QStringLiteral("查找文件"),
                             QStringLiteral(":/icons/find.png"), pnToolBar);
    btnStats =
        ToolButton(QStringLiteral("btnStats"), QStringLiteral("统计"), QStringLiteral(":/icons/stats.png"), pnToolBar);
    auto *separator = new QFrame(pnToolBar);
    separator->setObjectName(QStringLiteral("ToolSeparator"));
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    tools->addWidget(btnAdd);
    tools->addWidget(btnEdit);
    tools->addWidget(btnDel);
    tools->addWidget(separator);
    tools->addWidget(btnFind);
    tools->addWidget(btnFindFile);
    tools->addWidget(btnStats);
    connect(btnAdd, &QToolButton::clicked, this, Guarded([this] { btnAddClick(); }));
    connect(btnEdit, &QToolButton::clicked, this, Guarded([this] { btnEditClick(); }));
    connect(btnDel, &QToolButton::clicked, this, Guarded([this] { btnDelClick(); }));
    connect(btnFind, &QToolButton::clicked, this, Guarded([this] { btnFindClick(); }));
    connect(btnFindFile, &QToolButton::clicked, this, Guarded([this] { mFindFileClick(); }));
    connect(btnStats, &QToolButton::clicked, this, Guarded([this] { mStatsClick(); }));

    pnTop = new QWidget(ControlBar);
    pnTop->setObjectName(QStringLiteral("pnTop"));
    pnTop->setAttribute(Qt::WA_StyledBackground);
    auto *top = new QHBoxLayout(pnTop);
    top->setContentsMargins(6, 0, 6, 0);
    top->setSpacing(4);
    cbCodeHolder = new QWidget(pnTop);
    cbCodeHolder->setObjectName(QStringLiteral("cbCodeHolder"));
    cbCodeHolder->setFixedWidth(145);
    auto *holder = new QHBoxLayout(cbCodeHolder);
    holder->setContentsMargins(0, 0, 0, 0);
    Label2 = new QLabel(QStringLiteral("<<编号或者首拼（如：藏金阁  cjg）"), pnTop);
    Label2->setObjectName(QStringLiteral("Label2"));
    top->addWidget(cbCodeHolder);
    top->addWidget(Label2);

    bar->addWidget(pnToolBar);
    bar->addWidget(pnTop, 0, Qt::AlignVCenter);
    // After the quick code box, which keeps its place.
    btnWall = ToolButton(QStringLiteral("btnWall"), QString(), QString(), ControlBar);
    bar->addWidget(btnWall);
    bar->addStretch(1);
}

void TMainFm::BuildPanes()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnMain"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ControlBar);

    LeftSplitter = new TSizingSplitter(Qt::Horizontal, 0, central);
    LeftSplitter->setObjectName(QStringLiteral("LeftSplitter"));
    pnLeft = new QWidget(LeftSplitter);
    pnLeft->setObjectName(QStringLiteral("pnLeft"));
    auto *left = new QVBoxLayout(pnLeft);
    left->setContentsMargins(0, 0, 0, 0);
    pcTree = new QTabWidget(pnLeft);
    pcTree->setObjectName(QStringLiteral("pcTree"));
    pcTree->setTabPosition(QTabWidget::South);
    tlCdTreeHolder = new QWidget(pcTree);
    tlCdTreeHolder->setObjectName(QStringLiteral("tlCdTreeHolder"));
    auto *treeLayout = new QVBoxLayout(tlCdTreeHolder);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    pcTree->addTab(tlCdTreeHolder, QStringLiteral("我的光盘夹"));
    left->addWidget(pcTree);
    CdTree = new TCdTreePane(QCdTree, tlCdTreeHolder);
    treeLayout->addWidget(CdTree);

    pnBase = new QWidget(LeftSplitter);
    pnBase->setObjectName(QStringLiteral("pnBase"));
    auto *base = new QVBoxLayout(pnBase);
    base->setContentsMargins(0, 0, 0, 0);
    DetailSplitter = new TSizingSplitter(Qt::Vertical, 1, pnBase);
    DetailSplitter->setObjectName(QStringLiteral("DetailSplitter"));
    pnGrid = new QWidget(DetailSplitter);
    pnGrid->setObjectName(QStringLiteral("pnGrid"));
    new QVBoxLayout(pnGrid);
    pnGrid->layout()->setContentsMargins(0, 0, 0, 0);
    pnDetail = new QWidget(DetailSplitter);
    pnDetail->setObjectName(QStringLiteral("pnDetail"));
    new QVBoxLayout(pnDetail);
    pnDetail->layout()->setContentsMargins(0, 0, 0, 0);
    CdList = new TCdListPane(QCd, pnGrid);
    pnGrid->layout()->addWidget(CdList);
    WebBrowser = new TDetailView(pnDetail);
    pnDetail->layout()->addWidget(WebBrowser);
    DetailSplitter->addWidget(pnGrid);
    DetailSplitter->addWidget(pnDetail);
    DetailSplitter->setStretchFactor(0, 1);
    DetailSplitter->setStretchFactor(1, 0);
    DetailSplitter->setSizes({589 - 58 - 300 - 7, 300});
    base->addWidget(DetailSplitter);

    LeftSplitter->addWidget(pnLeft);
    LeftSplitter->addWidget(pnBase);
    LeftSplitter->setStretchFactor(0, 0);
    LeftSplitter->setStretchFactor(1, 1);
    LeftSplitter->setSizes({166, 794 - 166 - 7});
    layout->addWidget(LeftSplitter, 1);
    setCentralWidget(central);

    {
        const std::unique_ptr<QSettings> layouts = TSettings::OpenLayouts();
        CdTree->RestoreLayout(*layouts);
        CdList->RestoreLayout(*layouts);
    }

    // How the panes reach each other: what they ask, and what they tell.
    CdTree->QCd = &QCd;
    CdTree->IsDiscList = [this](QObject *source) { return CdList->IsDiscView(source); };
    CdTree->SelectedDiscs = [this] { return CdList->dgCd->SelectedBookmarks(); };
    CdTree->AskFolderName = [this](QString &name) { return EditFolderName(name, this); };
    CdList->CurrentFolderId = [this] { return CdTree->CurrentFolderId(); };
    CdList->EditDisc = [this](TCdRec &disc) {
        return EditDisc(disc, {AppFolder + QStringLiteral("/Picture"), TOptions::IsOn(Options.AutoCode)}, this);
    };
    CdList->ScanContents = [this](int discId) { return ScanDisc::ScanDiscContents(this, DM->DbBase, discId); };
    CdList->ClearContents = [](int discId) { return ScanDisc::ClearDiscContents(DM->DbBase, discId); };
    CdList->AskLend = [this](int discId, const QString &name) { return LendDisc(DM->DbBase, discId, name, this); };
    CdList->AskReturn = [](int discId, const QString &name) { return ReturnDisc(DM->DbBase, discId, name); };
    connect(CdTree, &TCdTreePane::FolderChosen, this, &TMainFm::ShowCdList);
    connect(CdTree, &TCdTreePane::DiscsMoved, CdList->dgCd, &TDataGrid::ClearSelection);
    connect(CdList, &TCdListPane::DiscLocated, CdTree, &TCdTreePane::LocateFolder);
    connect(CdList, &TCdListPane::DiscsDeleted, CdTree, &TCdTreePane::tlCdTreeClick);
    connect(CdList, &TCdListPane::DiscShown, this, &TMainFm::ShowCdPage);
    connect(CdList, &TCdListPane::DiscCommandsEnabled, this, &TMainFm::UpdateCdButtons);
    UpdateCdButtons(false);

    // The switch between the disc grid and the cover wall.
    QIcon wall(QStringLiteral(":/icons/wall.png"));
    wall.addFile(QStringLiteral(":/icons/wall@2x.png"));
    CdList->acCoverWall->setIcon(wall);
    btnWall->setDefaultAction(CdList->acCoverWall);
    if (auto *menu = menuBar()->findChild<QMenu *>(QStringLiteral("mSystem"))) {
        menu->addSeparator();
        menu->addAction(CdList->acCoverWall);
    }
}

QString TMainFm::GetAppFolder()
{
    if (!appFolderOverride.isEmpty())
        return appFolderOverride;
    return AppPaths::Current().dataRoot;
}

void TMainFm::SetAppFolderForTests(const QString &folder)
{
    appFolderOverride = folder;
}

void TMainFm::SetCaption(const QString &text)
{
    setWindowTitle(text);
}

void TMainFm::FormCreate()
{
    AppFolder = GetAppFolder();
    CdList->PictureFolder = AppFolder + QStringLiteral("/Picture");
    SetupCodeBox();
    RegisterPageHandler();
    const QString skin = Settings->ReadSkin();
    if (!skin.isEmpty() && QFileInfo(skin).isFile()) {
        m_skinFolder = QFileInfo(skin).absolutePath();
        LoadSkin(skin);
    } else {
        m_skinFolder = DefaultSkinFolder();
        ClearSkins();
    }
}

void TMainFm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstShowingDone)
        return;
    m_firstShowingDone = true;
    // After the window is on screen, so that the open dialog comes up over it.
    QTimer::singleShot(0, this, [this] { RunCommand([this] { FormShow(); }); });
}

void TMainFm::FormShow()
{
    if (!StartFile.isEmpty()) {
        // A file that cannot be opened is reported, and the remembered
        // catalog opens as on any other start.
        bool opened = false;
        RunCommand([&] { opened = OpenCatalogFile(std::exchange(StartFile, QString())); });
        if (opened)
            return;
    }
    CurrentDb = Settings->ReadDefaultDb();
    if (!CurrentDb.isEmpty() && QFileInfo(CurrentDb).isFile()) {
        // The program ended while it opened this catalog the last time: ask
        // before trying again, or the same failure comes back at every start.
        if (Settings->ReadOpening() == CurrentDb &&
            !Msg::Ask(QStringLiteral("上次启动时，程序在打开光盘夹“%1”的过程中意外退出了。\n\n"
                                     "要再次打开这个光盘夹吗？选择“否”可以打开或新建别的光盘夹。")
                          .arg(QDir::toNativeSeparators(CurrentDb)))) {
            Settings->WriteOpening(QString());
            CurrentDb.clear();
            mOpenClick();
            return;
        }
        Settings->WriteOpening(CurrentDb);
        try {
            const TWaitCursor busy;
            DM->DbBase.SetDatabaseName(CurrentDb);
            RememberBeforeOpening();
            DM->DbBase.CheckNextOpeningInBackground();
            UpgradeDb(*DM);
            SetCaption(CaptionPrefix + CurrentDb);
            LoadPanes();
        } catch (...) {
            // An error is shown and the program goes on: no failure to
            // remember.
            Settings->WriteOpening(QString());
            throw;
        }
        // The views lay themselves out when they are next painted: only
        // once that went well is the catalog open.
        QTimer::singleShot(0, this, [this] {
            repaint();
            if (Settings)
                Settings->WriteOpening(QString());
        });
    } else {
        mOpenClick();
    }
}

void TMainFm::mOpenClick()
{
    QString path;
    const bool chosen = ChooseCatalogHook(path);
    // A later start handed a file over while the dialog was open.
    if (!chosen && !StartFile.isEmpty() && OpenCatalogFile(std::exchange(StartFile, QString())))
        return;
    const TWaitCursor busy;
    if (chosen)
        OpenCatalog(path);
    LoadPanes();
}

void TMainFm::OpenCatalog(const QString &path)
{
    DM->DbBase.SetConnected(false);
    DM->DbBase.SetDatabaseName(path);
    RememberBeforeOpening();
    // Checked while the panes are read: LoadPanes waits for it.
    DM->DbBase.CheckNextOpeningInBackground();
    DM->DbBase.SetConnected(true);
    UpgradeDb(*DM);
    SetCaption(CaptionPrefix + path);
    CurrentDb = path;
}

bool TMainFm::OpenCatalogFile(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        Msg::Error(QStringLiteral("找不到光盘夹文件“%1”。").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const TWaitCursor busy;
    OpenCatalog(QFileInfo(path).absoluteFilePath());
    LoadPanes();
    return true;
}

void TMainFm::LoadPanes()
{
    const TWaitCursor busy;
    try {
        LoadCdTree();
        ShowCdList(1);
    } catch (...) {
        // A catalog refused by its check is what the user is told of.
        AwaitOpeningCheck();
        throw;
    }
    AwaitOpeningCheck();
}

void TMainFm::AwaitOpeningCheck()
{
    if (!DM->DbBase.OpeningCheckPending())
        return;
    try {
        DM->DbBase.AwaitOpeningCheck();
    } catch (...) {
        // Closed by the refusal, its queries with it: the panes are empty.
        WebBrowser->clear();
        UpdateCdButtons(false);
        SetCaption(m_captionBefore);
        CurrentDb = m_catalogBefore;
        throw;
    }
}

void TMainFm::RememberBeforeOpening()
{
    m_captionBefore = windowTitle();
    m_catalogBefore = CurrentDb;
}

void TMainFm::LoadCdTree()
{
    CdTree->LoadCdTree();
}

void TMainFm::ShowCdList(int folderId)
{
    CdList->ShowCdList(folderId);
}

void TMainFm::LocateCd(int discId)
{
    CdList->LocateCd(discId);
}

void TMainFm::ShowCdPage(int discId)
{
    WebBrowser->ShowCdPage(discId);
}

void TMainFm::UpdateCdButtons(bool discs)
{
    btnEdit->setEnabled(discs);
    btnDel->setEnabled(discs);
}

void TMainFm::btnAddClick()
{
    CdList->btnAddClick();
}

void TMainFm::btnEditClick()
{
    CdList->btnEditClick();
}

void TMainFm::btnDelClick()
{
    CdList->btnDelClick();
}

void TMainFm::btnFindClick()
{
    ShowFind(this);
}

void TMainFm::mFindFileClick()
{
    if (!DM)
        throw EAppError(QStringLiteral("没有打开的光盘夹。"));
    // One window, kept open beside the main window while the user looks.
    if (!FindFileFm) {
        FindFileFm = new TFindFileFm(DM->DbBase, this);
        FindFileFm->setAttribute(Qt::WA_DeleteOnClose);
        FindFileFm->setModal(false);
        FindFileFm->LocateDisc = [this](int discId) {
            LocateCd(discId);
            ShowCdPage(discId);
        };
    }
    FindFileFm->show();
    FindFileFm->raise();
    FindFileFm->activateWindow();
}

void TMainFm::mOptionClick()
{
    ShowOptions(0, Options.AutoCode, Options.AutoNew, this);
}

void TMainFm::SetupCodeBox()
{
    cbCode = new TExPickEdit(cbCodeHolder);
    cbCode->setObjectName(QStringLiteral("cbCode"));
    cbCode->setFixedWidth(145);
    cbCode->setFrame(false);
    cbCode->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    cbCode->setToolTip(QStringLiteral("请输入光盘编号或者名称拼音首字母（如：藏金阁  cjg）"));
    cbCodeHolder->layout()->addWidget(cbCode);
    DM->SetupPickEdit(QuickPickDiscsStatement(), *cbCode, true, false);
    cbCode->OnKeyPress = [this](TExPickEdit &box, int key) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            RunCommand([this, &box] { LocateCd(box.SelectedKey()); });
    };
    cbCode->OnSelectionChange = [this](TExPickEdit &box) { RunCommand([this, &box] { LocateCd(box.SelectedKey()); }); };
}

void TMainFm::RegisterPageHandler()
{
    WebBrowser->RegisterPageHandler(AppFolder + QStringLiteral("/Picture"));
}

void TMainFm::UnregisterPageHandler()
{
    WebBrowser->UnregisterPageHandler();
}

void TMainFm::LoadSkin(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath() + QLatin1Char('/');
    const QString dialog = folder + QStringLiteral("dialog.in1");
    const QString tool = folder + QStringLiteral("tool.in1");
    // All three files are read before any set changes: a skin with one bad
    // file changes nothing.
    {
        TSkinData check;
        check.LoadFromFile(path);
        if (QFileInfo::exists(dialog))
            check.LoadFromFile(dialog);
        if (QFileInfo::exists(tool))
            check.LoadFromFile(tool);
    }
    Skins::Main().LoadFromFile(path);
    if (QFileInfo::exists(dialog))
        Skins::Dialog().LoadFromFile(dialog);
    else
        Skins::Dialog().Clear();
    if (QFileInfo::exists(tool))
        Skins::Tool().LoadFromFile(tool);
    else
        Skins::Tool().Clear();
}

void TMainFm::ClearSkins()
{
    Skins::Main().Clear();
    Skins::Tool().Clear();
    Skins::Dialog().Clear();
}

void TMainFm::mSkinClick()
{
    const QString path = ChooseSkinFileHook(m_skinFolder);
    if (path.isEmpty())
        return;
    m_skinFolder = QFileInfo(path).absolutePath();
    LoadSkin(path);
    Settings->WriteSkin(path);
}

void TMainFm::mClearSkinClick()
{
    ClearSkins();
    Settings->WriteSkin(QString());
}

void TMainFm::mExitClick()
{
    close();
}

void TMainFm::mBackupClick()
{
    CatalogCommands::RunBackup(this, *DM, CurrentDb);
}

void TMainFm::mRestoreClick()
{
    CatalogCommands::RunRestore(this, *DM, CurrentDb, [this] { LoadPanes(); });
}

void TMainFm::mExportClick()
{
    ExportDiscs::RunExport(this, *CdList->dgCd, QCd, DM->DbBase);
}

void TMainFm::mPrintClick()
{
    if (!DM->DbBase.Connected()) {
        Msg::Warning(QStringLiteral("请先打开一个光盘夹。"));
        return;
    }
    const int folder = CdTree->CurrentFolderId();
    QString path = DiscExport::FolderPaths(DM->DbBase).value(folder);
    if (path.isEmpty())
        path = QStringLiteral("主目录");
    GridPrint::PrintGrid(this, *CdList->dgCd, QStringLiteral("光盘列表"),
                         {QStringLiteral("光盘夹：%1").arg(QFileInfo(CurrentDb).completeBaseName()),
                          QStringLiteral("目录：%1").arg(path)});
}

void TMainFm::mFullBackupClick()
{
    CatalogCommands::RunFullBackup(this, *DM, CurrentDb, AppFolder + QStringLiteral("/Picture"));
}

void TMainFm::mFullRestoreClick()
{
    CatalogCommands::RunFullRestore(this, *DM, CurrentDb, AppFolder + QStringLiteral("/Picture"),
                                    [this] { LoadPanes(); });
}

void TMainFm::mCompressClick()
{
    CatalogCommands::RunCompact(this, *DM, CurrentDb, [this] { LoadPanes(); });
}

void TMainFm::mImportClick()
{
    const int folder = RunImport(this, ChooseImportFileHook, DM->DbBase, CdTree->CurrentFolderId(),
                                 AppFolder + QStringLiteral("/Picture"));
    if (folder == 0)
        return;
    CdTree->LoadCdTree();
    CdTree->LocateFolder(folder);
    CdList->ShowCdList(folder);
}

void TMainFm::mMergeClick()
{
    const int folder =
        RunMerge(this, ChooseMergeFileHook, DM->DbBase, CurrentDb, AppFolder + QStringLiteral("/Picture"));
    if (folder == 0)
        return;
    CdTree->LoadCdTree();
    CdTree->LocateFolder(folder);
    CdList->ShowCdList(folder);
}

void TMainFm::mStatsClick()
{
    ShowStats(DM->DbBase, QFileInfo(CurrentDb).completeBaseName(), this);
}

void TMainFm::mLoansClick()
{
    TLoansForm *form = ShowLoans(DM->DbBase, this);
    form->LoansChanged = [this] {
        CdList->ReloadLoans();
        CdList->QCdAfterScroll();
    };
}

void TMainFm::mCheckVersionClick()
{
    CheckVersion(*DM);
}

void TMainFm::mHomepageClick()
{
    OpenHomepage();
}

void TMainFm::closeEvent(QCloseEvent *event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainFm::FormClose()
{
    // Each value is tried on its own: one that cannot be saved is reported
    // and does not keep the other from being saved, nor the window open.
    RunCommand([] { Settings->WriteOptions(); });
    RunCommand([] { Settings->WriteDefaultDb(CurrentDb); });
    if (isVisible())
        Settings->WriteWindowPlace(WindowPlaceOf(*this));
}
