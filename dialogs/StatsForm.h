#pragma once

#include "store/catalog/CatalogStats.h"

#include <QWidget>

#include <functional>

class QLabel;
class QTabWidget;

// The statistics window: the catalog's totals and, on one page each, charts
// of the discs and their value by category, grade, year and top-level
// folder. Each page's charts can be saved as a PNG picture.
class TStatsForm : public QWidget
{
    Q_OBJECT

public:
    TStatsForm(const CatalogStats::TStats &stats, const QString &catalogName, QWidget *parent = nullptr);

    // Asks for the file a page's charts are saved to; empty when cancelled.
    // A file dialog unless replaced (tests).
    std::function<QString(const QString &suggested)> ChooseFile;

    // Saves the charts of the page shown into a PNG file; false with a
    // message when the file cannot be written.
    bool SaveCurrentPage(const QString &fileName);

    QLabel *lbTotals;
    QTabWidget *pcCharts;

private:
    void SaveClick();
};

// Reads the open catalog's figures and shows them in a new statistics
// window (closed and freed by the user).
TStatsForm *ShowStats(TDAODatabase &db, const QString &catalogName, QWidget *parent);
