// The data grid over a real catalog: the disc statement through a query and
// its data source, the grid's model checked by QAbstractItemModelTester.
#include "store/engine/DAODataSource.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAODataset.h"
#include "store/engine/DAOQuery.h"
#include "tests/support/CatalogFixture.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GridKeys.h"
#include "toolkit/GridModel.h"
#include "toolkit/GridTexts.h"
#include "toolkit/GridView.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

#include <memory>
#include <vector>

namespace {

const QString AllDiscs =
    QStringLiteral("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
                   "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");

struct Disc
{
    QString code;
    QString name;
    int category; // 1 电影, 2 音乐, 3 软件 in the seeded catalog; 0 none
    double price; // NaN for none (NULL)
};

// Two discs in 电影, two in 音乐, one without a category.
const QList<Disc> FiveDiscs = {
    {"1", "西游记", 1, 12.5}, {"10", "红楼梦", 2, -3}, {"2", "办公软件", 1, 7.25},
    {"20", "Alpha", 0, 0},    {"3", "bravo", 2, 100},
};

QList<TGridColumn> DiscColumns()
{
    auto column = [](const char *field, const char *caption, int width, bool visible = true) {
        TGridColumn c;
        c.FieldName = QString::fromLatin1(field);
        c.Caption = QString::fromUtf8(caption);
        c.Width = width;
        c.Visible = visible;
        return c;
    };
    TGridColumn serial = column("Serial", "序列号", 80);
    serial.Footer = TGridColumn::Summary::Count;
    serial.FooterFormat = QStringLiteral("总数：%1");
    TGridColumn day = column("Day", "日期", 80);
    day.DisplayFormat = QStringLiteral("yyyy-MM-dd");
    TGridColumn price = column("Price", "价格", 70);
    price.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    price.DisplayFormat = QStringLiteral("0.00;-0.00");
    price.Footer = TGridColumn::Summary::Sum;
    price.FooterFormat = QStringLiteral("合计：%1");
    price.FooterDecimals = 2;
    return {column("ID", "", 40, false),    serial, day, column("Code", "编号", 80), column("Name", "名称", 160),
            column("Category", "分类", 80), price};
}

// View columns of DiscColumns().
enum { SerialColumn, DayColumn, CodeColumn, NameColumn, CategoryColumn, PriceColumn };

// What a model shows: the names of its rows in order; grouped, each group's
// text followed by its rows' names in brackets.
QString Shown(const QAbstractItemModel &model)
{
    QStringList parts;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        if (!model.hasChildren(index)) {
            parts << model.index(row, NameColumn).data().toString();
            continue;
        }
        QStringList names;
        for (int child = 0; child < model.rowCount(index); ++child)
            names << model.index(child, NameColumn, index).data().toString();
        parts << index.data().toString() + u'[' + names.join(u',') + u']';
    }
    return parts.join(u';');
}

QStringList FieldOrder(const TDataGrid &grid)
{
    const QHeaderView *header = grid.View()->header();
    QStringList fields;
    for (int visual = 0; visual < header->count(); ++visual)
        fields << grid.View()
                      ->model()
                      ->headerData(header->logicalIndex(visual), Qt::Horizontal, TDAODataSource::FieldNameRole)
                      .toString();
    return fields;
}

int TotalWidth(const QHeaderView *header)
{
    int total = 0;
    for (int i = 0; i < header->count(); ++i)
        total += header->sectionSize(i);
    return total;
}

} // namespace

class TestDataGrid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cellTextsAndFooters_data();
    void cellTextsAndFooters();
    void groupsAndSorts_data();
    void groupsAndSorts();
    void followsSourceChanges_data();
    void followsSourceChanges();
    void selectionAndCursor();
    void longNamesElideWithToolTip();
    void headerClickSortsAndColumnsShareWidth();
    void layoutRoundTrip();
    void textKeysAgreeForFewAndManyTexts();

private:
    void AddDiscs(const QList<Disc> &discs);
    TGridModel *Model() const { return qobject_cast<TGridModel *>(m_grid->View()->model()); }
    QString NameAt(const QModelIndex &index) const { return index.siblingAtColumn(NameColumn).data().toString(); }
    // The name of the disc a bookmark stands for.
    QString NameOf(TBookmark bookmark);

    std::unique_ptr<CatalogFixture> m_catalog;
    std::unique_ptr<TDAODatabase> m_db;
    std::unique_ptr<TDAOQuery> m_q;
    std::unique_ptr<TDAODataSource> m_source;
    std::unique_ptr<TDataGrid> m_grid;
};

