#pragma once

#include <QString>

// The one rule for a name the program puts after a folder of its own: a
// catalog in the catalog folder, a cover picture in the picture folder.
namespace FileNames {

// A name that can only mean a file directly inside its folder: not empty,
// not "." or "..", no folder separator of either platform, no control
// character (NUL included). A ":" or a name of three dots is an ordinary
// file name here, and catalogs named so must stay reachable.
bool IsPlainFileName(const QString &name);

} // namespace FileNames
