#pragma once

#include "store/engine/DAOField.h"
#include "store/engine/DAOTypes.h"
#include "store/engine/RowMemory.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QVariant>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TDAODatabase;
struct sqlite3_stmt;

enum class TDataSetState { Inactive, Browse, Edit, Insert };

// The rows of a result, the cursor over them and the editing of one row.
// Rows are read in full when the query opens and kept in a compact store;
// writes go straight to the table the result came from.
class TDAODataset : public QObject
{
    Q_OBJECT

public:
    explicit TDAODataset(QObject *parent = nullptr);
    ~TDAODataset() override;

    TDAODatabase *Database() const { return m_database; }
    void SetDatabase(TDAODatabase *database);

    bool Active() const { return m_state != TDataSetState::Inactive; }
    TDataSetState State() const { return m_state; }
    void Close();

    // Cursor.
    void First();
    void Next();
    void Prior();
    void Last();
    bool AtEnd() const { return m_atEnd; }
    bool AtStart() const { return m_atStart; }
    int RowCount() const { return int(m_order.size()); }
    int CurrentRow() const { return m_order.empty() ? -1 : m_current; }
    // A move made by a bound view when the user selects a row.
    void MoveTo(int row);

    // Columns, matched by name without regard to letter case. Field() throws
    // when the result has no such column.
    int FieldCount() const { return int(m_fields.size()); }
    TDAOField &FieldAt(int index) { return *m_fields[size_t(index)]; }
    const TDAOField &FieldAt(int index) const { return *m_fields[size_t(index)]; }
    TDAOField *FindField(const QString &name);
    TDAOField &Field(const QString &name);

    // Columns a window declares before opening: only these are then seen.
    QList<TFieldDef> FieldDefs;

    // Editing.
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();

    bool Locate(const QString &fieldName, const QVariant &value);

    TBookmark Bookmark() const;
    bool BookmarkValid(TBookmark bookmark) const { return RowOfBookmark(bookmark) >= 0; }
    void GotoBookmark(TBookmark bookmark);

    // Bound views stop following the rows while code walks through many of
    // them; the calls nest. The changes made meanwhile share one transaction
    // that commits when the outermost ResumeControls is reached.
    void SuspendControls();
    void ResumeControls();
    bool ControlsSuspended() const { return m_suspendCount > 0; }
    // Whether anything a bound view follows (the rows, their order, the
    // cursor) changed since the outermost SuspendControls; a view told of
    // controlsResumed need not read the rows again when nothing did.
    bool ChangedWhileSuspended() const { return m_changedWhileSuspended; }

    std::function<void(TDAODataset &)> AfterOpen;
    std::function<void(TDAODataset &)> AfterScroll;
    std::function<void(TDAODataset &)> AfterClose;

    // For bound views: values of any row, without moving the cursor.
    QVariant ValueAt(int row, int field) const;
    QString TextAt(int row, int field) const;
    TBookmark BookmarkAt(int row) const { return m_order[size_t(row)]; }
    int RowOfBookmark(TBookmark bookmark) const;

    // For TDAOField: the stored value of a column at the current row (the
    // pending values while editing) and writing it.
    QVariant StoredValue(int field) const;
    void SetStoredValue(int field, const QVariant &value);

signals:
    void aboutToReset();
    void resetDone();
    void currentRowChanged(int row);
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void controlsSuspended();
    void controlsResumed();

protected:
    // Where writes go: the table of the result and, per result column, the
    // table column it came from (empty for columns that cannot be written).
    struct WriteTarget
    {
        QString table;
        std::vector<QString> originColumns;
    };
    struct ColumnInfo
    {
        QString name;
        TFieldType type = TFieldType::Text;
        int size = 255;
        bool typeKnown = false;
    };

    // Reads every row of a prepared statement; rowidColumn is the result
    // column holding the written table's rowid, or -1.
    void Load(sqlite3_stmt *stmt, int rowidColumn, std::vector<ColumnInfo> columns, WriteTarget target);

private:
    struct Cell
    {
        enum Kind : quint8 { Null, Int, Real, Text };
        qint64 value = 0; // integer, double bits, or text offset
        quint32 length = 0;
        Kind kind = Null;
    };

    Cell ReadCell(sqlite3_stmt *stmt, int column); // text goes into the arena
    QVariant CellValue(quint32 physical, int column) const;
    void SetCell(Cell &cell, const QVariant &value);
    void RequireBrowse() const;
    void RequireWritable() const;
    void StartEditing(TDataSetState state);
    sqlite3_stmt *CachedStatement(const QByteArray &key, const std::function<QString()> &sql);
    void ReadBack(qint64 rowid, quint32 physical);
    quint32 NewPhysicalRow();
    void MoveCursor(int row, bool raiseScroll);
    void Scrolled();
    void ClearStore(bool keepMemory = false);

    TDAODatabase *m_database = nullptr;
    TDataSetState m_state = TDataSetState::Inactive;

    std::vector<std::unique_ptr<TDAOField>> m_fields;
    std::vector<int> m_fieldColumn; // field -> stored column
    int m_columnCount = 0;
    WriteTarget m_target;
    bool m_textAsStored = false; // the text cells read as the bytes stored (UTF-8)

    TRowMemory<Cell> m_cells;     // physical rows x columns
    TRowMemory<qint64> m_rowids;  // physical row -> rowid of the written table
    TRowMemory<char> m_text;      // UTF-8 of every text cell
    std::vector<quint32> m_order; // visible row -> physical row, increasing
    int m_current = 0;
    bool m_atEnd = true;
    bool m_atStart = true;

    std::vector<QVariant> m_buffer; // pending values while editing, per column
    std::vector<bool> m_changed;

    // Whether a change is to be signalled now; while the controls are
    // suspended it is only noted.
    bool Announce()
    {
        if (m_suspendCount == 0)
            return true;
        m_changedWhileSuspended = true;
        return false;
    }

    QHash<QByteArray, sqlite3_stmt *> m_statements; // the write statements, prepared once
    int m_suspendCount = 0;
    bool m_changedWhileSuspended = false;
    int m_workSerial = -1; // the connection the suspended work began on
};

// Suspends a query's bound views for a scope.
class TDAOSuspendGuard
{
public:
    explicit TDAOSuspendGuard(TDAODataset &dataset)
        : m_dataset(dataset)
    {
        m_dataset.SuspendControls();
    }
    ~TDAOSuspendGuard() noexcept(false)
    {
        if (std::uncaught_exceptions() > 0) {
            try {
                m_dataset.ResumeControls();
            } catch (...) {
                // The error already on its way is the one to report.
            }
        } else {
            m_dataset.ResumeControls();
        }
    }
    TDAOSuspendGuard(const TDAOSuspendGuard &) = delete;
    TDAOSuspendGuard &operator=(const TDAOSuspendGuard &) = delete;

private:
    TDAODataset &m_dataset;
};
