#include "dialogs/StatsCharts.h"

#include "toolkit/GridFormat.h"
#include "toolkit/HBarChart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace StatsCharts {

using CatalogStats::TBar;

namespace {

// The names a gathered bar's tooltip lists before "等".
constexpr int GatheredNamesListed = 12;

const QColor DiscsColor(0x3A, 0x7B, 0xC8);
const QColor ValueColor(0xE0, 0x8A, 0x2E);
const QColor LabelColor(0x30, 0x30, 0x30);

struct TTotals
{
    qint64 Discs = 0;
    TCurrency Value = 0;
};

TTotals TotalsOf(const QList<TBar> &bars)
{
    TTotals totals;
    for (const TBar &bar : bars) {
        totals.Discs += bar.Discs;
        totals.Value += bar.Value;
    }
    return totals;
}

double Measure(const TBar &bar, TMeasure measure)
{
    return measure == TMeasure::Value ? Currency::ToDouble(bar.Value) : double(bar.Discs);
}

QString MeasureText(const TBar &bar, TMeasure measure)
{
    return measure == TMeasure::Value ? GridFormat::FixedScaled(bar.Value, 2) : QString::number(bar.Discs);
}

QString ChartTitle(const QString &kind, TMeasure measure)
{
    return measure == TMeasure::Value ? QStringLiteral("按%1的价值").arg(kind)
                                      : QStringLiteral("按%1的光盘数").arg(kind);
}

QList<TGroup> AsGroups(const QList<TBar> &bars)
{
    QList<TGroup> groups;
    for (const TBar &bar : bars)
        groups.append({bar, bar.Label});
    return groups;
}

QString Share(qint64 part, qint64 whole)
{
    return whole > 0 ? QStringLiteral("（%1%）").arg(QString::number(100.0 * double(part) / double(whole), 'f', 1))
                     : QString();
}

QWidget *EmptyPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);
    auto *empty = new QLabel(QStringLiteral("光盘夹里还没有光盘。"), page);
    empty->setAlignment(Qt::AlignCenter);
    layout->addWidget(empty);
    return page;
}

