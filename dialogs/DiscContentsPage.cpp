#include "dialogs/DiscContentsPage.h"

#include "dialogs/DiscContentsModel.h"
#include "dialogs/ScanDiscDlg.h"
#include "store/catalog/ContentsText.h"
#include "store/catalog/DiscContents.h"
#include "toolkit/CommandGuard.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

TDiscContentsPage::TDiscContentsPage(TDAODatabase &db, qint64 discId, QWidget *parent)
    : QWidget(parent)
    , m_db(db)
    , m_discId(discId)
{
    lbSummary = new QLabel(this);
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    lbSummary->setWordWrap(true);
    tvContents = new QTreeView(this);
    tvContents->setObjectName(QStringLiteral("tvContents"));
    tvContents->setUniformRowHeights(true);
    btnScan = new QPushButton(QStringLiteral("扫描光盘内容..."), this);
    btnScan->setObjectName(QStringLiteral("btnScanContents"));
    btnClear = new QPushButton(QStringLiteral("清除光盘内容"), this);
    btnClear->setObjectName(QStringLiteral("btnClearContents"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnScan);
    buttons->addWidget(btnClear);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(lbSummary);
    layout->addWidget(tvContents, 1);
    layout->addLayout(buttons);

    if (m_discId > 0) {
        m_model = new TDiscContentsModel(m_db, m_discId, this);
        tvContents->setModel(m_model);
        tvContents->header()->resizeSection(TDiscContentsModel::NameColumn, 220);
    }
    connect(btnScan, &QPushButton::clicked, this, Guarded([this] { btnScanClick(); }));
    connect(btnClear, &QPushButton::clicked, this, Guarded([this] { btnClearClick(); }));
    Refresh();
}

QString TDiscContentsPage::SummaryText(TDAODatabase &db, qint64 discId)
{
    const std::optional<DiscContents::TVolume> volume = DiscContents::Volume(db, discId);
    if (!volume)
        return {};
    return QStringLiteral("卷标：%1　文件：%2　文件夹：%3　总大小：%4　扫描日期：%5")
        .arg(volume->Label)
        .arg(volume->Files)
        .arg(volume->Folders)
        .arg(ContentsText::SizeText(volume->Bytes))
        .arg(volume->ScanDate.toString(QStringLiteral("yyyy-MM-dd")));
}

void TDiscContentsPage::Refresh()
{
    if (m_discId <= 0) {
        lbSummary->setText(QStringLiteral("保存光盘以后才能扫描它的内容。"));
        btnScan->setEnabled(false);
        btnClear->setEnabled(false);
        return;
    }
    const QString summary = SummaryText(m_db, m_discId);
    lbSummary->setText(summary.isEmpty() ? QStringLiteral("这张光盘还没有扫描过。") : summary);
    btnClear->setEnabled(!summary.isEmpty());
    m_model->Reload();
}

void TDiscContentsPage::btnScanClick()
{
    if (ScanDisc::ScanDiscContents(this, m_db, m_discId))
        Refresh();
}

void TDiscContentsPage::btnClearClick()
{
    if (ScanDisc::ClearDiscContents(m_db, m_discId))
        Refresh();
}
