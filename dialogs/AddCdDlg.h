#pragma once

#include "dialogs/EnterForm.h"
#include "store/catalog/CdRec.h"

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TPictureBox;
class TCalendarDateEdit;
class TDiscContentsPage;

// What the disc editor needs from the program around it.
struct TEditDiscContext
{
    QString PictureFolder; // where the cover pictures are kept
    bool AutoCode = false; // propose a code for a new disc
};

// The disc editor: adds a disc or changes one. It writes to the catalog only
// the categories, qualities and folders the user typed that do not exist
// yet, and copies a newly chosen cover picture into the picture folder; the
// caller writes the disc itself.
class TAddCdDlg : public TEnterFm
{
    Q_OBJECT

public:
    // Fills the controls from the disc and the catalog's lists. The disc is
    // written to only when OK is accepted.
    TAddCdDlg(TCdRec &disc, const TEditDiscContext &context, QWidget *parent = nullptr);

    QTabWidget *PageControl;
    QWidget *tsDetail, *tsMemo, *tsPicture;
    TDiscContentsPage *tsContents; // "光盘内容"
    // The disc's date; unticked, the disc has none.
    TCalendarDateEdit *edDay;
    QComboBox *cbCategory, *cbCdTree, *cbQuality;
    QLineEdit *edSerial, *edCode, *edName, *edPrice, *edLocation;
    QLabel *lbNote;
    QPlainTextEdit *edMemo;
    TPictureBox *imgPicture;
    QPushButton *btnOk, *btnCancle;
    // "借出..." for a disc in the catalog, "归还" while it is out; the loan is
    // written at once, whatever becomes of the editor's other changes.
    QPushButton *btnLend;

    // Asks for a picture file: the full path, or an empty text when the user
    // cancels. Replaceable for tests.
    std::function<QString(QWidget *parent)> PictureDlg;

    // Checks every field first and refuses the first that is wrong, writing
    // nothing; then stores a chosen picture, finds or adds the category,
    // folder and quality, fills the disc and closes with the OK result.
    void btnOkClick();
    void btnLendClick();
    void UpdateLendButton();
    // Lets the user choose another cover picture.
    void imgPictureDblClick();

    // The picture file chosen in this dialog, empty while none is.
    QString ChosenPicture() const { return m_chosenPicture; }

private:
    void BuildControls();
    void FillFromDisc();
    void FillCombo(QComboBox *combo, const QString &sql, int selectedId);
    void Refuse(const QString &message, QWidget *control);

    TCdRec &m_disc;
    TEditDiscContext m_context;
    QString m_shownPrice;
    QString m_chosenPicture;
};

// Shows the disc editor for the disc: "添加光盘" when its Id is 0,
// "修改光盘" otherwise. True when the user confirmed; every field but Id then
// holds the accepted values. False on Cancel or close, the disc unchanged.
bool EditDisc(TCdRec &disc, const TEditDiscContext &context, QWidget *parent = nullptr);
