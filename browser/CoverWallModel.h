#pragma once

#include <QAbstractListModel>
#include <QPointer>

#include <functional>

class TGridModel;

// The discs of the disc grid as a flat list for the cover wall: the grid's
// data rows in the order the grid shows them (sorted, and grouped one group
// after the other), read through the grid's own rows, so the wall needs no
// query of its own. Any change of the grid's rows is followed.
class TCoverWallModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        PictureRole = Qt::UserRole + 60, // the cover picture's full path, empty for none
        SourceRowRole,                   // the row of the grid's data source
    };

    explicit TCoverWallModel(TGridModel *grid, QObject *parent = nullptr);

    TGridModel *Grid() const;
    // The full path of a disc's stored picture name; empty when it names no
    // picture file.
    std::function<QString(const QString &name)> PicturePath;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The wall's row of a grid index, -1 for a group row or none.
    int RowOfGridIndex(const QModelIndex &gridIndex) const;
    // The grid's index (first column) of a wall row.
    QModelIndex GridIndex(int row) const;

private:
    QString FieldText(int sourceRow, const QString &fieldName) const;
    void BeginChange();
    void EndChange();

    QPointer<TGridModel> m_grid;
    int m_changing = 0;
};
