#include "dialogs/AddCdDlg.h"

#include "dialogs/AddCdPicture.h"
#include "dialogs/DiscContentsPage.h"
#include "dialogs/LendDlg.h"
#include "dialogs/PriceText.h"
#include "pinyin/Spell.h"
#include "pinyin/TextBlank.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscStore.h"
#include "store/catalog/FolderQueries.h"
#include "store/catalog/LoanStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/DateUtils.h"
#include "toolkit/CalendarDateEdit.h"
#include "toolkit/ChoiceBox.h"
#include "toolkit/ChoiceModel.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/GbkLineEdit.h"
#include "toolkit/MessageBoxes.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The catalog's column widths, in GBK bytes.
int Width(const char *table, const char *column)
{
    return Schema::TextWidth(QLatin1String(table), QLatin1String(column));
}

// visible: Chinese characters the box shows at least.
TGbkLineEdit *NewEdit(const char *name, int maxBytes, int visible, QWidget *parent)
{
    auto *edit = new TGbkLineEdit(maxBytes, parent);
    edit->setObjectName(QLatin1String(name));
    edit->SetMinimumCharacters(visible);
    return edit;
}

// Free text or an entry of the list; what counts is the text. No completion,
// so the text is always what the user typed or picked.
QComboBox *NewCombo(const char *name, int maxBytes, QWidget *parent)
{
    auto *combo = new TChoiceBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(8);
    auto *edit = new TGbkLineEdit(maxBytes, combo);
    edit->SetMinimumCharacters(12);
    combo->setLineEdit(edit);
    combo->setCompleter(nullptr); // after the line edit, which brings a completer of its own
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return combo;
}

// An empty box for a disc without a price.
QString FormatPrice(std::optional<TCurrency> price)
{
    return price ? QString::asprintf("%0.2f", Currency::ToDouble(*price)) : QString();
}

// The price as typed; 0 when the text is no number the catalog can hold.
TCurrency ParsePrice(const QString &text)
{
    const std::optional<double> value = PriceText::Parse(text);
    return value ? Currency::FromDouble(*value) : 0;
}

// The description as the catalog keeps it, its lines ended by CR LF. A
// description left as it was shown keeps its own line ends.
QString StoredMemo(const QString &shown, const QString &stored)
{
    QString lines = stored;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (shown == lines)
        return stored;
    QString memo = shown;
    memo.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return memo;
}

