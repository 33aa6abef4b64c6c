#include "dialogs/StatsForm.h"

#include "dialogs/StatsCharts.h"
#include "store/engine/DAODatabase.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/GridFormat.h"
#include "toolkit/MessageBoxes.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

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
    pcCharts->addTab(StatsCharts::ChartPage(QStringLiteral("分类"), stats.ByCategory, pcCharts),
                     QStringLiteral("分类"));
    pcCharts->addTab(StatsCharts::ChartPage(QStringLiteral("质量"), stats.ByQuality, pcCharts), QStringLiteral("质量"));
    pcCharts->addTab(StatsCharts::YearPage(stats.ByYear, pcCharts), QStringLiteral("年份"));
    pcCharts->addTab(StatsCharts::ChartPage(QStringLiteral("目录"), stats.ByFolder, pcCharts), QStringLiteral("目录"));

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
