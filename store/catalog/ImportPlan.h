#pragma once

#include "media/CsvReader.h"
#include "store/catalog/CdRec.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

// What an imported table's rows become: each row's disc as it will be
// stored, the problems found in it and what the user chose to do about each
// kind of problem. Nothing here touches a catalog.
namespace ImportPlan {

enum TProblem {
    EmptyName,
    CodeClash,
    TooWide,
    BadDate,
    BadPrice,
    MissingPicture,
    NegativePrice,
    NotPicture,
    OutsideFolder,
    FolderTooDeep,
    ProblemCount
};

// Skip the row; cut the text (or the folder path) where it fits; leave the
// value empty; take the value as it is.
enum class TChoice { Skip, Cut, Empty, Keep };

// The levels of folders below the root that the folder tree shows.
constexpr int MaxFolderDepth = 1000;

// The problem in words ("名称为空", ...).
QString ProblemText(TProblem problem);
// The choices a kind of problem allows, the default first: an empty name
// can only be skipped, a too wide text skipped or cut, a negative price
// kept, left empty or skipped, a folder path deeper than the tree cut or
// skipped, the others skipped or left empty.
QList<TChoice> ChoicesFor(TProblem problem);
// Each problem's default choice.
std::array<TChoice, ProblemCount> DefaultChoices();
QString ChoiceText(TChoice choice);

// Column widths in GBK bytes, as the open catalog's columns define them.
struct TWidths
{
    int Name = 0, Code = 0, Serial = 0, Location = 0, Spell = 0, Folder = 0, Category = 0, Quality = 0;
};

struct TSettings
{
    QList<int> Mapping; // per disc field, the column; -1 for none
    std::array<TChoice, ProblemCount> Choices = DefaultChoices();
    TWidths Widths;
    QSet<QString> ExistingCodes; // the catalog's codes, lower case
    QString PictureFolder;       // the folder cover names are relative to (the table's); covers lie inside it
    // The levels of folders a row may make below the target folder.
    int FolderLevels = MaxFolderDepth;
    // Whether a file is a picture the program can show; called on several
    // threads at once. Without it a cover is not looked into.
    std::function<bool(const QString &path)> IsPicture;
};

struct TRow
{
    int Number = 0; // the row in the file, as a spreadsheet counts
    bool Skipped = false;
    QStringList Problems;  // in words, with what was done about each
    TCdRec Disc;           // Name, Code, Serial, Spell, Price, Location, Memo
    bool HasDay = false;   // Disc.Day holds a date
    bool HasPrice = false; // Disc.Price holds a price; otherwise it is stored empty
    QString Category, Quality;
    QStringList FolderPath; // below the target folder; empty for the target itself
    QString PictureSource;  // the cover file to copy, empty for none
};

// The discs of the data records (the header row left out). An error while
// reading a row (no memory) is thrown here, on the calling thread.
QList<TRow> Build(const QList<CsvReader::TRecord> &records, const TSettings &settings);

} // namespace ImportPlan
