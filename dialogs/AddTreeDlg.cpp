#include "dialogs/AddTreeDlg.h"

#include "pinyin/TextBlank.h"
#include "store/catalog/Schema.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/GbkLineEdit.h"
#include "toolkit/MessageBoxes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAddTreeDlg::TAddTreeDlg(QWidget *parent)
    : TEnterFm(parent)
{
    setObjectName(QStringLiteral("AddTreeDlg"));
    setWindowTitle(QStringLiteral("添加光盘夹目录"));

    Label1 = new QLabel(QStringLiteral("目录名称："), this);
    const int width = Schema::TextWidth(QStringLiteral("TbTree"), QStringLiteral("Name"));
    auto *name = new TGbkLineEdit(width, this);
    name->SetMinimumCharacters(width / 2); // a whole name at the dialog's size
    edName = name;
    edName->setObjectName(QStringLiteral("edName"));
    Label1->setBuddy(edName);
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancle = new QPushButton(QStringLiteral("取消"), this);
    btnCancle->setObjectName(QStringLiteral("btnCancle"));

    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(Label1);
    nameRow->addWidget(edName, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancle);
    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addLayout(nameRow);
    layout->addStretch();
    layout->addLayout(buttons);

    setTabOrder(edName, btnOk);
    setTabOrder(btnOk, btnCancle);
    resize(242, 105);

    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancle, &QPushButton::clicked, this, &QDialog::reject);
}

void TAddTreeDlg::btnOkClick()
{
    if (TextBlank::IsBlank(edName->text())) {
        Msg::Error(QStringLiteral("“目录名称”为空，请输入"));
        edName->setFocus();
        return;
    }
    m_name = edName->text();
    accept();
}

bool EditFolderName(QString &name, QWidget *parent)
{
    TAddTreeDlg dlg(parent);
    dlg.edName->setText(name);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    name = dlg.Name();
    return true;
}
