// A disc's contents through the program: scanned from the disc list, shown
// on the page and in the editor, found with "查找文件..." and the find
// dialog, a found file's disc shown in the main window.
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "browser/DetailView.h"
#include "dialogs/AddCdDlg.h"
#include "dialogs/DiscContentsModel.h"
#include "dialogs/DiscContentsPage.h"
#include "dialogs/FindFileForm.h"
#include "dialogs/FindForm.h"
#include "dialogs/ScanDiscDlg.h"
#include "media/DiscScanner.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "tests/support/ProgramFixture.h"
#include "toolkit/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

class TestDiscContentsUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scanShowAndFind();
    void scanDialogOffersVolumesAndFolders();
    void parsesSizes_data();
    void parsesSizes();

private:
    std::unique_ptr<QTemporaryDir> m_config;
};

namespace {

void WriteFile(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

} // namespace

void TestDiscContentsUi::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

void TestDiscContentsUi::scanShowAndFind()
{
    ProgramFixture program;
    {
        TDM dm;
        dm.NameCatalog(program.Path());
        dm.ExecuteSQL(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, \"电影\")"));
        dm.ExecuteSQL(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, \"备份盘\")"));
        const QString movies =
            dm.GetFieldValue(QStringLiteral("SELECT ID FROM TbTree WHERE Name=\"电影\""), QStringLiteral("ID"));
        const QString backups =
            dm.GetFieldValue(QStringLiteral("SELECT ID FROM TbTree WHERE Name=\"备份盘\""), QStringLiteral("ID"));
        dm.ExecuteSQL(
            QStringLiteral("INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES (\"M1\", \"英雄\", \"YX\", %1, 1)")
                .arg(movies));
        dm.ExecuteSQL(
            QStringLiteral(
                "INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES (\"B7\", \"照片备份\", \"ZPBF\", %1, 1)")
                .arg(backups));
    }
    QTemporaryDir disc;
    WriteFile(disc.filePath(QStringLiteral("2019/年终报告.doc")), 300 * 1024);
    WriteFile(disc.filePath(QStringLiteral("2019/相册/海边.jpg")), 2 * 1024 * 1024);
    WriteFile(disc.filePath(QStringLiteral("说明.txt")), 10);

    program.Start();

    auto id = [](const QString &sql) { return DM->GetFieldValue(sql, QStringLiteral("V")).toInt(); };
    const int movies = id(QStringLiteral("SELECT ID AS V FROM TbTree WHERE Name=\"电影\""));
    const int backups = id(QStringLiteral("SELECT ID AS V FROM TbTree WHERE Name=\"备份盘\""));
    const int hero = id(QStringLiteral("SELECT ID AS V FROM TbCd WHERE Code=\"M1\""));
    const int photos = id(QStringLiteral("SELECT ID AS V FROM TbCd WHERE Code=\"B7\""));

    // Scanned from the disc list's context menu.
    QVERIFY(MainFm->CdTree->LocateFolder(backups));
    MainFm->CdTree->tlCdTreeClick();
    QCOMPARE(MainFm->QCd.Field(QStringLiteral("Name")).AsString(), QStringLiteral("照片备份"));
    ScanDisc::ChooseVolumeHook = [&](QWidget *) { return Volumes::OfFolder(disc.path()); };
    MainFm->CdList->pmCdScan->trigger();
    ScanDisc::ChooseVolumeHook = nullptr;
    QCOMPARE(program.Messages.shown.size(), 1);
    QVERIFY2(program.Messages.shown.first().text.startsWith(QStringLiteral("扫描完成：3 个文件，2 个文件夹")),
             qPrintable(program.Messages.shown.first().text));
    program.Messages.Clear();
    const QString page = MainFm->WebBrowser->toPlainText();
    QVERIFY2(page.contains(QStringLiteral("光盘内容")) && page.contains(QStringLiteral("文件数：")), qPrintable(page));
    QVERIFY(page.contains(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    // A disc never scanned has no summary.
    MainFm->ShowCdPage(hero);
    QVERIFY(!MainFm->WebBrowser->toPlainText().contains(QStringLiteral("文件数：")));

    // The editor's page shows the tree, read a folder at a time.
    {
        TCdRec rec;
        rec.Id = photos;
        TAddCdDlg editor(rec, TEditDiscContext{});
        QCOMPARE(editor.PageControl->tabText(editor.PageControl->indexOf(editor.tsContents)),
                 QStringLiteral("光盘内容"));
        TDiscContentsModel *model = editor.tsContents->Model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("2019"));
        QCOMPARE(model->index(1, 2).data().toString().size(), 10); // yyyy-MM-dd
        QCOMPARE(model->FoldersRead(), 1);
        QVERIFY(model->hasChildren(model->index(0, 0)));
        QVERIFY(model->canFetchMore(model->index(0, 0)));
        model->fetchMore(model->index(0, 0));
        QCOMPARE(model->rowCount(model->index(0, 0)), 2);
        QCOMPARE(model->index(1, 1, model->index(0, 0)).data().toString(), QStringLiteral("300.0 KB"));
        QVERIFY(editor.tsContents->lbSummary->text().contains(QStringLiteral("文件：3")));
    }

    // "查找文件..." from the menu; a double click shows the disc.
    QVERIFY(MainFm->CdTree->LocateFolder(movies));
    MainFm->CdTree->tlCdTreeClick();
    MainFm->findChild<QAction *>(QStringLiteral("mFindFile"))->trigger();
    TFindFileFm *finder = MainFm->FindFileFm;
    QVERIFY(finder && finder->isVisible());
    // The names are being read since the window opened: the search is made
    // again by itself once they are all read.
    finder->edName->setText(QStringLiteral("终报"));
    finder->btnFind->click();
    QTRY_VERIFY(!finder->WaitingForNames());
    QCOMPARE(finder->lbCount->text(), QStringLiteral("找到 1 项。"));
    QCOMPARE(finder->lvFiles->topLevelItemCount(), 1);
    QTreeWidgetItem *row = finder->lvFiles->topLevelItem(0);
    QCOMPARE(row->text(TFindFileFm::NameColumn), QStringLiteral("年终报告.doc"));
    QCOMPARE(row->text(TFindFileFm::FolderColumn), QStringLiteral("/2019"));
    QCOMPARE(row->text(TFindFileFm::SizeColumn), QStringLiteral("300.0 KB"));
    QCOMPARE(row->text(TFindFileFm::DiscColumn), QStringLiteral("照片备份"));
    QCOMPARE(row->text(TFindFileFm::CodeColumn), QStringLiteral("B7"));
    QCOMPARE(row->text(TFindFileFm::CatalogColumn), QStringLiteral("备份盘"));
    emit finder->lvFiles->itemDoubleClicked(row, 0);
    QCOMPARE(MainFm->CdTree->CurrentFolderId(), backups);
    QCOMPARE(MainFm->QCd.Field(QStringLiteral("ID")).AsInteger(), photos);
    QVERIFY(MainFm->WebBrowser->toPlainText().contains(QStringLiteral("照片备份")));

    // Sizes: only the photo is over 1 MB; a size that is none is refused.
    finder->edName->clear();
    finder->edMinSize->setText(QStringLiteral("1M"));
    finder->btnFind->click();
    QCOMPARE(finder->lvFiles->topLevelItemCount(), 1);
    QCOMPARE(finder->lvFiles->topLevelItem(0)->text(0), QStringLiteral("海边.jpg"));
    finder->edMinSize->setText(QStringLiteral("大"));
    finder->btnFind->click();
    QCOMPARE(program.Messages.Texts().size(), 1);
    finder->close();

    // The find dialog's "包含文件" keeps the discs holding such a file.
    {
        TFindFm find(*DM);
        find.FormShow();
        find.edFile->setText(QStringLiteral("海边"));
        find.RunFind();
        QCOMPARE(find.QFind.RowCount(), 1);
        QCOMPARE(find.QFind.Field(QStringLiteral("Name")).AsString(), QStringLiteral("照片备份"));
        find.edFile->setText(QStringLiteral("没有的文件"));
        find.RunFind();
        QCOMPARE(find.QFind.RowCount(), 0);
    }

    // "清除光盘内容" removes it all; the page loses its summary.
    QVERIFY(MainFm->CdTree->LocateFolder(backups));
    MainFm->CdTree->tlCdTreeClick();
    MainFm->CdList->pmCdClear->trigger();
    QVERIFY(!MainFm->WebBrowser->toPlainText().contains(QStringLiteral("文件数：")));
}

