#pragma once

#include "dialogs/CheckDateEdit.h"
#include "dialogs/EnterForm.h"
#include "store/catalog/DiscFind.h"
#include "store/catalog/LookupQueries.h"
#include "store/engine/DAOQuery.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QMenu;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TDAODataSource;
class TDataGrid;
class TDM;

// Finds discs anywhere in the catalog by combining criteria, and lists them.
// "关闭" and Esc close it.
class TFindFm : public TEnterFm
{
    Q_OBJECT

public:
    explicit TFindFm(TDM &dm, QWidget *parent = nullptr);
    ~TFindFm() override;

    QLineEdit *edScope;
    QCheckBox *cbSub;
    QPushButton *btnBrowse;
    QLineEdit *edName, *edLocation, *edMemo;
    QComboBox *cbCategory, *cbQuality;
    QLineEdit *edPrice;
    QLineEdit *edFile;      // "包含文件": a part of a file name on the disc
    TCheckDateEdit *edDay1; // latest date, inclusive
    TCheckDateEdit *edDay2; // earliest date, inclusive
    QPushButton *btnFind, *btnNewFind, *btnClose;
    TDataGrid *dgFind;
    QMenu *pmFind;
    QAction *pmFindExport, *pmFindPrint;

    // The find's conditions as a printed list shows them.
    QStringList ConditionLines() const;
    TDAODataSource *dsFind;
    TDAOQuery QFind;

    // Picks another scope folder: its ID, or 0 when the user changes
    // nothing. Replaceable for tests.
    std::function<qint32(QWidget *parent)> ChooseFolder;

    // Fills the lists and clears the criteria; done before each showing.
    // Engine errors reach the caller.
    void FormShow();
    void LoadCategoryChoices();
    void LoadQualityChoices();
    // The whole catalog as scope, every other criterion empty; cbSub and the
    // rows found stay as they are.
    void ResetCriteria();
    // Shows the folder's name as the scope and remembers its ID.
    void ShowScope(qint32 folderId);
    qint32 ScopeId() const { return m_scopeId; }

    // The criteria as the controls hold them, the scope's folders collected
    // from the catalog.
    TFindCriteria Criteria();
    // Lists the discs that match. A statement the engine cannot run leaves
    // the list empty and the error reaches the caller.
    void RunFind();

    void btnFindClick() { RunFind(); }
    void btnNewFindClick() { ResetCriteria(); }
    void btnBrowseClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void BuildControls();
    void LoadChoices(QComboBox *combo, TNameTable table);

    TDM &m_dm;
    qint32 m_scopeId = 0;
};

// Shows the find dialog over the data module's catalog until the user closes
// it. An engine error while the dialog is prepared reaches the caller.
void ShowFind(QWidget *parent = nullptr);
