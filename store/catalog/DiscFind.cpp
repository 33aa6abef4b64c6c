#include "store/catalog/DiscFind.h"

#include "pinyin/TextBlank.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/FolderQueries.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "store/engine/SqlDialect.h"

#include <QHash>
#include <QSet>
#include <QStringList>

namespace {

// Each folder's sub-folders, in the order the file holds them, read with
// one statement: a large tree would otherwise cost one query per folder.
QHash<qint32, QList<qint32>> SubFolders(TDAODatabase &db)
{
    QHash<qint32, QList<qint32>> children;
    TDAOQuery tree;
    tree.SetDatabase(&db);
    TDM::OpenQuery(tree, FolderQueries::FolderParents());
    for (tree.First(); !tree.AtEnd(); tree.Next())
        children[tree.Field(QStringLiteral("Id1")).AsInteger()].append(tree.Field(QStringLiteral("Id")).AsInteger());
    return children;
}

// Folders joined by OR nest one level deeper each in the engine's parse
// tree, which allows a depth of 1,000: a longer list is asked for with IN.
constexpr int MaxFoldersJoinedByOr = 500;

} // namespace

QString BuildFindStatement(const TFindCriteria &criteria)
{
    QString condition;
    int count = 0;
    auto join = [&](const QString &fragment) {
        if (count > 0)
            condition += QLatin1String(" AND ");
        condition += fragment;
        ++count;
    };

    if (criteria.ScopeFolders.size() > MaxFoldersJoinedByOr) {
        QStringList folders;
        for (qint32 id : criteria.ScopeFolders)
            folders << QString::number(id);
        condition = QLatin1String("( A.TId IN (") + folders.join(QLatin1Char(',')) + QLatin1String(") )");
        count = 1;
    } else if (!criteria.ScopeFolders.isEmpty()) {
        QStringList folders;
        for (qint32 id : criteria.ScopeFolders)
            folders << QStringLiteral(" A.TId=%1 ").arg(id);
        condition = QLatin1Char('(') + folders.join(QLatin1String(" OR ")) + QLatin1Char(')');
        count = 1;
    }
    // The typed text goes into the pattern as it is, blanks and wildcards
    // included; only a text of blanks alone asks for nothing.
    auto like = [&](const char *column, const QString &typed) {
        if (!TextBlank::IsBlank(typed))
            join(QLatin1String(" A.") + QLatin1String(column) + QLatin1String(" LIKE ") +
                 SqlDialect::Quote(QLatin1Char('*') + typed + QLatin1Char('*')) + QLatin1Char(' '));
    };
    like("Name", criteria.Name);
    like("Location", criteria.Location);
    like("Memo", criteria.Memo);
    if (criteria.CategoryId != 0)
        join(QStringLiteral(" A.CId=%1 ").arg(criteria.CategoryId));
    if (criteria.QualityId != 0)
        join(QStringLiteral(" A.QId=%1 ").arg(criteria.QualityId));
    if (criteria.Price)
        join(QString::asprintf(" A.Price=%0.2f ", *criteria.Price));
    if (criteria.Latest)
        join(QLatin1String(" A.Day<=#") + DateUtils::FormatDate(*criteria.Latest) + QLatin1String("# "));
    if (criteria.Earliest)
        join(QLatin1String(" A.Day>=#") + DateUtils::FormatDate(*criteria.Earliest) + QLatin1String("# "));
    if (!criteria.FileCondition.isEmpty())
        join(criteria.FileCondition);

    return DiscListWhereStatement(condition);
}

void CollectFolders(TDAODatabase &db, qint32 folderId, bool withSubFolders, QList<qint32> &folders)
{
    QSet<qint32> seen(folders.cbegin(), folders.cend());
    if (seen.contains(folderId))
        return;
    if (!withSubFolders) {
        folders.append(folderId);
        return;
    }
    const QHash<qint32, QList<qint32>> children = SubFolders(db);
    // Depth first, without recursion: a deep tree cannot exhaust the stack.
    QList<qint32> pending{folderId};
    while (!pending.isEmpty()) {
        const qint32 folder = pending.takeLast();
        if (seen.contains(folder))
            continue;
        seen.insert(folder);
        folders.append(folder);
        const QList<qint32> below = children.value(folder);
        for (auto it = below.crbegin(); it != below.crend(); ++it)
            if (!seen.contains(*it))
                pending.append(*it);
    }
}
