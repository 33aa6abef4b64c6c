#pragma once

#include "CdRec.h"
#include "DAOTypes.h"

#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QPainter;
class QStyleOptionViewItem;
class TCoverWall;
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

    TDAOQuery &QCd;
};
