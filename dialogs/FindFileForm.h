#pragma once

#include "dialogs/EnterForm.h"
#include "store/catalog/DiscContents.h"

#include <QList>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TCheckDateEdit;
class TDAODatabase;

// "查找文件...": finds files by name across every scanned disc of the
// catalog, optionally within a size and a date range, and lists where they
// are. A double click on a row shows that disc in the main window. The names
// are read in the background from the moment the window opens; a search made
// before they are all read lists what the discs read so far hold, and is made
// again by itself once the rest is read.
class TFindFileFm : public TEnterFm
{
    Q_OBJECT

public:
    explicit TFindFileFm(TDAODatabase &db, QWidget *parent = nullptr);

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
    // True while a search waits for the rest of the names to be read.
    bool WaitingForNames() const;

private:
    void Search(const DiscContents::TFileQuery &query);
    void ShowReading();
    void NamesReadStep();

    TDAODatabase &m_db;
    QList<DiscContents::TFoundFile> m_found;
    std::optional<DiscContents::TFileQuery> m_waiting; // searched while the names were being read
    QTimer *m_namesRead;
    qint64 m_readBefore = 0; // names read at the last look
};

// A size as typed: a number of bytes, or with K, M, G or T (and an optional
// B) for units of 1024, "1.5G"; nothing for an empty text; false in ok when
// it is no size.
std::optional<qint64> ParseSizeText(const QString &text, bool *ok);
