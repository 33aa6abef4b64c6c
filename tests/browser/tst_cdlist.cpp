// The disc list: listing, footers, the disc commands and the jump to a disc,
// on a real catalog.
#include "browser/CdListPane.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/LoanStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "tests/support/ModuleFixture.h"
#include "toolkit/BulkProgress.h"
#include "toolkit/DataGrid.h"
#include "toolkit/MessageBoxes.h"

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QPainter>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

class TestCdList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsFoldersWithFooters();
    void emptyFolder();
    void addAndEdit();
    void cancelledEditorShowsThePageAgainAfterAWrite();
    void refusedWriteReopensTheEditor_data();
    void refusedWriteReopensTheEditor();
    void deleteOne();
    void deleteSeveralOrNone_data();
    void deleteSeveralOrNone();
    void locateCd();
    void undatedDiscStaysUndated();
    void pictureMark();

private:
    int Count(const QString &where);
    void SelectRows(const QList<int> &rows);

    std::unique_ptr<ModuleFixture> m_catalog;
    std::unique_ptr<TDAOQuery> m_qcd;
    std::unique_ptr<TCdListPane> m_pane;
    std::unique_ptr<Msg::Recorder> m_messages;
    int m_folder = 1;
    QList<int> m_pages, m_located, m_clicks;
    QList<bool> m_busyAtClick;     // the wait cursor on when the folder was listed again
    QStringList m_progressAtClick; // the progress bar then, as "value/maximum"
    QList<bool> m_enabled;
};

// Folders 2 and 3 under the root; discs 1-3 in folder 2 (prices 12.5, -3,
// 0), disc 4 in folder 3.
void TestCdList::init()
{
    m_catalog = std::make_unique<ModuleFixture>();
    for (
        const char *sql : {
            R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "电影"))",
            R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "音乐"))",
            R"(INSERT INTO TbCd (Name, Code, TId, CId, Price, Day, Picture) VALUES ("藏金阁", "1", 2, 2, 12.5, #2004-03-01#, "a.jpg"))",
            R"(INSERT INTO TbCd (Name, Code, TId, CId, Price) VALUES ("英雄", "2", 2, 1, -3))",
            R"(INSERT INTO TbCd (Name, Code, TId, CId, Price) VALUES ("大话西游", "3", 2, 1, 0))",
            R"(INSERT INTO TbCd (Name, Code, TId, CId, Price) VALUES ("Music", "4", 3, 2, 20))",
        })
        m_catalog->Dm().ExecuteSQL(QString::fromUtf8(sql));

    m_messages = std::make_unique<Msg::Recorder>();
    m_qcd = std::make_unique<TDAOQuery>();
    m_qcd->SetDatabase(&m_catalog->Dm().DbBase);
    m_pane = std::make_unique<TCdListPane>(*m_qcd);
    m_pane->PictureFolder = m_catalog->DirPath();
    m_pages.clear();
    m_located.clear();
    m_clicks.clear();
    m_enabled.clear();
    m_folder = 2;
    m_pane->CurrentFolderId = [this] { return m_folder; };
    connect(m_pane.get(), &TCdListPane::DiscLocated, this, [this](int id) { m_located << id; });
    m_busyAtClick.clear();
    m_progressAtClick.clear();
    connect(m_pane.get(), &TCdListPane::DiscsDeleted, this, [this] {
        m_clicks << m_folder;
        m_busyAtClick << (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        const auto *bar = m_pane->findChild<QProgressDialog *>();
        m_progressAtClick << (bar && bar->isVisible() ? QStringLiteral("%1/%2").arg(bar->value()).arg(bar->maximum())
                                                      : QString());
        m_pane->ShowCdList(m_folder);
    });
    connect(m_pane.get(), &TCdListPane::DiscShown, this, [this](int id) { m_pages << id; });
    connect(m_pane.get(), &TCdListPane::DiscCommandsEnabled, this, [this](bool on) { m_enabled << on; });
}

void TestCdList::cleanup()
{
    m_pane.reset();
    m_qcd.reset();
    m_messages.reset();
    DM = nullptr;
    m_catalog.reset();
}

