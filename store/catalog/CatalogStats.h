#pragma once

#include "store/engine/DAOTypes.h"

#include <QList>
#include <QString>

class TDAODatabase;

// The figures of the statistics window, counted by the catalog itself.
namespace CatalogStats {

// One bar: the discs of a group and their value (the sum of their prices).
struct TBar
{
    QString Label;
    qint64 Discs = 0;
    TCurrency Value = 0;
    // The discs that lack the value ("（无分类）", "（无日期）",
    // "（目录树外）"): not a group of the list, so charts keep it apart.
    bool Leftover = false;
};

struct TStats
{
    qint64 Discs = 0;
    TCurrency Value = 0;
    qint64 Folders = 0; // the root not counted

    // Categories and folders by their number of discs, the most first;
    // grades in the order they were entered; years in order. A group of
    // discs without the value ("（无分类）", ...) comes last. A disc has no
    // year when its date is empty or the zero day (1899-12-30, what an empty
    // date was once stored as).
    QList<TBar> ByCategory;
    QList<TBar> ByQuality;
    QList<TBar> ByYear;
    // Each top-level folder with the discs of its whole subtree; the discs
    // directly in the root as "主目录"; discs of folders that do not lead to
    // the root (a missing parent or a loop) as "（目录树外）".
    QList<TBar> ByFolder;
};

inline constexpr const char *NoCategory = "（无分类）";
inline constexpr const char *NoQuality = "（无质量）";
inline constexpr const char *NoYear = "（无日期）";
inline constexpr const char *RootFolder = "主目录";
inline constexpr const char *OutsideTree = "（目录树外）";

// Reads every figure from the open catalog in one pass over the discs, each
// disc counted into its category, grade, year and folder at once.
TStats Read(TDAODatabase &db);

} // namespace CatalogStats
