#pragma once

#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"

#include <QString>

// The program's one connection to the open catalog and its two shared work
// queries. Engine errors reach the caller; nothing here catches them.
class TDM
{
public:
    TDM();
    ~TDM();
    TDM(const TDM &) = delete;
    TDM &operator=(const TDM &) = delete;

    TDAODatabase DbBase;
    TDAOQuery Q1; // the shared work query
    TDAOQuery Q2; // the detail page's own query

    // Opening a catalog, the two ways the main window does it: at its first
    // showing only the name is set and the first query connects; from the
    // open dialog the old catalog is closed and the new one connected.
    void NameCatalog(const QString &path);
    void SwitchCatalog(const QString &path);

    // Size in bytes of an existing file that can be opened for reading and
    // writing; EFileError otherwise.
    static qint64 FileSizeOf(const QString &fileName);

    // Compacts the open catalog into a copy beside it, renamed over it once
    // complete, and returns new size / old size in ten-thousandths (ties to
    // even); 0 when the compaction failed, the file then byte for byte as it
    // was. The database is left disconnected.
    TCurrency CompactDb();
    // Why the last compaction failed, in words for the user; empty after one
    // that succeeded.
    const QString &CompactFailure() const { return m_compactFailure; }

    QString GetFieldValue(const QString &sql, const QString &fieldName);
    void OpenSQL(const QString &sql);
    static void OpenQuery(TDAOQuery &query, const QString &sql);
    void ExecuteSQL(const QString &sql);
    bool HasRecords(const QString &sql);

    // Configures a quick-pick lookup edit over the open catalog. A template,
    // so that the store needs no widget.
    template <typename PickEdit> void SetupPickEdit(const QString &sql, PickEdit &edit, bool useCode, bool useStatus)
    {
        edit.Database = &DbBase;
        edit.SQL = sql;
        edit.SetDropDownRows(8);
        edit.FieldKey = QStringLiteral("Id");
        edit.FieldList = QStringLiteral("Name");
        edit.FieldCode = useCode ? QStringLiteral("Code") : QString();
        edit.FieldSpell = QStringLiteral("Spell");
        edit.FieldStatus = useStatus ? QStringLiteral("Status") : QString();
    }

private:
    QString m_compactFailure;
};

// The data module, created at start-up.
extern TDM *DM;
