#include "dialogs/FindForm.h"

#include "store/catalog/ChoiceList.h"
#include "store/catalog/DiscContents.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/FolderStore.h"
#include "store/catalog/LookupQueries.h"

#include "dialogs/ExportDiscs.h"
#include "dialogs/PriceText.h"
#include "dialogs/SelDirForm.h"
#include "pinyin/TextBlank.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"
#include "store/engine/SqlDialect.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GridPrint.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTreeView>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int GridHeight = 175;

QList<TGridColumn> FindColumns()
{
    auto column = [](const char *field, const QString &caption, bool visible, int width = 60) {
        TGridColumn c;
        c.FieldName = QLatin1String(field);
        c.Caption = caption;
        c.Visible = visible;
        c.Width = width;
        return c;
    };
    TGridColumn serial = column("Serial", QStringLiteral("序列号"), true, 60);
    serial.Footer = TGridColumn::Summary::Count;
    serial.FooterFormat = QStringLiteral("数目：%1");
    TGridColumn day = column("Day", QStringLiteral("日期"), true, 85);
    day.DisplayFormat = QString::fromLatin1(DateUtils::DateFormat);
    TGridColumn price = column("Price", QStringLiteral("价格"), true, 75);
    price.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    price.DisplayFormat = QStringLiteral("#0.00;-#,0.00");
    return {
        column("ID", QString(), false),
        serial,
        column("Code", QStringLiteral("编号"), true, 50),
        day,
        column("Name", QStringLiteral("名称"), true, 100),
        column("CId", QString(), false),
        column("Category", QStringLiteral("分类"), true, 50),
        column("TId", QString(), false),
        column("QId", QString(), false),
        column("Quality", QStringLiteral("质量"), true, 45),
        column("DId", QString(), false),
        price,
        column("Location", QStringLiteral("位置"), true, 75),
        column("Memo", QString(), false),
    };
}

} // namespace

// -- TFindFm -------------------------------------------------------------

TFindFm::TFindFm(TDM &dm, QWidget *parent)
    : TEnterFm(parent)
    , ChooseFolder(ChooseScopeFolder)
    , m_dm(dm)
{
    setObjectName(QStringLiteral("FindFm"));
    setWindowTitle(QStringLiteral("手动查找"));
    QFind.SetDatabase(&m_dm.DbBase);
    QFind.FieldDefs = DiscListFields();
    BuildControls();

    connect(btnFind, &QPushButton::clicked, this, Guarded([this] { btnFindClick(); }));
    connect(btnNewFind, &QPushButton::clicked, this, Guarded([this] { btnNewFindClick(); }));
    connect(btnBrowse, &QPushButton::clicked, this, Guarded([this] { btnBrowseClick(); }));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    // The results go out as the main list's discs do.
    pmFind = new QMenu(this);
    pmFind->setObjectName(QStringLiteral("pmFind"));
    pmFindExport = pmFind->addAction(QStringLiteral("导出光盘列表..."));
    pmFindExport->setObjectName(QStringLiteral("pmFindExport"));
    connect(pmFindExport, &QAction::triggered, this,
            Guarded([this] { ExportDiscs::RunExport(this, *dgFind, QFind, m_dm.DbBase); }));
    pmFindPrint = pmFind->addAction(QStringLiteral("打印光盘列表..."));
    pmFindPrint->setObjectName(QStringLiteral("pmFindPrint"));
    connect(pmFindPrint, &QAction::triggered, this,
            Guarded([this] { GridPrint::PrintGrid(this, *dgFind, QStringLiteral("光盘查找结果"), ConditionLines()); }));
    connect(dgFind, &TDataGrid::ContextMenuRequested, this, [this](const QPoint &pos) { pmFind->popup(pos); });
}

QStringList TFindFm::ConditionLines() const
{
    QStringList conditions;
    auto add = [&](const QString &label, const QString &value) {
        if (!value.trimmed().isEmpty())
            conditions << label + value.trimmed();
    };
    add(QStringLiteral("范围："), edScope->text() + (cbSub->isChecked() ? QStringLiteral("（含子目录）") : QString()));
    add(QStringLiteral("名称："), edName->text());
    add(QStringLiteral("分类："), cbCategory->currentData().toInt() != 0 ? cbCategory->currentText() : QString());
    add(QStringLiteral("质量："), cbQuality->currentData().toInt() != 0 ? cbQuality->currentText() : QString());
    add(QStringLiteral("价格："), edPrice->text());
    add(QStringLiteral("位置："), edLocation->text());
    add(QStringLiteral("说明："), edMemo->text());
    add(QStringLiteral("包含文件："), edFile->text());
    if (edDay2->Check->isChecked())
        add(QStringLiteral("日期不早于："), edDay2->Edit->date().toString(QStringLiteral("yyyy-MM-dd")));
    if (edDay1->Check->isChecked())
        add(QStringLiteral("日期不晚于："), edDay1->Edit->date().toString(QStringLiteral("yyyy-MM-dd")));
    return {QStringLiteral("查找条件：") +
            (conditions.isEmpty() ? QStringLiteral("全部光盘") : conditions.join(QStringLiteral("；")))};
}

