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
inline constexpr const char *VersionCurrent = "Build1.01";

// The root folder: ID 1, shown as the top of every folder tree.
inline constexpr int RootFolderId = 1;

enum class Layout { Build100, Build101 };

// CREATE TABLE and CREATE INDEX statements (SQLite) for a layout.
QStringList CreateStatements(Layout layout);

// The indexes the current layout adds for the quick jump, folder listing
// and code check; the upgrade creates them too.
QStringList IndexStatements();

// Writes a new catalog file with the tables of the layout, the root folder,
// the settings row with the layout's version and, when seed is set, a few
// categories and quality grades. Fails when the file exists.
void CreateCatalog(const QString &path, Layout layout, bool seed, const QString &password = QString::fromLatin1(CatalogPassword));

} // namespace Schema
