#include "dialogs/ImportDlg.h"

#include "dialogs/AddCdPicture.h"
#include "pinyin/GbkText.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/JobProgress.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/PictureFiles.h"

#include <QAbstractListModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int PreviewRows = 50;
// Files of at least this many rows show a progress bar with a cancel button.
constexpr int ProgressFrom = 500;

// What a box or a preview cell shows of a text: a file's column name or a
// folder's path may be of any length; the whole text is the tool tip.
constexpr qsizetype ShownLength = 48;

QString Shortened(const QString &text)
{
    if (text.size() <= ShownLength)
        return text;
    constexpr qsizetype Head = ShownLength / 3;
    return text.left(Head) + QStringLiteral("…") + text.right(ShownLength - Head - 1);
}

void AddShortItem(QComboBox *box, const QString &text, const QVariant &data)
{
    box->addItem(Shortened(text), data);
    if (text.size() > ShownLength)
        box->setItemData(box->count() - 1, text, Qt::ToolTipRole);
}

// A box as wide as its layout gives it, whatever its entries hold.
void FitToLayout(QComboBox *box, int characters)
{
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(characters);
}

QString SeparatorName(QChar c)
{
    if (c == QLatin1Char('\t'))
        return QStringLiteral("制表符");
    if (c == QLatin1Char(';'))
        return QStringLiteral("分号");
    return QStringLiteral("逗号");
}

} // namespace

// The lines of the problem list: the file's own notes, then each row with
// problems, told when the list shows it; a file of a million rows costs a
// million indices here, not a million texts.
class TProblemLines : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void Reset(const QList<ImportPlan::TRow> &rows, const QStringList &notes)
    {
        beginResetModel();
        m_rows = &rows;
        m_notes = notes;
        m_lines.clear();
        for (qsizetype i = 0; i < rows.size(); ++i)
            if (!rows.at(i).Problems.isEmpty())
                m_lines.push_back(i);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_notes.size() + qsizetype(m_lines.size()));
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        if (index.row() < m_notes.size())
            return m_notes.at(index.row());
        const ImportPlan::TRow &row = m_rows->at(m_lines[size_t(index.row() - m_notes.size())]);
        return QStringLiteral("第%1行：%2").arg(row.Number).arg(row.Problems.join(QStringLiteral("；")));
    }