TFindFm::~TFindFm()
{
    // The grid lets go of the rows before the query goes.
    QFind.Close();
}

void TFindFm::BuildControls()
{
    auto newEdit = [this](const char *name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };
    auto newList = [this](const char *name) {
        auto *combo = new QComboBox(this);
        combo->setObjectName(QLatin1String(name));
        combo->setEditable(false);
        combo->setMaxVisibleItems(8);
        combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        return combo;
    };
    auto newButton = [this](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        return button;
    };
    auto newDate = [this](const char *name) {
        auto *date = new TCheckDateEdit(this);
        date->setObjectName(QLatin1String(name));
        return date;
    };

    edScope = newEdit("edScope");
    edScope->setReadOnly(true);
    cbSub = new QCheckBox(QStringLiteral("包含子光盘目录"), this);
    cbSub->setObjectName(QStringLiteral("cbSub"));
    cbSub->setChecked(true);
    btnBrowse = newButton("btnBrowse", QStringLiteral("浏览..."));
    edName = newEdit("edName");
    edLocation = newEdit("edLocation");
    edMemo = newEdit("edMemo");
    cbCategory = newList("cbCategory");
    cbQuality = newList("cbQuality");
    edPrice = newEdit("edPrice");
    edFile = newEdit("edFile");
    edFile->setToolTip(QStringLiteral("只找有这个文件的光盘（文件名的一部分，可用 * 和 ?）"));
    edDay1 = newDate("edDay1");
    edDay2 = newDate("edDay2");
    btnFind = newButton("btnFind", QStringLiteral("开始查找"));
    btnNewFind = newButton("btnNewFind", QStringLiteral("新查找"));
    btnClose = newButton("btnClose", QStringLiteral("关闭"));
    // Outside the tab order, which stays as it always was; Esc is the
    // keyboard's way to close.
    btnClose->setFocusPolicy(Qt::NoFocus);

    dsFind = new TDAODataSource(this);
    dsFind->setObjectName(QStringLiteral("dsFind"));
    dsFind->SetDataSet(&QFind);
    dgFind = new TDataGrid(this);
    dgFind->setObjectName(QStringLiteral("dgFind"));
    dgFind->SetColumns(FindColumns());
    dgFind->SetDataSource(dsFind);
    dgFind->View()->header()->setDefaultAlignment(Qt::AlignCenter);
    dgFind->setFixedHeight(GridHeight);
    // A list of what was found: nothing to group by.
    dgFind->SetGroupPanelVisible(false);

    // The criteria in two columns, the commands at the right.
    auto *criteria = new QGridLayout;
    criteria->setHorizontalSpacing(6);
    criteria->setColumnStretch(1, 1);
    criteria->setColumnStretch(3, 1);
    criteria->setColumnMinimumWidth(4, 12);
    auto label = [&](const QString &caption, QWidget *control, int row, int column) {
        auto *text = new QLabel(caption, this);
        text->setBuddy(control);
        criteria->addWidget(text, row, column, Qt::AlignRight | Qt::AlignVCenter);
    };
    label(QStringLiteral("查找范围："), edScope, 0, 0);
    criteria->addWidget(edScope, 0, 1, 1, 3);
    criteria->addWidget(cbSub, 1, 1, 1, 3);
    label(QStringLiteral("名称："), edName, 2, 0);
    criteria->addWidget(edName, 2, 1);
    label(QStringLiteral("位置："), edLocation, 2, 2);
    criteria->addWidget(edLocation, 2, 3);
    label(QStringLiteral("说明："), edMemo, 3, 0);
    criteria->addWidget(edMemo, 3, 1, 1, 3);
    label(QStringLiteral("分类："), cbCategory, 4, 0);
    criteria->addWidget(cbCategory, 4, 1);
    label(QStringLiteral("质量："), cbQuality, 4, 2);
    criteria->addWidget(cbQuality, 4, 3);
    label(QStringLiteral("价格："), edPrice, 5, 0);
    criteria->addWidget(edPrice, 5, 1);
    label(QStringLiteral("包含文件："), edFile, 5, 2);
    criteria->addWidget(edFile, 5, 3);
    label(QStringLiteral("日期早于："), edDay1, 6, 0);
    criteria->addWidget(edDay1, 6, 1);
    label(QStringLiteral("日期晚于："), edDay2, 6, 2);
    criteria->addWidget(edDay2, 6, 3);
    criteria->addWidget(btnBrowse, 0, 5);
    criteria->addWidget(btnFind, 4, 5);
    criteria->addWidget(btnNewFind, 5, 5);
    criteria->addWidget(btnClose, 6, 5);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addStretch();
    layout->addWidget(dgFind);

    const QList<QWidget *> order = {edName,  edLocation,    edMemo,       cbCategory,    cbQuality,    edPrice,
                                    edFile,  edDay1->Check, edDay1->Edit, edDay2->Check, edDay2->Edit, dgFind->View(),
                                    edScope, cbSub,         btnBrowse,    btnFind,       btnNewFind};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    resize(552, 423);
    edName->setFocus();
}

