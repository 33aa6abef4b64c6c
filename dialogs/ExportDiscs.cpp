#include "dialogs/ExportDiscs.h"

#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "toolkit/DataGrid.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/WaitCursor.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ExportDiscs {

namespace {

TChoice ChooseExport(QWidget *parent)
{
    QDialog dlg(parent);
    dlg.setWindowTitle(QStringLiteral("导出光盘列表"));
    auto *shown = new QRadioButton(QStringLiteral("列表中显示的光盘"), &dlg);
    auto *whole = new QRadioButton(QStringLiteral("整个光盘夹的光盘"), &dlg);
    shown->setChecked(true);
    auto *format = new QComboBox(&dlg);
    format->addItem(QStringLiteral("CSV（UTF-8，推荐）"), int(DiscExport::TFormat::CsvUtf8));
    format->addItem(QStringLiteral("CSV（GB18030，适用于旧版表格程序）"), int(DiscExport::TFormat::CsvGb18030));
    format->addItem(QStringLiteral("制表符分隔的文本"), int(DiscExport::TFormat::TabSeparated));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("导出范围："), shown);
    form->addRow(QString(), whole);
    form->addRow(QStringLiteral("文件格式："), format);
    auto *layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dlg.exec() != QDialog::Accepted)
        return {};

    TChoice choice;
    choice.Format = DiscExport::TFormat(format->currentData().toInt());
    choice.WholeCatalog = whole->isChecked();
    const bool tab = choice.Format == DiscExport::TFormat::TabSeparated;
    QFileDialog files(parent, QStringLiteral("导出光盘列表到..."), QDir::homePath(),
                      tab ? QStringLiteral("文本文件 (*.txt)") : QStringLiteral("CSV 文件 (*.csv)"));
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.setFileMode(QFileDialog::AnyFile);
    files.setDefaultSuffix(tab ? QStringLiteral("txt") : QStringLiteral("csv"));
    files.selectFile(tab ? QStringLiteral("光盘列表.txt") : QStringLiteral("光盘列表.csv"));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return {};
    choice.Path = files.selectedFiles().constFirst();
    return choice;
}

} // namespace

std::function<TChoice(QWidget *)> ChooseExportHook = ChooseExport;

QList<DiscExport::TColumn> ColumnsOf(const TDataGrid &grid)
{
    QStringList shown;
    for (const TGridColumn &column : grid.Columns()) {
        if (column.Visible && !column.Caption.isEmpty())
            shown << column.FieldName;
    }
    return DiscExport::DiscColumns(shown);
}

void RunExport(QWidget *parent, const TDataGrid &grid, const TDAODataset &shown, TDAODatabase &database)
{
    if (!database.Connected()) {
        Msg::Warning(QStringLiteral("请先打开一个光盘夹。"));
        return;
    }
    const TChoice choice = ChooseExportHook(parent);
    if (choice.Path.isEmpty())
        return;
    int count = 0;
    {
        const TWaitCursor busy;
        const QHash<int, QString> paths = DiscExport::FolderPaths(database);
        if (choice.WholeCatalog) {
            TDAOQuery all;
            DiscExport::OpenAllDiscs(all, database);
            count = DiscExport::WriteDiscs(all, ColumnsOf(grid), paths, choice.Format, choice.Path);
        } else {
            // A closed list writes the headings only.
            count = DiscExport::WriteDiscs(shown, ColumnsOf(grid), paths, choice.Format, choice.Path);
        }
    }
    Msg::Information(QStringLiteral("已导出 %1 张光盘到“%2”。").arg(count).arg(QDir::toNativeSeparators(choice.Path)));
}

} // namespace ExportDiscs
