// The main window with its panes on a real catalog: the quick jump, and
// adding and editing a disc through the real disc editor.
#include "app/CatalogCommands.h"
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "browser/DetailView.h"
#include "browser/PageService.h"
#include "dialogs/AddCdDlg.h"
#include "dialogs/FindForm.h"
#include "pinyin/Spell.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "tests/support/ProgramFixture.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ExPickEdit.h"
#include "toolkit/MessageBoxes.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>

class TestBrowsing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void quickJump();
    void addAndEditThroughTheEditor();
    void longNameAndSerialSurvive();

private:
    void Jump(const QString &typed);
    QString Value(const QString &sql);

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<ProgramFixture> m_program;
};

void TestBrowsing::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

// Folders 2 电影 and 3 音乐; 英雄 in 电影, 藏金阁 and 藏金阁二 in 音乐.
void TestBrowsing::init()
{
    m_program = std::make_unique<ProgramFixture>();
    m_program->Execute({
        R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "电影"))",
        R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "音乐"))",
        R"(INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES ("1", "英雄", "YX", 2, 1))",
        R"(INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES ("2", "藏金阁", "CJG", 3, 2))",
        R"(INSERT INTO TbCd (Code, Name, Spell, TId, CId) VALUES ("3", "藏金阁二", "CJGE", 3, 2))",
    });
    m_program->Start();
    QVERIFY(m_program->Messages.shown.isEmpty());
}

void TestBrowsing::cleanup()
{
    m_program.reset();
}

void TestBrowsing::Jump(const QString &typed)
{
    TExPickEdit *box = MainFm->cbCode;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Backspace); // a new search starts in an empty box
    box->clearEditText();
    QTest::keyClicks(box, typed);
    QTest::keyClick(box, Qt::Key_Return);
}

QString TestBrowsing::Value(const QString &sql)
{
    return DM->GetFieldValue(sql, QStringLiteral("V"));
}

void TestBrowsing::quickJump()
{
    QCOMPARE(MainFm->QCd.RowCount(), 3);

    // One match: the disc is listed alone and the tree moves to its folder.
    Jump(QStringLiteral("yx"));
    QCOMPARE(MainFm->QCd.RowCount(), 1);
    QCOMPARE(MainFm->QCd.Field("Name").AsString(), QStringLiteral("英雄"));
    QCOMPARE(MainFm->CdTree->CurrentFolderId(), 2);

    // Several: the list opens, and the disc chosen before stays shown until
    // one is picked.
    Jump(QStringLiteral("cjg"));
    QTRY_VERIFY(MainFm->cbCode->view()->isVisible());
    QCOMPARE(MainFm->QCd.Field("Name").AsString(), QStringLiteral("英雄"));
    QAbstractItemView *list = MainFm->cbCode->view();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    QTRY_COMPARE(MainFm->QCd.Field("Name").AsString(), QStringLiteral("藏金阁二"));
    QCOMPARE(MainFm->CdTree->CurrentFolderId(), 3);
    QVERIFY(m_program->Messages.shown.isEmpty());
}

void TestBrowsing::addAndEditThroughTheEditor()
{
    QImage cover(60, 80, QImage::Format_RGB32);
    cover.fill(QColor(30, 90, 160));
    const QString coverFile = m_program->FilePath(QStringLiteral("my cover.jpg"));
    QVERIFY(cover.save(coverFile));

    // The real editor, filled as a user would and confirmed.
    QString name, category = QStringLiteral("音乐"), folder = QStringLiteral("音乐"), picture;
    MainFm->CdList->EditDisc = [&](TCdRec &disc) {
        TAddCdDlg editor(disc, {AppFolder + QStringLiteral("/Picture"), true});
        editor.edName->setText(name);
        editor.cbCategory->setEditText(category);
        editor.cbCdTree->setEditText(folder);
        editor.cbQuality->setEditText(QStringLiteral("全新"));
        editor.PictureDlg = [&](QWidget *) { return picture; };
        if (!picture.isEmpty())
            editor.imgPictureDblClick();
        editor.btnOkClick();
        return editor.result() == QDialog::Accepted;
    };

    name = QStringLiteral("大话西游");
    picture = coverFile;
    MainFm->CdTree->LocateFolder(1);
    MainFm->btnAddClick();
    QVERIFY2(m_program->Messages.shown.isEmpty(), qPrintable(m_program->Messages.Texts().join('\n')));
    QCOMPARE(MainFm->QCd.RowCount(), 4); // the root lists every disc
    const QString id = Value(R"(SELECT Id AS V FROM TbCd WHERE Name="大话西游")");
    QCOMPARE(Value("SELECT Spell AS V FROM TbCd WHERE Id=" + id), QStringLiteral("DHXY"));
    QCOMPARE(Value("SELECT Code AS V FROM TbCd WHERE Id=" + id), QStringLiteral("4")); // proposed code
    const QString stored = Value("SELECT Picture AS V FROM TbCd WHERE Id=" + id);
    QCOMPARE(stored, QStringLiteral("mycover.jpg"));
    QVERIFY(QFile::exists(AppFolder + QStringLiteral("/Picture/mycover.jpg")));
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 25, 18);
    QImage canvas(30, 20, QImage::Format_RGB32);
    QPainter painter(&canvas);
    QVERIFY(MainFm->CdList->dgCdCustomDrawCell(&painter, option, QStringLiteral("Picture"), stored));
    QVERIFY(MainFm->WebBrowser->PageHandler()->BuildCdPage(id.toInt()).contains(stored));
    Jump(QStringLiteral("dhxy"));
    QCOMPARE(MainFm->QCd.Field("Name").AsString(), QStringLiteral("大话西游"));

    // Renamed: the new initials find it, the old ones no longer do.
    name = QStringLiteral("英雄本色");
    picture.clear();
    MainFm->btnEditClick();
    QVERIFY2(m_program->Messages.shown.isEmpty(), qPrintable(m_program->Messages.Texts().join('\n')));
    QCOMPARE(Value("SELECT Spell AS V FROM TbCd WHERE Id=" + id), QStringLiteral("YXBS"));
    QCOMPARE(Value("SELECT Picture AS V FROM TbCd WHERE Id=" + id), stored);
    Jump(QStringLiteral("yxbs"));
    QCOMPARE(MainFm->QCd.Field("Name").AsString(), QStringLiteral("英雄本色"));
    MainFm->cbCode->setEditText(QStringLiteral("dhxy"));
    MainFm->cbCode->RefreshList();
    QCOMPARE(MainFm->cbCode->RowCount(), 0);
}

