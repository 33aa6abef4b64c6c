#include "dialogs/OpenDbForm.h"

#include "store/catalog/CatalogFiles.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr int FileNameRole = Qt::UserRole;

} // namespace

TOpenDbFm::TOpenDbFm(const QString &appFolder, QWidget *parent)
    : TEnterFm(parent)
    , m_folder(CatalogFiles::CatalogFolder(appFolder))
{
    setObjectName(QStringLiteral("OpenDbFm"));
    setWindowTitle(QStringLiteral("打开/新建光盘夹"));

    rdNew = new QRadioButton(QStringLiteral("新建光盘夹"), this);
    rdNew->setObjectName(QStringLiteral("rdNew"));
    edDbName = new QLineEdit(this);
    edDbName->setObjectName(QStringLiteral("edDbName"));
    rdOpen = new QRadioButton(QStringLiteral("打开您的光盘夹"), this);
    rdOpen->setObjectName(QStringLiteral("rdOpen"));
    rdOpen->setChecked(true);
    lbdir = new QLabel(QStringLiteral("位置：") + QDir::toNativeSeparators(m_folder), this);
    lbdir->setObjectName(QStringLiteral("lbdir"));
    lisboxDb = new QListWidget(this);
    lisboxDb->setObjectName(QStringLiteral("lisboxDb"));
    lisboxDb->setSelectionMode(QAbstractItemView::SingleSelection);
    lisboxDb->setSortingEnabled(false);
    btnOpen = new QPushButton(QStringLiteral("打开"), this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *newRow = new QHBoxLayout;
    newRow->addSpacing(20);
    newRow->addWidget(edDbName);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOpen);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(rdNew);
    layout->addLayout(newRow);
    layout->addWidget(rdOpen);
    layout->addWidget(lbdir);
    layout->addWidget(lisboxDb, 1);
    layout->addLayout(buttons);

    setTabOrder(rdNew, edDbName);
    setTabOrder(edDbName, rdOpen);
    setTabOrder(rdOpen, lisboxDb);
    setTabOrder(lisboxDb, btnOpen);
    setTabOrder(btnOpen, btnCancel);
    resize(360, 300);

    FillList();
    // The open choice is checked, so the list holds the focus at the start.
    lisboxDb->setFocus();

    edDbName->installEventFilter(this);
    lisboxDb->viewport()->installEventFilter(this);
    connect(rdNew, &QRadioButton::clicked, this, [this] { rdNewClick(); });
    connect(rdOpen, &QRadioButton::clicked, this, [this] { rdOpenClick(); });
    connect(lisboxDb, &QListWidget::itemDoubleClicked, this, Guarded([this] { btnOpenClick(); }));
    connect(btnOpen, &QPushButton::clicked, this, Guarded([this] { btnOpenClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TOpenDbFm::FillList()
{
    lisboxDb->clear();
    for (const QString &fileName : CatalogFiles::ListCatalogs(m_folder)) {
        auto *item = new QListWidgetItem(CatalogFiles::DisplayName(fileName), lisboxDb);
        item->setData(FileNameRole, fileName);
    }
    if (lisboxDb->count() > 0)
        lisboxDb->setCurrentRow(0);
}

bool TOpenDbFm::eventFilter(QObject *watched, QEvent *event)
{
    // Typing a name means creating; clicking the list means opening.
    if (watched == edDbName && (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress))
        rdNew->setChecked(true);
    else if (watched == lisboxDb->viewport() && event->type() == QEvent::MouseButtonPress)
        rdOpen->setChecked(true);
    return TEnterFm::eventFilter(watched, event);
}

void TOpenDbFm::rdNewClick()
{
    edDbName->setFocus();
}

void TOpenDbFm::rdOpenClick()
{
    lisboxDb->setFocus();
}

void TOpenDbFm::btnOpenClick()
{
    if (rdNew->isChecked()) {
        const QString name = edDbName->text();
        if (name.isEmpty() || name.contains(QLatin1Char(' '))) {
            Msg::Error(QStringLiteral("请输入光盘夹名称,且名称中不能包含空格字符。"));
            edDbName->setFocus();
            return;
        }
        const QString fileName = name + QLatin1String(CatalogFiles::Extension);
        if (!CatalogFiles::FindFile(m_folder, fileName).isEmpty()) {
            Msg::Error(QStringLiteral("已有同名的光盘夹文件,请重新命名。"));
            edDbName->setFocus();
            return;
        }
        QString error;
        if (!CatalogFiles::CreateFromTemplate(m_folder, fileName, &error)) {
            Msg::Error(error);
            return;
        }
        m_fileName = fileName;
        accept();
        return;
    }

    // Nothing to open while the list is empty: the dialog stays.
    const QListWidgetItem *item = lisboxDb->currentItem();
    if (!item || !item->isSelected())
        return;
    m_fileName = item->data(FileNameRole).toString();
    accept();
}

bool ChooseCatalog(const QString &appFolder, QString &path, QWidget *parent)
{
    TOpenDbFm dlg(appFolder, parent);
    if (dlg.exec() != QDialog::Accepted || dlg.FileName().isEmpty())
        return false;
    path = dlg.CatalogFolder() + dlg.FileName();
    return true;
}
