#pragma once

#include "DiscContents.h"
#include "EnterForm.h"

#include <QList>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TCheckDateEdit;
class TDAODatabase;

// "查找文件...": finds files by name across every scanned disc of the
// catalog, optionally within a size and a date range, and lists where they
// are. A double click on a row shows that disc in the main window.
class TFindFileFm : public TEnterFm
{
    Q_OBJECT

public:
    explicit TFindFileFm(TDAODatabase &db, QWidget *parent = nullptr);
    // Lets go of the names the searches held in memory.
    ~TFindFileFm() override;

    // At most this many rows are listed; the count says how many matched.
    static constexpr int MaxListed = 2000;

    enum Column { NameColumn, FolderColumn, SizeColumn, DayColumn, DiscColumn, CodeColumn, CatalogColumn };

    QLineEdit *edName, *edMinSize, *edMaxSize;
    TCheckDateEdit *edDay1; // earliest, inclusive
    TCheckDateEdit *edDay2; // latest, inclusive
    QPushButton *btnFind, *btnClose;
    QTreeWidget *lvFiles;
    QLabel *lbCount;

    // Shows a disc in the main window: its folder, the disc in the list and
    // its page.
    std::function<void(int discId)> LocateDisc;

    // The query as the controls hold it; nothing (after a message) when a
    // size cannot be read.
    std::optional<DiscContents::TFileQuery> Query();
    void btnFindClick();
    void lvFilesDoubleClick(QTreeWidgetItem *item);
    // The disc of a listed row.
    int DiscOfRow(int row) const;

private:
    TDAODatabase &m_db;
    QList<DiscContents::TFoundFile> m_found;
};

// A size as typed: a number of bytes, or with K, M, G or T (and an optional
// B) for units of 1024, "1.5G"; nothing for an empty text; false in ok when
// it is no size.
std::optional<qint64> ParseSizeText(const QString &text, bool *ok);
