#pragma once

#include <QDate>
#include <QWidget>

#include <optional>

class QCheckBox;
class QDateEdit;

// A date picker with its own check box: the date counts only while the box
// is checked, and can be changed only then.
class TCheckDateEdit : public QWidget
{
    Q_OBJECT

public:
    explicit TCheckDateEdit(QWidget *parent = nullptr);

    QCheckBox *Check;
    QDateEdit *Edit;

    bool Checked() const;
    void SetChecked(bool checked);
    QDate Date() const;
    void SetDate(const QDate &date);
    // The date when checked, nothing otherwise.
    std::optional<QDate> CheckedDate() const;
};
