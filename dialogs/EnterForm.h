#pragma once

#include <QDialog>

// The base of every dialog of the program.
//
// Enter moves the focus to the next control in tab order, after the focused
// control has had the Enter itself: a memo still gets its line break, a combo
// box still takes its text, and the focus moves on all the same. No button is
// a default or cancel button, so neither Enter nor Escape typed into an edit
// box closes the dialog; Enter or Space on a focused push button presses it.
//
// The dialog has a fixed border, opens centred on the screen and follows
// the main and dialog skins. Its design size is the size set with resize()
// (grown to what the layout needs); the font is the application's.
class TEnterFm : public QDialog
{
    Q_OBJECT

public:
    explicit TEnterFm(QWidget *parent = nullptr);
    ~TEnterFm() override;

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

    // A key for a control of this dialog, seen before the control sees it:
    // true when the dialog has handled it.
    bool FormKeyPress(QWidget *receiver, QKeyEvent *event);

private:
    class KeyPreview;

    void PrepareFirstShow();

    KeyPreview *m_keyPreview;
    bool m_prepared = false;
    bool m_deliveringEnter = false;
};
