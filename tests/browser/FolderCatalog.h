#pragma once

#include "DataModule.h"
#include "Schema.h"

#include <QAbstractItemModel>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A fresh catalog with the data module on it, for one test; folders are
// written as "ID, Id1, name" rows.
class FolderCatalog
{
public:
    FolderCatalog()
    {
        QVERIFY2(m_dir.isValid(), "no temporary folder");
        const QString path = m_dir.filePath(QStringLiteral("Test.MDB"));
        Schema::CreateCatalog(path, Schema::Layout::Build102, true);
        m_dm = std::make_unique<TDM>();
        DM = m_dm.get();
        m_dm->NameCatalog(path);
    }
    ~FolderCatalog() { DM = nullptr; }
    FolderCatalog(const FolderCatalog &) = delete;
    FolderCatalog &operator=(const FolderCatalog &) = delete;

    TDM &Dm() { return *m_dm; }

    void AddFolders(const QStringList &rows)
    {
        for (const QString &row : rows)
            m_dm->ExecuteSQL(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (%1)").arg(row));
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TDM> m_dm;
};

// "name(child,child)" for a node and everything below it; the names are read
// from nameColumn.
inline QString Outline(const QAbstractItemModel &model, const QModelIndex &node, int nameColumn)
{
    QString text = node.isValid() ? model.index(node.row(), nameColumn, node.parent()).data().toString() : QString();
    QStringList children;
    for (int row = 0; row < model.rowCount(node); ++row)
        children << Outline(model, model.index(row, 0, node), nameColumn);
    if (!node.isValid())
        return children.join(QLatin1Char(';'));
    return children.isEmpty() ? text : text + QLatin1Char('(') + children.join(QLatin1Char(',')) + QLatin1Char(')');
}

// The whole tree: the top-level nodes' outlines joined by ';'.
inline QString Outline(const QAbstractItemModel &model, int nameColumn)
{
    return Outline(model, QModelIndex(), nameColumn);
}
