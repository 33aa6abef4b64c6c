#pragma once

#include "toolkit/DataGrid.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QLabel;

// The row of totals under a data grid: for each column with a footer, the
// row count or the column's sum over every row of the source, placed under
// the column wherever the header shows it. The totals are worked out once
// after each change of the rows, not when painting.
class TGridFooter : public QWidget
{
    Q_OBJECT

public:
    TGridFooter(QTreeView *view, QWidget *parent = nullptr);

    void SetSource(TDAODataSource *source);
    // The grid's shown columns, in the order of the view's model.
    void SetColumns(const QList<TGridColumn> &columns);
    bool HasFooters() const { return !m_cells.empty(); }
    // The text of a column's footer; empty when it has none.
    QString Text(const QString &fieldName) const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Cell
    {
        TGridColumn column;
        int viewColumn = 0;
        QLabel *label = nullptr;
        QString text;
    };

    void Invalidate();
    void Compute() const;
    void Refresh();
    void Place();

    QTreeView *m_view;
    QPointer<TDAODataSource> m_source;
    QList<QMetaObject::Connection> m_connections;
    mutable std::vector<Cell> m_cells;
    mutable bool m_dirty = true;
    bool m_refreshQueued = false;
};
