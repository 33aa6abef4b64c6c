#include "browser/CoverWallModel.h"

#include "store/engine/DAODataSource.h"
#include "toolkit/GridModel.h"

TCoverWallModel::TCoverWallModel(TGridModel *grid, QObject *parent)
    : QAbstractListModel(parent)
    , m_grid(grid)
{
    // Every change of the grid's rows, however small, is taken as a new
    // list: the wall reads nothing ahead, so starting over costs nothing.
    const auto begin = [this] { BeginChange(); };
    const auto end = [this] { EndChange(); };
    connect(grid, &QAbstractItemModel::modelAboutToBeReset, this, begin);
    connect(grid, &QAbstractItemModel::modelReset, this, end);
    connect(grid, &QAbstractItemModel::layoutAboutToBeChanged, this, begin);
    connect(grid, &QAbstractItemModel::layoutChanged, this, end);
    connect(grid, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
    connect(grid, &QAbstractItemModel::rowsInserted, this, end);
    connect(grid, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
    connect(grid, &QAbstractItemModel::rowsRemoved, this, end);
    connect(grid, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
                    const int wallRow = RowOfGridIndex(topLeft.siblingAtRow(row));
                    if (wallRow >= 0)
                        emit dataChanged(index(wallRow), index(wallRow));
                }
            });
}

TGridModel *TCoverWallModel::Grid() const
{
    return m_grid;
}

void TCoverWallModel::BeginChange()
{
    if (m_changing++ == 0)
        beginResetModel();
}

void TCoverWallModel::EndChange()
{
    if (m_changing > 0 && --m_changing == 0)
        endResetModel();
}

int TCoverWallModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_grid || m_changing > 0 ? 0 : m_grid->DataRowCount();
}

QString TCoverWallModel::FieldText(int sourceRow, const QString &fieldName) const
{
    const TDAODataSource *source = m_grid->Source();
    if (!source)
        return {};
    const int column = source->ColumnOfField(fieldName);
    return column < 0 ? QString() : source->data(source->index(sourceRow, column), Qt::DisplayRole).toString();
}

QVariant TCoverWallModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || !m_grid->Source())
        return {};
    const int sourceRow = m_grid->SourceRowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return FieldText(sourceRow, QStringLiteral("Name"));
    case PictureRole: {
        const QString name = FieldText(sourceRow, QStringLiteral("Picture"));
        return name.isEmpty() || !PicturePath ? QString() : PicturePath(name);
    }
    case SourceRowRole:
        return sourceRow;
    case TDAODataSource::BookmarkRole: {
        const TDAODataSource *source = m_grid->Source();
        return source->data(source->index(sourceRow, 0), TDAODataSource::BookmarkRole);
    }
    default:
        return {};
    }
}

Qt::ItemFlags TCoverWallModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled : Qt::NoItemFlags;
}

int TCoverWallModel::RowOfGridIndex(const QModelIndex &gridIndex) const
{
    return m_grid && m_changing == 0 ? m_grid->Position(gridIndex) : -1;
}

QModelIndex TCoverWallModel::GridIndex(int row) const
{
    if (!m_grid || row < 0 || row >= rowCount())
        return {};
    return m_grid->IndexOfSourceRow(m_grid->SourceRowAt(row), 0);
}
