#include "UpgradeUnit.h"

#include "DataModule.h"
#include "Schema.h"
#include "Spell.h"

QString GetDbVersion(TDM &dm)
{
    return dm.GetFieldValue(QStringLiteral("SELECT * FROM TbSetings"), QStringLiteral("Version"));
}

void Upgrade100To101(TDM &dm, const QString &version)
{
    if (version != QLatin1String(Schema::VersionOld))
        return;

    TDAOTransaction transaction(dm.DbBase);
    dm.ExecuteSQL(QStringLiteral("ALTER TABLE TbCd ADD COLUMN Picture TEXT(255)"));
    dm.ExecuteSQL(QStringLiteral("ALTER TABLE TbCd ADD COLUMN Spell TEXT(20) NOT NULL"));
    if (dm.HasRecords(QStringLiteral("SELECT Name,Spell FROM TbCd"))) {
        TDAOQuery &q = dm.Q1;
        q.First();
        while (!q.AtEnd()) {
            q.Edit();
            q.Field(QStringLiteral("Spell")).SetAsString(GetSpell(q.Field(QStringLiteral("Name")).AsString()));
            q.Post();
            q.Next();
        }
    }
    dm.ExecuteSQL(QStringLiteral("DROP TABLE TbDirImage"));
    dm.ExecuteSQL(QStringLiteral("UPDATE TbSetings SET Version=\"Build1.01\""));
    // The quick jump and the folder listing need the indexes of the current
    // layout.
    for (const QString &statement : Schema::IndexStatements())
        dm.ExecuteSQL(statement);
    transaction.Commit();
}

void UpgradeDb(TDM &dm)
{
    Upgrade100To101(dm, GetDbVersion(dm));
}