void TestBrowsing::longNameAndSerialSurvive()
{
    // 50 Chinese characters (100 bytes) and a 13-digit barcode: the widest
    // name and a typical serial of the current layout.
    const QString name =
        QStringLiteral(
            "指环王护戒使者加长版双塔奇兵王者归来霍比特人意外之旅史矛革之战五军之战魔戒三部曲导演剪辑版特别收藏纪念")
            .left(50);
    const QString serial = QStringLiteral("6901234567892");
    MainFm->CdList->EditDisc = [&](TCdRec &disc) {
        TAddCdDlg editor(disc, {AppFolder + QStringLiteral("/Picture"), true});
        editor.edName->setText(name);
        editor.edSerial->setText(serial);
        editor.cbCategory->setEditText(QStringLiteral("电影"));
        editor.cbCdTree->setEditText(QStringLiteral("电影"));
        editor.cbQuality->setEditText(QStringLiteral("全新"));
        editor.btnOkClick();
        return editor.result() == QDialog::Accepted;
    };
    MainFm->CdTree->LocateFolder(2);
    MainFm->btnAddClick();
    QVERIFY2(m_program->Messages.shown.isEmpty(), qPrintable(m_program->Messages.Texts().join('\n')));
    const QString spell = GetSpell(name);
    QCOMPARE(spell.size(), 50);

    // Saved whole: the file opened afresh holds it.
    const QString id = Value(QStringLiteral("SELECT Id AS V FROM TbCd WHERE Serial=\"%1\"").arg(serial));
    QVERIFY(!id.isEmpty());
    {
        TDM reopened;
        reopened.NameCatalog(CurrentDb);
        QCOMPARE(reopened.GetFieldValue("SELECT Name AS V FROM TbCd WHERE Id=" + id, "V"), name);
        QCOMPARE(reopened.GetFieldValue("SELECT Spell AS V FROM TbCd WHERE Id=" + id, "V"), spell);
    }

    // Listed in its folder.
    MainFm->CdTree->LocateFolder(1);
    MainFm->CdTree->LocateFolder(2);
    QVERIFY(MainFm->QCd.Locate(QStringLiteral("Id"), id.toInt()));
    QCOMPARE(MainFm->QCd.Field("Name").AsString(), name);
    QCOMPARE(MainFm->QCd.Field("Serial").AsString(), serial);

    // Found by the find dialog's name box.
    {
        TFindFm find(*DM);
        find.FormShow();
        find.edName->setText(name);
        find.RunFind();
        QCOMPARE(find.QFind.RowCount(), 1);
        QCOMPARE(find.QFind.Field("Name").AsString(), name);
    }

    // The quick jump by the initials of all 50 characters.
    MainFm->CdTree->LocateFolder(3);
    Jump(spell.toLower());
    QCOMPARE(MainFm->cbCode->SelectedKey(), id.toInt());
    QCOMPARE(MainFm->QCd.Field("Name").AsString(), name);

    // The detail page shows both in full.
    const QString page = MainFm->WebBrowser->PageHandler()->BuildCdPage(id.toInt());
    QVERIFY(page.contains(name));
    QVERIFY(page.contains(serial));

    // And a backup holds them.
    const QString backup = m_program->FilePath(QStringLiteral("backup.MDB"));
    const auto chooser = CatalogCommands::ChooseBackupFileHook;
    CatalogCommands::ChooseBackupFileHook = [&](QWidget *, const QString &) { return backup; };
    CatalogCommands::RunBackup(MainFm, *DM, CurrentDb);
    CatalogCommands::ChooseBackupFileHook = chooser;
    TDM copy;
    copy.NameCatalog(backup);
    QCOMPARE(copy.GetFieldValue("SELECT Name AS V FROM TbCd WHERE Id=" + id, "V"), name);
    QCOMPARE(copy.GetFieldValue("SELECT Serial AS V FROM TbCd WHERE Id=" + id, "V"), serial);
    QVERIFY2(m_program->Messages.shown.size() <= 1,
             qPrintable(m_program->Messages.Texts().join('\n'))); // the backup's report
}

QTEST_MAIN(TestBrowsing)
#include "tst_browsing.moc"
