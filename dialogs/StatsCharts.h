#pragma once

#include "store/catalog/CatalogStats.h"

#include <QList>
#include <QString>

class QWidget;

// The charts of the statistics window's pages, shaped by the number of
// groups: a few as columns; many as horizontal bars with their full names,
// the largest first; years spread wide as decades, many years as a line.
namespace StatsCharts {

// Up to this many groups are drawn as columns.
inline constexpr int FewGroups = 8;
// A chart of many groups shows this many bars; the rest are gathered in one.
inline constexpr int MostBars = 20;
// Years that span more than this are counted by decade.
inline constexpr int YearsByDecade = 30;

// A bar as charted: its group (or the groups gathered into it) and what its
// tooltip calls it.
struct TGroup
{
    CatalogStats::TBar Bar;
    QString Name;
    bool Gathered = false; // the groups beyond the chart's bars
};

enum class TMeasure { Discs, Value };

// Many groups as bars, the largest by the measure first; the groups beyond
// the first `most` gathered into one bar "其他（N 项）"; the leftover group
// ("（无分类）", ...) last and never gathered.
QList<TGroup> Ranked(const QList<CatalogStats::TBar> &bars, TMeasure measure, int most = MostBars);

// Years (labelled by number, in order) counted by decade, "1990年代"; the
// leftover group last.
QList<TGroup> ByDecade(const QList<CatalogStats::TBar> &years);

// A bar's tooltip: its name, its discs and value, and their shares of the
// totals.
QString ToolTip(const TGroup &group, qint64 discs, TCurrency value);

// The two charts of one page (discs and value); "kind" names the grouping
// in the titles ("分类"). Years are drawn by their own rules.
QWidget *ChartPage(const QString &kind, const QList<CatalogStats::TBar> &bars, QWidget *parent);
QWidget *YearPage(const QList<CatalogStats::TBar> &years, QWidget *parent);

} // namespace StatsCharts
