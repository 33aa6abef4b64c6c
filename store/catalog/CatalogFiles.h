#pragma once

#include <QString>
#include <QStringList>

// The catalog files of the catalog folder ("Data" beside the executable):
// each named after its catalog with the extension ".MDB" in any letter case,
// and the empty template "Blank" from which new catalogs are copied.
// Names are compared without regard to letter case, as the user sees them.
namespace CatalogFiles {

inline constexpr const char *Extension = ".MDB";
inline constexpr const char *TemplateName = "Blank";

// The catalog folder of an application folder, with a trailing separator.
QString CatalogFolder(const QString &appFolder);

// The file names (with their extensions, as they are on disk) of the
// catalogs in the folder, in the order the directory listing gives them.
QStringList ListCatalogs(const QString &folder);

// The catalog's name as the user sees it: the file name without its
// four-character extension.
QString DisplayName(const QString &fileName);

// The name of the entry in the folder that matches fileName regardless of
// letter case (the exact match first); empty when there is none. Files only.
QString FindFile(const QString &folder, const QString &fileName);

// Whether the file name is the template's (in any letter case): new
// catalogs are copied from it, so nothing may ever be written over it.
bool IsTemplate(const QString &fileName);

// Copies the template byte for byte to a new file of the folder. Never
// replaces anything: false, with nothing changed, when the file exists, the
// template is missing, the name is not a plain file name or the copy fails;
// then error, when given, says why in Chinese, naming the file.
bool CreateFromTemplate(const QString &folder, const QString &fileName, QString *error = nullptr);

} // namespace CatalogFiles
