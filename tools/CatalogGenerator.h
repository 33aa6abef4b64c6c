#pragma once

#include "Schema.h"

#include <QString>
#include <QtGlobal>

// Writes catalogs full of made-up but plausible discs, for the benchmarks and
// for tests that need a large file. The same seed always gives the same file
// content.
namespace CatalogGenerator {

// Folders under the root: TopFolderCount of them directly below it, each
// with the same number of subfolders, FolderCount in all (the root not
// counted). Folder IDs run from 2 to FolderCount + 1.
inline constexpr int TopFolderCount = 20;
inline constexpr int FolderCount = 200;
inline constexpr int CategoryCount = 20; // TbCategory.Id 1..20
inline constexpr int QualityCount = 5;   // TbQuality.Id 1..5

// Disc i (1-based, i <= discs) gets ID i and the code QString::number(i);
// names are 2 to 10 characters of common Chinese words, within 20 GBK
// bytes. The Build1.01 layout also gets Spell = GetSpell(Name); the
// Build1.00 layout has no Spell or Picture column. Fails when the file
// exists.
void GenerateCatalog(const QString &path, int discs, Schema::Layout layout, quint32 seed = 1);

} // namespace CatalogGenerator
