#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

class TDAODatabase;

// What the user asks the find for.
struct TFindCriteria
{
    QList<qint32> ScopeFolders; // the folders a disc must be in; empty for the whole catalog
    QString Name;               // parts of the texts, as typed; * and ? are wildcards
    QString Location;
    QString Memo;
    qint32 CategoryId = 0;         // 0: any
    qint32 QualityId = 0;          // 0: any
    std::optional<double> Price;   // the price read from what was typed; none when it is no number
    std::optional<QDate> Latest;   // dated on or before
    std::optional<QDate> Earliest; // dated on or after
    QString FileCondition;         // "包含文件": the store's condition on the disc's files; empty for none
};

// The statement that finds the discs matching every criterion given, with
// their category and quality names. With no criterion at all it lists every
// disc.
QString BuildFindStatement(const TFindCriteria &criteria);

// Appends the folder and, when withSubFolders is set, every folder below it,
// each folder followed by its own sub-folders before the next one. The root
// folder is never taken as anyone's sub-folder, and a folder already in the
// list is not visited again, so a damaged tree cannot make it run forever.
// Engine errors reach the caller.
void CollectFolders(TDAODatabase &db, qint32 folderId, bool withSubFolders, QList<qint32> &folders);
