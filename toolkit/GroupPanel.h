#pragma once

#include <QFrame>

class QLabel;

// The strip above a data grid's header. Empty, it shows the process-wide
// hint text; a column header dropped on it groups the rows by that column,
// which it then shows as a chip. Dragging the chip anywhere but back onto
// the strip ungroups.
class TGroupPanel : public QFrame
{
    Q_OBJECT

public:
    // The panel belongs to the grid `owner`: it accepts only that grid's
    // column drags.
    explicit TGroupPanel(QWidget *owner, QWidget *parent = nullptr);

    // The grouped column, or an empty field for none.
    void SetGrouped(const QString &fieldName, const QString &caption);
    QString HintText() const;
    QString ChipText() const;

signals:
    void groupRequested(const QString &fieldName);
    void ungroupRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void DragChip();

    QWidget *m_owner;
    QLabel *m_hint;
    QLabel *m_chip;
    QString m_field;
    QPoint m_pressPos;
    bool m_chipPressed = false;
    bool m_chipCameBack = false;
};
