#pragma once

#include "store/engine/DAOQuery.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QAction;
class QLabel;
class QTabWidget;
class QToolButton;
class TCdListPane;
class TCdTreePane;
class TDetailView;
class TExPickEdit;
class TSizingSplitter;

// The main window's shell: menus, control bar, the three panes, the window's
// life cycle, opening catalogs and skins. The panes' own logic lives in
// their own units; the window only wires them.
class TFindFileFm;

class TMainFm : public QMainWindow
{
    Q_OBJECT

public:
    // FormCreate: sets AppFolder, configures the quick code box, registers
    // the detail page and applies the saved skin. Opens no catalog.
    explicit TMainFm(QWidget *parent = nullptr);
    // FormDestroy.
    ~TMainFm() override;

    static QString GetAppFolder();
    // Tests run the window in a program folder of their own.
    static void SetAppFolderForTests(const QString &folder);

    void SetCaption(const QString &text);
    void LoadSkin(const QString &path);
    void ClearSkins();
    QString SkinFolder() const { return m_skinFolder; }

    // The first showing: opens StartFile when it is set, else the
    // remembered catalog, or asks for one.
    void FormShow();

    // A catalog named on the command line or handed over by a later start:
    // opened by its full path wherever it is, and remembered by it as the
    // open dialog's catalogs are. False, with a message, when there is no
    // such file; a file that is no catalog raises the store's error.
    bool OpenCatalogFile(const QString &path);
    // The catalog to open at the first showing, or in place of the open
    // dialog's answer when a request closed that dialog.
    QString StartFile;

    // Menu and tool-bar commands.
    void mOpenClick();
    void mBackupClick();
    void mRestoreClick();
    void mCompressClick();
    void mStatsClick();
    void mLoansClick();
    void mImportClick();
    void mMergeClick();
    void mExportClick();
    void mPrintClick();
    void mFullBackupClick();
    void mFullRestoreClick();
    // "查找文件...": the files of every scanned disc, found by name.
    void mFindFileClick();
    void mExitClick();
    void mOptionClick();
    void mSkinClick();
    void mClearSkinClick();
    void mHomepageClick();
    void mCheckVersionClick();
    void btnAddClick();
    void btnEditClick();
    void btnDelClick();
    void btnFindClick();

    // The panes. LoadPanes reads the folders and the root folder's discs
    // again, with the wait cursor. After a catalog was opened it waits for
    // the opening's check (it ran while the panes were read): a refused
    // catalog leaves the panes empty and the caption as it was before.
    void LoadPanes();
    void LoadCdTree();
    void ShowCdList(int folderId);
    void LocateCd(int discId);
    void ShowCdPage(int discId);
    void SetupCodeBox();
    void RegisterPageHandler();
    void UnregisterPageHandler();
    void UpdateCdButtons(bool discs);

    // Choosing a catalog and a skin file; tests answer them in place of the
    // dialogs.
    std::function<bool(QString &path)> ChooseCatalogHook;
    std::function<QString(const QString &startFolder)> ChooseSkinFileHook;
    // The file to import discs from; empty when the user declined.
    std::function<QString()> ChooseImportFileHook;
    // The catalog to merge into the open one; empty when the user declined.
    std::function<QString()> ChooseMergeFileHook;

    TDAOQuery QCd;
    TDAOQuery QCdTree;

    QAction *mOpen, *mBackup, *mRestore, *mCompress, *mImport, *mMerge, *mExit;
    QAction *mStats, *mLoans;
    QAction *mExport, *mPrint, *mFullBackup, *mFullRestore;
    QAction *mFindFile;
    QAction *mOption, *mSkin, *mClearSkin;
    QAction *N9, *mHomepage, *mCheckVersion;
    QWidget *ControlBar, *pnToolBar, *pnTop;
    QToolButton *btnAdd, *btnEdit, *btnDel, *btnFind, *btnWall;
    QToolButton *btnFindFile;
    QPointer<TFindFileFm> FindFileFm; // the open "查找文件" window, if any
    QToolButton *btnStats;
    QWidget *cbCodeHolder;
    TExPickEdit *cbCode = nullptr;
    QLabel *Label2;
    QWidget *pnLeft, *pnBase, *pnGrid, *pnDetail;
    QTabWidget *pcTree;
    QWidget *tlCdTreeHolder;
    TSizingSplitter *LeftSplitter, *DetailSplitter;
    TCdTreePane *CdTree;     // the folder tree tlCdTree with its menu
    TCdListPane *CdList;     // the disc list dgCd with its menu
    TDetailView *WebBrowser; // the detail page

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void RememberBeforeOpening();
    void AwaitOpeningCheck();
    void BuildMenus();
    void BuildControlBar();
    void BuildPanes();
    void FormCreate();
    void FormClose();
    void OpenCatalog(const QString &path);

    QString m_skinFolder;
    bool m_firstShowingDone = false;
    // The caption and the catalog named before a catalog was opened, given
    // back when its check refuses it.
    QString m_captionBefore;
    QString m_catalogBefore;
};

// The main window, created at start-up.
extern TMainFm *MainFm;
