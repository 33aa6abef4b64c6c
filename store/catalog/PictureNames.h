#pragma once

#include <QString>

// How a cover picture is named in the picture folder when its name is taken
// by a different picture. The disc editor and the restore of a complete
// backup both store pictures there, so both follow this one rule.
namespace PictureNames {

// The name tried at each turn for a picture stored as name: the name itself
// at 0, then a number added before the extension ("roma.jpg" gives
// "roma_1.jpg", "roma_2.jpg", ...; "notes" gives "notes_1").
QString CopyName(const QString &name, int number);

} // namespace PictureNames
