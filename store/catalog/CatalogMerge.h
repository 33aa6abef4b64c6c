#pragma once

#include "store/catalog/ImportPlan.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <functional>

class TDAODatabase;

// Merging another catalog file into the open one: its whole folder tree
// goes below a new folder named after it, with every disc. The other file
// is only ever read: an older catalog is upgraded in a private copy.
namespace CatalogMerge {

// The disc columns copied as they are stored.
enum TDiscColumn { Day, Code, Serial, Name, DId, Price, Location, Memo, Picture, Spell, CopiedColumns };

struct TFolder
{
    qint64 Id = 0;
    qint64 Parent = 0; // the root's Id for a folder at the top of the tree
    QString Name;
};

struct TDisc
{
    std::array<QVariant, CopiedColumns> Values;
    qint64 Folder = 0;
    QString Category, Quality; // empty for none
    QString CodeText() const { return Values[Code].toString(); }
    QString NameText() const { return Values[Name].toString(); }
};

// The other catalog as read.
struct TSource
{
    QString Path;
    QString Title;          // the file's base name: the new folder's name
    QList<TFolder> Folders; // parents before their children, the root left out
    QList<TDisc> Discs;
};

// Reads the catalog at path with the catalog key: a copy of it in a
// temporary folder is opened and, when of an older layout, upgraded; the
// file itself is never written. EFileError, naming path, for a file that is
// no catalog of this program.
TSource Read(const QString &path);

// The discs (indexes into source.Discs) whose non-blank code the target
// already has, or an earlier disc of the source repeats.
QList<int> CodeClashes(TDAODatabase &target, const TSource &source);

// The name for a new folder below parent: name cut to the folder column's
// width, and when a folder of that name is there already (compared as the
// column compares), "name (2)", "name (3)", ...
QString FreeFolderName(TDAODatabase &target, qint64 parent, const QString &name);

struct TReport
{
    bool Cancelled = false;
    qint64 FolderId = 0; // the new folder
    QString Folder;      // its name
    int Added = 0;
    int FoldersMade = 0; // the new folder and the ones below it
    QStringList Skipped; // "“name”（编号 code）：reason"
    QStringList CodesEmptied;
    QStringList Categories;      // the categories added
    QStringList Qualities;       // the grades added
    QStringList MissingPictures; // covers of merged discs not in the picture folder, sorted
    QString Text() const;        // the whole report in words
};

// Called once per folder and disc; false cancels the merge.
using TStep = std::function<bool()>;

// Whether the picture folder holds a cover of that stored name.
using THasPicture = std::function<bool(const QString &name)>;

// Copies the source's folders and discs below a new folder under the
// target's root. Categories and grades are matched by name and added when
// missing; a disc whose code clashes is skipped or stored without its code,
// as codeClash says (Skip or Empty). The covers keep their names; those of
// merged discs that hasPicture, when given, does not find are named in the
// report. One transaction: cancelled or failed, the target is as it was.
TReport Merge(TDAODatabase &target, const TSource &source, ImportPlan::TChoice codeClash, const TStep &step = {},
              const THasPicture &hasPicture = {});

} // namespace CatalogMerge