void TestDiscContentsUi::scanDialogOffersVolumesAndFolders()
{
    Msg::Recorder messages;
    Volumes::TVolume cd;
    cd.Root = QStringLiteral("/media/cdrom");
    cd.Label = QStringLiteral("照片2019");
    cd.Size = 700 * 1024 * 1024;
    cd.Kind = Volumes::TKind::Optical;
    Volumes::TVolume iso = cd;
    iso.Root = QStringLiteral("/media/iso");
    iso.Kind = Volumes::TKind::Image;
    {
        TScanDiscDlg dlg({cd, iso});
        QCOMPARE(dlg.lvVolumes->topLevelItemCount(), 2);
        QCOMPARE(dlg.lvVolumes->topLevelItem(0)->text(1), QStringLiteral("光驱"));
        QCOMPARE(dlg.lvVolumes->topLevelItem(0)->text(3), QStringLiteral("700.0 MB"));
        QCOMPARE(dlg.lvVolumes->topLevelItem(1)->text(1), QStringLiteral("光盘映像"));
        dlg.lvVolumes->setCurrentItem(dlg.lvVolumes->topLevelItem(1));
        dlg.btnScan->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Chosen()->Root, QStringLiteral("/media/iso"));
    }
    {
        // Nothing mounted: the list says so and only a folder can be chosen.
        QTemporaryDir folder;
        TScanDiscDlg dlg({});
        QCOMPARE(dlg.lvVolumes->topLevelItemCount(), 1);
        QTreeWidgetItem *none = dlg.lvVolumes->topLevelItem(0);
        QCOMPARE(none->text(0), QStringLiteral("没有找到光盘或可移动磁盘"));
        QVERIFY(!(none->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)));
        QVERIFY(!dlg.btnScan->isEnabled());
        QVERIFY(dlg.btnFolder->isEnabled());
        dlg.ChooseFolder = [&](QWidget *) { return folder.path(); };
        dlg.btnFolder->click();
        QCOMPARE(dlg.Chosen()->Root, folder.path());
        QCOMPARE(dlg.Chosen()->Label, QFileInfo(folder.path()).fileName());
    }
    QVERIFY(messages.shown.isEmpty());
}

void TestDiscContentsUi::parsesSizes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("empty") << QString() << true << qint64(-1);
    QTest::newRow("bytes") << QStringLiteral("1234") << true << qint64(1234);
    QTest::newRow("kilo") << QStringLiteral("100k") << true << qint64(102400);
    QTest::newRow("giga with B") << QStringLiteral("1.5 GB") << true << qint64(1610612736);
    QTest::newRow("word") << QStringLiteral("很大") << false << qint64(-1);
    QTest::newRow("negative") << QStringLiteral("-5") << false << qint64(-1);
}

void TestDiscContentsUi::parsesSizes()
{
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(qint64, bytes);
    bool parsedOk = false;
    const std::optional<qint64> parsed = ParseSizeText(typed, &parsedOk);
    QCOMPARE(parsedOk, ok);
    QCOMPARE(parsed.value_or(-1), bytes);
}

QTEST_MAIN(TestDiscContentsUi)
#include "tst_disccontents_ui.moc"
