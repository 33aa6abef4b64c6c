#include "store/catalog/ChoiceList.h"

#include "store/engine/BoundStatement.h"

QList<TChoice> ChoiceList::Read(TDAODatabase &db, const QString &statement)
{
    TBoundStatement rows(db, statement);
    QList<TChoice> choices;
    while (rows.Next())
        choices.append({int(rows.Int(0)), rows.Text(1)});
    return choices;
}
