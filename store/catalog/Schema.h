#pragma once

#include <QString>
#include <QStringList>

// The catalog file's tables, written once: the template catalog, the older
// layout that the upgrade starts from, and the upgrade's own additions all
// come from here.
namespace Schema {

// Every catalog file has this key.
inline constexpr const char *CatalogPassword = "604917";

inline constexpr const char *VersionOld = "Build1.00";
inline constexpr const char *Version101 = "Build1.01";
inline constexpr const char *VersionCurrent = "Build1.02";

// The root folder: ID 1, shown as the top of every folder tree.
inline constexpr int RootFolderId = 1;

// The layouts in the order the upgrades go through them.
enum class Layout { Build100, Build101, Build102 };

// The version text a catalog of the layout keeps in TbSetings.
QString VersionOf(Layout layout);

// CREATE TABLE and CREATE INDEX statements (SQLite) for a layout.
QStringList CreateStatements(Layout layout);

// The tables a catalog of the layout has.
QStringList TableNames(Layout layout);

// One table of the layout, created under the name createAs when given.
QString CreateTableStatement(const QString &table, Layout layout, const QString &createAs = {});
QStringList ColumnNames(const QString &table, Layout layout);

// The width in GBK bytes of a text column of the layout; 0 for a column that
// is no text of a declared width.
int TextWidth(const QString &table, const QString &column, Layout layout = Layout::Build102);

// The tables whose text columns "Build1.02" made wider.
QStringList WidenedTables();

// The indexes "Build1.01" adds for the quick jump, folder listing and code
// check; the upgrade creates them too.
QStringList IndexStatements();
// The indexes of earlier versions that those above replace.
QStringList RetiredIndexStatements();
// How many of the indexes above the catalog has.
QString IndexesPresentStatement();

// The unique index on the codes that are not blank. From "Build1.02" on,
// blank means what the program's own checks call blank (full-width spaces
// included).
inline constexpr const char *CodeUniqueIndex = "TbCdCodeUnique";
QString CodeUniqueIndexStatement(Layout layout);

// Writes a new catalog file with the tables of the layout, the root folder,
// the settings row with the layout's version and, when seed is set, a few
// categories and quality grades. Fails when the file exists.
void CreateCatalog(const QString &path, Layout layout, bool seed,
                   const QString &password = QString::fromLatin1(CatalogPassword));

} // namespace Schema
