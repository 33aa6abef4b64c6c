#include "dialogs/CustomFieldsDlg.h"

#include "dialogs/CustomFieldEditDlg.h"
#include "dialogs/FieldSetsDlg.h"
#include "store/catalog/CustomFields.h"
#include "store/engine/Errors.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace CustomFields;
using namespace Qt::StringLiterals;

namespace {

QPushButton *NewButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

TCustomFieldsDlg::TCustomFieldsDlg(TDAODatabase &db, QWidget *parent)
    : TEnterFm(parent)
    , m_db(db)
{
    setObjectName(u"CustomFieldsDlg"_s);
    setWindowTitle(u"自定义字段"_s);
    resize(560, 400);

    lvFields = new QTreeWidget(this);
    lvFields->setObjectName(u"lvFields"_s);
    lvFields->setRootIsDecorated(false);
    lvFields->setUniformRowHeights(true);
    lvFields->setAlternatingRowColors(true);
    lvFields->setHeaderLabels({u"名称"_s, u"类型"_s, u"选择列表"_s});
    lvFields->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lvFields->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lvFields->header()->setStretchLastSection(true);
    lvFields->setTextElideMode(Qt::ElideRight);

    btnAdd = NewButton("btnAdd", u"添加..."_s, this);
    btnSets = NewButton("btnSets", u"常用字段..."_s, this);
    btnEdit = NewButton("btnEdit", u"修改..."_s, this);
    btnDelete = NewButton("btnDelete", u"删除"_s, this);
    btnUp = NewButton("btnUp", u"上移"_s, this);
    btnDown = NewButton("btnDown", u"下移"_s, this);
    btnClose = NewButton("btnClose", u"关闭"_s, this);

    auto *side = new QVBoxLayout;
    for (QPushButton *button : {btnAdd, btnSets, btnEdit, btnDelete})
        side->addWidget(button);
    side->addSpacing(12);
    side->addWidget(btnUp);
    side->addWidget(btnDown);
    side->addStretch();
    side->addWidget(btnClose);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(lvFields, 1);
    layout->addLayout(side);

    connect(btnAdd, &QPushButton::clicked, this, Guarded([this] { btnAddClick(); }));
    connect(btnSets, &QPushButton::clicked, this, Guarded([this] { btnSetsClick(); }));
    connect(btnEdit, &QPushButton::clicked, this, Guarded([this] { btnEditClick(); }));
    connect(btnDelete, &QPushButton::clicked, this, Guarded([this] { btnDeleteClick(); }));
    connect(btnUp, &QPushButton::clicked, this, Guarded([this] { Move(-1); }));
    connect(btnDown, &QPushButton::clicked, this, Guarded([this] { Move(+1); }));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lvFields, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(lvFields, &QTreeWidget::itemDoubleClicked, this, Guarded([this] { btnEditClick(); }));
    Reload();
}

void TCustomFieldsDlg::Reload()
{
    const int current = CurrentFieldId();
    m_fields = Fields(m_db);
    lvFields->clear();
    for (const TCustomField &field : m_fields) {
        auto *item = new QTreeWidgetItem(lvFields, {field.Name, KindName(field.Kind), field.Choices.join(u"、"_s)});
        item->setData(0, Qt::UserRole, field.Id);
    }
    SelectField(current);
    if (!lvFields->currentItem() && lvFields->topLevelItemCount() > 0)
        lvFields->setCurrentItem(lvFields->topLevelItem(0));
    UpdateButtons();
}

int TCustomFieldsDlg::CurrentFieldId() const
{
    const QTreeWidgetItem *item = lvFields->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

void TCustomFieldsDlg::SelectField(int fieldId)
{
    for (int row = 0; row < lvFields->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = lvFields->topLevelItem(row);
        if (item->data(0, Qt::UserRole).toInt() == fieldId) {
            lvFields->setCurrentItem(item);
            return;
        }
    }
}

void TCustomFieldsDlg::UpdateButtons()
{
    QTreeWidgetItem *item = lvFields->currentItem();
    const bool chosen = item != nullptr;
    const int row = chosen ? lvFields->indexOfTopLevelItem(item) : -1;
    const bool full = m_fields.size() >= MaxFields;
    btnAdd->setEnabled(!full);
    btnSets->setEnabled(!full);
    btnEdit->setEnabled(chosen);
    btnDelete->setEnabled(chosen);
    btnUp->setEnabled(row > 0);
    btnDown->setEnabled(chosen && row < lvFields->topLevelItemCount() - 1);
}

void TCustomFieldsDlg::Change(const std::function<void()> &change)
{
    try {
        change();
    } catch (const EDAOError &) {
        Reload();
        throw; // the engine's own errors go to the command guard
    } catch (const EAppError &refused) {
        Msg::Warning(refused.Message());
        Reload();
        return;
    }
    Changed();
}

void TCustomFieldsDlg::Changed()
{
    Reload();
    if (FieldsChanged)
        FieldsChanged();
}

void TCustomFieldsDlg::btnAddClick()
{
    TCustomFieldEditDlg dlg(m_db, std::nullopt, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    Changed();
    SelectField(dlg.FieldId());
}

void TCustomFieldsDlg::btnSetsClick()
{
    TFieldSetsDlg dlg(m_db, this);
    if (dlg.exec() == QDialog::Accepted)
        Changed();
}

void TCustomFieldsDlg::btnEditClick()
{
    const int id = CurrentFieldId();
    const auto field = std::find_if(m_fields.cbegin(), m_fields.cend(), [id](const auto &f) { return f.Id == id; });
    if (field == m_fields.cend())
        return;
    TCustomFieldEditDlg dlg(m_db, *field, this);
    if (dlg.exec() == QDialog::Accepted)
        Changed();
}

void TCustomFieldsDlg::btnDeleteClick()
{
    const int id = CurrentFieldId();
    const auto field = std::find_if(m_fields.cbegin(), m_fields.cend(), [id](const auto &f) { return f.Id == id; });
    if (field == m_fields.cend())
        return;
    const int discs = DiscsWithValue(m_db, id);
    const QString question =
        discs > 0
            ? u"有 %1 张光盘填了“%2”。删除这个字段会把这些值一起删除，而且不能恢复。确实要删除吗？"_s.arg(discs).arg(
                  field->Name)
            : u"确实要删除字段“%1”吗？（没有光盘填了这个字段）"_s.arg(field->Name);
    if (!Msg::Confirm(question))
        return;
    Change([&] { DeleteField(m_db, id); });
}

void TCustomFieldsDlg::Move(int step)
{
    const int id = CurrentFieldId();
    if (id != 0)
        Change([&] { MoveField(m_db, id, step); });
}

void ShowCustomFields(TDAODatabase &db, QWidget *parent, const std::function<void()> &fieldsChanged)
{
    TCustomFieldsDlg dlg(db, parent);
    dlg.FieldsChanged = fieldsChanged;
    dlg.exec();
}
