#pragma once

#include <QWidget>

class QTextBrowser;

// The user's guide, shipped in the program's resources, in a window of its
// own beside the main window. One window at a time: asking again brings it
// to the front.
class THelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit THelpWindow(QWidget *parent = nullptr);

    // Shows the guide, making the window when there is none.
    static THelpWindow *ShowGuide(QWidget *parent);

    QTextBrowser *Browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
};