void TestDataGrid::init()
{
    GridTexts::GroupPanelText() = QStringLiteral("拖动某个列标题到此处即可按该列分组。");
    m_catalog = std::make_unique<CatalogFixture>(Schema::Layout::Build102, true);
    m_db = std::make_unique<TDAODatabase>();
    m_catalog->Attach(*m_db);
    m_q = std::make_unique<TDAOQuery>();
    m_q->SetDatabase(m_db.get());
    m_q->SetSQL(AllDiscs);
    m_source = std::make_unique<TDAODataSource>();
    m_source->SetDataSet(m_q.get());
    m_grid = std::make_unique<TDataGrid>();
    m_grid->SetColumns(DiscColumns());
    m_grid->SetGroupSummary(QStringLiteral("小计：%1"), QStringLiteral("Price"), QStringLiteral("小计：%1"), 0);
    m_grid->SetDataSource(m_source.get());
}

void TestDataGrid::cleanup()
{
    m_grid.reset();
    m_source.reset();
    m_q.reset();
    m_db.reset();
    m_catalog.reset();
}

void TestDataGrid::AddDiscs(const QList<Disc> &discs)
{
    TDAOQuery insert;
    insert.SetDatabase(m_db.get());
    for (const Disc &disc : discs) {
        insert.SetSQL(QStringLiteral("INSERT INTO TbCd (Day, Code, Serial, Name, CId, TId, QId, DId, Price) "
                                     "VALUES (#2024-01-02#, \"%1\", \"S%1\", \"%2\", %3, 1, 1, 0, %4)")
                          .arg(disc.code, disc.name)
                          .arg(disc.category)
                          .arg(qIsNaN(disc.price) ? QStringLiteral("NULL") : QString::number(disc.price, 'f', 4)));
        insert.Execute();
    }
}

QString TestDataGrid::NameOf(TBookmark bookmark)
{
    m_q->GotoBookmark(bookmark);
    return m_q->Field("Name").AsString();
}

void TestDataGrid::cellTextsAndFooters_data()
{
    QTest::addColumn<QList<double>>("prices");
    QTest::addColumn<QStringList>("priceTexts");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("sum");

    QTest::newRow("two prices") << QList<double>{12.5, -3} << QStringList{"12.50", "-3.00"} << "总数：2"
                                << "合计：9.50";
    QTest::newRow("no discs") << QList<double>{} << QStringList{} << "总数：0"
                              << "合计：0.00";
    QTest::newRow("half cents round away from zero")
        << QList<double>{0.005, -0.125, 1234.5} << QStringList{"0.01", "-0.13", "1234.50"} << "总数：3"
        << "合计：1234.38";
    QTest::newRow("negative total") << QList<double>{-1.25, -2} << QStringList{"-1.25", "-2.00"} << "总数：2"
                                    << "合计：-3.25";
    QTest::newRow("total past 64 bits of ten-thousandths")
        << QList<double>{900000000000000, 900000000000000, 0.125}
        << QStringList{"900000000000000.00", "900000000000000.00", "0.13"} << "总数：3"
        << "合计：1800000000000000.13";
    QTest::newRow("negative total past 64 bits")
        << QList<double>{-900000000000000, -900000000000000}
        << QStringList{"-900000000000000.00", "-900000000000000.00"} << "总数：2"
        << "合计：-1800000000000000.00";
    QTest::newRow("empty price shown empty, left out of the sum")
        << QList<double>{qQNaN(), 2.5, 0} << QStringList{"", "2.50", "0.00"} << "总数：3"
        << "合计：2.50";
}

