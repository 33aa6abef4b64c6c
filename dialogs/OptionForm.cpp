#include "dialogs/OptionForm.h"

#include "pinyin/GbkText.h"
#include "pinyin/TextBlank.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/LookupQueries.h"
#include "store/catalog/NameStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/Errors.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GbkLineEdit.h"
#include "toolkit/MessageBoxes.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The width of the Name column of both lists, in GBK bytes.
const int NameWidth = Schema::TextWidth(QStringLiteral("TbCategory"), QStringLiteral("Name"));

struct ListPage
{
    QWidget *page;
    TDataGrid *grid;
    QLabel *label;
    QLineEdit *edit;
    QPushButton *add;
    QPushButton *del;
    QPushButton *change;
};

// A list page: the grid on the left; the name box and the buttons beside it.
ListPage BuildListPage(const QString &prefix, const QString &listName, const QString &nameCaption, QWidget *parent)
{
    ListPage p{};
    p.page = new QWidget(parent);
    p.page->setObjectName(QStringLiteral("ts") + listName);
    p.grid = new TDataGrid(p.page);
    p.grid->setObjectName(QStringLiteral("dg") + listName);
    p.label = new QLabel(nameCaption + QStringLiteral("："), p.page);
    auto *edit = new TGbkLineEdit(NameWidth, p.page);
    edit->SetMinimumCharacters(NameWidth / 2);
    p.edit = edit;
    p.edit->setObjectName(QStringLiteral("ed") + listName);
    p.label->setBuddy(p.edit);
    auto button = [&](const QString &caption, const QString &role) {
        auto *b = new QPushButton(caption, p.page);
        b->setObjectName(QStringLiteral("btn") + prefix + role);
        return b;
    };
    p.add = button(QStringLiteral("添加"), QStringLiteral("Add"));
    p.del = button(QStringLiteral("删除"), QStringLiteral("Del"));
    p.change = button(QStringLiteral("修改"), QStringLiteral("Edit"));

    auto *side = new QVBoxLayout;
    side->addWidget(p.label);
    side->addWidget(p.edit);
    side->addSpacing(8);
    side->addWidget(p.add);
    side->addWidget(p.del);
    side->addWidget(p.change);
    side->addStretch();
    auto *layout = new QHBoxLayout(p.page);
    layout->addWidget(p.grid, 1);
    layout->addLayout(side);

    TGridColumn id;
    id.FieldName = QStringLiteral("Id");
    id.Caption = QStringLiteral("Id");
    id.Visible = false;
    TGridColumn name;
    name.FieldName = QStringLiteral("Name");
    name.Caption = nameCaption;
    p.grid->SetColumns({id, name});
    // A list of names has nothing to group by.
    p.grid->SetGroupPanelVisible(false);
    return p;
}

void DeclareColumns(TDAOQuery &query)
{
    query.FieldDefs = {TFieldDef{QStringLiteral("Id"), TFieldType::Integer, 0},
                       TFieldDef{QStringLiteral("Name"), TFieldType::Text, NameWidth}};
}

} // namespace

// What tells the two lists apart: their table (and so the disc column that
// refers to them), their query, their name box and their messages.
struct TOptionDlg::NameList
{
    TNameTable table;
    TDAOQuery &query;
    QLineEdit *edit;
    QString addEmpty;
    QString changeEmpty;
    QString duplicate;
    QString inUse;
    QString confirmDelete; // %1: the name
};

