#pragma once

#include <QSplitter>
#include <QSplitterHandle>

// A splitter whose 7-pixel sizing bar resizes one pane by dragging, and
// collapses or restores that pane by a click on the hot spot in its middle.
class TSizingSplitter : public QSplitter
{
    Q_OBJECT

public:
    // pane: the index (0 or 1) of the pane the hot spot collapses.
    explicit TSizingSplitter(Qt::Orientation orientation, int pane, QWidget *parent = nullptr);

    int CollapsiblePane() const { return m_pane; }
    bool PaneCollapsed() const;
    void TogglePane();

protected:
    QSplitterHandle *createHandle() override;

private:
    int m_pane;
    int m_restoreSize = 0;
};

class TSizingBar : public QSplitterHandle
{
    Q_OBJECT

public:
    TSizingBar(Qt::Orientation orientation, TSizingSplitter *parent);

    // The hot spot, in the bar's own coordinates.
    QRect HotSpot() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressedOnHotSpot = false;
};
