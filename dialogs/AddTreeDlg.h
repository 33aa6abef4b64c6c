#pragma once

#include "dialogs/EnterForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the name of a new folder or a new name for an existing one.
class TAddTreeDlg : public TEnterFm
{
    Q_OBJECT

public:
    explicit TAddTreeDlg(QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *edName;
    QPushButton *btnOk;
    QPushButton *btnCancle;

    // Set by btnOkClick when the name is accepted: the text as typed.
    QString Name() const { return m_name; }

    // Refuses a name that is empty or all blanks; otherwise accepts it and
    // closes the dialog with the OK result.
    void btnOkClick();

private:
    QString m_name;
};

// Shows the dialog with name in its edit box. On OK, name becomes the
// accepted name and the result is true; on Cancel or close, false and name
// is left as it was.
bool EditFolderName(QString &name, QWidget *parent = nullptr);
