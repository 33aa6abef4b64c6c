#include "dialogs/CustomFieldsPage.h"

#include "dialogs/CheckDateEdit.h"
#include "dialogs/MultiValueBox.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace CustomFields;
using namespace Qt::StringLiterals;

namespace {

// Makes sure the combo box offers the text and shows it: a value the
// catalog holds stays even when it has left the list.
void ShowInCombo(QComboBox *combo, const QString &text)
{
    int index = combo->findText(text, Qt::MatchFixedString);
    if (index < 0 && !text.isEmpty()) {
        combo->addItem(text);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(qMax(index, 0));
}

} // namespace

TCustomFieldsPage::TCustomFieldsPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"CustomFieldsPage"_s);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *inner = new QWidget(scroll);
    m_form = new QFormLayout(inner);
    m_form->setLabelAlignment(Qt::AlignRight);
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    scroll->setWidget(inner);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

QWidget *TCustomFieldsPage::NewBox(const TCustomField &field)
{
    QWidget *box = nullptr;
    switch (field.Kind) {
    case TFieldKind::Text:
    case TFieldKind::Number:
        box = new QLineEdit(this);
        break;
    case TFieldKind::LongText: {
        auto *memo = new QPlainTextEdit(this);
        memo->setTabChangesFocus(true);
        memo->setFixedHeight(memo->fontMetrics().lineSpacing() * 4 + 10);
        box = memo;
        break;
    }
    case TFieldKind::Date:
        box = new TCheckDateEdit(this);
        break;
    case TFieldKind::YesNo: {
        auto *combo = new QComboBox(this);
        combo->addItems({QString(), u"是"_s, u"否"_s});
        box = combo;
        break;
    }
    case TFieldKind::Choice: {
        auto *combo = new QComboBox(this);
        combo->addItem(QString());
        combo->addItems(field.Choices);
        box = combo;
        break;
    }
    case TFieldKind::MultiValue:
        box = new TMultiValueBox(this);
        break;
    }
    box->setObjectName(u"field%1"_s.arg(field.Id));
    return box;
}

void TCustomFieldsPage::SetFields(const QList<TCustomField> &fields)
{
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    m_boxes.clear();
    m_fields = fields;
    for (const TCustomField &field : fields) {
        QWidget *box = NewBox(field);
        auto *label = new QLabel(field.Name + u"："_s);
        label->setTextFormat(Qt::PlainText);
        label->setBuddy(box);
        m_form->addRow(label, box);
        m_boxes << box;
    }
    if (fields.isEmpty())
        m_form->addRow(new QLabel(u"这个光盘夹还没有自定义字段。可以在“项目设置”菜单的“自定义字段...”里添加。"_s));
}

QWidget *TCustomFieldsPage::Box(int fieldId) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).Id == fieldId)
            return m_boxes.at(i);
    }
    return nullptr;
}

void TCustomFieldsPage::Load(const TDiscValues &values)
{
    for (int i = 0; i < m_fields.size(); ++i) {
        const TCustomField &field = m_fields.at(i);
        QWidget *box = m_boxes.at(i);
        const QStringList texts = values.value(field.Id);
        const QString text = texts.value(0);
        if (auto *line = qobject_cast<QLineEdit *>(box)) {
            line->setText(text);
        } else if (auto *memo = qobject_cast<QPlainTextEdit *>(box)) {
            memo->setPlainText(text);
        } else if (auto *date = qobject_cast<TCheckDateEdit *>(box)) {
            const QDate day = DateUtils::ParseDate(text);
            date->SetChecked(day.isValid());
            if (day.isValid())
                date->SetDate(day);
        } else if (auto *combo = qobject_cast<QComboBox *>(box)) {
            ShowInCombo(combo, text);
        } else if (auto *several = qobject_cast<TMultiValueBox *>(box)) {
            several->SetValues(texts);
        }
    }
}

TDiscValues TCustomFieldsPage::Values() const
{
    TDiscValues values;
    for (int i = 0; i < m_fields.size(); ++i) {
        QWidget *box = m_boxes.at(i);
        QStringList texts;
        if (auto *line = qobject_cast<QLineEdit *>(box)) {
            texts << line->text();
        } else if (auto *memo = qobject_cast<QPlainTextEdit *>(box)) {
            texts << memo->toPlainText();
        } else if (auto *date = qobject_cast<TCheckDateEdit *>(box)) {
            if (const auto day = date->CheckedDate())
                texts << DateUtils::FormatDate(*day);
        } else if (auto *combo = qobject_cast<QComboBox *>(box)) {
            texts << combo->currentText();
        } else if (auto *several = qobject_cast<TMultiValueBox *>(box)) {
            texts = several->Values();
        }
        texts.removeAll(QString());
        values.insert(m_fields.at(i).Id, texts);
    }
    return values;
}

QString TCustomFieldsPage::Check()
{
    const TDiscValues values = Values();
    for (int i = 0; i < m_fields.size(); ++i) {
        const TCustomField &field = m_fields.at(i);
        try {
            const QStringList texts = values.value(field.Id);
            if (HoldsSeveral(field.Kind))
                CleanValues(field, texts);
            else
                StoredValue(field, texts.value(0));
        } catch (const EAppError &refused) {
            m_boxes.at(i)->setFocus();
            return refused.Message();
        }
    }
    return {};
}
