#include "store/engine/DAODataSource.h"

#include "store/engine/DAODataset.h"

#include <QItemSelectionModel>

TDAODataSource::TDAODataSource(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void TDAODataSource::SetDataSet(TDAODataset *dataset)
{
    if (dataset == m_dataset)
        return;
    beginResetModel();
    Detach();
    m_dataset = dataset;
    Attach();
    endResetModel();
}

bool TDAODataSource::Live() const
{
    return m_dataset && m_dataset->Active() && !m_resetting;
}

void TDAODataSource::Detach()
{
    for (const auto &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
}

void TDAODataSource::Attach()
{
    if (!m_dataset)
        return;
    TDAODataset *ds = m_dataset;
    auto beginReset = [this] {
        if (m_resetting)
            return;
        m_resetting = true;
        beginResetModel();
    };
    auto endReset = [this] {
        if (!m_resetting)
            return;
        m_resetting = false;
        endResetModel();
        emit currentRowChanged(CurrentRow());
    };
    m_connections << connect(ds, &TDAODataset::aboutToReset, this, beginReset)
                  << connect(ds, &TDAODataset::resetDone, this, endReset)
                  << connect(ds, &TDAODataset::controlsSuspended, this, beginReset)
                  << connect(ds, &TDAODataset::controlsResumed, this, endReset)
                  << connect(ds, &TDAODataset::rowAboutToBeInserted, this,
                             [this](int row) { beginInsertRows({}, row, row); })
                  << connect(ds, &TDAODataset::rowInserted, this, [this](int) { endInsertRows(); })
                  << connect(ds, &TDAODataset::rowAboutToBeRemoved, this,
                             [this](int row) { beginRemoveRows({}, row, row); })
                  << connect(ds, &TDAODataset::rowRemoved, this, [this](int) { endRemoveRows(); })
                  << connect(ds, &TDAODataset::rowChanged, this,
                             [this](int row) {
                                 if (columnCount() > 0)
                                     emit dataChanged(index(row, 0), index(row, columnCount() - 1));
                             })
                  << connect(ds, &TDAODataset::currentRowChanged, this, &TDAODataSource::currentRowChanged)
                  << connect(ds, &QObject::destroyed, this, [this] {
                         beginResetModel();
                         Detach();
                         m_resetting = false;
                         endResetModel();
                     });
}

int TDAODataSource::rowCount(const QModelIndex &parent) const
{
    return (parent.isValid() || !Live()) ? 0 : m_dataset->RowCount();
}

int TDAODataSource::columnCount(const QModelIndex &parent) const
{
    return (parent.isValid() || !Live()) ? 0 : m_dataset->FieldCount();
}

QVariant TDAODataSource::data(const QModelIndex &index, int role) const
{
    if (!Live() || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_dataset->TextAt(index.row(), index.column());
    case Qt::EditRole:
    case ValueRole:
        return m_dataset->ValueAt(index.row(), index.column());
    case BookmarkRole:
        return QVariant::fromValue(m_dataset->BookmarkAt(index.row()));
    default:
        return {};
    }
}

QVariant TDAODataSource::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !Live() || section < 0 || section >= m_dataset->FieldCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole || role == FieldNameRole)
        return m_dataset->FieldAt(section).FieldName();
    return {};
}

Qt::ItemFlags TDAODataSource::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int TDAODataSource::CurrentRow() const
{
    return Live() ? m_dataset->CurrentRow() : -1;
}

void TDAODataSource::SetCurrentRow(int row)
{
    if (Live() && row != m_dataset->CurrentRow())
        m_dataset->MoveTo(row);
}

int TDAODataSource::ColumnOfField(const QString &fieldName) const
{
    if (!Live())
        return -1;
    for (int i = 0; i < m_dataset->FieldCount(); ++i)
        if (m_dataset->FieldAt(i).FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TDAODataSource::FollowSelection(QItemSelectionModel *selection)
{
    if (!selection || selection->model() != this)
        return;
    QPointer<QItemSelectionModel> guard(selection);
    connect(this, &TDAODataSource::currentRowChanged, selection, [this, guard](int row) {
        if (!guard || row < 0 || row >= rowCount())
            return;
        if (guard->currentIndex().row() != row)
            guard->setCurrentIndex(index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
    connect(selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        if (current.isValid())
            SetCurrentRow(current.row());
    });
}
