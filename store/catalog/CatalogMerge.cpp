#include "store/catalog/CatalogMerge.h"

#include "pinyin/GbkText.h"
#include "pinyin/TextBlank.h"
#include "store/catalog/CatalogBackup.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <memory>

namespace CatalogMerge {

namespace {

// The folders in the order they can be made, parents first. A folder whose
// parent is missing, or which lies on a loop, is put at the top of the tree
// so that neither it nor its discs are lost.
QList<TFolder> TreeOrder(const QList<TFolder> &all)
{
    QHash<qint64, QList<int>> children; // parent → indexes into all
    for (int i = 0; i < all.size(); ++i)
        children[all.at(i).Parent].append(i);
    QList<TFolder> ordered;
    QSet<qint64> placed{Schema::RootFolderId};
    auto placeBelow = [&](qint64 top) {
        QList<qint64> queue{top};
        for (int next = 0; next < queue.size(); ++next) {
            for (int i : children.value(queue.at(next))) {
                const TFolder &f = all.at(i);
                if (placed.contains(f.Id))
                    continue;
                placed.insert(f.Id);
                ordered << f;
                queue << f.Id;
            }
        }
    };
    placeBelow(Schema::RootFolderId);
    for (const TFolder &f : all) {
        if (placed.contains(f.Id))
            continue;
        placed.insert(f.Id);
        ordered << TFolder{f.Id, Schema::RootFolderId, f.Name};
        placeBelow(f.Id);
    }
    return ordered;
}

// Codes compare as the catalog's NOCASE columns compare them.
QSet<QString> TargetCodes(TDAODatabase &db)
{
    QSet<QString> codes;
    db.ForEachRow(QStringLiteral("SELECT Code FROM TbCd WHERE Code IS NOT NULL AND Code<>''"),
                  [&](const TRowReader &row) { codes.insert(TNameIds::FoldAscii(row.Text(0))); });
    return codes;
}

QString Describe(const TDisc &disc)
{
    return QStringLiteral("“%1”（编号 %2）").arg(disc.NameText(), disc.CodeText());
}

void CopyFile(const QString &from, const QString &to, const QString &shownPath)
{
    QFile source(from);
    if (!source.copy(to))
        throw EFileError(QStringLiteral("无法读取光盘夹文件“%1”：%2").arg(shownPath, source.errorString()));
}

} // namespace

TSource Read(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    CatalogBackup::CheckCatalogFile(path, QString::fromLatin1(Schema::CatalogPassword));
    QTemporaryDir dir;
    if (!dir.isValid())
        throw EFileError(QStringLiteral("无法建立临时文件夹，不能读取光盘夹“%1”。").arg(shown));
    // The copy takes the file's journal along: an interrupted change of the
    // other catalog is undone in the copy, as opening the file would undo it.
    const QString copy = dir.filePath(QStringLiteral("merge.MDB"));
    CopyFile(path, copy, shown);
    const QString journal = path + QStringLiteral("-journal");
    if (QFileInfo(journal).isFile())
        CopyFile(journal, copy + QStringLiteral("-journal"), shown);

    TSource source;
    source.Path = path;
    source.Title = QFileInfo(path).completeBaseName();
    try {
        TDM dm;
        dm.NameCatalog(copy);
        UpgradeDb(dm);
        const QString version = GetDbVersion(dm);
        if (version != QLatin1String(Schema::VersionCurrent))
            throw EFileError(QStringLiteral("光盘夹“%1”的版本“%2”不是本程序能读取的版本。").arg(shown, version));
        TDAODatabase &db = dm.DbBase;

        QList<TFolder> folders;
        db.ForEachRow(
            QStringLiteral("SELECT ID, Id1, Name FROM TbTree WHERE ID<>%1 ORDER BY ID").arg(Schema::RootFolderId),
            [&](const TRowReader &row) {
                folders << TFolder{row.Int64(0), row.Int64(1), row.Text(2)};
            });
        source.Folders = TreeOrder(folders);
        QSet<qint64> known{Schema::RootFolderId};
        for (const TFolder &f : std::as_const(source.Folders))
            known.insert(f.Id);

        db.ForEachRow(
            QStringLiteral("SELECT D.Day, D.Code, D.Serial, D.Name, D.DId, D.Price, D.Location, D.Memo, D.Picture, "
                           "D.Spell, D.TId, C.Name, Q.Name FROM TbCd D LEFT JOIN TbCategory C ON C.Id=D.CId "
                           "LEFT JOIN TbQuality Q ON Q.Id=D.QId ORDER BY D.ID"),
            [&](const TRowReader &row) {
                TDisc disc;
                for (int c = 0; c < CopiedColumns; ++c)
                    disc.Values[c] = row.Value(c);
                const qint64 folder = row.Int64(CopiedColumns);
                // A disc of a folder that is gone lands in the new folder itself.
                disc.Folder = known.contains(folder) ? folder : Schema::RootFolderId;
                disc.Category = row.Text(CopiedColumns + 1);
                disc.Quality = row.Text(CopiedColumns + 2);
                source.Discs << disc;
            });
    } catch (const EAppError &e) {
        // The messages name the private copy; the user chose the file.
        if (e.Message().contains(copy) || e.Message().contains(QDir::toNativeSeparators(copy)))
            throw EFileError(QStringLiteral("无法读取光盘夹“%1”，它可能已经损坏。").arg(shown),
                             e.Message() + QLatin1Char('\n') + e.Details());
        throw;
    }
    return source;
}

QList<int> CodeClashes(TDAODatabase &target, const TSource &source)
{
    QSet<QString> taken = TargetCodes(target);
    QList<int> clashes;
    for (int i = 0; i < source.Discs.size(); ++i) {
        const QString code = source.Discs.at(i).CodeText();
        if (TextBlank::IsBlank(code))
            continue;
        const QString key = TNameIds::FoldAscii(code);
        if (taken.contains(key))
            clashes << i;
        else
            taken.insert(key);
    }
    return clashes;
}

QString FreeFolderName(TDAODatabase &target, qint64 parent, const QString &name)
{
    const int width = Schema::TextWidth(QStringLiteral("TbTree"), QStringLiteral("Name"));
    const QString base = TextBlank::IsBlank(name) ? QStringLiteral("合并的光盘夹") : name;
    TBoundStatement exists(target, QStringLiteral("SELECT count(*) FROM TbTree WHERE Id1=?1 AND Name=?2"));
    QString candidate = GbkText::Truncate(base, width);
    for (int n = 2; exists.Bind(1, parent).Bind(2, candidate).Scalar() > 0; ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        candidate = GbkText::Truncate(base, width - GbkText::ByteWidth(suffix)) + suffix;
    }
    return candidate;
}

QString TReport::Text() const
{
    if (Cancelled)
        return QStringLiteral("合并已取消，光盘夹没有任何改变。\n");
    QStringList lines;
    lines << QStringLiteral("已合并光盘：%1 张，放在新目录“%2”中").arg(Added).arg(Folder);
    auto list = [&](const QString &caption, const QString &unit, const QStringList &items) {
        lines << QStringLiteral("%1：%2 %3").arg(caption).arg(items.size()).arg(unit);
        for (const QString &item : items)
            lines << QStringLiteral("  ") + item;
    };
    list(QStringLiteral("跳过的光盘"), QStringLiteral("张"), Skipped);
    if (!CodesEmptied.isEmpty())
        list(QStringLiteral("编号留空的光盘"), QStringLiteral("张"), CodesEmptied);
    lines << QStringLiteral("新建的光盘夹目录：%1 个").arg(FoldersMade);
    list(QStringLiteral("新增的分类"), QStringLiteral("个"), Categories);
    list(QStringLiteral("新增的质量"), QStringLiteral("个"), Qualities);
    if (!MissingPictures.isEmpty())
        list(QStringLiteral("封面文件夹中找不到的封面（光盘已合并，没有封面可显示）"), QStringLiteral("个"),
             MissingPictures);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

TReport Merge(TDAODatabase &target, const TSource &source, ImportPlan::TChoice codeClash, const TStep &step,
              const THasPicture &hasPicture)
{
    TReport report;
    auto cancelled = [&] {
        if (!step || step())
            return false;
        report = TReport();
        report.Cancelled = true;
        return true;
    };
    TDAOTransaction work(target);
    const QList<int> clashList = CodeClashes(target, source);
    const QSet<int> clashes(clashList.begin(), clashList.end());

    report.Folder = FreeFolderName(target, Schema::RootFolderId, source.Title);
    TBoundStatement addFolder(target, QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (?1, ?2)"));
    report.FolderId = addFolder.Bind(1, qint64(Schema::RootFolderId)).Bind(2, report.Folder).Run();
    report.FoldersMade = 1;
    QHash<qint64, qint64> folders{{Schema::RootFolderId, report.FolderId}}; // the source's Id → the target's
    for (const TFolder &f : source.Folders) {
        if (cancelled())
            return report; // the transaction rolls back
        folders.insert(f.Id, addFolder.Bind(1, folders.value(f.Parent, report.FolderId)).Bind(2, f.Name).Run());
        ++report.FoldersMade;
    }

    QSet<QString> missingPictures;
    TNameIds categories(target, QStringLiteral("TbCategory"), report.Categories);
    TNameIds qualities(target, QStringLiteral("TbQuality"), report.Qualities);
    TBoundStatement insert(target, QStringLiteral("INSERT INTO TbCd (Day, Code, Serial, Name, DId, Price, Location, "
                                                  "Memo, Picture, Spell, TId, CId, QId) "
                                                  "VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13)"));
    for (int i = 0; i < source.Discs.size(); ++i) {
        if (cancelled())
            return report;
        const TDisc &disc = source.Discs.at(i);
        const bool clash = clashes.contains(i);
        if (clash && codeClash == ImportPlan::TChoice::Skip) {
            report.Skipped << Describe(disc) + QStringLiteral("：") + ImportPlan::ProblemText(ImportPlan::CodeClash);
            continue;
        }
        for (int c = 0; c < CopiedColumns; ++c)
            insert.Bind(c + 1, disc.Values[c]);
        if (clash) {
            insert.Bind(Code + 1, QString());
            report.CodesEmptied << Describe(disc) + QStringLiteral("：") +
                                       ImportPlan::ProblemText(ImportPlan::CodeClash);
        }
        insert.Bind(11, folders.value(disc.Folder, report.FolderId));
        insert.Bind(12, categories.Id(disc.Category)).Bind(13, qualities.Id(disc.Quality));
        insert.Run();
        ++report.Added;
        const QString picture = disc.Values[Picture].toString();
        if (hasPicture && !TextBlank::IsBlank(picture) && !hasPicture(picture))
            missingPictures.insert(picture);
    }
    work.Commit();
    report.MissingPictures = QStringList(missingPictures.cbegin(), missingPictures.cend());
    report.MissingPictures.sort();
    return report;
}

} // namespace CatalogMerge
