#pragma once

#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"
#include "tests/support/FixtureFailure.h"

#include <QAbstractItemModel>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A fresh catalog in a temporary folder with the data module on it, made the
// program's data module (DM) for one test; folders are written as
// "ID, Id1, name" rows. Seeded catalogs hold the shipped categories and
// qualities. One that cannot be made stops the test (FixtureFailure.h).
class ModuleFixture
{
public:
    explicit ModuleFixture(Schema::Layout layout = Schema::Layout::Build102, bool seed = true)
    {
        m_path = CatalogFixture::MakeCatalog(m_dir, layout, seed);
        m_dm = std::make_unique<TDM>();
        try {
            m_dm->NameCatalog(m_path);
        } catch (const EAppError &e) {
            FixtureFailure::Fail(QStringLiteral("the data module cannot open %1: %2").arg(m_path, e.Message()),
                                 __FILE__, __LINE__);
        }
        DM = m_dm.get();
    }
    ~ModuleFixture()
    {
        if (DM == m_dm.get())
            DM = nullptr;
    }
    ModuleFixture(const ModuleFixture &) = delete;
    ModuleFixture &operator=(const ModuleFixture &) = delete;

    TDM &Dm() { return *m_dm; }
    const QString &Path() const { return m_path; }
    // The temporary folder the catalog lies in, and a file in it.
    QString DirPath() const { return m_dir.path(); }
    QString FilePath(const QString &name) const { return m_dir.filePath(name); }

    void AddFolders(const QStringList &rows)
    {
        for (const QString &row : rows) {
            try {
                m_dm->ExecuteSQL(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (%1)").arg(row));
            } catch (const EAppError &e) {
                FixtureFailure::Fail(QStringLiteral("the folder (%1) cannot be added: %2").arg(row, e.Message()),
                                     __FILE__, __LINE__);
            }
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
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
