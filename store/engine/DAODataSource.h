#pragma once

#include "store/engine/DAODataset.h"

#include <QAbstractTableModel>
#include <QPointer>

class QItemSelectionModel;

// Joins a query to Qt views: a table model of the query's rows (one column
// per field), whose current row follows the query's cursor and moves it.
// Values are read from the query's row store as they are painted.
class TDAODataSource : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Roles {
        ValueRole = Qt::UserRole + 1, // the typed value: int, QString, double, QDateTime
        BookmarkRole,                 // the row's bookmark in the query
        FieldNameRole,                // in headerData: the field's name
    };

    explicit TDAODataSource(QObject *parent = nullptr);

    TDAODataset *DataSet() const { return m_dataset; }
    void SetDataSet(TDAODataset *dataset);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The query's current row, or -1.
    int CurrentRow() const;
    // Moves the query's cursor as a user's selection does.
    void SetCurrentRow(int row);
    int ColumnOfField(const QString &fieldName) const;

    // Keeps a selection model of this model (not of a proxy over it) in
    // step with the cursor, both ways.
    void FollowSelection(QItemSelectionModel *selection);

signals:
    void currentRowChanged(int row);

private:
    void Attach();
    void Detach();
    bool Live() const;

    QPointer<TDAODataset> m_dataset;
    bool m_resetting = false;
    QList<QMetaObject::Connection> m_connections;
};
