#pragma once

#include <QLineEdit>

class TGbkWidthLimit;

// A line edit that holds no more than a catalog column of maxBytes GBK bytes
// can store. Whatever way text comes in (typed keys, a paste, a drop, text
// committed by an input method), the part that fits is inserted, cut before
// the first character that does not fit, and a short tip under the box says
// so at once: nothing is dropped silently.
class TGbkLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TGbkLineEdit(int maxBytes, QWidget *parent = nullptr);

    int MaxBytes() const { return m_maxBytes; }

    // Makes the box at least wide enough to show that many Chinese
    // characters in its font.
    void SetMinimumCharacters(int characters);

    // "最多可输入50个汉字或100个字母" for 100 bytes.
    static QString LimitText(int maxBytes);

    // The tip shown last; empty until the box first refused or cut text.
    QString LastTip() const { return m_lastTip; }

signals:
    // The box refused a typed character (cut false) or cut a longer text
    // (cut true); tip is what the user is told.
    void limitReached(const QString &tip, bool cut);

private:
    void ShowLimit(bool cut);

    int m_maxBytes;
    QString m_lastTip;
    TGbkWidthLimit *m_limit;
};
