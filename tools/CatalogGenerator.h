#pragma once

#include "store/catalog/Schema.h"

#include <QString>
#include <QtGlobal>

// Writes catalogs full of made-up but plausible discs, for the benchmarks and
// for tests that need a large file. The same seed always gives the same file
// content.
namespace CatalogGenerator {

// Folders under the root, the root not counted; their IDs run from 2 to
// folders + 1. TopFolderCount of them lie directly below the root; the
// next ones, up to 9 under each top folder, are named by year; any beyond
// FolderCount make a third level, spread evenly under the year folders.
// The default FolderCount gives 20 top folders with 9 year folders each.
inline constexpr int TopFolderCount = 20;
inline constexpr int YearsPerTopFolder = 9;
inline constexpr int FolderCount = 200;
inline constexpr int CategoryCount = 20; // TbCategory.Id 1..20
inline constexpr int QualityCount = 5;   // TbQuality.Id 1..5

// Disc i (1-based, i <= discs) gets ID i and the code QString::number(i);
// names are 2 to 10 characters of common Chinese words, within 20 GBK
// bytes. The Build1.01 and Build1.02 layouts also get Spell = GetSpell(Name); the
// Build1.00 layout has no Spell or Picture column. About 15 % of the discs
// lie in a top folder, the rest in the folders below them (with only top
// folders, all in those; with no folder at all, in the root). Fails when
// the file exists, or when folders is negative.
void GenerateCatalog(const QString &path, int discs, Schema::Layout layout, quint32 seed = 1,
                     int folders = FolderCount);

} // namespace CatalogGenerator
