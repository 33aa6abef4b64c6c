// The statistics window with many groups: horizontal bars with full names,
// values and tooltips, the largest first and the rest gathered; years by
// decade when they span long, as a line when there are many; discs without a
// date never counted in a year. A few groups keep their columns.
#include "dialogs/StatsCharts.h"
#include "dialogs/StatsForm.h"
#include "store/catalog/CatalogStats.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DateUtils.h"
#include "tests/support/CatalogFixture.h"
#include "toolkit/HBarChart.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineSeries>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

using CatalogStats::TBar;
using StatsCharts::TMeasure;

namespace {

TBar Bar(const QString &label, qint64 discs, qint64 yuan, bool leftover = false)
{
    return {label, discs, yuan * Currency::Scale, leftover};
}

QStringList Labels(const QList<StatsCharts::TGroup> &groups)
{
    QStringList labels;
    for (const StatsCharts::TGroup &group : groups)
        labels << group.Bar.Label;
    return labels;
}

// The categories of a column chart's axis, the first on the page.
QStringList ColumnLabels(QWidget *page)
{
    const auto views = page->findChildren<QChartView *>();
    if (views.isEmpty())
        return {};
    const auto axes = views.first()->chart()->axes(Qt::Horizontal);
    auto *axis = axes.isEmpty() ? nullptr : qobject_cast<QBarCategoryAxis *>(axes.first());
    return axis ? axis->categories() : QStringList();
}

// 27 categories, one with a long name; category n holds 28 - n discs over the
// years 1965 to 2024, of three grades, some without a price. Eight discs have
// no date (four NULL, four the zero day once written for an empty date);
// three more have no category.
void FillCatalog(TDAODatabase &db)
{
    QStringList categories, discs;
    for (int c = 1; c <= 27; ++c)
        categories << QStringLiteral("(%1, '%2')")
                          .arg(c)
                          .arg(c == 5 ? QStringLiteral("世界经典纪录片与自然科学") : QStringLiteral("分类%1").arg(c));
    int id = 0;
    for (int c = 1; c <= 27; ++c) {
        for (int n = 0; n < 28 - c; ++n) {
            ++id;
            const double day = DateUtils::ToDays(QDate(1965 + id % 60, 1 + id % 12, 1));
            discs << QStringLiteral("(%1, %2, %3, %4, 1, %5)")
                         .arg(id)
                         .arg(c)
                         .arg(day)
                         .arg(id % 5 == 0 ? QStringLiteral("NULL") : QString::number(10 + id % 7))
                         .arg(1 + id % 3);
        }
    }
    discs << QStringLiteral("(1001, NULL, 40000, 5, 1, 1), (1002, NULL, 40000, 5, 1, 1), (1003, 99, 40000, 5, 1, 1)");
    db.Exec(QStringLiteral("INSERT INTO TbQuality (Id, Name) VALUES (1, '全新'), (2, '良好'), (3, '一般')"));
    db.Exec(QStringLiteral("INSERT INTO TbCategory (Id, Name) VALUES ") + categories.join(u','));
    db.Exec(QStringLiteral("INSERT INTO TbCd (ID, CId, Day, Price, TId, QId) VALUES ") + discs.join(u','));
    db.Exec(QStringLiteral("UPDATE TbCd SET Day=NULL WHERE ID BETWEEN 1 AND 4"));
    db.Exec(QStringLiteral("UPDATE TbCd SET Day=0 WHERE ID BETWEEN 5 AND 8"));
}

// Asks the chart for the tooltip of a bar's row, as the pointer resting there
// would.
QString ToolTipShown(THBarChart *chart, int index)
{
    const QPoint at = chart->RowRect(index).center();
    QHelpEvent help(QEvent::ToolTip, at, chart->mapToGlobal(at));
    QApplication::sendEvent(chart, &help);
    return QToolTip::text();
}

} // namespace

class TestStatsForm : public QObject
{
    Q_OBJECT

private slots:
    void rankedGathersTheRest();
    void yearsByDecade();
    void manyYearsAsALine();
    void catalogOfManyCategoriesAndYears();
};

