#pragma once

#include <QComboBox>

class TChoiceModel;

// An edit box with a drop-down list of text rows, each with an integer
// attached. Typing does not complete or open the list; the arrow keys,
// Page Up/Down, F4 and Alt+arrows neither step through the rows nor open
// the list, and neither does the mouse wheel. The list is opened by code or
// by the drop-down button, and a row is picked with the mouse.
class TPickEdit : public QComboBox
{
    Q_OBJECT

public:
    explicit TPickEdit(QWidget *parent = nullptr);

    // Replaces the rows; the text of the box stays as it is.
    void SetRows(const QStringList &texts, const QList<int> &values);
    void ClearRows();
    int RowCount() const { return count(); }
    QString RowText(int row) const { return itemText(row); }
    int RowValue(int row) const { return itemData(row).toInt(); }

    void SetDropDownRows(int rows) { setMaxVisibleItems(rows); }
    int DropDownRows() const { return maxVisibleItems(); }

    void showPopup() override;
    void hidePopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // The wheel is left to the window around the box.
    void wheelEvent(QWheelEvent *event) override;

    // Called before the list opens, and after it closed: accepted is the
    // row the user clicked, or -1 when the list closed without a pick.
    virtual void DropDown() {}
    virtual void CloseUp(int accepted) { Q_UNUSED(accepted) }
    // The text or the selected part of it changed.
    virtual void TextOrSelectionChanged() {}

private:
    TChoiceModel *m_rows; // the rows of the list
    int m_accepted = -1;
    bool m_closing = false;
};