int TestCdList::Count(const QString &where)
{
    return m_catalog->Dm()
        .GetFieldValue(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE ") + where, QStringLiteral("N"))
        .toInt();
}

void TestCdList::SelectRows(const QList<int> &rows)
{
    QTreeView *view = m_pane->dgCd->View();
    // As clicks do: the first row becomes current, the others are added.
    view->selectionModel()->clearSelection();
    for (int row : rows) {
        const QModelIndex index = view->model()->index(row, 0);
        if (row == rows.first())
            view->selectionModel()->setCurrentIndex(index,
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        else
            view->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TestCdList::listsFoldersWithFooters()
{
    m_pane->ShowCdList(1);
    QCOMPARE(m_qcd->RowCount(), 4);
    QCOMPARE(m_pane->dgCd->FooterText(QStringLiteral("Serial")), QStringLiteral("总数：4"));
    QCOMPARE(m_pane->dgCd->FooterText(QStringLiteral("Price")), QStringLiteral("合计：29.50"));
    QCOMPARE(m_pages.last(), 1);
    QCOMPARE(m_enabled.last(), true);

    m_pane->ShowCdList(2);
    QCOMPARE(m_qcd->RowCount(), 3);
    QCOMPARE(m_pane->dgCd->FooterText(QStringLiteral("Price")), QStringLiteral("合计：9.50"));
    const QAbstractItemModel *model = m_pane->dgCd->View()->model();
    QStringList prices;
    for (int row = 0; row < model->rowCount(); ++row)
        for (int column = 0; column < model->columnCount(); ++column)
            if (model->headerData(column, Qt::Horizontal).toString() == QStringLiteral("价格"))
                prices << model->index(row, column).data().toString();
    QCOMPARE(prices, (QStringList{"12.50", "-3.00", "0.00"}));
}

void TestCdList::emptyFolder()
{
    m_catalog->Dm().ExecuteSQL(QStringLiteral(R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "空"))"));
    m_pane->ShowCdList(4);
    QCOMPARE(m_qcd->RowCount(), 0);
    QCOMPARE(m_pane->dgCd->FooterText(QStringLiteral("Serial")), QStringLiteral("总数：0"));
    QCOMPARE(m_pane->dgCd->FooterText(QStringLiteral("Price")), QStringLiteral("合计：0.00"));
    QCOMPARE(m_pages.last(), 0);
    QCOMPARE(m_enabled.last(), false);
    QVERIFY(!m_pane->pmCdEdit->isEnabled());
    QVERIFY(!m_pane->pmCdDel->isEnabled());
    QVERIFY(m_pane->pmCdAdd->isEnabled());
    m_pane->btnEditClick(); // nothing to edit: nothing happens
    QVERIFY(m_messages->shown.isEmpty());
}

void TestCdList::addAndEdit()
{
    m_folder = 1;
    m_pane->ShowCdList(1);
    TCdRec seen;
    bool confirm = false;
    m_pane->EditDisc = [&](TCdRec &disc) {
        seen = disc;
        disc.Name = QStringLiteral("新光盘");
        disc.Spell = QStringLiteral("XGP");
        disc.TId = 3;
        disc.Price = 125000;
        return confirm;
    };
    m_pane->btnAddClick(); // cancelled
    QCOMPARE(Count(QStringLiteral("1=1")), 4);
    QCOMPARE(seen.Id, 0);
    QCOMPARE(seen.TId, 1);
    QCOMPARE(seen.Day.value_or(-1), DateUtils::Today());

    confirm = true;
    m_pane->btnAddClick();
    QCOMPARE(Count(QStringLiteral("Name=\"新光盘\" AND TId=3 AND Spell=\"XGP\" AND Price=12.5 AND DId=0")), 1);
    QCOMPARE(m_qcd->RowCount(), 5); // the root lists every disc

    // Edit the first row: the record comes from the row, goes back to it.
    m_folder = 2;
    m_pane->ShowCdList(2);
    m_pane->EditDisc = [&](TCdRec &disc) {
        seen = disc;
        disc.Name = QStringLiteral("西游");
        disc.Spell = QStringLiteral("XY");
        return true;
    };
    m_pane->btnEditClick();
    QCOMPARE(seen.Id, 1);
    QCOMPARE(seen.Name, QStringLiteral("藏金阁"));
    QCOMPARE(seen.Price, std::optional<TCurrency>(125000));
    QCOMPARE(DateUtils::FormatDate(seen.Day), QStringLiteral("2004-03-01"));
    QCOMPARE(Count(QStringLiteral("ID=1 AND Name=\"西游\" AND Spell=\"XY\" AND Picture=\"a.jpg\"")), 1);
}

void TestCdList::cancelledEditorShowsThePageAgainAfterAWrite()
{
    m_folder = 2;
    m_pane->ShowCdList(2);
    const int id = m_qcd->Field(QStringLiteral("ID")).AsInteger();
    m_pages.clear();
    // Nothing written: the page that is shown stays.
    m_pane->EditDisc = [](TCdRec &) { return false; };
    m_pane->btnEditClick();
    QVERIFY(m_pages.isEmpty());
    QVERIFY(!m_pane->CurrentDiscLoan());
    // Lent from the editor, then cancelled: the loan and the page are read
    // again.
    m_pane->EditDisc = [this](TCdRec &disc) {
        LoanStore::Lend(*m_qcd->Database(), disc.Id, QStringLiteral("小王"), QDate(2024, 5, 1), QDate(2024, 6, 1));
        return false;
    };
    m_pane->btnEditClick();
    QCOMPARE(m_pages, QList<int>{id});
    QVERIFY(m_pane->CurrentDiscLoan());
}

void TestCdList::refusedWriteReopensTheEditor_data()
{
    QTest::addColumn<bool>("adding");
    QTest::newRow("add") << true;
    QTest::newRow("edit") << false;
}

// The editor's duplicate check passed, then another program added a disc
// with the same code before the list wrote this one: the catalog refuses
// it, and what was typed goes back to the editor.
void TestCdList::refusedWriteReopensTheEditor()
{
    QFETCH(bool, adding);
    m_folder = 2;
    m_pane->ShowCdList(2);
    TDM other;
    other.NameCatalog(m_catalog->FilePath(QStringLiteral("Test.MDB")));

    QList<TCdRec> shown;
    m_pane->EditDisc = [&](TCdRec &disc) {
        shown << disc;
        switch (shown.size()) {
        case 1:
            disc.Code = QStringLiteral("X9");
            disc.Name = QStringLiteral("新光盘");
            disc.Memo = QStringLiteral("一\r\n二");
            disc.Price = 125000;
            other.ExecuteSQL(QStringLiteral(R"(INSERT INTO TbCd (Name, Code, TId) VALUES ("别人的", "X9", 3))"));
            return true;
        case 2:
            disc.Code = QStringLiteral("X10");
            return true;
        default:
            return false;
        }
    };
    if (adding)
        m_pane->btnAddClick();
    else
        m_pane->btnEditClick();

    QCOMPARE(m_messages->Texts(),
             QStringList{QStringLiteral("光盘没有保存：编号“X9”已经被另一张光盘使用，请换一个编号。")});
    QCOMPARE(m_messages->shown.first().kind, Msg::Kind::Error);
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[1].Code, QStringLiteral("X9"));
    QCOMPARE(shown[1].Name, QStringLiteral("新光盘"));
    QCOMPARE(shown[1].Memo, QStringLiteral("一\r\n二"));
    QCOMPARE(shown[1].Price, std::optional<TCurrency>(125000));
    QCOMPARE(shown[1].Id, adding ? 0 : 1);
    QCOMPARE(Count(QStringLiteral("Code=\"X10\" AND Name=\"新光盘\" AND Price=12.5")), 1);
    QCOMPARE(m_catalog->Dm().GetFieldValue(QStringLiteral("SELECT Memo FROM TbCd WHERE Code=\"X10\""),
                                           QStringLiteral("Memo")),
             QStringLiteral("一\r\n二"));
    QCOMPARE(Count(QStringLiteral("Code=\"X9\"")), 1);
    QCOMPARE(Count(QStringLiteral("1=1")), adding ? 6 : 5);
    if (!adding)
        QCOMPARE(Count(QStringLiteral("ID=1 AND Code=\"X10\"")), 1);

    // Refused and then cancelled: nothing written, the list usable.
    m_messages->Clear();
    shown.clear();
    m_pane->EditDisc = [&](TCdRec &disc) {
        shown << disc;
        disc.Code = QStringLiteral("X9");
        return shown.size() == 1;
    };
    if (adding)
        m_pane->btnAddClick();
    else
        m_pane->btnEditClick();
    QCOMPARE(m_messages->shown.size(), 1);
    QCOMPARE(shown.size(), 2);
    QCOMPARE(Count(QStringLiteral("Code=\"X9\"")), 1);
    QCOMPARE(Count(QStringLiteral("1=1")), adding ? 6 : 5);
    m_pane->ShowCdList(2);
    QVERIFY(m_qcd->RowCount() > 0);
}

void TestCdList::deleteOne()
{
    m_pane->ShowCdList(2);
    SelectRows({1});
    QCOMPARE(m_qcd->Field("Name").AsString(), QStringLiteral("英雄"));
    m_messages->confirmAnswer = false;
    m_pane->btnDelClick();
    QCOMPARE(m_messages->Texts(), QStringList{QStringLiteral("真的要删除[英雄]光盘吗？")});
    QCOMPARE(Count(QStringLiteral("1=1")), 4);

    m_messages->confirmAnswer = true;
    m_pane->btnDelClick();
    QCOMPARE(Count(QStringLiteral("Name=\"英雄\"")), 0);
    QCOMPARE(m_qcd->RowCount(), 2);
    QCOMPARE(m_pages.last(), m_qcd->Field("ID").AsInteger());
}

void TestCdList::deleteSeveralOrNone_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("progress");
    QTest::addColumn<QString>("question"); // empty: nothing is asked, nothing done
    const QString two = QStringLiteral("真的要删除这 2 张光盘吗？");
    QTest::newRow("two of three") << QList<int>{0, 2} << 1 << QString() << two;
    QTest::newRow("all three") << QList<int>{0, 1, 2} << 0 << QString() << QStringLiteral("真的要删除这 3 张光盘吗？");
    QTest::newRow("none selected") << QList<int>{} << 3 << QString() << QString();
    // Here two discs count as many: a progress bar follows the deletion.
    QTest::newRow("two of three, with progress") << QList<int>{0, 2} << 1 << QStringLiteral("2/2") << two;
}

void TestCdList::deleteSeveralOrNone()
{
    QFETCH(QList<int>, rows);
    QFETCH(int, left);
    QFETCH(QString, progress);
    QFETCH(QString, question);
    const int showFrom = TBulkProgress::ShowFrom;
    const auto restore = qScopeGuard([showFrom] { TBulkProgress::ShowFrom = showFrom; });
    if (!progress.isEmpty())
        TBulkProgress::ShowFrom = 2;
    m_pane->ShowCdList(2);
    SelectRows(rows);
    m_messages->confirmAnswer = false;
    m_pane->btnDelClick();
    QCOMPARE(m_messages->Texts(), question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(Count(QStringLiteral("TId=2")), 3);

    m_messages->confirmAnswer = true;
    m_pane->btnDelClick();
    QCOMPARE(Count(QStringLiteral("TId=2")), left);
    QCOMPARE(m_qcd->RowCount(), left);
    QCOMPARE(Count(QStringLiteral("TId=3")), 1);
    if (question.isEmpty()) {
        QCOMPARE(m_clicks, QList<int>{});
        return;
    }
    QCOMPARE(m_clicks, QList<int>{2}); // the folder listed again
    // Many discs take a while: the work shows the wait cursor, and it goes
    // afterwards.
    QCOMPARE(m_busyAtClick, QList<bool>{true});
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(m_progressAtClick, QStringList{progress});
    QVERIFY(!m_pane->findChild<QProgressDialog *>());
}

void TestCdList::locateCd()
{
    m_pane->LocateCd(4);
    QCOMPARE(m_qcd->RowCount(), 1);
    QCOMPARE(m_qcd->Field("Name").AsString(), QStringLiteral("Music"));
    QCOMPARE(m_located, QList<int>{3});
    QCOMPARE(m_pages.last(), 4);

    m_pane->LocateCd(99);
    QCOMPARE(m_qcd->RowCount(), 0);
    QCOMPARE(m_located.last(), 0);
    QCOMPARE(m_pages.last(), 0);
}

// Discs 2 and 3 have no date; disc 3 is given one here.
void TestCdList::undatedDiscStaysUndated()
{
    m_catalog->Dm().ExecuteSQL(QStringLiteral(R"(UPDATE TbCd SET Day=#2003-01-01# WHERE Code="3")"));
    m_pane->ShowCdList(2);
    const QAbstractItemModel *model = m_pane->dgCd->View()->model();
    const auto column = [model](const QString &caption) {
        QStringList texts;
        int shown = -1;
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->headerData(c, Qt::Horizontal).toString() == caption)
                shown = c;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, shown).data().toString();
        return texts;
    };
    // Shown empty, and after the dated discs whichever way the dates go.
    m_pane->dgCd->SortBy(QStringLiteral("Day"), Qt::AscendingOrder);
    QCOMPARE(column(QStringLiteral("名称")), (QStringList{"大话西游", "藏金阁", "英雄"}));
    QCOMPARE(column(QStringLiteral("日期")), (QStringList{"2003-01-01", "2004-03-01", ""}));
    m_pane->dgCd->SortBy(QStringLiteral("Day"), Qt::DescendingOrder);
    QCOMPARE(column(QStringLiteral("名称")), (QStringList{"藏金阁", "大话西游", "英雄"}));
    m_pane->dgCd->GroupBy(QStringLiteral("Day"));
    QCOMPARE(model->rowCount(), 3);
    QVERIFY(model->index(2, 0).data().toString().startsWith(QStringLiteral("日期：  (")));
    m_pane->dgCd->GroupBy(QString());

    // Edited for another field, it is written back without a date.
    SelectRows({2});
    QCOMPARE(m_qcd->Field("Name").AsString(), QStringLiteral("英雄"));
    TCdRec seen;
    m_pane->EditDisc = [&](TCdRec &disc) {
        seen = disc;
        disc.Memo = QStringLiteral("改过");
        return true;
    };
    m_pane->btnEditClick();
    QVERIFY(!seen.Day);
    QCOMPARE(Count(QStringLiteral(R"(Code="2" AND Memo="改过" AND Day IS NULL)")), 1);
    // A dated disc can lose its date.
    m_pane->ShowCdList(2);
    SelectRows({0});
    m_pane->EditDisc = [&](TCdRec &disc) {
        disc.Day.reset();
        return true;
    };
    m_pane->btnEditClick();
    QCOMPARE(Count(QStringLiteral(R"(Code="1" AND Day IS NULL)")), 1);
}

void TestCdList::pictureMark()
{
    // 藏金阁 names a.jpg; 英雄 a file not in the folder, 大话西游 a name
    // outside it.
    const QString outside = QStringLiteral("../") + QFileInfo(m_catalog->DirPath()).fileName() + "/a.jpg";
    m_catalog->Dm().ExecuteSQL(QStringLiteral(R"(UPDATE TbCd SET Picture="gone.jpg" WHERE Code="2")"));
    m_catalog->Dm().ExecuteSQL(QStringLiteral(R"(UPDATE TbCd SET Picture="%1" WHERE Code="3")").arg(outside));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString file = m_catalog->FilePath(QStringLiteral("a.jpg"));
    QVERIFY(image.save(file));
    m_pane->ShowCdList(1);
    const QAbstractItemModel *model = m_pane->dgCd->View()->model();
    const auto cell = [model](int row, int role) { return model->index(row, 0).data(role); };
    const auto mark = [&](int row) { return cell(row, Qt::DecorationRole).value<QPixmap>().cacheKey(); };
    QCOMPARE(model->headerData(0, Qt::Horizontal, TDAODataSource::FieldNameRole).toString(), QStringLiteral("Picture"));
    const qint64 found = mark(0);
    QVERIFY(found != 0);
    QCOMPARE(cell(0, Qt::ToolTipRole), QVariant());
    QVERIFY(mark(1) != 0 && mark(1) != mark(0));
    QCOMPARE(cell(1, Qt::ToolTipRole).toString(), QStringLiteral("封面图片“gone.jpg”找不到"));
    QCOMPARE(mark(2), mark(1));
    QCOMPARE(cell(2, Qt::ToolTipRole).toString(), QStringLiteral("封面图片“%1”找不到").arg(outside));
    QCOMPARE(cell(3, Qt::DecorationRole), QVariant()); // no picture, no mark
    QCOMPARE(cell(3, Qt::ToolTipRole), QVariant());

    // What was found holds for the listing; the next one looks again.
    QVERIFY(QFile::remove(file));
    QCOMPARE(mark(0), found);
    QCOMPARE(cell(0, Qt::ToolTipRole), QVariant());
    m_pane->ShowCdList(1);
    QCOMPARE(cell(0, Qt::ToolTipRole).toString(), QStringLiteral("封面图片“a.jpg”找不到"));

    // The cell is drawn as its mark: the file name never shows.
    QImage canvas(40, 20, QImage::Format_RGB32);
    QPainter painter(&canvas);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 25, 18);
    QVERIFY(m_pane->dgCdCustomDrawCell(&painter, option, QStringLiteral("Picture"), QStringLiteral("a.jpg")));
    QVERIFY(m_pane->dgCdCustomDrawCell(&painter, option, QStringLiteral("Picture"), QStringLiteral("gone.jpg")));
    QVERIFY(!m_pane->dgCdCustomDrawCell(&painter, option, QStringLiteral("Picture"), QString()));
    QVERIFY(!m_pane->dgCdCustomDrawCell(&painter, option, QStringLiteral("Name"), QStringLiteral("a.jpg")));
}

QTEST_MAIN(TestCdList)
#include "tst_cdlist.moc"