void TestStatsForm::rankedGathersTheRest()
{
    // Discs rise with the number, values fall: each chart has its own order.
    QList<TBar> bars;
    for (int i = 1; i <= 27; ++i)
        bars << Bar(QStringLiteral("分类%1").arg(i, 2, 10, QLatin1Char('0')), i, 28 - i);
    bars << Bar(QStringLiteral("（无分类）"), 100, 1000, true);

    const QList<StatsCharts::TGroup> byDiscs = StatsCharts::Ranked(bars, TMeasure::Discs);
    QCOMPARE(byDiscs.size(), 20 + 2);
    QCOMPARE(byDiscs.first().Bar.Label, QStringLiteral("分类27"));
    QCOMPARE(byDiscs.at(19).Bar.Label, QStringLiteral("分类08"));
    const StatsCharts::TGroup rest = byDiscs.at(20);
    QVERIFY(rest.Gathered);
    QCOMPARE(rest.Bar.Label, QStringLiteral("其他（7 项）"));
    QCOMPARE(rest.Bar.Discs, 1 + 2 + 3 + 4 + 5 + 6 + 7);
    QCOMPARE(rest.Bar.Value, (21 + 22 + 23 + 24 + 25 + 26 + 27) * Currency::Scale);
    QVERIFY2(rest.Name.contains(QStringLiteral("分类07")) && rest.Name.contains(QStringLiteral("分类01")),
             qPrintable(rest.Name));
    // The discs without a category stay apart, last, however many they are.
    QCOMPARE(byDiscs.last().Bar.Label, QStringLiteral("（无分类）"));
    QVERIFY(!byDiscs.last().Gathered);

    const QList<StatsCharts::TGroup> byValue = StatsCharts::Ranked(bars, TMeasure::Value);
    QCOMPARE(byValue.first().Bar.Label, QStringLiteral("分类01"));
    QCOMPARE(byValue.at(20).Bar.Label, QStringLiteral("其他（7 项）"));

    // One group beyond the limit is shown itself, not gathered alone.
    const QList<StatsCharts::TGroup> one = StatsCharts::Ranked(bars.mid(0, 21), TMeasure::Discs);
    QCOMPARE(one.size(), 21);
    QCOMPARE(one.last().Bar.Label, QStringLiteral("分类01"));
    QVERIFY(!one.last().Gathered);

    QCOMPARE(StatsCharts::ToolTip(byDiscs.first(), 478, 0),
             QStringLiteral("分类27\n光盘：27 张（5.6%）\n价值：1.00 元"));
}

void TestStatsForm::yearsByDecade()
{
    QList<TBar> years;
    for (int year = 1965; year <= 2024; ++year)
        years << Bar(QString::number(year), 1, 2);
    years << Bar(QStringLiteral("（无日期）"), 9, 1, true);

    const QList<StatsCharts::TGroup> decades = StatsCharts::ByDecade(years);
    QCOMPARE(Labels(decades),
             (QStringList{QStringLiteral("1960年代"), QStringLiteral("1970年代"), QStringLiteral("1980年代"),
                          QStringLiteral("1990年代"), QStringLiteral("2000年代"), QStringLiteral("2010年代"),
                          QStringLiteral("2020年代"), QStringLiteral("（无日期）")}));
    QCOMPARE(decades.first().Bar.Discs, 5);
    QCOMPARE(decades.at(1).Bar.Discs, 10);
    QCOMPARE(decades.at(1).Bar.Value, 20 * Currency::Scale);
    QCOMPARE(decades.at(1).Name, QStringLiteral("1970–1979年"));
    QCOMPARE(decades.last().Bar.Discs, 9);

    // Seven decades and the undated: few enough for columns.
    std::unique_ptr<QWidget> page(StatsCharts::YearPage(years, nullptr));
    QCOMPARE(ColumnLabels(page.get()), Labels(decades));
}