// A few groups as columns, each with its value above it and a tooltip.
QChartView *ColumnChart(const QString &title, const QList<TGroup> &groups, TMeasure measure, const TTotals &totals,
                        QWidget *parent)
{
    const bool values = measure == TMeasure::Value;
    auto *set = new QBarSet(values ? QStringLiteral("价值（元）") : QStringLiteral("光盘（张）"));
    QStringList labels, tips;
    double top = 0;
    for (const TGroup &group : groups) {
        const double y = Measure(group.Bar, measure);
        *set << y;
        top = std::max(top, y);
        labels << group.Bar.Label;
        tips << ToolTip(group, totals.Discs, totals.Value);
    }
    set->setColor(values ? ValueColor : DiscsColor);
    // The theme writes bar labels in white, for inside the bar: above it
    // they would not be seen.
    set->setLabelColor(LabelColor);
    auto *series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    series->setLabelsPrecision(values ? 12 : 10);

    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setVisible(false);
    chart->addSeries(series);
    auto *x = new QBarCategoryAxis;
    x->append(labels);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto *y = new QValueAxis;
    y->setRange(0, top > 0 ? top * 1.15 : 1);
    y->applyNiceNumbers();
    y->setLabelFormat(values ? QStringLiteral("%.2f") : QStringLiteral("%d"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);

    auto *view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(220);
    QObject::connect(set, &QBarSet::hovered, view, [view, tips](bool over, int index) {
        if (over && index >= 0 && index < tips.size())
            QToolTip::showText(QCursor::pos(), tips.at(index), view);
        else
            QToolTip::hideText();
    });
    return view;
}

// Many groups as horizontal bars, in the order given.
THBarChart *BarChart(const QString &title, const QList<TGroup> &groups, TMeasure measure, const TTotals &totals,
                     QWidget *parent)
{
    QList<THBarChart::TBar> bars;
    for (const TGroup &group : groups)
        bars.append({group.Bar.Label, Measure(group.Bar, measure), MeasureText(group.Bar, measure),
                     ToolTip(group, totals.Discs, totals.Value), group.Bar.Leftover || group.Gathered});
    auto *chart = new THBarChart(parent);
    chart->SetTitle(title);
    chart->SetColor(measure == TMeasure::Value ? ValueColor : DiscsColor);
    chart->SetBars(bars);
    return chart;
}

// Years from the first to the last as a line, the years without discs at
// zero; a tooltip for the year under the pointer.
QChartView *LineChart(const QString &title, const QList<TBar> &years, TMeasure measure, const TTotals &totals,
                      QWidget *parent)
{
    QHash<int, TGroup> byYear;
    for (const TBar &bar : years)
        byYear.insert(bar.Label.toInt(), {bar, bar.Label});
    const int first = years.first().Label.toInt();
    const int last = years.last().Label.toInt();

    auto *series = new QLineSeries;
    series->setColor(measure == TMeasure::Value ? ValueColor : DiscsColor);
    series->setPointsVisible(true);
    double top = 0;
    for (int year = first; year <= last; ++year) {
        const double y = byYear.contains(year) ? Measure(byYear.value(year).Bar, measure) : 0.0;
        series->append(year, y);
        top = std::max(top, y);
    }

    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setVisible(false);
    chart->addSeries(series);
    auto *x = new QValueAxis;
    x->setRange(first, std::max(last, first + 1));
    x->setLabelFormat(QStringLiteral("%d"));
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(first);
    x->setTickInterval(last - first > 20 ? 5 : last - first > 10 ? 2 : 1);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto *y = new QValueAxis;
    y->setRange(0, top > 0 ? top * 1.15 : 1);
    y->applyNiceNumbers();
    y->setLabelFormat(measure == TMeasure::Value ? QStringLiteral("%.2f") : QStringLiteral("%d"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);

    auto *view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(220);
    QObject::connect(series, &QLineSeries::hovered, view, [view, byYear, totals](const QPointF &point, bool over) {
        if (!over) {
            QToolTip::hideText();
            return;
        }
        const int year = int(std::lround(point.x()));
        TGroup group = byYear.value(year, {TBar{QString::number(year)}, QString::number(year)});
        QToolTip::showText(QCursor::pos(), ToolTip(group, totals.Discs, totals.Value), view);
    });
    return view;
}

// A page whose two charts of the same kind (discs, value) stand one above
// the other (columns, lines) or side by side (bars).
QWidget *Page(QWidget *first, QWidget *second, bool sideBySide, QWidget *parent)
{
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    QBoxLayout *charts = layout;
    if (sideBySide) {
        charts = new QHBoxLayout;
        layout->addLayout(charts, 1);
    }
    charts->addWidget(first, 1);
    charts->addWidget(second, 1);
    return page;
}

QWidget *ColumnsPage(const QString &kind, const QList<TGroup> &groups, const TTotals &totals, QWidget *parent)
{
    return Page(ColumnChart(ChartTitle(kind, TMeasure::Discs), groups, TMeasure::Discs, totals, nullptr),
                ColumnChart(ChartTitle(kind, TMeasure::Value), groups, TMeasure::Value, totals, nullptr), false,
                parent);
}

QWidget *BarsPage(const QString &kind, const QList<TGroup> &byDiscs, const QList<TGroup> &byValue,
                  const TTotals &totals, QWidget *parent)
{
    return Page(BarChart(ChartTitle(kind, TMeasure::Discs), byDiscs, TMeasure::Discs, totals, nullptr),
                BarChart(ChartTitle(kind, TMeasure::Value), byValue, TMeasure::Value, totals, nullptr), true, parent);
}

} // namespace

QList<TGroup> Ranked(const QList<TBar> &bars, TMeasure measure, int most)
{
    QList<TBar> named, leftover;
    for (const TBar &bar : bars)
        (bar.Leftover ? leftover : named).append(bar);
    const TMeasure other = measure == TMeasure::Value ? TMeasure::Discs : TMeasure::Value;
    std::stable_sort(named.begin(), named.end(), [&](const TBar &a, const TBar &b) {
        if (Measure(a, measure) != Measure(b, measure))
            return Measure(a, measure) > Measure(b, measure);
        if (Measure(a, other) != Measure(b, other))
            return Measure(a, other) > Measure(b, other);
        return a.Label < b.Label;
    });

    // One group left over is shown itself rather than gathered alone.
    const qsizetype shown = named.size() > most + 1 ? most : named.size();
    QList<TGroup> groups = AsGroups(named.mid(0, shown));
    if (shown < named.size()) {
        TGroup rest;
        rest.Gathered = true;
        QStringList names;
        for (const TBar &bar : named.mid(shown)) {
            rest.Bar.Discs += bar.Discs;
            rest.Bar.Value += bar.Value;
            names << bar.Label;
        }
        rest.Bar.Label = QStringLiteral("其他（%1 项）").arg(names.size());
        rest.Name = QStringLiteral("其他 %1 项：%2%3")
                        .arg(names.size())
                        .arg(names.mid(0, GatheredNamesListed).join(QStringLiteral("、")))
                        .arg(names.size() > GatheredNamesListed ? QStringLiteral(" 等") : QString());
        groups.append(rest);
    }
    groups.append(AsGroups(leftover));
    return groups;
}

QList<TGroup> ByDecade(const QList<TBar> &years)
{
    QList<TGroup> groups, leftover;
    for (const TBar &bar : years) {
        if (bar.Leftover) {
            leftover.append({bar, bar.Label});
            continue;
        }
        const int decade = int(std::floor(bar.Label.toInt() / 10.0)) * 10;
        const QString label = QStringLiteral("%1年代").arg(decade);
        if (groups.isEmpty() || groups.last().Bar.Label != label)
            groups.append({TBar{label}, QStringLiteral("%1–%2年").arg(decade).arg(decade + 9)});
        groups.last().Bar.Discs += bar.Discs;
        groups.last().Bar.Value += bar.Value;
    }
    return groups + leftover;
}

QString ToolTip(const TGroup &group, qint64 discs, TCurrency value)
{
    return QStringLiteral("%1\n光盘：%2 张%3\n价值：%4 元%5")
        .arg(group.Name, QString::number(group.Bar.Discs), Share(group.Bar.Discs, discs),
             GridFormat::FixedScaled(group.Bar.Value, 2), Share(group.Bar.Value, value));
}

QWidget *ChartPage(const QString &kind, const QList<TBar> &bars, QWidget *parent)
{
    if (bars.isEmpty())
        return EmptyPage(parent);
    const TTotals totals = TotalsOf(bars);
    if (bars.size() <= FewGroups)
        return ColumnsPage(kind, AsGroups(bars), totals, parent);
    return BarsPage(kind, Ranked(bars, TMeasure::Discs), Ranked(bars, TMeasure::Value), totals, parent);
}

QWidget *YearPage(const QList<TBar> &years, QWidget *parent)
{
    const QString kind = QStringLiteral("年份");
    if (years.isEmpty())
        return EmptyPage(parent);
    const TTotals totals = TotalsOf(years);
    QList<TBar> dated;
    TBar undated;
    for (const TBar &bar : years) {
        if (bar.Leftover)
            undated = bar;
        else
            dated.append(bar);
    }
    const int span = dated.isEmpty() ? 0 : dated.last().Label.toInt() - dated.first().Label.toInt() + 1;

    if (span > YearsByDecade) {
        const QList<TGroup> decades = ByDecade(years);
        if (decades.size() <= FewGroups)
            return ColumnsPage(kind, decades, totals, parent);
        return BarsPage(kind, decades, decades, totals, parent);
    }
    if (years.size() <= FewGroups)
        return ColumnsPage(kind, AsGroups(years), totals, parent);

    QWidget *page =
        Page(LineChart(ChartTitle(kind, TMeasure::Discs), dated, TMeasure::Discs, totals, nullptr),
             LineChart(ChartTitle(kind, TMeasure::Value), dated, TMeasure::Value, totals, nullptr), false, parent);
    if (undated.Discs > 0) {
        auto *note = new QLabel(QStringLiteral("另有 %1 张光盘没有日期（价值 %2 元），未画入图中。")
                                    .arg(undated.Discs)
                                    .arg(GridFormat::FixedScaled(undated.Value, 2)),
                                page);
        note->setObjectName(QStringLiteral("lbUndated"));
        page->layout()->addWidget(note);
    }
    return page;
}

} // namespace StatsCharts
