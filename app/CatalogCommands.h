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

// Asks for a catalog file and copies it into the open catalog's folder,
// replacing a file of its name. When that file is the open catalog itself,
// asks first, closes the catalog, restores, and opens it again (upgraded)
// before reloadPanes.
void RunRestore(QWidget *parent, TDM &dm, const QString &currentDb, const std::function<void()> &reloadPanes);

// Shows the compact dialog for the open catalog, then reloadPanes.
void RunCompact(QWidget *parent, TDM &dm, const QString &currentDb, const std::function<void()> &reloadPanes);

} // namespace CatalogCommands
