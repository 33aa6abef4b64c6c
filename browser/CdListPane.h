#pragma once

#include "store/catalog/CdRec.h"
#include "store/catalog/LoanStore.h"
#include "store/engine/DAOTypes.h"

#include <QHash>

#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QPainter;
class QSettings;
class QStyleOptionViewItem;
class TCoverWall;
class TDAODataSource;
class TDAOQuery;
class TDataGrid;
struct TGridColumn;

// The disc list's columns, over the fields of DiscListFields().
QList<TGridColumn> DiscListColumns();

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
    // The current disc's contents: read them from a volume, or remove them.
    void pmCdScanClick();
    void pmCdClearClick();
    // Lends the current disc ("借出...") and takes it back ("归还").
    void pmCdLendClick();
    void pmCdReturnClick();
    // Reads the discs out again and marks them in the grid.
    void ReloadLoans();
    // The loan of the current disc; none when it is not out.
    std::optional<LoanStore::TLoan> CurrentDiscLoan() const;

    // The folder where the pictures are; the picture mark tests its files.
    // Set it before the list is shown: what was found is kept per listing.
    QString PictureFolder;

    // What the list asks of the rest of the window.
    std::function<int()> CurrentFolderId;          // the folder tree's current folder, 0 for none
    std::function<bool(TCdRec &disc)> EditDisc;    // the disc editor; true when confirmed
    std::function<bool(int discId)> ScanContents;  // reads a volume into the disc; true when stored
    std::function<bool(int discId)> ClearContents; // removes the disc's contents; true when removed
    // Lends the disc, or takes it back; true when a loan was written or ended.
    std::function<bool(int discId, const QString &name)> AskLend, AskReturn;

    // The column layout, in the settings group the owner keeps layouts in.
    void RestoreLayout(const QSettings &settings);
    void SaveLayout(QSettings &settings) const;

    TDataGrid *dgCd;
    // The same discs as a wall of covers, in place of the grid while
    // acCoverWall is checked; the choice is kept in the settings.
    TCoverWall *lvCoverWall;
    QAction *acCoverWall;
    void ShowCoverWall(bool wall);
    // True for the grid's and the wall's views, the sources of disc drags.
    bool IsDiscView(const QObject *source) const;
    TDAODataSource *dsCd;
    QMenu *pmCd;
    QAction *pmCdAdd, *pmCdDel, *pmCdEdit;
    QAction *pmCdScan, *pmCdClear; // "扫描光盘内容...", "清除光盘内容"
    QAction *pmCdLend, *pmCdReturn;

    // Draws the picture column: for a disc that names a cover picture, a
    // picture mark when the file is in the picture folder, a crossed-out one
    // when it is not (its tool tip names the file); never the file name.
    bool dgCdCustomDrawCell(QPainter *painter, const QStyleOptionViewItem &option, const QString &fieldName,
                            const QString &text) const;

signals:
    // The current disc changed: its detail page is to be shown (0: none).
    void DiscShown(int discId);
    // Whether there is a disc to edit or delete, for the tool bar.
    void DiscCommandsEnabled(bool enabled);
    // A disc was jumped to: the folder tree is to move to its folder.
    void DiscLocated(int folderId);
    // Discs were deleted: the current folder is to be listed again.
    void DiscsDeleted();

private:
    // Writes the disc as a new row or into its own row, in one transaction;
    // a write the catalog refuses leaves nothing behind and is reported,
    // false then. The caller lists the folder again after a save.
    bool SaveDisc(const TCdRec &disc, bool adding);
    TCdRec ReadDisc() const;
    // The picture column's mark and tool tip.
    QVariant PictureCellRole(int sourceRow, int role) const;
    // Whether the cover picture of this name is in the picture folder; each
    // name is looked for once per listing.
    bool PictureFound(const QString &name) const;
    // The lent mark and colour of a disc's name in the grid.
    QVariant LoanMark(int sourceRow, const QString &fieldName, int role) const;

    // The discs out, by ID: read with the list, one statement, so that the
    // grid marks its rows without asking the catalog per row.
    QHash<int, LoanStore::TLoan> m_loans;
    QDate m_today;
    int m_idField = -1;
    int m_pictureField = -1;
    mutable QHash<QString, bool> m_pictureFound;

    TDAOQuery &QCd;
};
