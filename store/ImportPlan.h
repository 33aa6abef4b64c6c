#pragma once

#include "CdRec.h"
#include "CsvReader.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

// What an imported table's rows become: each row's disc as it will be
// stored, the problems found in it and what the user chose to do about each
// kind of problem. Nothing here touches a catalog.
namespace ImportPlan {

enum TProblem { EmptyName, CodeClash, TooWide, BadDate, BadPrice, MissingPicture, ProblemCount };

// Skip the row; cut the text at the last whole character that fits; leave
// the value empty.
enum class TChoice { Skip, Cut, Empty };

// The problem in words ("名称为空", ...).
QString ProblemText(TProblem problem);
// The choices a kind of problem allows, the default first: an empty name
// can only be skipped, a too wide text skipped or cut, the others skipped
// or left empty.
QList<TChoice> ChoicesFor(TProblem problem);
QString ChoiceText(TChoice choice);

// Column widths in GBK bytes, as the open catalog's columns define them.
struct TWidths
{
    int Name = 0, Code = 0, Serial = 0, Location = 0, Spell = 0, Folder = 0, Category = 0, Quality = 0;
};

struct TSettings
{
    QList<int> Mapping; // per disc field, the column; -1 for none
    std::array<TChoice, ProblemCount> Choices{TChoice::Skip, TChoice::Skip, TChoice::Skip,
                                              TChoice::Skip, TChoice::Skip, TChoice::Skip};
    TWidths Widths;
    QSet<QString> ExistingCodes; // the catalog's codes, lower case
    QString PictureFolder;       // the folder cover names are relative to (the table's)
};

struct TRow
{
    int Number = 0; // the row in the file, as a spreadsheet counts
    bool Skipped = false;
    QStringList Problems; // in words, with what was done about each
    TCdRec Disc;          // Name, Code, Serial, Spell, Price, Location, Memo
    bool HasDay = false;  // Disc.Day holds a date
    QString Category, Quality;
    QStringList FolderPath; // below the target folder; empty for the target itself
    QString PictureSource;  // the cover file to copy, empty for none
};

// The discs of the data records (the header row left out).
QList<TRow> Build(const QList<CsvReader::TRecord> &records, const TSettings &settings);

} // namespace ImportPlan
