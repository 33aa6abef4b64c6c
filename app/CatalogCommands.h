#pragma once

#include <QString>

#include <functional>

class QWidget;
class TDM;

// The catalog menu's file commands: back up, restore, compact. Each works
// on the open catalog named by currentDb and raises EAppError for the
// command guard to show.
namespace CatalogCommands {

// The file dialogs; tests answer in their place. An empty answer cancels.
// The backup dialog proposes the catalog's file name.
extern std::function<QString(QWidget *parent, const QString &proposedName)> ChooseBackupFileHook;
extern std::function<QString(QWidget *parent)> ChooseRestoreFileHook;

// Asks for a file and writes a complete copy of the open catalog there.
void RunBackup(QWidget *parent, TDM &dm, const QString &currentDb);

// Asks for a catalog file, checks all of it, and copies it into the open
// catalog's folder, replacing a file of its name, which is kept as a safety
// copy that the message names. When that file is the open catalog itself,
// asks first, closes the catalog, restores, and opens it again (upgraded)
// before reloadPanes.
void RunRestore(QWidget *parent, TDM &dm, const QString &currentDb, const std::function<void()> &reloadPanes);

// The complete backup's file dialogs; tests answer in their place.
extern std::function<QString(QWidget *parent, const QString &proposedName)> ChooseFullBackupFileHook;
extern std::function<QString(QWidget *parent)> ChooseFullRestoreFileHook;

// Asks for an archive file and writes the open catalog with its cover
// pictures from pictureFolder there; says how many discs and pictures it
// holds and which pictures were missing.
void RunFullBackup(QWidget *parent, TDM &dm, const QString &currentDb, const QString &pictureFolder);

// Asks for an archive, checks all of it, then restores its catalog into the
// open catalog's folder (asking before replacing a catalog of that name;
// the open one is closed and reopened as RunRestore does) and its pictures
// into pictureFolder.
void RunFullRestore(QWidget *parent, TDM &dm, const QString &currentDb, const QString &pictureFolder,
                    const std::function<void()> &reloadPanes);

// Shows the compact dialog for the open catalog, then reloadPanes.
void RunCompact(QWidget *parent, TDM &dm, const QString &currentDb, const std::function<void()> &reloadPanes);

} // namespace CatalogCommands
