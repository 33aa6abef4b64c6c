#include "dialogs/MultiValueBox.h"

#include "pinyin/TextBlank.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

QPushButton *NewButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TMultiValueBox::TMultiValueBox(QWidget *parent)
    : QWidget(parent)
{
    edNew = new QLineEdit(this);
    edNew->setObjectName(u"edNew"_s);
    edNew->setPlaceholderText(u"输入一个值后按“添加”"_s);
    lvValues = new QListWidget(this);
    lvValues->setObjectName(u"lvValues"_s);
    lvValues->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    lvValues->setMinimumHeight(90);
    btnAdd = NewButton("btnAdd", u"添加"_s, this);
    btnPaste = NewButton("btnPaste", u"粘贴多行"_s, this);
    btnPaste->setToolTip(u"把剪贴板里的文字按行添加，每行一个值"_s);
    btnRemove = NewButton("btnRemove", u"删除"_s, this);
    btnUp = NewButton("btnUp", u"上移"_s, this);
    btnDown = NewButton("btnDown", u"下移"_s, this);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(edNew, 0, 0);
    grid->addWidget(btnAdd, 0, 1);
    grid->addWidget(lvValues, 1, 0, 5, 1);
    grid->addWidget(btnPaste, 1, 1);
    grid->addWidget(btnRemove, 2, 1);
    grid->addWidget(btnUp, 3, 1);
    grid->addWidget(btnDown, 4, 1);
    grid->setRowStretch(5, 1);

    auto add = [this] {
        AddLines(edNew->text());
        edNew->clear();
    };
    connect(btnAdd, &QPushButton::clicked, this, add);
    connect(edNew, &QLineEdit::returnPressed, this, add);
    connect(btnPaste, &QPushButton::clicked, this, [this] { AddLines(QApplication::clipboard()->text()); });
    connect(btnRemove, &QPushButton::clicked, this, [this] { delete lvValues->currentItem(); });
    connect(btnUp, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(btnDown, &QPushButton::clicked, this, [this] { Move(+1); });
    connect(lvValues, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(lvValues->model(), &QAbstractItemModel::rowsRemoved, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

QStringList TMultiValueBox::Values() const
{
    QStringList values;
    for (int row = 0; row < lvValues->count(); ++row)
        values << lvValues->item(row)->text();
    return values;
}

void TMultiValueBox::SetValues(const QStringList &values)
{
    lvValues->clear();
    for (const QString &value : values) {
        auto *item = new QListWidgetItem(value, lvValues);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    UpdateButtons();
}

void TMultiValueBox::AddLines(const QString &text)
{
    static const QRegularExpression lineBreak(u"\\r\\n|[\\n\\r\\x{2028}\\x{2029}]"_s);
    int row = lvValues->currentRow() + 1;
    if (row == 0)
        row = lvValues->count();
    for (const QString &line : text.split(lineBreak)) {
        const QString value = TextBlank::Trimmed(line);
        if (value.isEmpty())
            continue;
        auto *item = new QListWidgetItem(value);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        lvValues->insertItem(row, item);
        lvValues->setCurrentRow(row++);
    }
    UpdateButtons();
}

void TMultiValueBox::Move(int step)
{
    const int from = lvValues->currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= lvValues->count())
        return;
    QListWidgetItem *item = lvValues->takeItem(from);
    lvValues->insertItem(to, item);
    lvValues->setCurrentRow(to);
}

void TMultiValueBox::UpdateButtons()
{
    const int row = lvValues->currentRow();
    btnRemove->setEnabled(row >= 0);
    btnUp->setEnabled(row > 0);
    btnDown->setEnabled(row >= 0 && row < lvValues->count() - 1);
}
