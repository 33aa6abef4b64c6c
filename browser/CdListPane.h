#pragma once

#include "CdRec.h"
#include "DAOTypes.h"
#include "LoanStore.h"

#include <QHash>

#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QPainter;
class QStyleOptionViewItem;
class TDAODataSource;
class TDAOQuery;
class TDataGrid;

// The disc list: the grid over the disc query, its context menu and the
// disc commands (add, edit, delete, jump to a disc).
class TCdListPane : public QWidget
{
    Q_OBJECT

public:
    TCdListPane(TDAOQuery &discs, QWidget *parent = nullptr);
    ~TCdListPane() override;

    void ShowCdList(int folderId);
    void LocateCd(int discId);
    void UpdateCdButtons();
    void QCdAfterScroll();
    void btnAddClick();
    void btnEditClick();
    void btnDelClick();
    // Lends the current disc ("借出...") and takes it back ("归还").
    void pmCdLendClick();
    void pmCdReturnClick();
    // Reads the discs out again and marks them in the grid.
    void ReloadLoans();
    // The loan of the current disc; none when it is not out.
    std::optional<LoanStore::TLoan> CurrentDiscLoan() const;

    // The folder where the pictures are; the picture mark tests its files.
    QString PictureFolder;

    // What the list needs from the rest of the window.
    std::function<int()> CurrentFolderId;                // the folder tree's current folder, 0 for none
    std::function<bool(int folderId)> LocateFolder;      // moves the folder tree to a folder
    std::function<void()> tlCdTreeClick;                 // lists the current folder again
    std::function<void(int discId)> ShowCdPage;          // the detail page of a disc, 0 for none
    std::function<bool(TCdRec &disc)> EditDisc;          // the disc editor; true when confirmed
    std::function<void(bool enabled)> EnableDiscCommands; // the tool bar's edit and delete

    TDataGrid *dgCd;
    TDAODataSource *dsCd;
    QMenu *pmCd;
    QAction *pmCdAdd, *pmCdDel, *pmCdEdit;
    QAction *pmCdLend, *pmCdReturn;

    // Draws the picture mark: a folder icon when the disc's picture file
    // exists, otherwise the cell as it is.
    bool dgCdCustomDrawCell(QPainter *painter, const QStyleOptionViewItem &option, const QString &fieldName,
                            const QString &text) const;

private:
    void WriteDisc(const TCdRec &disc);
    // Writes the disc as a new row or into the current one. A write the
    // catalog refuses is undone and reported; false then.
    bool SaveDisc(const TCdRec &disc, bool adding);
    TCdRec ReadDisc() const;
    // The lent mark and colour of a disc's name in the grid.
    QVariant LoanMark(int sourceRow, const QString &fieldName, int role) const;

    // The discs out, by ID: read with the list, one statement, so that the
    // grid marks its rows without asking the catalog per row.
    QHash<int, LoanStore::TLoan> m_loans;
    QDate m_today;
    int m_idField = -1;

    TDAOQuery &QCd;
};
