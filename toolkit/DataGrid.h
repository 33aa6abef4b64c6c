#pragma once

#include "store/engine/DAOTypes.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QModelIndex;
class QPainter;
class QSettings;
class QStyleOptionViewItem;
class QTreeView;
class TDAODataSource;

// One column of a data grid, bound to a field of the grid's query by name.
struct TGridColumn
{
    enum class Summary { None, Count, Sum };

    QString FieldName;
    QString Caption;
    bool Visible = true;
    int Width = 80; // preferred width; the visible columns share the grid's width
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
    // Empty: the field's own text. For numbers a pattern such as "0.00;-0.00"
    // (positive;negative); for date-times "yyyy-MM-dd".
    QString DisplayFormat;
    // A footer under the column: the number of rows or the sum of the
    // column, put into FooterFormat ("总数：%1", "合计：%1"); the number is
    // written with FooterDecimals decimals.
    Summary Footer = Summary::None;
    QString FooterFormat;
    int FooterDecimals = 0;
};

// A read-only grid over a query, through the store's data source: whole-row
// multi-selection handed over as bookmarks, sorting by a header click, a
// group panel into which a header is dragged to group the rows (each group
// row shows its row count and a sum), footers, rows that can be dragged out,
// and a column layout kept in the settings its owner hands over. Smooth with
// 100,000 rows.
class TDataGrid : public QWidget
{
    Q_OBJECT

public:
    // The MIME type of rows dragged out of a grid; the drag's source is the
    // grid's view (View()).
    static constexpr const char *RowsMimeType = "application/x-vorlix-grid-rows";

    explicit TDataGrid(QWidget *parent = nullptr);
    ~TDataGrid() override;

    void SetDataSource(TDAODataSource *source);
    TDAODataSource *DataSource() const;
    void SetColumns(const QList<TGridColumn> &columns);
    QList<TGridColumn> Columns() const;

    // What a group row shows besides its value: the row count and the sum of
    // a column, each put into its format and joined by ", " (for the disc
    // list "小计：%1" twice; the sum written with SumDecimals decimals).
    void SetGroupSummary(const QString &countFormat, const QString &sumField, const QString &sumFormat,
                         int sumDecimals = 0);

    // Grouping and sorting, also for code and tests. A field name, or empty
    // for none.
    void GroupBy(const QString &fieldName);
    QString GroupedBy() const;
    // Hides the panel a header is dragged into, for lists with nothing to
    // group by.
    void SetGroupPanelVisible(bool visible);
    void SortBy(const QString &fieldName, Qt::SortOrder order);

    // The selected rows as bookmarks of the query, in the order shown.
    QList<TBookmark> SelectedBookmarks() const;
    int SelectedCount() const;
    void ClearSelection();

    // The text of a column's footer, e.g. "总数：12".
    QString FooterText(const QString &fieldName) const;

    // Draws a cell itself: return true to suppress the normal drawing.
    std::function<bool(QPainter *painter, const QStyleOptionViewItem &option, const QString &fieldName,
                       const QString &text)>
        OnCustomDrawCell;

    // What a row's cell shows besides its text: an icon (decoration role),
    // a text colour (foreground role) or a tool tip, by the row of the
    // source and the column's field. Asked for each cell painted, so it
    // must be quick; RefreshCells paints the rows again after a change.
    void SetCellRole(std::function<QVariant(int sourceRow, const QString &fieldName, int role)> cellRole);
    void RefreshCells();

    // The column layout (order, widths, sort, grouping), in the subgroup key
    // of the settings' current group. The caller owns the settings.
    void SaveLayout(QSettings &settings, const QString &key) const;
    void RestoreLayout(const QSettings &settings, const QString &key);

    // The view showing the rows; the source of row drags.
    QTreeView *View() const;

signals:
    void DoubleClicked();
    void ContextMenuRequested(const QPoint &globalPos);

private:
    class Private;
    Private *d;
};
