#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

// The box of a 多值 field: a list of values kept in the user's order. A
// value is typed and added, several are pasted at once (a value a line),
// and a value in the list is changed in place, removed or moved.
class TMultiValueBox : public QWidget
{
    Q_OBJECT

public:
    explicit TMultiValueBox(QWidget *parent = nullptr);

    QStringList Values() const;
    void SetValues(const QStringList &values);
    // Adds each line of the text that holds something, after the current
    // value (at the end when there is none); the last one added is current.
    void AddLines(const QString &text);

    QLineEdit *edNew;
    QListWidget *lvValues;
    QPushButton *btnAdd, *btnPaste, *btnRemove, *btnUp, *btnDown;

private:
    void Move(int step);
    void UpdateButtons();
};
