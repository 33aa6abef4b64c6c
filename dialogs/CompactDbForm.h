#pragma once

#include "dialogs/EnterForm.h"
#include "store/engine/DAOTypes.h"

#include <functional>

class QLabel;
class QPushButton;

// Compacts the open catalog and tells how much smaller it became. The
// dialog stays open afterwards; it may compact again.
class TCompactDbFm : public TEnterFm
{
    Q_OBJECT

public:
    // compact does the work and returns new size / old size in
    // ten-thousandths, 0 when it failed; failureReason, when given, tells
    // why, and the report adds it below the failure.
    explicit TCompactDbFm(std::function<TCurrency()> compact, QWidget *parent = nullptr,
                          std::function<QString()> failureReason = {});

    QLabel *Image1;
    QLabel *Label1;
    QPushButton *btnOk;
    QPushButton *btnClose;

    // Runs the compaction with the wait cursor and btnOk disabled, both
    // restored however it ends, then reports the result.
    void btnOkClick();

    // The report for a result: the failure for 0, else the new size as a
    // percentage of the old one with two decimals.
    static QString ResultText(TCurrency ratio);

private:
    std::function<TCurrency()> m_compact;
    std::function<QString()> m_failureReason;
};

// Shows the compact dialog modally until the user closes it.
void ShowCompactDialog(std::function<TCurrency()> compact, QWidget *parent = nullptr,
                       std::function<QString()> failureReason = {});
