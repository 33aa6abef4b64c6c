#pragma once

#include "dialogs/EnterForm.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDM;

// Lets the user pick the folder that limits a search.
class TSelDirFm : public TEnterFm
{
    Q_OBJECT

public:
    explicit TSelDirFm(TDM &dm, QWidget *parent = nullptr);

    QLabel *Label1;
    QTreeWidget *tlScope;
    QPushButton *btnOk;
    QPushButton *btnCancle;

    // Reads every folder and shows them as a tree: each under the folder its
    // Id1 names, a folder whose Id1 names none at the top, so the root folder
    // is the top node; the first top node is expanded all the way down.
    // Engine errors reach the caller.
    void LoadScope();

    // The ID of the folder that has the focus in the tree; 0 when none.
    qint32 CurrentFolderId() const;
    QTreeWidgetItem *ItemOfFolder(qint32 id) const;

private:
    TDM &m_dm;
};

// Shows the folder picker. Returns the ID of the folder chosen with OK (the
// root folder's 1 included), 0 on Cancel or close. Reads the folders of the
// data module's catalog; an engine error reaches the caller.
qint32 ChooseScopeFolder(QWidget *parent = nullptr);
