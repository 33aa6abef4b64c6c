#pragma once

#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"

#include <QString>

// The named operations' way of reading: a statement opened on a query of the
// operation's own, never on the data module's shared cursors.
namespace OwnQuery {

inline void OpenOn(TDAOQuery &query, TDAODatabase &db, const QString &sql)
{
    query.SetDatabase(&db);
    query.SetSQL(sql);
    query.Open();
}

// Whether the statement returns any row.
inline bool HasRows(TDAODatabase &db, const QString &sql)
{
    TDAOQuery query;
    OpenOn(query, db, sql);
    return query.RowCount() > 0;
}

} // namespace OwnQuery