QString RunPictureDialog(QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("选择光盘图片文件..."), QString(),
                       QStringLiteral("JPG (*.jpg *.JPG);;BMP(*.bmp *.BMP)"));
    dialog.setObjectName(QStringLiteral("PictureDlg"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace

TAddCdDlg::TAddCdDlg(TCdRec &disc, const TEditDiscContext &context, QWidget *parent)
    : TEnterFm(parent)
    , PictureDlg(RunPictureDialog)
    , m_disc(disc)
    , m_context(context)
{
    setObjectName(QStringLiteral("AddCdDlg"));
    BuildControls();
    FillFromDisc();
    FillCombo(cbCategory, LookupQueries::NameChoices(TNameTable::Category), m_disc.CId);
    FillCombo(cbCdTree, FolderQueries::FolderChoices(), m_disc.TId);
    FillCombo(cbQuality, LookupQueries::NameChoices(TNameTable::Quality), m_disc.QId);

    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancle, &QPushButton::clicked, this, &QDialog::reject);
    connect(imgPicture, &TPictureBox::doubleClicked, this, Guarded([this] { imgPictureDblClick(); }));
    connect(btnLend, &QPushButton::clicked, this, Guarded([this] { btnLendClick(); }));
    UpdateLendButton();
}

void TAddCdDlg::UpdateLendButton()
{
    const bool out = m_disc.Id != 0 && LoanStore::CurrentLoan(DM->DbBase, m_disc.Id).has_value();
    btnLend->setText(out ? QStringLiteral("归还") : QStringLiteral("借出..."));
    btnLend->setVisible(m_disc.Id != 0);
}

void TAddCdDlg::btnLendClick()
{
    if (m_disc.Id == 0)
        return;
    if (LoanStore::CurrentLoan(DM->DbBase, m_disc.Id))
        ReturnDisc(DM->DbBase, m_disc.Id, m_disc.Name);
    else
        LendDisc(DM->DbBase, m_disc.Id, m_disc.Name, this);
    UpdateLendButton();
}

void TAddCdDlg::BuildControls()
{
    // The focus follows the order the controls are made in: the buttons
    // first, then the pages, each page's controls in their own order.
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancle = new QPushButton(QStringLiteral("取消"), this);
    btnCancle->setObjectName(QStringLiteral("btnCancle"));
    btnLend = new QPushButton(QStringLiteral("借出..."), this);
    btnLend->setObjectName(QStringLiteral("btnLend"));
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));

    // The details.
    tsDetail = new QWidget;
    tsDetail->setObjectName(QStringLiteral("tsDetail"));
    PageControl->addTab(tsDetail, QStringLiteral("光盘详细信息"));
    // The calendar is made when the user first opens it.
    edDay = new TCalendarDateEdit(
        [](QCalendarWidget *calendar) {
            calendar->setFirstDayOfWeek(Qt::Sunday);
            calendar->setGridVisible(true);
        },
        tsDetail);
    edDay->setObjectName(QStringLiteral("edDay"));
    edDay->setDisplayFormat(QLatin1String(DateUtils::DateFormat));
    edDay->SetNoDateAllowed(true);
    cbCategory = NewCombo("cbCategory", Width("TbCategory", "Name"), tsDetail);
    cbCdTree = NewCombo("cbCdTree", Width("TbTree", "Name"), tsDetail);
    cbQuality = NewCombo("cbQuality", Width("TbQuality", "Name"), tsDetail);
    // Wide enough for a long title and a barcode; the location row spans
    // both columns and shows a whole location.
    edSerial = NewEdit("edSerial", Width("TbCd", "Serial"), 10, tsDetail);
    edCode = NewEdit("edCode", Width("TbCd", "Code"), 10, tsDetail);
    edName = NewEdit("edName", Width("TbCd", "Name"), 26, tsDetail);
    edPrice = new QLineEdit(tsDetail);
    edPrice->setObjectName(QStringLiteral("edPrice"));
    edLocation = NewEdit("edLocation", Width("TbCd", "Location"), 50, tsDetail);
    lbNote = new QLabel(QStringLiteral("代“*”的为必填内容"), tsDetail);
    lbNote->setObjectName(QStringLiteral("lbNote"));

    auto *grid = new QGridLayout(tsDetail);
    grid->setHorizontalSpacing(8);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    auto addRow = [&](int row, int column, const QString &caption, QWidget *control) {
        auto *label = new QLabel(caption, tsDetail);
        label->setBuddy(control);
        grid->addWidget(label, row, column, Qt::AlignRight);
        grid->addWidget(control, row, column + 1);
    };
    addRow(0, 0, QStringLiteral("日期："), edDay);
    addRow(1, 0, QStringLiteral("序列号："), edSerial);
    addRow(2, 0, QStringLiteral("编号*："), edCode);
    addRow(3, 0, QStringLiteral("名称*："), edName);
    addRow(0, 2, QStringLiteral("价格："), edPrice);
    addRow(1, 2, QStringLiteral("分类*："), cbCategory);
    addRow(2, 2, QStringLiteral("光盘夹目录*："), cbCdTree);
    addRow(3, 2, QStringLiteral("质量*："), cbQuality);
    auto *locationLabel = new QLabel(QStringLiteral("位置："), tsDetail);
    locationLabel->setBuddy(edLocation);
    grid->addWidget(locationLabel, 4, 0, Qt::AlignRight);
    grid->addWidget(edLocation, 4, 1, 1, 3);
    grid->setRowStretch(5, 1);
    grid->addWidget(lbNote, 6, 0, 1, 4);

    // The description.
    tsMemo = new QWidget;
    tsMemo->setObjectName(QStringLiteral("tsMemo"));
    PageControl->addTab(tsMemo, QStringLiteral("光盘说明"));
    edMemo = new QPlainTextEdit(tsMemo);
    edMemo->setObjectName(QStringLiteral("edMemo"));
    edMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    edMemo->setTabChangesFocus(true);
    auto *memoLayout = new QVBoxLayout(tsMemo);
    memoLayout->setContentsMargins(0, 0, 0, 0);
    memoLayout->addWidget(edMemo);

    // The cover picture.
    tsPicture = new QWidget;
    tsPicture->setObjectName(QStringLiteral("tsPicture"));
    PageControl->addTab(tsPicture, QStringLiteral("光盘图片"));
    imgPicture = new TPictureBox(tsPicture);
    imgPicture->setObjectName(QStringLiteral("imgPicture"));
    auto *pictureLayout = new QVBoxLayout(tsPicture);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addWidget(imgPicture);

    // What is on the disc.
    tsContents = new TDiscContentsPage(DM->DbBase, m_disc.Id);
    tsContents->setObjectName(QStringLiteral("tsContents"));
    PageControl->addTab(tsContents, QStringLiteral("光盘内容"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnLend);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancle);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl, 1);
    layout->addLayout(buttons);

    resize(428, 309);
    // The first field of the details has the focus at the start.
    edDay->setFocus();
}

