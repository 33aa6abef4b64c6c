#include "dialogs/FieldSetsDlg.h"

#include "store/catalog/CustomFields.h"
#include "store/engine/Errors.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace CustomFields;
using namespace Qt::StringLiterals;

TFieldSetsDlg::TFieldSetsDlg(TDAODatabase &db, QWidget *parent)
    : TEnterFm(parent)
    , m_db(db)
{
    setObjectName(u"FieldSetsDlg"_s);
    setWindowTitle(u"常用字段"_s);
    resize(420, 440);

    tvSets = new QTreeWidget(this);
    tvSets->setObjectName(u"tvSets"_s);
    tvSets->setHeaderLabels({u"字段"_s, u"类型"_s, u""_s});
    tvSets->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvSets->setUniformRowHeights(true);
    const QList<TCustomField> existing = Fields(db);
    for (const TFieldSet &set : ReadyMadeSets()) {
        auto *setItem = new QTreeWidgetItem(tvSets, {set.Name});
        setItem->setFlags(setItem->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        setItem->setCheckState(0, Qt::Unchecked);
        for (const TNewField &field : set.Fields) {
            auto *item = new QTreeWidgetItem(setItem, {field.Name, KindName(field.Kind)});
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
            const bool had = std::any_of(existing.cbegin(), existing.cend(),
                                         [&field](const TCustomField &f) { return SameName(f.Name, field.Name); });
            if (had) {
                item->setText(2, u"已有"_s);
                item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
            }
            if (field.Kind == TFieldKind::Choice)
                item->setToolTip(0, u"选择列表：%1"_s.arg(field.Choices.join(u"、"_s)));
        }
        setItem->setExpanded(true);
    }

    btnOk = new QPushButton(u"添加勾选的字段"_s, this);
    btnOk->setObjectName(u"btnOk"_s);
    btnCancel = new QPushButton(u"取消"_s, this);
    btnCancel->setObjectName(u"btnCancel"_s);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"勾选要添加到光盘夹的字段："_s, this));
    layout->addWidget(tvSets, 1);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QTreeWidgetItem *TFieldSetsDlg::FieldItem(int set, int field) const
{
    QTreeWidgetItem *setItem = tvSets->topLevelItem(set);
    return setItem ? setItem->child(field) : nullptr;
}

QList<TNewField> TFieldSetsDlg::Ticked() const
{
    QList<TNewField> ticked;
    const QList<TFieldSet> &sets = ReadyMadeSets();
    for (int set = 0; set < sets.size(); ++set) {
        for (int field = 0; field < sets.at(set).Fields.size(); ++field) {
            const QTreeWidgetItem *item = FieldItem(set, field);
            if (!item || item->checkState(0) != Qt::Checked || !(item->flags() & Qt::ItemIsEnabled))
                continue;
            const TNewField &chosen = sets.at(set).Fields.at(field);
            // A field two sets share (语言, 介质格式) is added once, as the
            // first set has it.
            if (std::none_of(ticked.cbegin(), ticked.cend(),
                             [&chosen](const TNewField &f) { return SameName(f.Name, chosen.Name); }))
                ticked << chosen;
        }
    }
    return ticked;
}

void TFieldSetsDlg::btnOkClick()
{
    const QList<TNewField> ticked = Ticked();
    if (ticked.isEmpty()) {
        Msg::Warning(u"请先勾选要添加的字段。"_s);
        return;
    }
    try {
        AddFields(m_db, ticked);
    } catch (const EDAOError &) {
        throw;
    } catch (const EAppError &refused) {
        Msg::Warning(u"字段没有添加：%1"_s.arg(refused.Message()));
        return;
    }
    accept();
}
