#include "dialogs/ScanDiscDlg.h"

#include "store/catalog/ContentsScan.h"
#include "store/catalog/ContentsText.h"
#include "store/catalog/DiscContents.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/JobProgress.h"
#include "toolkit/MessageBoxes.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString KindText(Volumes::TKind kind)
{
    switch (kind) {
    case Volumes::TKind::Optical:
        return QStringLiteral("光驱");
    case Volumes::TKind::Removable:
        return QStringLiteral("可移动磁盘");
    case Volumes::TKind::Image:
        return QStringLiteral("光盘映像");
    default:
        return QStringLiteral("文件夹");
    }
}

QString RunFolderDialog(QWidget *parent)
{
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("选择要扫描的文件夹"));
}

} // namespace

TScanDiscDlg::TScanDiscDlg(const QList<Volumes::TVolume> &volumes, QWidget *parent)
    : TEnterFm(parent)
    , ChooseFolder(RunFolderDialog)
    , m_volumes(volumes)
{
    setWindowTitle(QStringLiteral("扫描光盘内容"));
    auto *note = new QLabel(QStringLiteral("请选择要读入的光盘、可移动磁盘或光盘映像，或者选择一个文件夹："), this);
    lvVolumes = new QTreeWidget(this);
    lvVolumes->setObjectName(QStringLiteral("lvVolumes"));
    lvVolumes->setRootIsDecorated(false);
    lvVolumes->setHeaderLabels({QStringLiteral("卷标"), QStringLiteral("类型"), QStringLiteral("位置"),
                                QStringLiteral("大小"), QStringLiteral("已用")});
    for (const Volumes::TVolume &volume : m_volumes) {
        auto *item =
            new QTreeWidgetItem(lvVolumes, {volume.Label, KindText(volume.Kind), volume.Root,
                                            ContentsText::SizeText(volume.Size), ContentsText::SizeText(volume.Used)});
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!m_volumes.isEmpty()) {
        lvVolumes->setCurrentItem(lvVolumes->topLevelItem(0));
    } else {
        // Said in the list itself, so an empty list is not taken for one
        // still loading; a folder can still be chosen.
        auto *none = new QTreeWidgetItem(lvVolumes, {QStringLiteral("没有找到光盘或可移动磁盘")});
        none->setFlags(Qt::NoItemFlags);
        none->setForeground(0, QColor(0x60, 0x60, 0x60)); // a disabled row's grey is too faint to read
        none->setFirstColumnSpanned(true);
    }
    lvVolumes->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    btnFolder = new QPushButton(QStringLiteral("选择文件夹..."), this);
    btnFolder->setObjectName(QStringLiteral("btnFolder"));
    btnScan = new QPushButton(QStringLiteral("扫描"), this);
    btnScan->setObjectName(QStringLiteral("btnScan"));
    btnScan->setEnabled(!m_volumes.isEmpty());
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnFolder);
    buttons->addStretch();
    buttons->addWidget(btnScan);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(lvVolumes, 1);
    layout->addLayout(buttons);
    resize(520, 300);

    connect(btnFolder, &QPushButton::clicked, this, Guarded([this] { btnFolderClick(); }));
    connect(btnScan, &QPushButton::clicked, this, Guarded([this] { btnScanClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lvVolumes, &QTreeWidget::itemDoubleClicked, this, Guarded([this] { btnScanClick(); }));
}

void TScanDiscDlg::btnFolderClick()
{
    const QString folder = ChooseFolder ? ChooseFolder(this) : QString();
    if (folder.isEmpty())
        return;
    m_chosen = Volumes::OfFolder(folder);
    accept();
}

void TScanDiscDlg::btnScanClick()
{
    const int row = lvVolumes->indexOfTopLevelItem(lvVolumes->currentItem());
    if (row < 0 || row >= m_volumes.size()) {
        Msg::Warning(QStringLiteral("请先选择要扫描的光盘。"));
        return;
    }
    m_chosen = m_volumes.at(row);
    accept();
}

namespace ScanDisc {

std::function<std::optional<Volumes::TVolume>(QWidget *parent)> ChooseVolumeHook;
std::function<bool(const QString &path)> RefuseFolderHook;

namespace {

// The report's list of unreadable entries stops after this many.
constexpr int UnreadableListed = 20;

QString Report(const DiscScanner::TResult &result)
{
    QString text = QStringLiteral("扫描完成：%1 个文件，%2 个文件夹，共 %3。")
                       .arg(result.Files)
                       .arg(result.Folders)
                       .arg(ContentsText::SizeText(result.Bytes));
    if (result.Links > 0)
        text += QStringLiteral("\n符号链接 %1 个（已记录，未跟随）。").arg(result.Links);
    if (!result.Unreadable.isEmpty()) {
        text += QStringLiteral("\n\n%1 项无法读取：").arg(result.Unreadable.size());
        for (const QString &path : result.Unreadable.mid(0, UnreadableListed))
            text += QLatin1Char('\n') + path;
        if (result.Unreadable.size() > UnreadableListed)
            text += QStringLiteral("\n……");
    }
    return text;
}

} // namespace

bool Run(QWidget *parent, TDAODatabase &db, qint64 discId, const Volumes::TVolume &volume)
{
    DiscContents::TVolume info;
    info.Label = volume.Label;
    info.FsSize = volume.Size;
    info.FsUsed = volume.Used;
    const QString root = volume.Root;
    const std::function<bool(const QString &)> refuse = RefuseFolderHook;
    DiscScanner::TResult result;
    JobProgress::TOptions options;
    options.Title = QStringLiteral("扫描光盘内容");
    options.Label = QStringLiteral("正在扫描“%1”...").arg(root);
    options.Cancellable = true;
    JobProgress::Run(parent, db, options, [&result, root, info, refuse, discId](TCatalogJob &job) {
        DiscScanner::TCallbacks callbacks;
        callbacks.Progress = [&job, &root](const DiscScanner::TResult &sofar) {
            job.Report(0, 0,
                       QStringLiteral("正在扫描“%1”...\n%2 个文件，%3 个文件夹，%4")
                           .arg(root)
                           .arg(sofar.Files)
                           .arg(sofar.Folders)
                           .arg(ContentsText::SizeText(sofar.Bytes)));
            return !job.Cancelled();
        };
        callbacks.RefuseFolder = refuse;
        result = ContentsScan::ScanInto(job.Db(), discId, root, info, callbacks);
    });
    if (result.Cancelled) {
        Msg::Information(QStringLiteral("扫描已取消，光盘内容保持原样。"));
        return false;
    }
    Msg::Information(Report(result));
    return true;
}

bool ScanDiscContents(QWidget *parent, TDAODatabase &db, qint64 discId)
{
    if (discId <= 0)
        return false;
    if (DiscContents::Volume(db, discId) &&
        !Msg::Confirm(QStringLiteral("这张光盘已经扫描过，重新扫描将替换原有的光盘内容。继续吗？")))
        return false;
    std::optional<Volumes::TVolume> volume;
    if (ChooseVolumeHook) {
        volume = ChooseVolumeHook(parent);
    } else {
        TScanDiscDlg dlg(Volumes::Mounted(), parent);
        if (dlg.exec() == QDialog::Accepted)
            volume = dlg.Chosen();
    }
    if (!volume)
        return false;
    return Run(parent, db, discId, *volume);
}

bool ClearDiscContents(TDAODatabase &db, qint64 discId)
{
    if (discId <= 0 || !DiscContents::Volume(db, discId))
        return false;
    if (!Msg::Confirm(QStringLiteral("真的要清除这张光盘的内容记录吗？")))
        return false;
    DiscContents::Clear(db, discId);
    return true;
}

} // namespace ScanDisc
