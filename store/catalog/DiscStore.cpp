#include "store/catalog/DiscStore.h"

#include "store/catalog/DiscList.h"
#include "store/catalog/FolderQueries.h"
#include "store/catalog/OwnQuery.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"

namespace DiscStore {

namespace {

using OwnQuery::OpenOn;

// The Id of the first row of the statement, or of the row it appends with
// these fields set when it has none; the row is written as the statement's
// table takes it (text cut to its column's width).
int FirstOrAppend(TDAODatabase &db, const QString &sql, const std::function<void(TDAOQuery &)> &fill)
{
    TDAOQuery query;
    OpenOn(query, db, sql);
    if (query.RowCount() == 0) {
        query.Append();
        fill(query);
        query.Post();
    }
    return query.Field(QStringLiteral("Id")).AsInteger();
}

} // namespace

QString NextDiscCode(TDAODatabase &db)
{
    TDAOQuery query;
    OpenOn(query, db, LargestDiscIdStatement());
    bool ok = false;
    const int largest = query.RowCount() > 0 ? query.Field(QLatin1String(LargestDiscIdField)).AsString().toInt(&ok) : 0;
    return ok ? QString::number(largest + 1) : QStringLiteral("1");
}

bool DiscCodeExists(TDAODatabase &db, const QString &code, int excludeId)
{
    TDAOQuery query;
    OpenOn(query, db, DiscsWithCodeStatement(code, excludeId));
    return query.RowCount() > 0;
}

int LookupOrAddName(TDAODatabase &db, TNameTable table, const QString &name)
{
    return FirstOrAppend(db, LookupQueries::NamedRows(table, name),
                         [&](TDAOQuery &row) { row.Field(QStringLiteral("Name")).SetAsString(name); });
}

int LookupOrAddFolder(TDAODatabase &db, const QString &name, int parentId)
{
    return FirstOrAppend(db, FolderQueries::FoldersNamed(name), [&](TDAOQuery &row) {
        row.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
        row.Field(QStringLiteral("Name")).SetAsString(name);
    });
}

std::optional<TListedDisc> ReadDisc(TDAODatabase &db, int discId)
{
    TDAOQuery query;
    OpenOn(query, db, OneDiscStatement(discId));
    if (query.RowCount() == 0)
        return std::nullopt;
    return TListedDisc{ReadCdRec(query), query.Field(QStringLiteral("Category")).AsString(),
                       query.Field(QStringLiteral("Quality")).AsString()};
}

int SaveDisc(TDAODatabase &db, const TCdRec &disc, bool adding)
{
    TDAOTransaction work(db);
    TDAOQuery query;
    query.FieldDefs = DiscListFields();
    // The disc list's own statement, so that the row is written with its
    // fields and widths.
    OpenOn(query, db, OneDiscStatement(adding ? 0 : disc.Id));
    if (adding)
        query.Append();
    else if (query.RowCount() == 0)
        throw EAppError(QStringLiteral("这张光盘已经不在光盘夹里了。"));
    else
        query.Edit();
    WriteCdRec(query, disc);
    query.Post();
    const int id = query.Field(QStringLiteral("ID")).AsInteger();
    work.Commit();
    return id;
}

void MoveDisc(TDAODatabase &db, int discId, int folderId)
{
    TDAOQuery query;
    OpenOn(query, db, OneDiscStatement(discId));
    if (query.RowCount() == 0)
        return;
    query.Edit();
    query.Field(QStringLiteral("TId")).SetAsInteger(folderId);
    query.Post();
}

} // namespace DiscStore
