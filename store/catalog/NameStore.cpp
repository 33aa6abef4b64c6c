#include "store/catalog/NameStore.h"

#include "store/catalog/OwnQuery.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"

namespace NameStore {

using OwnQuery::HasRows;
using OwnQuery::OpenOn;

bool NameExists(TDAODatabase &db, TNameTable table, const QString &name)
{
    return HasRows(db, LookupQueries::NameIds(table, name));
}

bool NameInUse(TDAODatabase &db, TNameTable table, int id)
{
    return HasRows(db, LookupQueries::DiscsUsingName(table, id));
}

int AddName(TDAODatabase &db, TNameTable table, const QString &name)
{
    TDAOQuery query;
    OpenOn(query, db, LookupQueries::OneName(table, 0));
    query.Append();
    query.Field(QStringLiteral("Name")).SetAsString(name);
    query.Post();
    return query.Field(QStringLiteral("Id")).AsInteger();
}

void RenameName(TDAODatabase &db, TNameTable table, int id, const QString &name)
{
    TDAOQuery query;
    OpenOn(query, db, LookupQueries::OneName(table, id));
    if (query.RowCount() == 0)
        return;
    query.Edit();
    query.Field(QStringLiteral("Name")).SetAsString(name);
    query.Post();
}

} // namespace NameStore