void TAddCdDlg::FillFromDisc()
{
    if (m_disc.Id == 0) {
        setWindowTitle(QStringLiteral("添加光盘"));
        // A new disc shown again, after the catalog refused it, keeps the
        // code typed for it.
        if (m_context.AutoCode && m_disc.Code.isEmpty())
            edCode->setText(DiscStore::NextDiscCode(DM->DbBase));
        else
            edCode->setText(m_disc.Code);
    } else {
        setWindowTitle(QStringLiteral("修改光盘"));
        edCode->setText(m_disc.Code);
    }
    edDay->SetDay(DateUtils::ToOptionalDate(m_disc.Day));
    edSerial->setText(m_disc.Serial);
    edName->setText(m_disc.Name);
    m_shownPrice = FormatPrice(m_disc.Price);
    edPrice->setText(m_shownPrice);
    edLocation->setText(m_disc.Location);
    edMemo->setPlainText(m_disc.Memo);

    if (!m_disc.Picture.isEmpty()) {
        // Read as the detail page reads it: the default cover for a name
        // outside the picture folder or a file that is no readable picture.
        imgPicture->SetPicture(ReadStoredCover(m_context.PictureFolder, m_disc.Picture));
        imgPicture->setToolTip(QStringLiteral("当前图片：%1，双击此处，可以改变图片。").arg(m_disc.Picture));
    } else {
        imgPicture->SetPicture(DefaultCover());
        imgPicture->setToolTip(QStringLiteral("当前无图片，双击此处，可以选择图片。"));
    }
}

void TAddCdDlg::FillCombo(QComboBox *combo, const QString &sql, int selectedId)
{
    TChoiceModel::Fill(combo, ChoiceList::Read(DM->DbBase, sql), selectedId);
}

void TAddCdDlg::Refuse(const QString &message, QWidget *control)
{
    PageControl->setCurrentWidget(tsDetail);
    Msg::Error(message);
    control->setFocus();
}

void TAddCdDlg::btnOkClick()
{
    // Every check comes before anything is written, so that a refused OK
    // leaves no new category, folder or quality behind.
    const QString code = edCode->text();
    if (!TextBlank::IsBlank(code) && DiscStore::DiscCodeExists(DM->DbBase, code, m_disc.Id))
        return Refuse(QStringLiteral("此编号已经存在，请重新输入"), edCode);
    // Without NUL characters, after which every list and page would show
    // nothing of the name.
    const QString name = QString(edName->text()).remove(QChar(u'\0'));
    if (TextBlank::ShowsNothing(name))
        return Refuse(QStringLiteral("“名称”为空，请输入"), edName);
    if (TextBlank::IsBlank(cbCategory->currentText()))
        return Refuse(QStringLiteral("“分类”为空，请输入"), cbCategory);
    if (TextBlank::IsBlank(cbCdTree->currentText()))
        return Refuse(QStringLiteral("“文件夹目录”为空，请输入"), cbCdTree);
    if (TextBlank::IsBlank(cbQuality->currentText()))
        return Refuse(QStringLiteral("“质量”为空，请输入"), cbQuality);

    // The picture before the look-ups: a copy that fails leaves the catalog
    // untouched and the dialog open. A stored name stays as it is.
    QString picture = m_disc.Picture;
    if (!m_chosenPicture.isEmpty()) {
        const TStoredPicture stored = StorePicture(m_chosenPicture, m_context.PictureFolder);
        if (!stored.ok) {
            PageControl->setCurrentWidget(tsPicture);
            Msg::Error(QStringLiteral("光盘图片没有保存：%1").arg(stored.error));
            return;
        }
        picture = stored.name;
    }

    TDAOTransaction work(DM->DbBase);
    const int categoryId = DiscStore::LookupOrAddName(DM->DbBase, TNameTable::Category, cbCategory->currentText());
    const int folderId = DiscStore::LookupOrAddFolder(DM->DbBase, cbCdTree->currentText(), m_disc.TId);
    const int qualityId = DiscStore::LookupOrAddName(DM->DbBase, TNameTable::Quality, cbQuality->currentText());
    work.Commit();

    m_disc.Day = DateUtils::ToOptionalDays(edDay->Day());
    m_disc.Serial = edSerial->text();
    m_disc.Code = code;
    m_disc.Name = name;
    m_disc.Spell = GetSpell(m_disc.Name);
    // A price left as shown keeps its hidden decimals.
    if (edPrice->text() != m_shownPrice)
        m_disc.Price = ParsePrice(edPrice->text());
    m_disc.CId = categoryId;
    m_disc.TId = folderId;
    m_disc.QId = qualityId;
    m_disc.DId = 0;
    m_disc.Location = edLocation->text();
    m_disc.Picture = picture;
    m_disc.Memo = StoredMemo(edMemo->toPlainText(), m_disc.Memo);
    accept();
}

void TAddCdDlg::imgPictureDblClick()
{
    const QString path = PictureDlg ? PictureDlg(this) : QString();
    if (path.isEmpty())
        return;
    QString error;
    const QImage picture = ReadCoverPicture(path, &error);
    if (picture.isNull()) {
        Msg::Error(QStringLiteral("无法读取图片文件“%1”：%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    m_chosenPicture = path;
    imgPicture->SetPicture(picture);
}

bool EditDisc(TCdRec &disc, const TEditDiscContext &context, QWidget *parent)
{
    TAddCdDlg dlg(disc, context, parent);
    return dlg.exec() == QDialog::Accepted;
}
