#include "StatsForm.h"

#include "CommandGuard.h"
#include "DAODatabase.h"
#include "GridFormat.h"
#include "MessageBoxes.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

// One bar chart of the bars' discs or values.
QChartView *BarChart(const QString &title, const QList<CatalogStats::TBar> &bars, bool values, QWidget *parent)
{
    auto *set = new QBarSet(values ? QStringLiteral("价值（元）") : QStringLiteral("光盘（张）"));
    QStringList labels;
    double top = 0;
    for (const CatalogStats::TBar &bar : bars) {
        const double y = values ? Currency::ToDouble(bar.Value) : double(bar.Discs);
        *set << y;
        top = std::max(top, y);
        labels << bar.Label;
    }
    set->setColor(values ? QColor(0xE0, 0x8A, 0x2E) : QColor(0x3A, 0x7B, 0xC8));
    auto *series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    series->setLabelsPrecision(values ? 12 : 10);

    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setVisible(false);
    chart->addSeries(series);
    auto *x = new QBarCategoryAxis;
    x->append(labels);
    if (labels.size() > 8)
        x->setLabelsAngle(-45);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto *y = new QValueAxis;
    y->setRange(0, top > 0 ? top * 1.15 : 1);
    y->setLabelFormat(values ? QStringLiteral("%.2f") : QStringLiteral("%d"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);

    auto *view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(220);
    return view;
}

QWidget *ChartPage(const QString &kind, const QList<CatalogStats::TBar> &bars, QWidget *parent)
{
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    if (bars.isEmpty()) {
        auto *empty = new QLabel(QStringLiteral("光盘夹里还没有光盘。"), page);
        empty->setAlignment(Qt::AlignCenter);
        layout->addWidget(empty);
        return page;
    }
    layout->addWidget(BarChart(QStringLiteral("按%1的光盘数").arg(kind), bars, false, page));
    layout->addWidget(BarChart(QStringLiteral("按%1的价值").arg(kind), bars, true, page));
    return page;
}

} // namespace

TStatsForm::TStatsForm(const CatalogStats::TStats &stats, const QString &catalogName, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("StatsForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(catalogName.isEmpty() ? QStringLiteral("统计") : QStringLiteral("统计 - %1").arg(catalogName));
    resize(900, 680);

    lbTotals = new QLabel(QStringLiteral("光盘：%1 张　　价值：%2 元　　目录：%3 个")
                              .arg(stats.Discs)
                              .arg(GridFormat::FixedScaled(stats.Value, 2))
                              .arg(stats.Folders),
                          this);
    lbTotals->setObjectName(QStringLiteral("lbTotals"));

    pcCharts = new QTabWidget(this);
    pcCharts->setObjectName(QStringLiteral("pcCharts"));
    pcCharts->addTab(ChartPage(QStringLiteral("分类"), stats.ByCategory, pcCharts), QStringLiteral("分类"));
    pcCharts->addTab(ChartPage(QStringLiteral("质量"), stats.ByQuality, pcCharts), QStringLiteral("质量"));
    pcCharts->addTab(ChartPage(QStringLiteral("年份"), stats.ByYear, pcCharts), QStringLiteral("年份"));
    pcCharts->addTab(ChartPage(QStringLiteral("目录"), stats.ByFolder, pcCharts), QStringLiteral("目录"));

    auto *btnSave = new QPushButton(QStringLiteral("保存图表..."), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setEnabled(stats.Discs > 0);
    auto *btnClose = new QPushButton(QStringLiteral("关闭"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnSave, &QPushButton::clicked, this, Guarded([this] { SaveClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbTotals);
    layout->addWidget(pcCharts, 1);
    layout->addLayout(buttons);

    ChooseFile = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("保存图表"), suggested,
                                            QStringLiteral("PNG 图片 (*.png)"));
    };
}

bool TStatsForm::SaveCurrentPage(const QString &fileName)
{
    QString target = fileName;
    if (QFileInfo(target).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
        target += QStringLiteral(".png");
    QWidget *page = pcCharts->currentWidget();
    if (!page || !page->grab().save(target, "PNG")) {
        Msg::Error(QStringLiteral("图表没有保存：无法写入文件“%1”。").arg(QDir::toNativeSeparators(target)));
        return false;
    }
    return true;
}

void TStatsForm::SaveClick()
{
    const QString suggested = QStringLiteral("统计-%1.png").arg(pcCharts->tabText(pcCharts->currentIndex()));
    const QString fileName = ChooseFile ? ChooseFile(suggested) : QString();
    if (!fileName.isEmpty())
        SaveCurrentPage(fileName);
}

TStatsForm *ShowStats(TDAODatabase &db, const QString &catalogName, QWidget *parent)
{
    auto *form = new TStatsForm(CatalogStats::Read(db), catalogName, parent);
    form->show();
    return form;
}
