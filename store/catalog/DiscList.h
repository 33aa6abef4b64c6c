#pragma once

#include "store/engine/DAOTypes.h"

#include <QList>
#include <QString>

// The statements that list discs with their category and grade names, and
// the fields the disc list reads from them.

// Every disc; a disc whose category or grade row is missing still lists,
// with an empty name. The statements below add a WHERE clause to it.
QString DiscListStatement();

// The discs of one folder; the root folder lists the whole catalog.
QString FolderDiscListStatement(int folderId);

// The one disc of this Id (no row when there is none).
QString OneDiscStatement(int discId);

// The disc list's statement with the condition given, as the find builds
// it ("" for every disc).
QString DiscListWhereStatement(const QString &condition);

// The fields of the disc list, in the catalog's widths, which a query keeps
// when it writes a disc back.
QList<TFieldDef> DiscListFields();

// The Id, code, name and initials of every disc: what the quick code box
// looks discs up in.
QString QuickPickDiscsStatement();

// The largest disc Id, as field "Code" (a null when there is no disc).
QString LargestDiscIdStatement();
inline constexpr const char *LargestDiscIdField = "Code";

// The discs other than excludeId that have this code (compared as the
// catalog compares text: without regard to letter case).
QString DiscsWithCodeStatement(const QString &code, int excludeId);
