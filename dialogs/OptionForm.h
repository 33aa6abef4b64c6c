#pragma once

#include "dialogs/EnterForm.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DAOQuery.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TDataGrid;
class TDM;

// Maintains the catalog's category and quality lists and shows the two
// behaviour switches. Every change to a list is written at once; a switch
// changes its word at the click. OK and Cancel only close the dialog.
class TOptionDlg : public TEnterFm
{
    Q_OBJECT

public:
    // The switches are words of the program's options: 1 for on, 0 for off;
    // a box shows checked only for 1, and a word keeps any other value until
    // its box is clicked. The lists are read when the dialog is made; engine
    // errors reach the caller.
    TOptionDlg(TDM &dm, qint32 &autoCode, qint32 &autoNew, QWidget *parent = nullptr);
    ~TOptionDlg() override;

    QTabWidget *pcOption;
    QWidget *tsCategory;
    QWidget *tsQuality;
    QWidget *tsOther;

    TDataGrid *dgCategory;
    QPushButton *btnCAdd;
    QPushButton *btnCDel;
    QPushButton *btnCEdit;
    QLabel *lbCategory;
    QLineEdit *edCategory;

    TDataGrid *dgQuality;
    QPushButton *btnQAdd;
    QPushButton *btnQDel;
    QPushButton *btnQEdit;
    QLabel *lbQuality;
    QLineEdit *edQuality;

    QCheckBox *cbAutoCode;
    QCheckBox *cbAutoNew;

    QPushButton *btnOk;
    QPushButton *btnCancle;

    TDAOQuery QCategory;
    TDAOQuery QQuality;
    TDAODataSource dsCategory;
    TDAODataSource dsQuality;

    // 0 shows the categories, 1 the qualities; any other number leaves the
    // page as it is.
    void ShowPage(int page);

    // Add: the typed name becomes a new entry. Change: it replaces the name
    // of the grid's current entry (with an empty list it is added). Both
    // refuse a blank name and a name the list already holds in any letter
    // case, with the focus back in the edit box; a name wider than the
    // column is cut before the first character that does not fit, and that
    // cut name is the one checked and stored. Delete: the current entry,
    // unless a disc uses it, after the user confirms; nothing with an empty
    // list.
    void btnCAddClick();
    void btnCEditClick();
    void btnCDelClick();
    void btnQAddClick();
    void btnQEditClick();
    void btnQDelClick();

    void cbAutoCodeClick();
    void cbAutoNewClick();

private:
    struct NameList;

    void FormCreate();
    NameList Categories();
    NameList Qualities();
    bool AcceptName(const NameList &list, const QString &emptyText, QString &name);
    void AddName(const NameList &list);
    void ChangeName(const NameList &list);
    void DeleteName(const NameList &list);
    // Lists the names again, the one of this Id current.
    void ShowName(const NameList &list, int id);

    TDM &m_dm;
    qint32 &m_autoCode;
    qint32 &m_autoNew;
};

// Shows the options dialog on the given page (0 categories, 1 qualities)
// over the data module's catalog. The switches change at the click, whether
// the dialog then closes by OK or Cancel. An engine error reaches the
// caller.
void ShowOptions(int page, qint32 &autoCode, qint32 &autoNew, QWidget *parent = nullptr);