private:
    const QList<ImportPlan::TRow> *m_rows = nullptr;
    QStringList m_notes;
    std::vector<qsizetype> m_lines;
};

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
    resize(960, 720);
    m_widths = ImportStore::ReadWidths(db);
    m_codes = ImportStore::ExistingCodes(db);
    m_firstQuality = ImportStore::FirstQuality(db);

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

    auto *mapping = new QWidget;
    auto *mappingLayout = new QGridLayout(mapping);
    for (int field = 0; field < ImportFields::FieldCount; ++field) {
        auto *box = new QComboBox;
        box->setObjectName(QStringLiteral("cbField%1").arg(field));
        FitToLayout(box, 10);
        cbFields << box;
        mappingLayout->addWidget(new QLabel(ImportFields::Caption(field) + QStringLiteral("：")), field / 4,
                                 (field % 4) * 2);
        mappingLayout->addWidget(box, field / 4, (field % 4) * 2 + 1);
        connect(box, &QComboBox::activated, this, Guarded([this] { Replan(); }));
    }

    cbFolder = new QComboBox;
    cbFolder->setObjectName(QStringLiteral("cbFolder"));
    FitToLayout(cbFolder, 24);
    for (const auto &[id, folderPath] : ImportStore::FolderPaths(db))
        AddShortItem(cbFolder, folderPath, id);
    cbFolder->setCurrentIndex(qMax(0, cbFolder->findData(currentFolder)));
    readingLayout->addSpacing(12);
    readingLayout->addWidget(new QLabel(QStringLiteral("导入到光盘夹目录：")));
    readingLayout->addWidget(cbFolder, 1);

    auto *problems = new QWidget;
    auto *problemsLayout = new QGridLayout(problems);
    for (int p = 0; p < ImportPlan::ProblemCount; ++p) {
        auto *box = new QComboBox;
        box->setObjectName(QStringLiteral("cbChoice%1").arg(p));
        for (ImportPlan::TChoice choice : ImportPlan::ChoicesFor(ImportPlan::TProblem(p)))
            box->addItem(ImportPlan::ChoiceText(choice), int(choice));
        cbChoices << box;
        constexpr int PerLine = 4;
        problemsLayout->addWidget(new QLabel(ImportPlan::ProblemText(ImportPlan::TProblem(p)) + QStringLiteral("：")),
                                  p / PerLine, (p % PerLine) * 2);
        problemsLayout->addWidget(box, p / PerLine, (p % PerLine) * 2 + 1);
        connect(box, &QComboBox::activated, this, Guarded([this] { Replan(); }));
    }
    problemsLayout->setRowStretch(problemsLayout->rowCount(), 1);
    // The columns and what to do with each kind of problem take turns in one
    // place, leaving the room below to the rows themselves.
    auto *choices = new QTabWidget;
    choices->setObjectName(QStringLiteral("tabChoices"));
    choices->addTab(mapping, QStringLiteral("字段对应的列"));
    choices->addTab(problems, QStringLiteral("有问题的行"));
    choices->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    lbProblems = new QLabel;
    lbProblems->setObjectName(QStringLiteral("lbProblems"));
    lbProblems->setWordWrap(true);
    m_problemLines = new TProblemLines(this);
    lstProblems = new QListView;
    lstProblems->setObjectName(QStringLiteral("lstProblems"));
    lstProblems->setModel(m_problemLines);
    lstProblems->setUniformItemSizes(true);
    lstProblems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstProblems->setTextElideMode(Qt::ElideMiddle);

    gridPreview = new QTableWidget;
    gridPreview->setObjectName(QStringLiteral("gridPreview"));
    gridPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridPreview->verticalHeader()->hide();
    gridPreview->verticalHeader()->setDefaultSectionSize(gridPreview->fontMetrics().height() + 8);

    auto *buttons = new QDialogButtonBox;
    btnImport = buttons->addButton(QStringLiteral("导入"), QDialogButtonBox::AcceptRole);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);

    connect(btnImport, &QPushButton::clicked, this, Guarded([this] { btnImportClick(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The problem list and the preview share what is left, the preview
    // taking the larger part; the user can move the line between them.
    auto *preview = new QWidget;
    auto *previewLayout = new QVBoxLayout(preview);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(new QLabel(QStringLiteral("预览（导入后的样子）：")));
    previewLayout->addWidget(gridPreview, 1);
    auto *lower = new QSplitter(Qt::Vertical);
    lower->setObjectName(QStringLiteral("splitLower"));
    lower->setChildrenCollapsible(false);
    lower->addWidget(lstProblems);
    lower->addWidget(preview);
    lower->setStretchFactor(0, 1);
    lower->setStretchFactor(1, 4);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(reading);
    layout->addWidget(choices);
    layout->addWidget(lbProblems);
    layout->addWidget(lower, 1);
    layout->addWidget(buttons);

    const QString text = CsvReader::Decode(bytes, CsvReader::TEncoding::Auto);
    cbSeparator->setCurrentIndex(cbSeparator->findData(QString(CsvReader::DetectSeparator(text))));
    m_reading = true;
    Reread();
    m_reading = false;
    connect(cbEncoding, &QComboBox::activated, this, Guarded([this] { Reread(); }));
    connect(cbSeparator, &QComboBox::activated, this, Guarded([this] { Reread(); }));
    connect(chkHeader, &QCheckBox::toggled, this, Guarded([this] { Reread(); }));
    // The target decides how deep the rows' folders may go, and whether rows
    // without a folder get one.
    connect(cbFolder, &QComboBox::activated, this, Guarded([this] { Replan(); }));
}

void TImportDlg::Reread()
{
    const auto encoding = CsvReader::TEncoding(cbEncoding->currentData().toInt());
    const QChar separator = cbSeparator->currentData().toString().at(0);
    m_records = CsvReader::Parse(CsvReader::Decode(m_bytes, encoding), separator, ImportFields::MaxColumns);
    m_columns = 0;
    for (const CsvReader::TRecord &r : std::as_const(m_records))
        m_columns = qMax(m_columns, r.Columns);
    const int columns = int(qMin(m_columns, qsizetype(ImportFields::MaxColumns)));
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
            AddShortItem(box, names.at(c), c);
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
    settings.FolderLevels = ImportPlan::MaxFolderDepth - ImportStore::FolderDepth(m_db, TargetFolder());
    settings.IsPicture = &PictureFiles::IsReadablePicture;
    return settings;
}

void TImportDlg::Replan()
{
    const bool header = chkHeader->isChecked();
    m_rows = ImportPlan::Build(header ? m_records.mid(1) : m_records, Settings());
    // Discs never lie in the root folder itself: rows without a folder of
    // their own then go to a folder named after the file, as long as a
    // folder's name may be.
    if (TargetFolder() == Schema::RootFolderId) {
        const QString fileFolder =
            GbkText::Truncate(QFileInfo(m_path).completeBaseName(), m_widths.Folder > 0 ? m_widths.Folder : 1 << 20);
        for (ImportPlan::TRow &row : m_rows)
            if (row.FolderPath.isEmpty())
                row.FolderPath << fileFolder;
    }

    const QStringList captions{QStringLiteral("行"),         QStringLiteral("名称"), QStringLiteral("编号"),
                               QStringLiteral("序列号"),     QStringLiteral("日期"), QStringLiteral("分类"),
                               QStringLiteral("质量"),       QStringLiteral("价格"), QStringLiteral("位置"),
                               QStringLiteral("光盘夹目录"), QStringLiteral("封面"), QStringLiteral("问题")};
    gridPreview->clear();
    gridPreview->setColumnCount(int(captions.size()));
    gridPreview->setHorizontalHeaderLabels(captions);
    int skipped = 0, withProblems = 0;
    for (const ImportPlan::TRow &row : std::as_const(m_rows)) {
        skipped += row.Skipped;
        withProblems += !row.Problems.isEmpty();
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
                                row.Quality.isEmpty() ? m_firstQuality : row.Quality,
                                row.HasPrice ? QString::number(Currency::ToDouble(*d.Price), 'f', 2) : QString(),
                                d.Location,
                                Shortened(row.FolderPath.join(QLatin1Char('/'))),
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
    FillProblems(skipped, withProblems);
    btnImport->setEnabled(m_rows.size() > skipped);
}

void TImportDlg::FillProblems(int skipped, int withProblems)
{
    lbProblems->setText(QStringLiteral("共 %1 行，将导入 %2 张光盘；%3 行有问题，其中 %4 行将被跳过。")
                            .arg(m_rows.size())
                            .arg(m_rows.size() - skipped)
                            .arg(withProblems)
                            .arg(skipped));
    QStringList notes;
    if (m_columns > ImportFields::MaxColumns)
        notes << QStringLiteral("文件有 %1 列，只有前 %2 列可以对应字段；第 %3 至第 %1 列不导入。")
                     .arg(m_columns)
                     .arg(ImportFields::MaxColumns)
                     .arg(ImportFields::MaxColumns + 1);
    m_problemLines->Reset(m_rows, notes);
}

void TImportDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The button box makes its accept button the default when it is shown;
    // the import is not what Return does (see keyPressEvent), so it does not
    // look like it either.
    btnImport->setDefault(false);
}

void TImportDlg::keyPressEvent(QKeyEvent *event)
{
    // Return in a box (choosing an entry from the keyboard) must not start
    // the import: a button with the focus takes Return itself, and the
    // dialog's default button is not pressed from anywhere else.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
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
        // The cover was checked when the rows were read: still the same
        // picture, not a link put in its place since.
        if (QFileInfo(source).canonicalFilePath() != source || !PictureFiles::IsReadablePicture(source))
            throw EFileError(QStringLiteral("封面“%1”已不是原来的图片。导入没有完成，光盘夹没有改变。")
                                 .arg(QDir::toNativeSeparators(source)));
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
    JobProgress::TOptions options;
    options.Title = windowTitle();
    options.Label = QStringLiteral("正在导入光盘...");
    options.Cancellable = true;
    options.ShowAtOnce = m_rows.size() >= ProgressFrom;
    const qint64 steps = m_rows.size();
    const int target = TargetFolder();
    try {
        JobProgress::Run(this, m_db, options, [&, steps, target](TCatalogJob &job) {
            qint64 done = 0;
            callbacks.Step = [&job, &done, steps] {
                job.Report(++done, steps);
                return !job.Cancelled();
            };
            m_report = ImportStore::Import(job.Db(), m_rows, target, callbacks);
        });
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
              const QString &pictureFolder)
{
    const QString path = chooseFile();
    if (path.isEmpty())
        return 0;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("无法读取文件“%1”。").arg(QDir::toNativeSeparators(path)));
    const QByteArray bytes = file.readAll();
    TImportDlg dialog(path, bytes, db, currentFolder, pictureFolder, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    TImportReportDlg report(dialog.Report().Text(), parent);
    report.exec();
    return dialog.Report().Cancelled ? 0 : dialog.TargetFolder();
}
