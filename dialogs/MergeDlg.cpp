#include "dialogs/MergeDlg.h"

#include "dialogs/ImportDlg.h"
#include "store/catalog/CatalogBackup.h"
#include "store/catalog/PictureFiles.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/JobProgress.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Catalogs of at least this many folders and discs show a progress bar
// with a cancel button.
constexpr int ProgressFrom = 500;
// The clashing discs named in the dialog; the report names all.
constexpr int ClashesShown = 20;

} // namespace

TMergeDlg::TMergeDlg(const CatalogMerge::TSource &source, TDAODatabase &db, QWidget *parent)
    : QDialog(parent)
    , m_source(source)
    , m_db(db)
{
    setObjectName(QStringLiteral("MergeDlg"));
    setWindowTitle(QStringLiteral("合并光盘夹 - %1").arg(QFileInfo(source.Path).fileName()));
    resize(560, 360);

    lbSummary = new QLabel(QStringLiteral("将把光盘夹“%1”的 %2 个目录和 %3 张光盘合并到当前光盘夹的新目录“%4”中。\n"
                                          "分类和质量按名称对应，没有的将会添加；封面沿用相同的图片文件。")
                               .arg(QDir::toNativeSeparators(source.Path))
                               .arg(source.Folders.size())
                               .arg(source.Discs.size())
                               .arg(CatalogMerge::FreeFolderName(db, Schema::RootFolderId, source.Title)));
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    lbSummary->setWordWrap(true);

    const QList<int> clashes = CatalogMerge::CodeClashes(db, source);
    QStringList named;
    for (int i : clashes.mid(0, ClashesShown)) {
        const CatalogMerge::TDisc &disc = source.Discs.at(i);
        named << QStringLiteral("  “%1”（编号 %2）").arg(disc.NameText(), disc.CodeText());
    }
    if (clashes.size() > ClashesShown)
        named << QStringLiteral("  ……");
    lbClashes = new QLabel(clashes.isEmpty() ? QStringLiteral("没有编号冲突的光盘。")
                                             : QStringLiteral("%1 张光盘的编号在当前光盘夹中已存在或重复：\n%2")
                                                   .arg(clashes.size())
                                                   .arg(named.join(QLatin1Char('\n'))));
    lbClashes->setObjectName(QStringLiteral("lbClashes"));
    lbClashes->setWordWrap(true);
    lbClashes->setTextFormat(Qt::PlainText);
    lbSummary->setTextFormat(Qt::PlainText);

    cbCodeClash = new QComboBox;
    cbCodeClash->setObjectName(QStringLiteral("cbCodeClash"));
    cbCodeClash->addItem(QStringLiteral("跳过这些光盘"), int(ImportPlan::TChoice::Skip));
    cbCodeClash->addItem(QStringLiteral("合并这些光盘，编号留空"), int(ImportPlan::TChoice::Empty));
    auto *choice = new QHBoxLayout;
    auto *choiceLabel = new QLabel(QStringLiteral("编号冲突的光盘："));
    choice->addWidget(choiceLabel);
    choice->addWidget(cbCodeClash, 1);
    choiceLabel->setVisible(!clashes.isEmpty());
    cbCodeClash->setVisible(!clashes.isEmpty());

    auto *buttons = new QDialogButtonBox;
    btnMerge = buttons->addButton(QStringLiteral("合并"), QDialogButtonBox::AcceptRole);
    btnMerge->setObjectName(QStringLiteral("btnMerge"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(btnMerge, &QPushButton::clicked, this, Guarded([this] { btnMergeClick(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbSummary);
    layout->addWidget(lbClashes, 1);
    layout->addLayout(choice);
    layout->addWidget(buttons);
}

void TMergeDlg::btnMergeClick()
{
    const qint64 steps = m_source.Folders.size() + m_source.Discs.size();
    JobProgress::TOptions options;
    options.Title = windowTitle();
    options.Label = QStringLiteral("正在合并光盘夹...");
    options.Cancellable = true;
    options.ShowAtOnce = steps >= ProgressFrom;
    CatalogMerge::THasPicture hasPicture;
    if (!PictureFolder.isEmpty())
        hasPicture = [folder = PictureFolder](const QString &name) {
            return !PictureFiles::StoredPictureFile(folder, name).isEmpty();
        };
    const auto codeClash = ImportPlan::TChoice(cbCodeClash->currentData().toInt());
    JobProgress::Run(this, m_db, options, [this, steps, codeClash, hasPicture](TCatalogJob &job) {
        qint64 done = 0;
        auto step = [&job, &done, steps] {
            job.Report(++done, steps);
            return !job.Cancelled();
        };
        m_report = CatalogMerge::Merge(job.Db(), m_source, codeClash, step, hasPicture);
    });
    accept();
}

int RunMerge(QWidget *parent, const std::function<QString()> &chooseFile, TDAODatabase &db, const QString &currentDb,
             const QString &pictureFolder)
{
    if (currentDb.isEmpty())
        throw EFileError(QStringLiteral("还没有打开光盘夹：请通过“新建/打开光盘夹..”选择一个光盘夹。"));
    const QString path = chooseFile();
    if (path.isEmpty())
        return 0;
    if (CatalogBackup::SameFile(path, currentDb))
        throw EFileError(QStringLiteral("“%1”就是当前打开的光盘夹，不能合并到它自己。请选择另一个光盘夹。")
                             .arg(QDir::toNativeSeparators(path)));
    CatalogMerge::TSource source;
    JobProgress::TOptions reading;
    reading.Title = QStringLiteral("合并光盘夹");
    reading.Label = QStringLiteral("正在读取光盘夹“%1”...").arg(QDir::toNativeSeparators(path));
    reading.ShowAtOnce = false;
    // An older catalog is upgraded in its copy: that may take a while.
    JobProgress::Run(parent, db, reading, [&source, path](TCatalogJob &) { source = CatalogMerge::Read(path); });
    TMergeDlg dialog(source, db, parent);
    dialog.PictureFolder = pictureFolder;
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    TImportReportDlg report(dialog.Report().Text(), parent);
    report.setWindowTitle(QStringLiteral("合并报告"));
    report.ChooseFileHook = [&report] {
        return QFileDialog::getSaveFileName(&report, QStringLiteral("保存合并报告"), QStringLiteral("合并报告.txt"),
                                            QStringLiteral("文本文件 (*.txt)"));
    };
    report.exec();
    return dialog.Report().Cancelled ? 0 : int(dialog.Report().FolderId);
}
