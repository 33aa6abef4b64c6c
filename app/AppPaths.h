#pragma once

#include <QString>

// Where the program finds its catalogs, cover pictures and skins.
//
// Two layouts:
// - the portable folder: the executable with Data/, Picture/ and Skin/
//   beside it (as ./run.sh makes dist/). A writable Data/ beside the
//   executable marks it, and it wins whenever it is there;
// - the installed program: the executable in <prefix>/bin, the template and
//   the skins in <prefix>/share/vorlix, and the user's catalogs and pictures
//   in the user's data folder (QStandardPaths::AppDataLocation), made on the
//   first start with the template copied into it.
namespace AppPaths {

struct TLayout
{
    bool portable = false;
    QString dataRoot;     // holds Data/ and Picture/; no trailing separator
    QString skinFolder;   // the shipped skins
    QString sharedFolder; // <prefix>/share/vorlix; empty for the portable folder
};

// The layout for an executable in programFolder. userDataFolder is where an
// installed program keeps the user's files.
TLayout Resolve(const QString &programFolder, const QString &userDataFolder);

// The layout of the running program (QCoreApplication's names must be set).
TLayout Current();

// Makes Data/ and Picture/ of an installed program's data root, and copies
// the template into Data/ when it is not there. Nothing already there is
// replaced. Raises EAppError with a Chinese message when a folder cannot be
// made or the template cannot be copied. Does nothing for the portable folder.
void Prepare(const TLayout &layout);

} // namespace AppPaths