void TFindFm::keyPressEvent(QKeyEvent *event)
{
    // The dialogs' base keeps Esc from closing a dialog; this one is only
    // looked at, so Esc closes it like "关闭".
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        reject();
        return;
    }
    TEnterFm::keyPressEvent(event);
}

void TFindFm::FormShow()
{
    LoadCategoryChoices();
    LoadQualityChoices();
    ResetCriteria();
}

void TFindFm::LoadChoices(QComboBox *combo, TNameTable table)
{
    combo->clear();
    // The union returns its rows by Id, so "none chosen" with its 0 comes
    // first.
    for (const TChoice &choice : ChoiceList::Read(m_dm.DbBase, LookupQueries::NameChoicesWithNone(table)))
        combo->addItem(choice.name, choice.id);
    combo->setCurrentIndex(0);
}

void TFindFm::LoadCategoryChoices()
{
    LoadChoices(cbCategory, TNameTable::Category);
}

void TFindFm::LoadQualityChoices()
{
    LoadChoices(cbQuality, TNameTable::Quality);
}

void TFindFm::ResetCriteria()
{
    ShowScope(Schema::RootFolderId);
    edName->clear();
    edLocation->clear();
    edMemo->clear();
    edPrice->clear();
    edFile->clear();
    cbCategory->setCurrentIndex(0);
    cbQuality->setCurrentIndex(0);
    const QDate today = DateUtils::ToDate(DateUtils::Today());
    for (TCheckDateEdit *day : {edDay1, edDay2}) {
        day->SetDate(today);
        day->SetChecked(false);
    }
}

void TFindFm::ShowScope(qint32 folderId)
{
    edScope->setText(FolderStore::FolderName(m_dm.DbBase, folderId));
    m_scopeId = folderId;
}

TFindCriteria TFindFm::Criteria()
{
    TFindCriteria criteria;
    // The root folder holds the whole catalog, with or without sub-folders.
    if (m_scopeId != Schema::RootFolderId)
        CollectFolders(m_dm.DbBase, m_scopeId, cbSub->isChecked(), criteria.ScopeFolders);
    criteria.Name = edName->text();
    criteria.Location = edLocation->text();
    criteria.Memo = edMemo->text();
    criteria.CategoryId = cbCategory->currentData().toInt();
    criteria.QualityId = cbQuality->currentData().toInt();
    criteria.Price = PriceText::Parse(edPrice->text());
    criteria.Latest = edDay1->CheckedDate();
    criteria.Earliest = edDay2->CheckedDate();
    if (!TextBlank::IsBlank(edFile->text()))
        criteria.FileCondition = DiscContents::HoldingFileCondition(m_dm.DbBase, edFile->text());
    return criteria;
}

void TFindFm::RunFind()
{
    const QString statement = BuildFindStatement(Criteria());
    try {
        TDM::OpenQuery(QFind, statement);
    } catch (...) {
        // The list shows nothing rather than an earlier result; the error is
        // reported, so that a failure never looks like "no disc found".
        try {
            QFind.Close();
        } catch (...) {
        }
        throw;
    }
}

void TFindFm::btnBrowseClick()
{
    const qint32 folderId = ChooseFolder ? ChooseFolder(this) : 0;
    if (folderId != 0)
        ShowScope(folderId);
}

void ShowFind(QWidget *parent)
{
    if (!DM)
        throw EAppError(QStringLiteral("没有打开的光盘夹。"));
    TFindFm dlg(*DM, parent);
    dlg.FormShow();
    dlg.exec();
}
