#pragma once

#include "media/EntryKind.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class TDAODatabase;
class TDAOTransaction;
class TBoundStatement;

// What is on each disc: the folders and files read from a disc, kept in the
// catalog beside the discs. The two tables are made by the first scan, so a
// catalog never scanned keeps its layout exactly.
namespace DiscContents {

using TKind = TEntryKind;

// One folder, file or symbolic link of a disc.
struct TEntry
{
    qint64 Id = 0;
    qint64 ParentId = 0; // 0: directly below the disc's root
    QString Name;
    TKind Kind = TKind::File;
    qint64 Size = 0;          // bytes; 0 for folders and links
    qint64 MTime = 0;         // seconds since 1970-01-01 UTC
    bool Unreadable = false;  // a folder whose entries could not be read
    bool HasChildren = false; // filled by Children() for folders
};

// The disc as a whole, as its last scan found it.
struct TVolume
{
    QString Label;
    qint64 FsSize = 0; // the file system's size and used space in bytes
    qint64 FsUsed = 0;
    QDateTime ScanDate; // local time
    qint64 Files = 0;
    qint64 Folders = 0;
    qint64 Links = 0;
    qint64 Bytes = 0; // the files' sizes added up
    qint64 Unreadable = 0;
};

// True when the catalog has the contents tables (some disc was scanned once).
bool HasTables(TDAODatabase &db);

// Writes one scan of a disc: opens a transaction, makes the tables when they
// are missing and removes the disc's previous contents; Add() stores the
// entries as the scan finds them. Commit() keeps the new contents; an
// object destroyed without it (a cancelled or failed scan) leaves the disc's
// contents, and the catalog, as they were.
class TWriter
{
public:
    TWriter(TDAODatabase &db, qint64 discId);
    ~TWriter();
    TWriter(const TWriter &) = delete;
    TWriter &operator=(const TWriter &) = delete;

    // The new entry's Id, the ParentId of what lies inside a folder.
    qint64 Add(qint64 parentId, const QString &name, TKind kind, qint64 size, qint64 mtime, bool unreadable = false);
    void Commit(const TVolume &volume);

private:
    TDAODatabase &m_db;
    qint64 m_discId;
    std::unique_ptr<TDAOTransaction> m_work;
    std::unique_ptr<TBoundStatement> m_insert;
    qint64 m_nextId = 1;
};

// Removes a disc's contents ("清除光盘内容"); nothing for a disc never scanned.
void Clear(TDAODatabase &db, qint64 discId);

// The disc's summary, or nothing when it was never scanned.
std::optional<TVolume> Volume(TDAODatabase &db, qint64 discId);

// The entries directly inside a folder of the disc (parentId 0: the root),
// folders first, then by name.
QList<TEntry> Children(TDAODatabase &db, qint64 discId, qint64 parentId);

// The folder path of an entry on its disc, "/照片/2019"; "/" for the root.
QString FolderPath(TDAODatabase &db, qint64 parentId);

// What "查找文件..." asks for.
struct TFileQuery
{
    QString Name;                           // a part of the name; * and ? are wildcards; letter case is ignored
    std::optional<qint64> MinSize, MaxSize; // bytes, inclusive
    std::optional<QDate> Earliest, Latest;  // modification dates, inclusive
    int Limit = 0;                          // 0: every match
};

struct TFoundFile
{
    qint64 EntryId = 0;
    qint64 ParentId = 0;
    QString Name;
    QString Folder; // the folder path on the disc
    TKind Kind = TKind::File;
    qint64 Size = 0;
    qint64 MTime = 0;
    qint64 DiscId = 0;
    QString DiscName;
    QString DiscCode;
    qint64 FolderId = 0; // the disc's folder in the catalog
    QString CatalogPath; // that folder's path, "电影/华语"
};

// Files and folders of every disc matching the query, by disc and name.
// With complete given, a search by name made while the names are still being
// read (NameIndex::Prepare) lists what the discs read so far hold, and sets
// complete to false, instead of waiting for the rest.
QList<TFoundFile> FindFiles(TDAODatabase &db, const TFileQuery &query, bool *complete = nullptr);
// How many entries match, without listing them.
qint64 CountFiles(TDAODatabase &db, const TFileQuery &query);

// The name key stored beside each name: the name with letter case folded.
QString NameKey(const QString &name);
// The GLOB pattern that finds a typed part of a name in the name keys.
QString NamePattern(const QString &typed);

// A condition in the program's statement dialect, for a statement whose
// disc table is A: the disc holds a file whose name matches the typed part.
// Never true in a catalog never scanned.
QString HoldingFileCondition(TDAODatabase &db, const QString &typed);

} // namespace DiscContents