void TestDataGrid::cellTextsAndFooters()
{
    QFETCH(QList<double>, prices);
    QFETCH(QStringList, priceTexts);
    QFETCH(QString, count);
    QFETCH(QString, sum);

    QList<Disc> discs;
    for (double price : prices)
        discs << Disc{QString::number(discs.size() + 1), QStringLiteral("光盘"), 1, price};
    AddDiscs(discs);
    QAbstractItemModelTester tester(Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_q->Open();

    QStringList shown;
    for (int row = 0; row < Model()->rowCount(); ++row)
        shown << Model()->index(row, PriceColumn).data().toString();
    QCOMPARE(shown, priceTexts);
    if (!prices.isEmpty()) {
        QCOMPARE(Model()->index(0, DayColumn).data().toString(), QStringLiteral("2024-01-02"));
        QCOMPARE(Model()->index(0, PriceColumn).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
    }
    QCOMPARE(m_grid->FooterText("Serial"), count);
    QCOMPARE(m_grid->FooterText("Price"), sum);
    QCOMPARE(m_grid->FooterText("Name"), QString());

    // The shown footer follows the rows once the grid gets round to it.
    m_grid->show();
    m_q->Close();
    QTRY_COMPARE(m_grid->findChild<QWidget *>("Footer")->findChildren<QLabel *>().at(0)->text(),
                 QStringLiteral("总数：0"));
}

void TestDataGrid::longNamesElideWithToolTip()
{
    const QString longName = QStringLiteral("指环王护戒使者加长版").repeated(5);
    AddDiscs({{"1", longName, 1, 1.0}, {"2", QStringLiteral("英雄"), 1, 2.0}});
    m_q->Open();
    m_grid->resize(600, 300);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    QTreeView *view = m_grid->View();
    auto toolTipOf = [&](int row) {
        const QModelIndex index = view->model()->index(row, NameColumn);
        const QPoint at = view->visualRect(index).center();
        QHelpEvent event(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view->viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(toolTipOf(1), QString()); // shown whole: no tip
    QCOMPARE(toolTipOf(0), longName);  // elided in its cell: the whole name as tip
}

void TestDataGrid::groupsAndSorts_data()
{
    QTest::addColumn<QString>("groupField");
    QTest::addColumn<QString>("sortField");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QString>("shown");

    QTest::newRow("as the query gives them") << ""
                                             << "" << Qt::AscendingOrder << "西游记;红楼梦;办公软件;Alpha;bravo";
    QTest::newRow("names in pinyin order") << ""
                                           << "Name" << Qt::AscendingOrder << "Alpha;bravo;办公软件;红楼梦;西游记";
    QTest::newRow("codes by their numbers") << ""
                                            << "Code" << Qt::DescendingOrder << "Alpha;红楼梦;bravo;办公软件;西游记";
    QTest::newRow("prices") << ""
                            << "Price" << Qt::AscendingOrder << "红楼梦;Alpha;办公软件;西游记;bravo";
    QTest::newRow("grouped by category")
        << "Category"
        << "" << Qt::AscendingOrder
        << "分类：  (小计：1, 小计：0)[Alpha];分类：电影  (小计：2, 小计：20)[西游记,办公软件];"
           "分类：音乐  (小计：2, 小计：97)[红楼梦,bravo]";
    QTest::newRow("grouped, sorted inside the groups")
        << "Category"
        << "Price" << Qt::DescendingOrder
        << "分类：  (小计：1, 小计：0)[Alpha];分类：电影  (小计：2, 小计：20)[西游记,办公软件];"
           "分类：音乐  (小计：2, 小计：97)[bravo,红楼梦]";
    QTest::newRow("groups in reverse when sorted by their column")
        << "Category"
        << "Category" << Qt::DescendingOrder
        << "分类：音乐  (小计：2, 小计：97)[红楼梦,bravo];分类：电影  (小计：2, 小计：20)[西游记,办公软件];"
           "分类：  (小计：1, 小计：0)[Alpha]";
    QTest::newRow("grouped by price, in its format")
        << "Price"
        << "" << Qt::AscendingOrder
        << "价格：-3.00  (小计：1, 小计：-3)[红楼梦];价格：0.00  (小计：1, 小计：0)[Alpha];"
           "价格：7.25  (小计：1, 小计：7)[办公软件];价格：12.50  (小计：1, 小计：13)[西游记];"
           "价格：100.00  (小计：1, 小计：100)[bravo]";
}

void TestDataGrid::groupsAndSorts()
{
    QFETCH(QString, groupField);
    QFETCH(QString, sortField);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QString, shown);

    AddDiscs(FiveDiscs);
    m_q->Open();
    QAbstractItemModelTester tester(Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto *panel = m_grid->findChild<QWidget *>("GroupPanel");
    QVERIFY(panel->findChild<QLabel *>("GroupPanelText")->isVisibleTo(panel));

    m_grid->SortBy(sortField, order);
    m_grid->GroupBy(groupField);
    QCOMPARE(Shown(*Model()), shown);
    QCOMPARE(m_grid->GroupedBy(), groupField);
    QCOMPARE(panel->findChild<QLabel *>("GroupPanelText")->isVisibleTo(panel), groupField.isEmpty());
    QCOMPARE(panel->findChild<QLabel *>("GroupChip")->isVisibleTo(panel), !groupField.isEmpty());

    // Back to the plain list, still sorted; the footers never depend on it.
    m_grid->GroupBy({});
    QCOMPARE(Model()->rowCount(), 5);
    QVERIFY(panel->findChild<QLabel *>("GroupPanelText")->isVisibleTo(panel));
    QCOMPARE(m_grid->FooterText("Price"), QStringLiteral("合计：116.75"));
}

void TestDataGrid::followsSourceChanges_data()
{
    QTest::addColumn<QString>("groupField");
    QTest::addColumn<QString>("sortField");

    QTest::newRow("plain") << ""
                           << "";
    QTest::newRow("sorted") << ""
                            << "Name";
    QTest::newRow("grouped") << "Category"
                             << "";
    QTest::newRow("grouped and sorted") << "Category"
                                        << "Price";
}

// Every change of the query, followed in place, leaves the grid as a grid
// freshly built on the same rows would show them.
void TestDataGrid::followsSourceChanges()
{
    QFETCH(QString, groupField);
    QFETCH(QString, sortField);

    AddDiscs(FiveDiscs);
    QAbstractItemModelTester tester(Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_grid->SortBy(sortField, Qt::DescendingOrder);
    m_grid->GroupBy(groupField);
    m_q->Open();

    TDataGrid fresh;
    fresh.SetColumns(DiscColumns());
    fresh.SetGroupSummary(QStringLiteral("小计：%1"), QStringLiteral("Price"), QStringLiteral("小计：%1"), 0);
    auto expect = [&](const char *step) {
        TDAODataSource source;
        source.SetDataSet(m_q.get());
        fresh.SetDataSource(&source);
        fresh.SortBy(sortField, Qt::DescendingOrder);
        fresh.GroupBy(groupField);
        const QString wanted = Shown(*fresh.View()->model());
        fresh.SetDataSource(nullptr);
        if (Shown(*Model()) != wanted)
            qWarning("after %s", step);
        QCOMPARE(Shown(*Model()), wanted);
        QCOMPARE(m_grid->FooterText("Serial"), QStringLiteral("总数：%1").arg(m_q->RowCount()));
    };
    auto write = [&](const char *field, const QVariant &value) {
        m_q->Edit();
        m_q->Field(field).SetValue(value);
        m_q->Post();
    };

    m_q->Append(); // a disc of a category no row had
    m_q->Field("Name").SetAsString(QStringLiteral("新光盘"));
    m_q->Field("CId").SetValue(3);
    m_q->Field("Price").SetValue(5.5);
    m_q->Post();
    expect("a new category");
    m_q->Append();
    m_q->Field("Name").SetAsString(QStringLiteral("第二张"));
    m_q->Field("CId").SetValue(1);
    m_q->Post();
    expect("another disc of a category");
    QVERIFY(m_q->Locate("Name", QStringLiteral("Alpha")));
    write("Name", QStringLiteral("中文名"));
    expect("a renamed disc");
    write("Price", 50);
    expect("a new price");
    write("CId", 2);
    expect("the only disc without a category moved into one");
    QVERIFY(m_q->Locate("Name", QStringLiteral("新光盘")));
    m_q->Delete();
    expect("the last disc of a category deleted");
    m_q->First();
    m_q->Delete();
    expect("a disc deleted");
    {
        TDAOSuspendGuard guard(*m_q);
        m_q->First();
        m_q->Delete();
        m_q->Delete();
    }
    expect("discs deleted in one go");
    m_q->Close();
    expect("closed");
    m_q->Open();
    expect("opened again");
}

void TestDataGrid::selectionAndCursor()
{
    AddDiscs(FiveDiscs);
    m_q->Open();
    QAbstractItemModelTester tester(Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_grid->resize(700, 300);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    QTreeView *view = m_grid->View();
    m_grid->SortBy("Name", Qt::AscendingOrder);                       // Alpha;bravo;办公软件;红楼梦;西游记
    QCOMPARE(NameAt(view->currentIndex()), QStringLiteral("西游记")); // the query's first row

    auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        const QRect rect = view->visualRect(Model()->index(row, CodeColumn));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rect.center());
    };
    click(1, {});
    QCOMPARE(m_q->Field("Name").AsString(), QStringLiteral("bravo")); // the cursor follows the view
    click(3, Qt::ControlModifier);
    click(4, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_q->Field("Name").AsString(), QStringLiteral("西游记"));
    QCOMPARE(m_grid->SelectedCount(), 3);

    const QList<TBookmark> selected = m_grid->SelectedBookmarks();
    QByteArray payload;
    for (TBookmark bookmark : selected)
        payload += (payload.isEmpty() ? "" : ",") + QByteArray::number(bookmark);
    const std::unique_ptr<QMimeData> mime(static_cast<TGridView *>(view)->RowsMimeData());
    QCOMPARE(mime->data(TDataGrid::RowsMimeType), payload);
    // A new order keeps the selection, handed over in the new order.
    m_grid->SortBy("Name", Qt::DescendingOrder);
    const QList<TBookmark> resorted = m_grid->SelectedBookmarks();

    QStringList names;
    for (TBookmark bookmark : selected)
        names << NameOf(bookmark); // moves the cursor, and so the selection
    QCOMPARE(names, QStringList({"bravo", "红楼梦", "西游记"}));
    names.clear();
    for (TBookmark bookmark : resorted)
        names << NameOf(bookmark);
    QCOMPARE(names, QStringList({"西游记", "红楼梦", "bravo"}));

    // The view follows the query's cursor, in a closed group too.
    QVERIFY(m_q->Locate("Code", QStringLiteral("20")));
    QCOMPARE(NameAt(view->currentIndex()), QStringLiteral("Alpha"));
    QCOMPARE(m_grid->SelectedCount(), 1);
    m_grid->GroupBy("Category");
    QCOMPARE(NameAt(view->currentIndex()), QStringLiteral("Alpha")); // kept through grouping
    QVERIFY(m_q->Locate("Name", QStringLiteral("红楼梦")));
    QCOMPARE(NameAt(view->currentIndex()), QStringLiteral("红楼梦"));
    QVERIFY(view->isExpanded(view->currentIndex().parent()));
    QCOMPARE(m_grid->SelectedBookmarks(), QList<TBookmark>{m_q->Bookmark()});

    // A click on a group row leaves the cursor where it was; double clicks
    // on rows are reported, on groups not.
    QSignalSpy doubleClicks(m_grid.get(), &TDataGrid::DoubleClicked);
    auto doubleClick = [&](const QPoint &at) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at); // a double click's first press
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    };
    const QPoint group = view->visualRect(Model()->index(0, CodeColumn)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, group);
    QCOMPARE(m_q->Field("Name").AsString(), QStringLiteral("红楼梦"));
    doubleClick(group);
    QCOMPARE(doubleClicks.count(), 0);
    doubleClick(view->visualRect(Model()->IndexOfSourceRow(m_q->CurrentRow(), CodeColumn)).center());
    QCOMPARE(doubleClicks.count(), 1);

    m_grid->ClearSelection();
    QCOMPARE(m_grid->SelectedCount(), 0);
    QVERIFY(m_grid->SelectedBookmarks().isEmpty());
    QVERIFY(!static_cast<TGridView *>(view)->RowsMimeData());
}

void TestDataGrid::headerClickSortsAndColumnsShareWidth()
{
    AddDiscs(FiveDiscs);
    m_q->Open();
    m_grid->resize(700, 300);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    QHeaderView *header = m_grid->View()->header();
    const int viewport = m_grid->View()->viewport()->width();

    auto clickHeader = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    clickHeader(NameColumn);
    QCOMPARE(Shown(*Model()), QStringLiteral("Alpha;bravo;办公软件;红楼梦;西游记"));
    clickHeader(NameColumn);
    QCOMPARE(Shown(*Model()), QStringLiteral("西游记;红楼梦;办公软件;bravo;Alpha"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // The shown columns fill the width in proportion: 80 80 80 160 80 70.
    QCOMPARE(TotalWidth(header), viewport);
    QVERIFY(qAbs(header->sectionSize(NameColumn) - 2 * header->sectionSize(CodeColumn)) <= 2);
    // A column made wider takes the width from its right neighbour.
    const int code = header->sectionSize(CodeColumn);
    const int name = header->sectionSize(NameColumn);
    header->resizeSection(CodeColumn, code + 30);
    QCOMPARE(header->sectionSize(NameColumn), name - 30);
    QCOMPARE(TotalWidth(header), viewport);
    // Grouped, the first column makes room for the rows' indent.
    const int serial = header->sectionSize(SerialColumn);
    m_grid->GroupBy("Category");
    QVERIFY(header->sectionSize(SerialColumn) > serial);
    QCOMPARE(TotalWidth(header), viewport);
    // A wider grid keeps the shares the user made.
    m_grid->resize(1400, 300);
    QTRY_VERIFY(m_grid->View()->viewport()->width() > viewport);
    QCOMPARE(TotalWidth(header), m_grid->View()->viewport()->width());
    QVERIFY(header->sectionSize(CodeColumn) > header->sectionSize(DayColumn));
}

void TestDataGrid::layoutRoundTrip()
{
    // The grid keeps its layout in whatever group its owner hands it.
    const QTemporaryDir dir;
    QSettings settings(dir.filePath("layouts.ini"), QSettings::IniFormat);
    settings.beginGroup("Layouts");
    AddDiscs(FiveDiscs);
    m_q->Open();
    QHeaderView *header = m_grid->View()->header();
    header->moveSection(header->visualIndex(NameColumn), 0);
    m_grid->SortBy("Price", Qt::DescendingOrder);
    m_grid->GroupBy("Category");
    header->resizeSection(CodeColumn, header->sectionSize(CodeColumn) + 20);
    const QList<TGridColumn> columns = m_grid->Columns();
    m_grid->SaveLayout(settings, "dgCd");

    TDataGrid restored;
    restored.SetColumns(DiscColumns());
    restored.SetGroupSummary(QStringLiteral("小计：%1"), QStringLiteral("Price"), QStringLiteral("小计：%1"), 0);
    restored.SetDataSource(m_source.get());
    restored.RestoreLayout(settings, "dgCd");
    QCOMPARE(FieldOrder(restored), QStringList({"Name", "Serial", "Day", "Code", "Category", "Price"}));
    QCOMPARE(restored.GroupedBy(), QStringLiteral("Category"));
    QCOMPARE(Shown(*restored.View()->model()), Shown(*Model()));
    for (int i = 0; i < columns.size(); ++i)
        QCOMPARE(restored.Columns().at(i).Width, columns.at(i).Width);

    // A layout naming fields the grid does not have: the known ones take
    // their places, the rest is ignored.
    settings.setValue("dgCd/Columns", "Gone,Price,Code");
    settings.setValue("dgCd/Widths", "10,abc,90");
    settings.setValue("dgCd/SortField", "Gone");
    settings.setValue("dgCd/GroupField", "Nothing");
    settings.sync();
    TDataGrid other;
    other.SetColumns(DiscColumns());
    other.SetDataSource(m_source.get());
    other.RestoreLayout(settings, "dgCd");
    QCOMPARE(FieldOrder(other), QStringList({"Price", "Code", "Serial", "Day", "Name", "Category"}));
    QCOMPARE(other.GroupedBy(), QString());
    QCOMPARE(Shown(*other.View()->model()), QStringLiteral("西游记;红楼梦;办公软件;Alpha;bravo"));
    QCOMPARE(other.Columns().at(3).Width, 90); // Code
    QCOMPARE(other.Columns().at(6).Width, 70); // Price: its stored width was no number
}

// Columns of few distinct texts are ranked text by text, columns of many
// row by row: both give the same order, and the keys follow later changes.
void TestDataGrid::textKeysAgreeForFewAndManyTexts()
{
    const QStringList texts = {"西游记", "Zebra", "alpha", "ALPHA", "10号", "2号", "", "红楼梦", "办公"};
    const QStringList sorted = {"", "2号", "10号", "alpha", "Zebra", "办公", "红楼梦", "西游记"};
    QStringList many = texts;
    for (int i = 0; i < 5000; ++i)
        many << QStringLiteral("填充%1").arg(i);
    for (const QStringList &column : {texts, many}) {
        QStringListModel model(column);
        TGridKeys keys;
        keys.Build(model, 0, Qt::DisplayRole);
        auto keyOf = [&](const QString &text) { return keys.At(int(column.indexOf(text))); };
        QCOMPARE(keyOf("alpha"), keyOf("ALPHA"));
        for (int i = 1; i < sorted.size(); ++i)
            QVERIFY2(keyOf(sorted.at(i - 1)) < keyOf(sorted.at(i)), qPrintable(sorted.at(i)));

        keys.Insert(0);
        bool changed = false;
        QVERIFY(keys.Set(0, QStringLiteral("红楼梦"), &changed));
        QVERIFY(changed);
        QCOMPARE(keys.At(0), keys.At(int(column.indexOf("红楼梦")) + 1)); // the others moved down a row
        QVERIFY(!keys.Set(0, QStringLiteral("没有的")));
        keys.Remove(0);
        QCOMPARE(keys.Size(), int(column.size()));
    }
}

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
