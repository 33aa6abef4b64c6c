#pragma once

#include <QWidget>

class QPushButton;
class QTextBrowser;

// The user's guide, shipped in the program's resources, in a window of its
// own beside the main window. One window at a time: asking again brings it
// to the front. "关闭" and Esc close it.
class THelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit THelpWindow(QWidget *parent = nullptr);

    // Shows the guide, making the window when there is none.
    static THelpWindow *ShowGuide(QWidget *parent);

    QTextBrowser *Browser() const { return m_browser; }
    QPushButton *CloseButton() const { return m_close; }

private:
    QTextBrowser *m_browser;
    QPushButton *m_close;
};