void TestStatsForm::manyYearsAsALine()
{
    // Twelve years, one of them without discs, and discs without a date.
    QList<TBar> years;
    for (int year = 2001; year <= 2012; ++year) {
        if (year != 2005)
            years << Bar(QString::number(year), year - 2000, 10);
    }
    years << Bar(QStringLiteral("（无日期）"), 3, 45, true);

    std::unique_ptr<QWidget> page(StatsCharts::YearPage(years, nullptr));
    const auto lines = page->findChildren<QChartView *>();
    QCOMPARE(lines.size(), 2);
    auto *discs = qobject_cast<QLineSeries *>(lines.first()->chart()->series().value(0));
    QVERIFY(discs);
    const QList<QPointF> points = discs->points();
    QCOMPARE(points.size(), 12);
    QCOMPARE(points.first(), QPointF(2001, 1));
    QCOMPARE(points.at(4), QPointF(2005, 0));
    QCOMPARE(points.last(), QPointF(2012, 12));
    auto *note = page->findChild<QLabel *>(QStringLiteral("lbUndated"));
    QVERIFY(note);
    QCOMPARE(note->text(), QStringLiteral("另有 3 张光盘没有日期（价值 45.00 元），未画入图中。"));
}

void TestStatsForm::catalogOfManyCategoriesAndYears()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    FillCatalog(db);
    const CatalogStats::TStats stats = CatalogStats::Read(db);
    QCOMPARE(stats.Discs, 27 * 28 / 2 + 3);
    QCOMPARE(stats.ByYear.first().Label, QStringLiteral("1965"));
    QCOMPARE(stats.ByYear.last().Label, QStringLiteral("（无日期）"));
    QCOMPARE(stats.ByYear.last().Discs, 8);

    TStatsForm form(stats, QStringLiteral("测试"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Categories: the discs and the value side by side, each with twenty
    // bars, the rest gathered and the discs without a category last; every
    // name in full and every row with its tooltip.
    QWidget *categories = form.pcCharts->widget(0);
    form.pcCharts->setCurrentWidget(categories);
    const auto charts = categories->findChildren<THBarChart *>();
    QCOMPARE(charts.size(), 2);
    for (THBarChart *chart : charts) {
        QCOMPARE(chart->Bars().size(), 22);
        QCOMPARE(chart->Bars().at(20).Label, QStringLiteral("其他（7 项）"));
        QCOMPARE(chart->Bars().last().Label, QStringLiteral("（无分类）"));
        for (int i = 0; i < chart->Bars().size(); ++i) {
            const THBarChart::TBar &bar = chart->Bars().at(i);
            QCOMPARE(chart->LabelShown(i), bar.Label);
            QVERIFY(!bar.ValueText.isEmpty());
            QCOMPARE(chart->BarAt(chart->RowRect(i).center()), i);
        }
    }
    THBarChart *discs = charts.first();
    QCOMPARE(discs->Title(), QStringLiteral("按分类的光盘数"));
    QCOMPARE(discs->Bars().first().Label, QStringLiteral("分类1"));
    QCOMPARE(discs->Bars().first().ValueText, QStringLiteral("27"));
    QCOMPARE(discs->Bars().at(4).Label, QStringLiteral("世界经典纪录片与自然科学"));
    QCOMPARE(ToolTipShown(discs, 4), discs->Bars().at(4).ToolTip);
    QVERIFY(ToolTipShown(discs, 20).startsWith(QStringLiteral("其他 7 项：")));

    // Sixty years by decade, the undated apart; none in 1899.
    const QStringList years = ColumnLabels(form.pcCharts->widget(2));
    QCOMPARE(years.first(), QStringLiteral("1960年代"));
    QCOMPARE(years.size(), 7 + 1);
    QCOMPARE(years.last(), QStringLiteral("（无日期）"));

    // The few grades keep their columns, each with a tooltip.
    QWidget *grades = form.pcCharts->widget(1);
    QVERIFY(grades->findChildren<THBarChart *>().isEmpty());
    QCOMPARE(ColumnLabels(grades).size(), stats.ByQuality.size());
    auto *series = qobject_cast<QBarSeries *>(grades->findChild<QChartView *>()->chart()->series().value(0));
    QVERIFY(series);
    // Their values above the columns are not written white on the white.
    QVERIFY(series->isLabelsVisible());
    QVERIFY(series->barSets().first()->labelColor().toRgb() != QColor(Qt::white));
    form.pcCharts->setCurrentWidget(grades);
    emit series->barSets().first()->hovered(true, 0);
    QVERIFY2(QToolTip::text().startsWith(stats.ByQuality.first().Label + QLatin1Char('\n')),
             qPrintable(QToolTip::text()));
}

QTEST_MAIN(TestStatsForm)
#include "tst_statsform.moc"
