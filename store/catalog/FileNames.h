#pragma once

#include <QString>

// The one rule for a name the program puts after a folder of its own: a
// catalog in the catalog folder, a cover picture in the picture folder.
namespace FileNames {

// A name that can only mean a file directly inside its folder: not empty,
// no folder separator of either platform, no drive (":"), no control
// character (NUL included), not made of dots only ("." and ".." lead out of
// the folder; where trailing dots are dropped, "..." does too).
bool IsPlainFileName(const QString &name);

} // namespace FileNames
