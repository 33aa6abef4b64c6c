#pragma once

#include "store/catalog/ImportPlan.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class TDAODatabase;

// Writing imported discs into a catalog: everything the import asks of
// the catalog file itself.
namespace ImportStore {

// The widths of the catalog's text columns, as its tables define them.
ImportPlan::TWidths ReadWidths(TDAODatabase &db);

// The catalog's non-empty disc codes, lower case.
QSet<QString> ExistingCodes(TDAODatabase &db);

// Every folder with its path from the root's children down ("电影/华语"),
// the root itself first with its own name, the others in path order. A path
// longer than MaxPathLength characters is shortened in the middle ("…").
QList<QPair<int, QString>> FolderPaths(TDAODatabase &db);
constexpr qsizetype MaxPathLength = 300;

// The name of the catalog's first grade, which discs imported without one
// get; empty when it has none.
QString FirstQuality(TDAODatabase &db);

// The folder's level: 0 for the root, 1 for its children and so on.
int FolderDepth(TDAODatabase &db, int folder);

struct TReport
{
    bool Cancelled = false;
    int Added = 0;
    QStringList Skipped;    // "第N行：reasons"
    QStringList Folders;    // the paths of the folders made (long ones shortened in the middle)
    QStringList Categories; // the categories added
    QStringList Qualities;  // the grades added
    // Discs that came without a grade were given the catalog's first one.
    int DefaultQualityCount = 0;
    QString DefaultQuality;
    QString Text() const; // the whole report in words
};

struct TCallbacks
{
    // The stored name of a cover file copied into the picture folder; throws
    // EAppError when it cannot be copied.
    std::function<QString(const QString &source)> StorePicture;
    // Called once per row; false cancels the import.
    std::function<bool()> Step;
};

// Adds the rows not skipped as discs below targetFolder, making the folders
// of their paths (a name matching an existing child folder without regard to
// letter case is that folder) and the categories and grades not yet there.
// A row without a grade gets the catalog's first grade, as the disc editor
// asks for one; a row without a price leaves it empty.
// One transaction: cancelled or failed, the catalog is as it was.
TReport Import(TDAODatabase &db, const QList<ImportPlan::TRow> &rows, int targetFolder, const TCallbacks &callbacks);

} // namespace ImportStore