TOptionDlg::TOptionDlg(TDM &dm, qint32 &autoCode, qint32 &autoNew, QWidget *parent)
    : TEnterFm(parent)
    , m_dm(dm)
    , m_autoCode(autoCode)
    , m_autoNew(autoNew)
{
    setWindowTitle(QStringLiteral("项目设置"));

    pcOption = new QTabWidget(this);
    pcOption->setObjectName(QStringLiteral("pcOption"));

    const ListPage categories =
        BuildListPage(QStringLiteral("C"), QStringLiteral("Category"), QStringLiteral("分类名称"), pcOption);
    tsCategory = categories.page;
    dgCategory = categories.grid;
    lbCategory = categories.label;
    edCategory = categories.edit;
    btnCAdd = categories.add;
    btnCDel = categories.del;
    btnCEdit = categories.change;

    const ListPage qualities =
        BuildListPage(QStringLiteral("Q"), QStringLiteral("Quality"), QStringLiteral("质量名称"), pcOption);
    tsQuality = qualities.page;
    dgQuality = qualities.grid;
    lbQuality = qualities.label;
    edQuality = qualities.edit;
    btnQAdd = qualities.add;
    btnQDel = qualities.del;
    btnQEdit = qualities.change;

    tsOther = new QWidget(pcOption);
    tsOther->setObjectName(QStringLiteral("tsOther"));
    cbAutoCode = new QCheckBox(QStringLiteral("自动产生光盘编号"), tsOther);
    cbAutoCode->setObjectName(QStringLiteral("cbAutoCode"));
    cbAutoNew = new QCheckBox(QStringLiteral("自动添加新的光盘分类及质量"), tsOther);
    cbAutoNew->setObjectName(QStringLiteral("cbAutoNew"));
    auto *otherLayout = new QVBoxLayout(tsOther);
    otherLayout->setContentsMargins(24, 24, 24, 24);
    otherLayout->setSpacing(16);
    otherLayout->addWidget(cbAutoCode);
    otherLayout->addWidget(cbAutoNew);
    otherLayout->addStretch();

    pcOption->addTab(tsCategory, QStringLiteral("光 盘 分 类"));
    pcOption->addTab(tsQuality, QStringLiteral("质 量 分 类"));
    pcOption->addTab(tsOther, QStringLiteral("其 他 项 目"));

    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancle = new QPushButton(QStringLiteral("取消"), this);
    btnCancle->setObjectName(QStringLiteral("btnCancle"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancle);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pcOption, 1);
    layout->addLayout(buttons);
    resize(442, 303);

    QCategory.SetDatabase(&m_dm.DbBase);
    QQuality.SetDatabase(&m_dm.DbBase);
    DeclareColumns(QCategory);
    DeclareColumns(QQuality);
    dsCategory.SetDataSet(&QCategory);
    dsQuality.SetDataSet(&QQuality);
    dgCategory->SetDataSource(&dsCategory);
    dgQuality->SetDataSource(&dsQuality);
    dgQuality->SortBy(QStringLiteral("Name"), Qt::AscendingOrder);

    connect(btnCAdd, &QPushButton::clicked, this, Guarded([this] { btnCAddClick(); }));
    connect(btnCDel, &QPushButton::clicked, this, Guarded([this] { btnCDelClick(); }));
    connect(btnCEdit, &QPushButton::clicked, this, Guarded([this] { btnCEditClick(); }));
    connect(btnQAdd, &QPushButton::clicked, this, Guarded([this] { btnQAddClick(); }));
    connect(btnQDel, &QPushButton::clicked, this, Guarded([this] { btnQDelClick(); }));
    connect(btnQEdit, &QPushButton::clicked, this, Guarded([this] { btnQEditClick(); }));
    connect(cbAutoCode, &QCheckBox::clicked, this, [this] { cbAutoCodeClick(); });
    connect(cbAutoNew, &QCheckBox::clicked, this, [this] { cbAutoNewClick(); });
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancle, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

TOptionDlg::~TOptionDlg()
{
    // The grids outlive the members they show.
    dgCategory->SetDataSource(nullptr);
    dgQuality->SetDataSource(nullptr);
}

void TOptionDlg::FormCreate()
{
    pcOption->setCurrentWidget(tsCategory);
    TDM::OpenQuery(QCategory, LookupQueries::AllNames(TNameTable::Category));
    TDM::OpenQuery(QQuality, LookupQueries::AllNames(TNameTable::Quality));
    cbAutoCode->setChecked(m_autoCode == 1);
    cbAutoNew->setChecked(m_autoNew == 1);
}

void TOptionDlg::ShowPage(int page)
{
    if (page == 0)
        pcOption->setCurrentWidget(tsCategory);
    else if (page == 1)
        pcOption->setCurrentWidget(tsQuality);
}

TOptionDlg::NameList TOptionDlg::Categories()
{
    return {TNameTable::Category,
            QCategory,
            edCategory,
            QStringLiteral("光盘分类不能为空，请输入"),
            QStringLiteral("此光盘分类不能为空，请输入"),
            QStringLiteral("此光盘分类已经存在，请重新输入"),
            QStringLiteral("此分类已经被使用，不能删除！"),
            QStringLiteral("真的要删除[%1]光盘分类吗？")};
}

TOptionDlg::NameList TOptionDlg::Qualities()
{
    return {TNameTable::Quality,
            QQuality,
            edQuality,
            QStringLiteral("质量名称不能为空，请输入"),
            QStringLiteral("质量名称不能为空，请输入"),
            QStringLiteral("此质量名称已经存在，请重新输入"),
            QStringLiteral("此质量名称已经被使用，不能删除！"),
            QStringLiteral("真的要删除[%1]质量名称吗？")};
}

// The name to store: the typed text as far as the column holds it, blanks
// around it kept. The duplicate check runs on that cut text, so that a long
// name cannot slip in as a copy of one already there.
bool TOptionDlg::AcceptName(const NameList &list, const QString &emptyText, QString &name)
{
    name = GbkText::Truncate(list.edit->text(), NameWidth);
    if (TextBlank::IsBlank(name)) {
        Msg::Error(emptyText);
        list.edit->setFocus();
        return false;
    }
    if (NameStore::NameExists(m_dm.DbBase, list.table, name)) {
        Msg::Error(list.duplicate);
        list.edit->setFocus();
        return false;
    }
    return true;
}

void TOptionDlg::AddName(const NameList &list)
{
    QString name;
    if (!AcceptName(list, list.addEmpty, name))
        return;
    ShowName(list, NameStore::AddName(m_dm.DbBase, list.table, name));
}

void TOptionDlg::ChangeName(const NameList &list)
{
    QString name;
    if (!AcceptName(list, list.changeEmpty, name))
        return;
    // With an empty list this adds the name.
    if (list.query.RowCount() == 0)
        return ShowName(list, NameStore::AddName(m_dm.DbBase, list.table, name));
    const int id = list.query.Field(QStringLiteral("Id")).AsInteger();
    NameStore::RenameName(m_dm.DbBase, list.table, id, name);
    ShowName(list, id);
}

void TOptionDlg::ShowName(const NameList &list, int id)
{
    TDM::OpenQuery(list.query, LookupQueries::AllNames(list.table));
    list.query.Locate(QStringLiteral("Id"), id);
}

void TOptionDlg::DeleteName(const NameList &list)
{
    if (list.query.RowCount() == 0)
        return;
    const int id = list.query.Field(QStringLiteral("Id")).AsInteger();
    const QString name = list.query.Field(QStringLiteral("Name")).AsString();
    if (NameStore::NameInUse(m_dm.DbBase, list.table, id)) {
        Msg::Warning(list.inUse);
        return;
    }
    if (!Msg::Confirm(list.confirmDelete.arg(name)))
        return;
    list.query.Delete();
}

void TOptionDlg::btnCAddClick()
{
    AddName(Categories());
}

void TOptionDlg::btnCEditClick()
{
    ChangeName(Categories());
}

void TOptionDlg::btnCDelClick()
{
    DeleteName(Categories());
}

void TOptionDlg::btnQAddClick()
{
    AddName(Qualities());
}

void TOptionDlg::btnQEditClick()
{
    ChangeName(Qualities());
}

void TOptionDlg::btnQDelClick()
{
    DeleteName(Qualities());
}

void TOptionDlg::cbAutoCodeClick()
{
    m_autoCode = cbAutoCode->isChecked() ? 1 : 0;
}

void TOptionDlg::cbAutoNewClick()
{
    m_autoNew = cbAutoNew->isChecked() ? 1 : 0;
}

void ShowOptions(int page, qint32 &autoCode, qint32 &autoNew, QWidget *parent)
{
    if (!DM)
        throw EAppError(QStringLiteral("没有打开的光盘夹。"));
    TOptionDlg dlg(*DM, autoCode, autoNew, parent);
    dlg.ShowPage(page);
    dlg.exec();
}
