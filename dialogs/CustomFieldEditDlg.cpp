#include "dialogs/CustomFieldEditDlg.h"

#include "store/catalog/CustomFields.h"
#include "store/engine/Errors.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace CustomFields;
using namespace Qt::StringLiterals;

namespace {

QString KindHint(TFieldKind kind)
{
    switch (kind) {
    case TFieldKind::Text:
        return u"一行文字，如唱片公司、版本。"_s;
    case TFieldKind::LongText:
        return u"可以分行的文字，如剧情。"_s;
    case TFieldKind::Number:
        return u"一个数，如片长、发行年份，按大小排序。"_s;
    case TFieldKind::Date:
        return u"一个日期，如首映日期，按先后排序。"_s;
    case TFieldKind::YesNo:
        return u"是或否，如是否有中文字幕。"_s;
    case TFieldKind::Choice:
        return u"从下面的列表里选一项，如地区、介质格式。"_s;
    case TFieldKind::MultiValue:
        return u"可以填好几个值，如主演、曲目、标签。"_s;
    }
    return {};
}

} // namespace

TCustomFieldEditDlg::TCustomFieldEditDlg(TDAODatabase &db, const std::optional<TCustomField> &field, QWidget *parent)
    : TEnterFm(parent)
    , m_db(db)
    , m_fieldId(field ? field->Id : 0)
{
    setObjectName(u"CustomFieldEditDlg"_s);
    setWindowTitle(field ? u"修改字段"_s : u"添加字段"_s);
    resize(380, 320);

    edName = new QLineEdit(this);
    edName->setObjectName(u"edName"_s);
    edName->setMaxLength(MaxNameLength * 2);
    cbKind = new QComboBox(this);
    cbKind->setObjectName(u"cbKind"_s);
    for (int kind = 0; kind < KindCount; ++kind)
        cbKind->addItem(KindName(TFieldKind(kind)), kind);
    lbKindHint = new QLabel(this);
    lbKindHint->setObjectName(u"lbKindHint"_s);
    lbKindHint->setWordWrap(true);
    lbChoices = new QLabel(u"选择列表（每行一项）："_s, this);
    edChoices = new QPlainTextEdit(this);
    edChoices->setObjectName(u"edChoices"_s);
    edChoices->setTabChangesFocus(true);
    lbChoices->setBuddy(edChoices);
    btnOk = new QPushButton(u"确定"_s, this);
    btnOk->setObjectName(u"btnOk"_s);
    btnCancel = new QPushButton(u"取消"_s, this);
    btnCancel->setObjectName(u"btnCancel"_s);

    if (field) {
        edName->setText(field->Name);
        cbKind->setCurrentIndex(cbKind->findData(int(field->Kind)));
        cbKind->setEnabled(false); // the discs' values are kept in their field's kind
        edChoices->setPlainText(field->Choices.join(u'\n'));
    }

    auto *grid = new QGridLayout;
    auto *nameLabel = new QLabel(u"名称*："_s, this);
    nameLabel->setBuddy(edName);
    auto *kindLabel = new QLabel(u"类型："_s, this);
    kindLabel->setBuddy(cbKind);
    grid->addWidget(nameLabel, 0, 0, Qt::AlignRight);
    grid->addWidget(edName, 0, 1);
    grid->addWidget(kindLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(cbKind, 1, 1);
    grid->addWidget(lbKindHint, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(lbChoices);
    layout->addWidget(edChoices, 1);
    layout->addLayout(buttons);

    connect(cbKind, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    KindChanged();
    edName->setFocus();
}

TFieldKind TCustomFieldEditDlg::Kind() const
{
    return KindOf(cbKind->currentData().toInt());
}

void TCustomFieldEditDlg::KindChanged()
{
    lbKindHint->setText(KindHint(Kind()));
    const bool choices = Kind() == TFieldKind::Choice;
    lbChoices->setEnabled(choices);
    edChoices->setEnabled(choices);
}

void TCustomFieldEditDlg::btnOkClick()
{
    const QStringList choices = edChoices->toPlainText().split(u'\n');
    try {
        if (m_fieldId == 0)
            m_fieldId = AddField(m_db, {edName->text(), Kind(), choices});
        else
            ChangeField(m_db, m_fieldId, edName->text(), choices);
    } catch (const EDAOError &) {
        throw; // the engine's own errors go to the command guard
    } catch (const EAppError &refused) {
        Msg::Warning(u"字段没有保存：%1"_s.arg(refused.Message()));
        edName->setFocus();
        return;
    }
    accept();
}
