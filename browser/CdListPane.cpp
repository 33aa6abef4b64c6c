#include "browser/CdListPane.h"
#include "store/catalog/DiscList.h"

#include "browser/CoverWall.h"
#include "browser/CoverWallModel.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscStore.h"
#include "store/catalog/PictureFiles.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"
#include "toolkit/BulkProgress.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/DataGrid.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/ThumbnailCache.h"
#include "toolkit/WaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// A small framed picture, hills under a sun: the mark of a disc whose cover
// picture is in the picture folder.
QPixmap FoundPictureMark()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x4A, 0x6A, 0x8A));
    p.setBrush(QColor(0xDC, 0xEE, 0xFB));
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF2, 0xB7, 0x2C));
    p.drawEllipse(QRectF(9.5, 4.5, 3, 3));
    p.setBrush(QColor(0x3E, 0x9A, 0x4A));
    const QPointF hills[] = {{2, 13}, {6, 7.5}, {9, 10.5}, {11, 9}, {14, 13}};
    p.drawPolygon(hills, 5);
    return pixmap;
}

// The same frame, greyed and crossed out in red: the disc names a cover
// picture that is not in the picture folder.
QPixmap MissingPictureMark()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1, Qt::DashLine));
    p.setBrush(QColor(0xF0, 0xF0, 0xF0));
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setPen(QPen(QColor(0xC0, 0x20, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(11, 11));
    p.drawLine(QPointF(11, 5), QPointF(5, 11));
    return pixmap;
}

const QPixmap &PictureMark(bool found)
{
    static const QPixmap foundMark = FoundPictureMark();
    static const QPixmap missingMark = MissingPictureMark();
    return found ? foundMark : missingMark;
}

// Whether the cover wall shows in place of the grid, beside the layouts.
const QString CoverWallKey = QStringLiteral("CdList/CoverWall");

// The marks of a lent disc and of one overdue: a small disc with an arrow
// leaving it, blue, or red when it is late.
QPixmap LoanPixmap(const QColor &color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color.darker(140), 1));
    p.setBrush(color);
    p.drawEllipse(QRectF(1.5, 3.5, 9, 9));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(4.8, 6.8, 2.4, 2.4));
    p.setPen(QPen(color.darker(140), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(9.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
    p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
    return pixmap;
}

const QColor LentColor(0x2C, 0x6C, 0xA0);
const QColor OverdueColor(0xC0, 0x20, 0x20);

} // namespace

QList<TGridColumn> DiscListColumns()
{
    const Qt::Alignment center = Qt::AlignCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    auto column = [](const char *field, const QString &caption, bool visible, int width = 80) {
        TGridColumn c;
        c.FieldName = QLatin1String(field);
        c.Caption = caption;
        c.Visible = visible;
        c.Width = width;
        return c;
    };
    TGridColumn picture = column("Picture", QString(), true, 25);
    picture.Alignment = center;
    TGridColumn serial = column("Serial", QStringLiteral("序列号"), true, 80);
    serial.Footer = TGridColumn::Summary::Count;
    serial.FooterFormat = QStringLiteral("总数：%1");
    TGridColumn day = column("Day", QStringLiteral("日期"), true, 80);
    day.DisplayFormat = QString::fromLatin1(DateUtils::DateFormat);
    TGridColumn price = column("Price", QStringLiteral("价格"), true, 70);
    price.Alignment = right;
    price.DisplayFormat = QStringLiteral("0.00;-0.00");
    price.Footer = TGridColumn::Summary::Sum;
    price.FooterFormat = QStringLiteral("合计：%1");
    price.FooterDecimals = 2;
    return {
        picture,
        column("ID", QString(), false),
        serial,
        day,
        column("Code", QStringLiteral("编号"), true, 80),
        column("Name", QStringLiteral("名称"), true, 160),
        column("Category", QStringLiteral("分类"), true, 80),
        column("Quality", QStringLiteral("质量"), true, 70),
        column("CId", QString(), false),
        column("TId", QString(), false),
        column("QId", QString(), false),
        price,
        column("Location", QString(), false),
        column("Memo", QString(), false),
    };
}

TCdListPane::TCdListPane(TDAOQuery &discs, QWidget *parent)
    : QWidget(parent)
    , QCd(discs)
{
    setObjectName(QStringLiteral("CdListPane"));
    QCd.FieldDefs = DiscListFields();
    QCd.AfterScroll = [this](TDAODataset &) { QCdAfterScroll(); };

    dsCd = new TDAODataSource(this);
    dsCd->setObjectName(QStringLiteral("dsCd"));
    dsCd->SetDataSet(&QCd);

    dgCd = new TDataGrid(this);
    dgCd->setObjectName(QStringLiteral("dgCd"));
    dgCd->SetColumns(DiscListColumns());
    dgCd->SetGroupSummary(QStringLiteral("小计：%1"), QStringLiteral("Price"), QStringLiteral("小计：%1"), 0);
    dgCd->SetDataSource(dsCd);
    dgCd->OnCustomDrawCell = [this](QPainter *painter, const QStyleOptionViewItem &option, const QString &fieldName,
                                    const QString &text) {
        return dgCdCustomDrawCell(painter, option, fieldName, text);
    };
    dgCd->SetCellRole([this](int sourceRow, const QString &fieldName, int role) {
        if (fieldName.compare(QLatin1String("Picture"), Qt::CaseInsensitive) == 0)
            return PictureCellRole(sourceRow, role);
        return LoanMark(sourceRow, fieldName, role);
    });

    pmCd = new QMenu(this);
    pmCd->setObjectName(QStringLiteral("pmCd"));
    pmCdAdd = pmCd->addAction(QStringLiteral("添加光盘"));
    pmCdAdd->setObjectName(QStringLiteral("pmCdAdd"));
    pmCdDel = pmCd->addAction(QStringLiteral("删除"));
    pmCdDel->setObjectName(QStringLiteral("pmCdDel"));
    pmCdEdit = pmCd->addAction(QStringLiteral("修改"));
    pmCdEdit->setObjectName(QStringLiteral("pmCdEdit"));
    pmCd->addSeparator();
    pmCdLend = pmCd->addAction(QStringLiteral("借出..."));
    pmCdLend->setObjectName(QStringLiteral("pmCdLend"));
    pmCdReturn = pmCd->addAction(QStringLiteral("归还"));
    pmCdReturn->setObjectName(QStringLiteral("pmCdReturn"));
    connect(pmCdLend, &QAction::triggered, this, Guarded([this] { pmCdLendClick(); }));
    connect(pmCdReturn, &QAction::triggered, this, Guarded([this] { pmCdReturnClick(); }));
    connect(pmCdAdd, &QAction::triggered, this, Guarded([this] { btnAddClick(); }));
    connect(pmCdDel, &QAction::triggered, this, Guarded([this] { btnDelClick(); }));
    connect(pmCdEdit, &QAction::triggered, this, Guarded([this] { btnEditClick(); }));
    pmCd->addSeparator();
    pmCdScan = pmCd->addAction(QStringLiteral("扫描光盘内容..."));
    pmCdScan->setObjectName(QStringLiteral("pmCdScan"));
    pmCdClear = pmCd->addAction(QStringLiteral("清除光盘内容"));
    pmCdClear->setObjectName(QStringLiteral("pmCdClear"));
    connect(pmCdScan, &QAction::triggered, this, Guarded([this] { pmCdScanClick(); }));
    connect(pmCdClear, &QAction::triggered, this, Guarded([this] { pmCdClearClick(); }));
    connect(dgCd, &TDataGrid::ContextMenuRequested, this, [this](const QPoint &pos) { pmCd->popup(pos); });
    connect(dgCd, &TDataGrid::DoubleClicked, this, Guarded([this] { btnEditClick(); }));

    auto *thumbnails =
        new TThumbnailCache(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/covers"),
                            TCoverWall::CoverSize, QImage(QStringLiteral(":/nopicture.jpg")), 48 * 1024, this);
    lvCoverWall = new TCoverWall(dgCd, thumbnails, this);
    lvCoverWall->WallModel()->PicturePath = [this](const QString &name) {
        return PictureFiles::StoredPictureFile(PictureFolder, name);
    };
    lvCoverWall->hide();
    connect(lvCoverWall, &TCoverWall::ContextMenuRequested, this, [this](const QPoint &pos) { pmCd->popup(pos); });
    connect(lvCoverWall, &TCoverWall::DoubleClicked, this, Guarded([this] { btnEditClick(); }));
    acCoverWall = new QAction(QStringLiteral("封面墙"), this);
    acCoverWall->setObjectName(QStringLiteral("acCoverWall"));
    acCoverWall->setCheckable(true);
    acCoverWall->setToolTip(QStringLiteral("在光盘列表和封面墙之间切换"));
    connect(acCoverWall, &QAction::toggled, this, &TCdListPane::ShowCoverWall);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(dgCd);
    layout->addWidget(lvCoverWall);
    UpdateCdButtons();
}

void TCdListPane::ShowCoverWall(bool wall)
{
    if (acCoverWall->isChecked() != wall)
        acCoverWall->setChecked(wall); // comes back here through toggled
    const bool focused = dgCd->isAncestorOf(focusWidget()) || lvCoverWall->hasFocus();
    dgCd->setVisible(!wall);
    lvCoverWall->setVisible(wall);
    if (focused) {
        if (wall)
            lvCoverWall->setFocus();
        else
            dgCd->View()->setFocus();
    }
}

bool TCdListPane::IsDiscView(const QObject *source) const
{
    return source && (source == static_cast<const QObject *>(dgCd->View()) ||
                      source == static_cast<const QObject *>(lvCoverWall));
}

TCdListPane::~TCdListPane()
{
    QCd.AfterScroll = nullptr;
}

void TCdListPane::RestoreLayout(const QSettings &settings)
{
    dgCd->RestoreLayout(settings, QStringLiteral("dgCd"));
    acCoverWall->setChecked(settings.value(CoverWallKey, false).toBool());
}

void TCdListPane::SaveLayout(QSettings &settings) const
{
    dgCd->SaveLayout(settings, QStringLiteral("dgCd"));
    settings.setValue(CoverWallKey, acCoverWall->isChecked());
}

void TCdListPane::ShowCdList(int folderId)
{
    m_pictureFound.clear();
    TDM::OpenQuery(QCd, FolderDiscListStatement(folderId));
    ReloadLoans();
    if (QCd.RowCount() == 0)
        QCdAfterScroll(); // the store raises it only for a result with rows
}

void TCdListPane::LocateCd(int discId)
{
    m_pictureFound.clear();
    TDM::OpenQuery(QCd, OneDiscStatement(discId));
    ReloadLoans();
    if (QCd.RowCount() == 0)
        QCdAfterScroll();
    const int folder = QCd.RowCount() > 0 ? QCd.Field(QStringLiteral("TId")).AsInteger() : 0;
    emit DiscLocated(folder);
}

void TCdListPane::UpdateCdButtons()
{
    const bool any = QCd.Active() && QCd.RowCount() > 0;
    pmCdEdit->setEnabled(any);
    pmCdDel->setEnabled(any);
    pmCdScan->setEnabled(any);
    pmCdClear->setEnabled(any);
    const bool out = any && CurrentDiscLoan().has_value();
    pmCdLend->setEnabled(any && !out);
    pmCdReturn->setEnabled(out);
    emit DiscCommandsEnabled(any);
}

void TCdListPane::QCdAfterScroll()
{
    UpdateCdButtons();
    const int id = (QCd.Active() && QCd.RowCount() > 0) ? QCd.Field(QStringLiteral("ID")).AsInteger() : 0;
    emit DiscShown(id);
}

TCdRec TCdListPane::ReadDisc() const
{
    return ReadCdRec(QCd);
}

bool TCdListPane::SaveDisc(const TCdRec &disc, bool adding)
{
    if (!QCd.Database())
        return false;
    try {
        DiscStore::SaveDisc(*QCd.Database(), disc, adding);
        return true;
    } catch (const EAppError &error) {
        const auto *engine = dynamic_cast<const EDAOError *>(&error);
        if (engine && engine->IsUniqueViolation())
            Msg::Error(QStringLiteral("光盘没有保存：编号“%1”已经被另一张光盘使用，请换一个编号。").arg(disc.Code));
        else
            Msg::Error(QStringLiteral("光盘没有保存：%1").arg(error.Message()));
        return false;
    }
}

void TCdListPane::btnAddClick()
{
    const int folder = CurrentFolderId ? CurrentFolderId() : 0;
    TCdRec disc;
    disc.Day = DateUtils::Today();
    disc.TId = folder;
    // A disc the catalog refuses goes back to the editor as it was typed,
    // until it is saved or the user cancels.
    while (EditDisc && EditDisc(disc)) {
        if (SaveDisc(disc, true)) {
            ShowCdList(folder);
            return;
        }
    }
}

void TCdListPane::btnEditClick()
{
    const int folder = CurrentFolderId ? CurrentFolderId() : 0;
    if (!QCd.Active() || QCd.RowCount() == 0)
        return;
    TCdRec disc = ReadDisc();
    const qint64 written = QCd.Database() ? QCd.Database()->RowsWritten() : -1;
    while (EditDisc && EditDisc(disc)) {
        if (SaveDisc(disc, false)) {
            ShowCdList(folder);
            return;
        }
    }
    // The editor may have lent the disc or taken it back, or scanned or
    // cleared its contents; when it wrote nothing, the page stands.
    if (QCd.Database() && QCd.Database()->RowsWritten() == written)
        return;
    ReloadLoans();
    QCdAfterScroll();
}

void TCdListPane::btnDelClick()
{
    if (!QCd.Active())
        return;
    if (dgCd->SelectedCount() == 1) {
        if (QCd.RowCount() == 0)
            return;
        const QString name = QCd.Field(QStringLiteral("Name")).AsString();
        if (!Msg::Confirm(QStringLiteral("真的要删除[%1]光盘吗？").arg(name)))
            return;
        QCd.Delete();
        QCdAfterScroll();
        return;
    }
    // The selection is taken before the grid stops following the query.
    const QList<TBookmark> selected = dgCd->SelectedBookmarks();
    if (selected.isEmpty())
        return;
    if (!Msg::Confirm(QStringLiteral("真的要删除这 %1 张光盘吗？").arg(selected.size())))
        return;
    const TWaitCursor busy;
    TBulkProgress progress(QStringLiteral("正在删除光盘..."), int(selected.size()), this);
    TDAOSuspendGuard suspended(QCd);
    for (TBookmark bookmark : selected) {
        QCd.GotoBookmark(bookmark);
        QCd.Delete();
        progress.Step();
    }
    dgCd->ClearSelection();
    emit DiscsDeleted();
}

void TCdListPane::pmCdScanClick()
{
    if (!QCd.Active() || QCd.RowCount() == 0)
        return;
    const int id = QCd.Field(QStringLiteral("ID")).AsInteger();
    if (ScanContents && ScanContents(id))
        emit DiscShown(id);
}

void TCdListPane::pmCdClearClick()
{
    if (!QCd.Active() || QCd.RowCount() == 0)
        return;
    const int id = QCd.Field(QStringLiteral("ID")).AsInteger();
    if (ClearContents && ClearContents(id))
        emit DiscShown(id);
}

void TCdListPane::ReloadLoans()
{
    m_loans = QCd.Database() ? LoanStore::CurrentLoans(*QCd.Database()) : QHash<int, LoanStore::TLoan>();
    m_today = DateUtils::ToDate(DateUtils::Today());
    m_idField = -1;
    m_pictureField = -1;
    for (int field = 0; QCd.Active() && field < QCd.FieldCount(); ++field) {
        const QString &name = QCd.FieldAt(field).FieldName();
        if (name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
            m_idField = field;
        else if (name.compare(QLatin1String("Picture"), Qt::CaseInsensitive) == 0)
            m_pictureField = field;
    }
    dgCd->RefreshCells();
}

std::optional<LoanStore::TLoan> TCdListPane::CurrentDiscLoan() const
{
    if (m_loans.isEmpty() || !QCd.Active() || QCd.RowCount() == 0)
        return std::nullopt;
    const auto loan = m_loans.constFind(QCd.Field(QStringLiteral("ID")).AsInteger());
    if (loan == m_loans.constEnd())
        return std::nullopt;
    return *loan;
}

QVariant TCdListPane::LoanMark(int sourceRow, const QString &fieldName, int role) const
{
    if (m_loans.isEmpty() || m_idField < 0 || fieldName.compare(QLatin1String("Name"), Qt::CaseInsensitive) != 0)
        return {};
    if (sourceRow < 0 || sourceRow >= QCd.RowCount())
        return {};
    const auto loan = m_loans.constFind(QCd.ValueAt(sourceRow, m_idField).toInt());
    if (loan == m_loans.constEnd())
        return {};
    const bool overdue = loan->IsOverdue(m_today);
    if (role == Qt::DecorationRole) {
        static const QPixmap lent = LoanPixmap(LentColor);
        static const QPixmap late = LoanPixmap(OverdueColor);
        return overdue ? late : lent;
    }
    if (role == Qt::ForegroundRole)
        return overdue ? OverdueColor : LentColor;
    return {};
}

void TCdListPane::pmCdLendClick()
{
    if (!QCd.Active() || QCd.RowCount() == 0 || CurrentDiscLoan())
        return;
    const int id = QCd.Field(QStringLiteral("ID")).AsInteger();
    if (!AskLend || !AskLend(id, QCd.Field(QStringLiteral("Name")).AsString()))
        return;
    ReloadLoans();
    QCdAfterScroll();
}

void TCdListPane::pmCdReturnClick()
{
    if (!CurrentDiscLoan())
        return;
    const int id = QCd.Field(QStringLiteral("ID")).AsInteger();
    if (!AskReturn || !AskReturn(id, QCd.Field(QStringLiteral("Name")).AsString()))
        return;
    ReloadLoans();
    QCdAfterScroll();
}

bool TCdListPane::PictureFound(const QString &name) const
{
    // Asked as cells are painted: each name is looked for once a listing,
    // never for the rows no one scrolls to.
    const auto known = m_pictureFound.constFind(name);
    if (known != m_pictureFound.constEnd())
        return *known;
    const bool found = !PictureFiles::StoredPictureFile(PictureFolder, name).isEmpty();
    m_pictureFound.insert(name, found);
    return found;
}

QVariant TCdListPane::PictureCellRole(int sourceRow, int role) const
{
    if (role != Qt::DecorationRole && role != Qt::ToolTipRole)
        return {};
    if (m_pictureField < 0 || sourceRow < 0 || sourceRow >= QCd.RowCount())
        return {};
    const QString name = QCd.ValueAt(sourceRow, m_pictureField).toString();
    if (name.isEmpty())
        return {};
    const bool found = PictureFound(name);
    if (role == Qt::DecorationRole)
        return PictureMark(found);
    return found ? QVariant() : QVariant(QStringLiteral("封面图片“%1”找不到").arg(name));
}

bool TCdListPane::dgCdCustomDrawCell(QPainter *painter, const QStyleOptionViewItem &option, const QString &fieldName,
                                     const QString &text) const
{
    if (fieldName.compare(QLatin1String("Picture"), Qt::CaseInsensitive) != 0 || text.isEmpty())
        return false;
    // The mark alone, never the file name, over the row's own background
    // (selected or not).
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, widget);
    const QPixmap &mark = PictureMark(PictureFound(text));
    painter->drawPixmap(QStyle::alignedRect(option.direction, Qt::AlignCenter, mark.size(), option.rect), mark);
    return true;
}
