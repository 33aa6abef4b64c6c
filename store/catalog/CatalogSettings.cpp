#include "store/catalog/CatalogSettings.h"

#include "store/catalog/LookupQueries.h"
#include "store/engine/DAOQuery.h"

namespace CatalogSettings {

QString Version(TDAODatabase &db)
{
    TDAOQuery query;
    query.SetDatabase(&db);
    query.SetSQL(LookupQueries::CatalogVersion());
    query.Open();
    return query.RowCount() > 0 ? query.Field(QStringLiteral("Version")).AsString() : QString();
}

} // namespace CatalogSettings
