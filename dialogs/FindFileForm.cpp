#include "dialogs/FindFileForm.h"

#include "dialogs/FindForm.h"
#include "store/catalog/ContentsText.h"
#include "store/catalog/NameIndex.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/WaitCursor.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

std::optional<qint64> ParseSizeText(const QString &text, bool *ok)
{
    *ok = true;
    const QString typed = text.trimmed().toUpper();
    if (typed.isEmpty())
        return std::nullopt;
    static const QRegularExpression pattern(QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*([KMGT]?)B?$"));
    const QRegularExpressionMatch match = pattern.match(typed);
    if (!match.hasMatch()) {
        *ok = false;
        return std::nullopt;
    }
    double value = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    for (const QChar step : {QLatin1Char('K'), QLatin1Char('M'), QLatin1Char('G'), QLatin1Char('T')}) {
        if (unit.isEmpty())
            break;
        value *= 1024;
        if (unit.front() == step)
            break;
    }
    if (value > 9.0e18) {
        *ok = false;
        return std::nullopt;
    }
    return qint64(std::llround(value));
}

TFindFileFm::TFindFileFm(TDAODatabase &db, QWidget *parent)
    : TEnterFm(parent)
    , m_db(db)
{
    setWindowTitle(QStringLiteral("查找文件"));
    auto newEdit = [this](const char *name, const QString &hint) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setPlaceholderText(hint);
        return edit;
    };
    edName = newEdit("edName", QStringLiteral("文件名的一部分，可用 * 和 ?"));
    edMinSize = newEdit("edMinSize", QStringLiteral("如 100K、1.5G"));
    edMaxSize = newEdit("edMaxSize", QStringLiteral("如 700M"));
    edDay1 = new TCheckDateEdit(this);
    edDay1->setObjectName(QStringLiteral("edDay1"));
    edDay2 = new TCheckDateEdit(this);
    edDay2->setObjectName(QStringLiteral("edDay2"));
    const QDate today = QDate::currentDate();
    edDay1->SetDate(today);
    edDay2->SetDate(today);
    btnFind = new QPushButton(QStringLiteral("查找"), this);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnClose = new QPushButton(QStringLiteral("关闭"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    lvFiles = new QTreeWidget(this);
    lvFiles->setObjectName(QStringLiteral("lvFiles"));
    lvFiles->setRootIsDecorated(false);
    lvFiles->setUniformRowHeights(true);
    lvFiles->setHeaderLabels({QStringLiteral("文件名"), QStringLiteral("光盘上的位置"), QStringLiteral("大小"),
                              QStringLiteral("日期"), QStringLiteral("光盘名称"), QStringLiteral("编号"),
                              QStringLiteral("光盘夹目录")});
    lvFiles->header()->resizeSection(NameColumn, 200);
    lvFiles->header()->resizeSection(FolderColumn, 160);
    lbCount = new QLabel(this);
    lbCount->setObjectName(QStringLiteral("lbCount"));

    auto *criteria = new QGridLayout;
    auto label = [&](const QString &caption, QWidget *control, int row, int column, int span = 1) {
        auto *text = new QLabel(caption, this);
        text->setBuddy(control);
        criteria->addWidget(text, row, column, Qt::AlignRight);
        criteria->addWidget(control, row, column + 1, 1, span);
    };
    label(QStringLiteral("文件名："), edName, 0, 0, 3);
    label(QStringLiteral("大小不小于："), edMinSize, 1, 0);
    label(QStringLiteral("不大于："), edMaxSize, 1, 2);
    label(QStringLiteral("日期不早于："), edDay1, 2, 0);
    label(QStringLiteral("不晚于："), edDay2, 2, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lbCount, 1);
    buttons->addWidget(btnFind);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addWidget(lvFiles, 1);
    layout->addLayout(buttons);
    resize(760, 460);
    edName->setFocus();

    m_namesRead = new QTimer(this);
    m_namesRead->setInterval(100);
    connect(m_namesRead, &QTimer::timeout, this, Guarded([this] { NamesReadStep(); }));
    // The names are read while the user types what to look for.
    RunCommand([this] { NameIndex::Prepare(m_db); });

    connect(btnFind, &QPushButton::clicked, this, Guarded([this] { btnFindClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(lvFiles, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { RunCommand([this, item] { lvFilesDoubleClick(item); }); });
}

std::optional<DiscContents::TFileQuery> TFindFileFm::Query()
{
    DiscContents::TFileQuery query;
    query.Name = edName->text();
    bool ok = false;
    query.MinSize = ParseSizeText(edMinSize->text(), &ok);
    if (!ok) {
        Msg::Warning(QStringLiteral("“%1”不是一个大小，请输入如 100K、700M、1.5G 这样的大小。").arg(edMinSize->text()));
        edMinSize->setFocus();
        return std::nullopt;
    }
    query.MaxSize = ParseSizeText(edMaxSize->text(), &ok);
    if (!ok) {
        Msg::Warning(QStringLiteral("“%1”不是一个大小，请输入如 100K、700M、1.5G 这样的大小。").arg(edMaxSize->text()));
        edMaxSize->setFocus();
        return std::nullopt;
    }
    query.Earliest = edDay1->CheckedDate();
    query.Latest = edDay2->CheckedDate();
    query.Limit = MaxListed;
    return query;
}

void TFindFileFm::btnFindClick()
{
    m_namesRead->setInterval(100);
    if (const std::optional<DiscContents::TFileQuery> query = Query())
        Search(*query);
}

void TFindFileFm::Search(const DiscContents::TFileQuery &query)
{
    const TWaitCursor busy;
    const int row = lvFiles->indexOfTopLevelItem(lvFiles->currentItem());
    const qint64 current = row >= 0 && row < m_found.size() ? m_found.at(row).EntryId : 0;
    const int scrolled = lvFiles->verticalScrollBar()->value();
    lvFiles->clear();
    m_found.clear();
    lbCount->clear();
    bool complete = true;
    m_found = DiscContents::FindFiles(m_db, query, &complete);
    QList<QTreeWidgetItem *> items;
    items.reserve(m_found.size());
    QTreeWidgetItem *again = nullptr;
    for (const DiscContents::TFoundFile &file : m_found) {
        const bool isFile = file.Kind == DiscContents::TKind::File;
        auto *item = new QTreeWidgetItem(QStringList{
            file.Name, file.Folder,
            isFile ? ContentsText::SizeText(file.Size)
                   : (file.Kind == DiscContents::TKind::Folder ? QStringLiteral("文件夹") : QStringLiteral("链接")),
            ContentsText::DayText(file.MTime), file.DiscName, file.DiscCode, file.CatalogPath});
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        if (current != 0 && file.EntryId == current)
            again = item;
        items << item;
    }
    lvFiles->addTopLevelItems(items);
    // The row chosen among the first results stays chosen, and the list where
    // it was scrolled to, when the search is made again with more names read.
    if (again)
        lvFiles->setCurrentItem(again);
    if (m_waiting)
        lvFiles->verticalScrollBar()->setValue(scrolled);
    if (!complete) {
        m_waiting = query;
        ShowReading();
        m_namesRead->start();
        return;
    }
    m_waiting.reset();
    m_namesRead->stop();
    if (m_found.size() < MaxListed) {
        lbCount->setText(m_found.isEmpty() ? QStringLiteral("没有找到文件。")
                                           : QStringLiteral("找到 %1 项。").arg(m_found.size()));
    } else {
        lbCount->setText(
            QStringLiteral("找到 %1 项，只列出前 %2 项。").arg(DiscContents::CountFiles(m_db, query)).arg(MaxListed));
    }
}

void TFindFileFm::ShowReading()
{
    const NameIndex::TProgress progress = NameIndex::Progress(m_db);
    const int percent = progress.Total > 0 ? int(progress.Read * 100 / progress.Total) : 0;
    lbCount->setText(
        QStringLiteral("已找到 %1 项，正在读取其余光盘的文件名（%2%）……").arg(m_found.size()).arg(percent));
}

void TFindFileFm::NamesReadStep()
{
    const NameIndex::TProgress progress = NameIndex::Progress(m_db);
    if (!progress.Reading) {
        m_namesRead->stop();
        if (m_waiting)
            Search(*m_waiting);
        return;
    }
    // More discs read: while the list has room, it shows what they hold
    // too; a full list waits for the count at the end.
    if (m_waiting && m_found.size() < MaxListed && progress.Read != m_readBefore) {
        m_readBefore = progress.Read;
        const qsizetype before = m_found.size();
        Search(*m_waiting);
        // A look that found nothing more waits twice as long for the next
        // (up to a second), so that a rare name does not slow the reading.
        m_namesRead->setInterval(m_found.size() > before ? 100 : std::min(m_namesRead->interval() * 2, 1000));
        return;
    }
    ShowReading();
}

bool TFindFileFm::WaitingForNames() const
{
    return m_waiting.has_value();
}

int TFindFileFm::DiscOfRow(int row) const
{
    return row >= 0 && row < m_found.size() ? int(m_found.at(row).DiscId) : 0;
}

void TFindFileFm::lvFilesDoubleClick(QTreeWidgetItem *item)
{
    const int disc = DiscOfRow(lvFiles->indexOfTopLevelItem(item));
    if (disc != 0 && LocateDisc)
        LocateDisc(disc);
}
