#include "store/catalog/PickFilter.h"

#include "store/engine/SqlDialect.h"

#include <QStringList>

QString PickFilterClause(const QString &statement, const QString &column, const QString &typed)
{
    const QString keyword =
        statement.contains(QLatin1String("WHERE")) ? QStringLiteral(" AND ") : QStringLiteral(" WHERE ");
    QString clause = keyword + column + QStringLiteral(" LIKE ") + SqlDialect::Quote(typed + QLatin1Char('*'));
    for (QChar &c : clause)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 0x20);
    return clause;
}

QString PickOrderClause(const QString &column, const QString &key)
{
    QStringList columns{column, key};
    columns.removeAll(QString());
    return columns.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + columns.join(QLatin1Char(','));
}
