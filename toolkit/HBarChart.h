#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

// A horizontal bar chart that stays readable with many bars: each bar's name
// in full on its left, its value written at its end and a tooltip over its
// row. The rows share the height the chart is given, within a readable range.
class THBarChart : public QWidget
{
    Q_OBJECT

public:
    struct TBar
    {
        QString Label;
        double Value = 0;
        QString ValueText; // written at the bar's end
        QString ToolTip;
        bool Muted = false; // drawn grey: a bar that is not one of the groups
    };

    explicit THBarChart(QWidget *parent = nullptr);

    void SetTitle(const QString &title);
    QString Title() const { return m_title; }
    void SetColor(const QColor &color);
    void SetBars(const QList<TBar> &bars);
    const QList<TBar> &Bars() const { return m_bars; }

    // The bar whose row holds the point, -1 for none.
    int BarAt(const QPoint &pos) const;
    // The row of a bar: its name, bar and value.
    QRect RowRect(int index) const;
    // A bar's name as drawn: in full unless it is wider than the name column
    // may grow (nearly half the chart), then elided (the tooltip has it).
    QString LabelShown(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct TGeometry
    {
        QRect Title;
        int LabelLeft = 0, LabelWidth = 0;
        int BarLeft = 0, BarWidth = 0;
        int Top = 0, RowHeight = 0;
    };
    TGeometry Geometry() const;
    int TitleHeight() const;

    QString m_title;
    QColor m_color{0x3A, 0x7B, 0xC8};
    QList<TBar> m_bars;
};
