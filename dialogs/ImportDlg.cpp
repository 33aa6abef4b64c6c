#include "ImportDlg.h"

#include "AddCdPicture.h"
#include "CommandGuard.h"
#include "DAODatabase.h"
#include "DAOQuery.h"
#include "DateUtils.h"
#include "Errors.h"
#include "ImportFields.h"
#include "MessageBoxes.h"
#include "Schema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int PreviewRows = 50;
// Files of at least this many rows show a progress bar with a cancel button.
constexpr int ProgressFrom = 500;

QString SeparatorName(QChar c)
{
    if (c == QLatin1Char('\t'))
        return QStringLiteral("制表符");
    if (c == QLatin1Char(';'))
        return QStringLiteral("分号");
    return QStringLiteral("逗号");
}

} // namespace

TImportDlg::TImportDlg(const QString &path, const QByteArray &bytes, TDAODatabase &db, int currentFolder,
                       const QString &pictureFolder, QWidget *parent)
    : QDialog(parent)
    , m_path(path)
    , m_bytes(bytes)
    , m_db(db)
    , m_pictureFolder(pictureFolder)
{
    setObjectName(QStringLiteral("ImportDlg"));
    setWindowTitle(QStringLiteral("导入光盘 - %1").arg(QFileInfo(path).fileName()));
    resize(900, 640);
    m_widths = ImportStore::ReadWidths(db);
    m_codes = ImportStore::ExistingCodes(db);

    auto *reading = new QGroupBox(QStringLiteral("读取"));
    auto *readingLayout = new QHBoxLayout(reading);
    cbEncoding = new QComboBox;
    cbEncoding->setObjectName(QStringLiteral("cbEncoding"));
    cbEncoding->addItem(QStringLiteral("UTF-8"), int(CsvReader::TEncoding::Utf8));
    cbEncoding->addItem(QStringLiteral("GB18030（GBK、GB2312）"), int(CsvReader::TEncoding::Gb18030));
    cbEncoding->setCurrentIndex(cbEncoding->findData(int(CsvReader::DetectEncoding(bytes))));
    cbSeparator = new QComboBox;
    cbSeparator->setObjectName(QStringLiteral("cbSeparator"));
    for (QChar c : {QLatin1Char(','), QLatin1Char('\t'), QLatin1Char(';')})
        cbSeparator->addItem(SeparatorName(c), QVariant(QString(c)));
    chkHeader = new QCheckBox(QStringLiteral("第一行是列名"));
    chkHeader->setObjectName(QStringLiteral("chkHeader"));
    readingLayout->addWidget(new QLabel(QStringLiteral("编码：")));
    readingLayout->addWidget(cbEncoding);
    readingLayout->addWidget(new QLabel(QStringLiteral("分隔符：")));
    readingLayout->addWidget(cbSeparator);
    readingLayout->addWidget(chkHeader);
    readingLayout->addStretch();

    auto *mapping = new QGroupBox(QStringLiteral("字段对应的列"));
    auto *mappingLayout = new QGridLayout(mapping);
    for (int field = 0; field < ImportFields::FieldCount; ++field) {
        auto *box = new QComboBox;
        box->setObjectName(QStringLiteral("cbField%1").arg(field));
        cbFields << box;
        mappingLayout->addWidget(new QLabel(ImportFields::Caption(field) + QStringLiteral("：")), field / 4,
                                 (field % 4) * 2);
        mappingLayout->addWidget(box, field / 4, (field % 4) * 2 + 1);
        connect(box, &QComboBox::activated, this, Guarded([this] { Replan(); }));
    }

    auto *where = new QHBoxLayout;
    cbFolder = new QComboBox;
    cbFolder->setObjectName(QStringLiteral("cbFolder"));
    for (const auto &[id, folderPath] : ImportStore::FolderPaths(db))
        cbFolder->addItem(folderPath, id);
    cbFolder->setCurrentIndex(qMax(0, cbFolder->findData(currentFolder)));
    where->addWidget(new QLabel(QStringLiteral("导入到光盘夹目录：")));
    where->addWidget(cbFolder, 1);

    auto *problems = new QGroupBox(QStringLiteral("有问题的行"));
    auto *problemsLayout = new QGridLayout(problems);
    for (int p = 0; p < ImportPlan::ProblemCount; ++p) {
        auto *box = new QComboBox;
        box->setObjectName(QStringLiteral("cbChoice%1").arg(p));
        for (ImportPlan::TChoice choice : ImportPlan::ChoicesFor(ImportPlan::TProblem(p)))
            box->addItem(ImportPlan::ChoiceText(choice), int(choice));
        cbChoices << box;
        problemsLayout->addWidget(new QLabel(ImportPlan::ProblemText(ImportPlan::TProblem(p)) + QStringLiteral("：")),
                                  p / 3, (p % 3) * 2);
        problemsLayout->addWidget(box, p / 3, (p % 3) * 2 + 1);
        connect(box, &QComboBox::activated, this, Guarded([this] { Replan(); }));
    }
    lbProblems = new QLabel;
    lbProblems->setObjectName(QStringLiteral("lbProblems"));
    lbProblems->setWordWrap(true);
    problemsLayout->addWidget(lbProblems, 2, 0, 1, 6);

    gridPreview = new QTableWidget;
    gridPreview->setObjectName(QStringLiteral("gridPreview"));
    gridPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridPreview->verticalHeader()->hide();

    auto *buttons = new QDialogButtonBox;
    btnImport = buttons->addButton(QStringLiteral("导入"), QDialogButtonBox::AcceptRole);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(btnImport, &QPushButton::clicked, this, Guarded([this] { btnImportClick(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(reading);
    layout->addWidget(mapping);
    layout->addLayout(where);
    layout->addWidget(problems);
    layout->addWidget(new QLabel(QStringLiteral("预览（导入后的样子）：")));
    layout->addWidget(gridPreview, 1);
    layout->addWidget(buttons);

    const QString text = CsvReader::Decode(bytes, CsvReader::TEncoding::Auto);
    cbSeparator->setCurrentIndex(cbSeparator->findData(QString(CsvReader::DetectSeparator(text))));
    m_reading = true;
    Reread();
    m_reading = false;
    connect(cbEncoding, &QComboBox::activated, this, Guarded([this] { Reread(); }));
    connect(cbSeparator, &QComboBox::activated, this, Guarded([this] { Reread(); }));
    connect(chkHeader, &QCheckBox::toggled, this, Guarded([this] { Reread(); }));
}

void TImportDlg::Reread()
{
    const auto encoding = CsvReader::TEncoding(cbEncoding->currentData().toInt());
    const QChar separator = cbSeparator->currentData().toString().at(0);
    m_records = CsvReader::Parse(CsvReader::Decode(m_bytes, encoding), separator);
    int columns = 0;
    for (const CsvReader::TRecord &r : std::as_const(m_records))
        columns = qMax(columns, int(r.Fields.size()));
    const QStringList first = m_records.isEmpty() ? QStringList() : m_records.first().Fields;
    if (m_reading) {
        const QSignalBlocker block(chkHeader);
        chkHeader->setChecked(ImportFields::IsHeaderRow(first));
    }
    const bool header = chkHeader->isChecked();
    QStringList names;
    for (int c = 0; c < columns; ++c) {
        const QString name = header && c < first.size() ? first.at(c).trimmed() : QString();
        names << (name.isEmpty() ? QStringLiteral("第%1列").arg(c + 1)
                                 : QStringLiteral("第%1列：%2").arg(c + 1).arg(name));
    }
    const QList<int> guess = header ? ImportFields::GuessMapping(first) : QList<int>(ImportFields::FieldCount, -1);
    for (int field = 0; field < cbFields.size(); ++field) {
        QComboBox *box = cbFields.at(field);
        box->clear();
        box->addItem(QStringLiteral("（不导入）"), -1);
        for (int c = 0; c < columns; ++c)
            box->addItem(names.at(c), c);
        box->setCurrentIndex(box->findData(guess.at(field)));
    }
    Replan();
}

ImportPlan::TSettings TImportDlg::Settings() const
{
    ImportPlan::TSettings settings;
    for (QComboBox *box : cbFields)
        settings.Mapping << box->currentData().toInt();
    for (int p = 0; p < cbChoices.size(); ++p)
        settings.Choices[p] = ImportPlan::TChoice(cbChoices.at(p)->currentData().toInt());
    settings.Widths = m_widths;
    settings.ExistingCodes = m_codes;
    settings.PictureFolder = QFileInfo(m_path).absolutePath();
    return settings;
}

void TImportDlg::Replan()
{
    const bool header = chkHeader->isChecked();
    m_rows = ImportPlan::Build(header ? m_records.mid(1) : m_records, Settings());
    // Discs never lie in the root folder itself: rows without a folder of
    // their own then go to a folder named after the file.
    if (TargetFolder() == Schema::RootFolderId)
        for (ImportPlan::TRow &row : m_rows)
            if (row.FolderPath.isEmpty())
                row.FolderPath << QFileInfo(m_path).completeBaseName();

    const QStringList captions{QStringLiteral("行"),         QStringLiteral("名称"), QStringLiteral("编号"),
                               QStringLiteral("序列号"),     QStringLiteral("日期"), QStringLiteral("分类"),
                               QStringLiteral("质量"),       QStringLiteral("价格"), QStringLiteral("位置"),
                               QStringLiteral("光盘夹目录"), QStringLiteral("封面"), QStringLiteral("问题")};
    gridPreview->clear();
    gridPreview->setColumnCount(int(captions.size()));
    gridPreview->setHorizontalHeaderLabels(captions);
    int skipped = 0, withProblems = 0;
    QStringList lines;
    for (const ImportPlan::TRow &row : std::as_const(m_rows)) {
        skipped += row.Skipped;
        if (!row.Problems.isEmpty()) {
            ++withProblems;
            if (lines.size() < 5)
                lines << QStringLiteral("第%1行：%2").arg(row.Number).arg(row.Problems.join(QStringLiteral("；")));
        }
    }
    const int shown = int(qMin(qsizetype(PreviewRows), m_rows.size()));
    gridPreview->setRowCount(shown);
    for (int r = 0; r < shown; ++r) {
        const ImportPlan::TRow &row = m_rows.at(r);
        const TCdRec &d = row.Disc;
        const QStringList cells{QString::number(row.Number),
                                d.Name,
                                d.Code,
                                d.Serial,
                                row.HasDay ? DateUtils::FormatDate(d.Day) : QString(),
                                row.Category,
                                row.Quality,
                                d.Price ? QString::number(Currency::ToDouble(d.Price), 'f', 2) : QString(),
                                d.Location,
                                row.FolderPath.join(QLatin1Char('/')),
                                row.PictureSource.isEmpty() ? QString() : QFileInfo(row.PictureSource).fileName(),
                                row.Skipped ? QStringLiteral("跳过：") + row.Problems.join(QStringLiteral("；"))
                                            : row.Problems.join(QStringLiteral("；"))};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (row.Skipped)
                item->setForeground(Qt::gray);
            gridPreview->setItem(r, c, item);
        }
    }
    QString summary = QStringLiteral("共 %1 行，将导入 %2 张光盘；%3 行有问题，其中 %4 行将被跳过。")
                          .arg(m_rows.size())
                          .arg(m_rows.size() - skipped)
                          .arg(withProblems)
                          .arg(skipped);
    if (!lines.isEmpty())
        summary += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    if (withProblems > lines.size())
        summary += QStringLiteral("\n……");
    lbProblems->setText(summary);
    btnImport->setEnabled(m_rows.size() > skipped);
}

int TImportDlg::TargetFolder() const
{
    return cbFolder->currentData().toInt();
}

void TImportDlg::btnImportClick()
{
    // Pictures copied for this import; removed again when it does not go in.
    QStringList copied;
    const QDir pictures(m_pictureFolder);
    ImportStore::TCallbacks callbacks;
    callbacks.StorePicture = [&](const QString &source) {
        const QSet<QString> before = [&] {
            const QStringList names = pictures.entryList(QDir::Files);
            return QSet<QString>(names.begin(), names.end());
        }();
        const TStoredPicture stored = StorePicture(source, m_pictureFolder);
        if (!stored.ok)
            throw EFileError(stored.error + QStringLiteral("。导入没有完成，光盘夹没有改变。"));
        if (!before.contains(stored.name))
            copied << pictures.filePath(stored.name);
        return stored.name;
    };
    std::unique_ptr<QProgressDialog> progress;
    if (m_rows.size() >= ProgressFrom) {
        progress = std::make_unique<QProgressDialog>(QStringLiteral("正在导入光盘..."), QStringLiteral("取消"), 0,
                                                     int(m_rows.size()), this);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setValue(0);
    }
    int done = 0;
    QElapsedTimer sincePaint;
    sincePaint.start();
    callbacks.Step = [&] {
        ++done;
        if (progress && sincePaint.elapsed() >= 50) {
            progress->setValue(done);
            // Only the modal bar takes input meanwhile: its cancel button.
            QCoreApplication::processEvents();
            sincePaint.restart();
            return !progress->wasCanceled();
        }
        return true;
    };
    try {
        std::unique_ptr<TDAOSuspendGuard> suspended;
        if (ListQuery)
            suspended = std::make_unique<TDAOSuspendGuard>(*ListQuery);
        m_report = ImportStore::Import(m_db, m_rows, TargetFolder(), callbacks);
    } catch (...) {
        for (const QString &file : copied)
            QFile::remove(file);
        throw;
    }
    if (m_report.Cancelled)
        for (const QString &file : copied)
            QFile::remove(file);
    accept();
}

TImportReportDlg::TImportReportDlg(const QString &text, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportReportDlg"));
    setWindowTitle(QStringLiteral("导入报告"));
    resize(560, 420);
    edReport = new QPlainTextEdit(text);
    edReport->setReadOnly(true);
    auto *buttons = new QDialogButtonBox;
    btnSave = buttons->addButton(QStringLiteral("保存..."), QDialogButtonBox::ActionRole);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    QPushButton *close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::AcceptRole);
    connect(btnSave, &QPushButton::clicked, this, Guarded([this] { btnSaveClick(); }));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(edReport, 1);
    layout->addWidget(buttons);
    ChooseFileHook = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("保存导入报告"), QStringLiteral("导入报告.txt"),
                                            QStringLiteral("文本文件 (*.txt)"));
    };
}

void TImportReportDlg::btnSaveClick()
{
    const QString path = ChooseFileHook();
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(edReport->toPlainText().toUtf8()) < 0 || !file.commit())
        throw EFileError(
            QStringLiteral("无法保存导入报告“%1”：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
}

int RunImport(QWidget *parent, const std::function<QString()> &chooseFile, TDAODatabase &db, int currentFolder,
              const QString &pictureFolder, TDAOQuery *listQuery)
{
    const QString path = chooseFile();
    if (path.isEmpty())
        return 0;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("无法读取文件“%1”。").arg(QDir::toNativeSeparators(path)));
    const QByteArray bytes = file.readAll();
    TImportDlg dialog(path, bytes, db, currentFolder, pictureFolder, parent);
    dialog.ListQuery = listQuery;
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    TImportReportDlg report(dialog.Report().Text(), parent);
    report.exec();
    return dialog.Report().Cancelled ? 0 : dialog.TargetFolder();
}
