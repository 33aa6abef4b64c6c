#include "app/MainShortcuts.h"

#include "app/HelpWindow.h"
#include "app/MainForm.h"
#include "browser/CdListPane.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/ExPickEdit.h"

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>

#include <functional>

namespace {

void Add(QWidget *scope, Qt::ShortcutContext context, const QKeySequence &keys, const QString &name,
         const std::function<void()> &command)
{
    auto *shortcut = new QShortcut(keys, scope);
    shortcut->setObjectName(name);
    shortcut->setContext(context);
    QObject::connect(shortcut, &QShortcut::activated, scope, Guarded(command));
}

} // namespace

void InstallMainShortcuts(TMainFm &window)
{
    TMainFm *w = &window;
    const auto window_ = Qt::WindowShortcut;
    Add(w, window_, QKeySequence(Qt::Key_Insert), QStringLiteral("scAddInsert"), [w] { w->btnAddClick(); });
    Add(w, window_, QKeySequence(Qt::CTRL | Qt::Key_N), QStringLiteral("scAdd"), [w] { w->btnAddClick(); });
    Add(w, window_, QKeySequence(Qt::CTRL | Qt::Key_F), QStringLiteral("scFind"), [w] { w->btnFindClick(); });
    Add(w, window_, QKeySequence(Qt::CTRL | Qt::Key_O), QStringLiteral("scOpen"), [w] { w->mOpenClick(); });
    Add(w, window_, QKeySequence(Qt::CTRL | Qt::Key_L), QStringLiteral("scCode"), [w] {
        if (!w->cbCode)
            return;
        w->cbCode->setFocus(Qt::ShortcutFocusReason);
        if (auto *edit = w->cbCode->findChild<QLineEdit *>())
            edit->selectAll();
    });
    // Only in the disc list: elsewhere F2 and Delete mean what the focused
    // control makes of them.
    Add(w->CdList, Qt::WidgetWithChildrenShortcut, QKeySequence(Qt::Key_F2), QStringLiteral("scEdit"), [w] {
        if (w->btnEdit->isEnabled())
            w->btnEditClick();
    });
    Add(w->CdList, Qt::WidgetWithChildrenShortcut, QKeySequence(Qt::Key_Delete), QStringLiteral("scDelete"), [w] {
        if (w->btnDel->isEnabled())
            w->btnDelClick();
    });

    // "帮助内容" and F1: the user's guide.
    QObject::connect(w->N9, &QAction::triggered, w, Guarded([w] { THelpWindow::ShowGuide(w); }));
    w->N9->setShortcut(QKeySequence(Qt::Key_F1));
    w->N9->setShortcutVisibleInContextMenu(true);
    w->btnAdd->setToolTip(QStringLiteral("添加光盘（Insert 或 Ctrl+N）"));
    w->btnEdit->setToolTip(QStringLiteral("修改光盘（F2）"));
    w->btnDel->setToolTip(QStringLiteral("删除光盘（Delete）"));
    w->btnFind->setToolTip(QStringLiteral("查找光盘（Ctrl+F）"));
    if (w->cbCode)
        w->cbCode->setToolTip(w->cbCode->toolTip() + QStringLiteral("（Ctrl+L）"));
}
