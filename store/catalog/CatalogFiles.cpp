#include "store/catalog/CatalogFiles.h"

#include "store/catalog/FileNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace CatalogFiles {

namespace {

constexpr QDir::Filters AnyFile = QDir::Files | QDir::Hidden | QDir::System;

} // namespace

QString CatalogFolder(const QString &appFolder)
{
    return QDir(appFolder).filePath(QStringLiteral("Data")) + QLatin1Char('/');
}

QStringList ListCatalogs(const QString &folder)
{
    QStringList fileNames;
    // Name filters match without regard to letter case.
    QDirIterator it(folder, {QStringLiteral("*") + QLatin1String(Extension)}, AnyFile);
    while (it.hasNext()) {
        it.next();
        fileNames << it.fileName();
    }
    return fileNames;
}

QString DisplayName(const QString &fileName)
{
    return fileName.chopped(qMin<qsizetype>(4, fileName.size()));
}

QString FindFile(const QString &folder, const QString &fileName)
{
    if (!FileNames::IsPlainFileName(fileName))
        return {};
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(fileName)).isFile())
        return fileName;
    QDirIterator it(folder, AnyFile);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().compare(fileName, Qt::CaseInsensitive) == 0)
            return it.fileName();
    }
    return {};
}

bool IsTemplate(const QString &fileName)
{
    return fileName.compare(QLatin1String(TemplateName), Qt::CaseInsensitive) == 0;
}

bool CreateFromTemplate(const QString &folder, const QString &fileName, QString *error)
{
    const QDir dir(folder);
    const QString target = QDir::toNativeSeparators(dir.filePath(fileName));
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("无法建立光盘夹文件“%1”：%2").arg(target, reason);
        return false;
    };
    if (!FileNames::IsPlainFileName(fileName))
        return fail(QStringLiteral("名称里不能有“/”或“\\”。"));
    if (!FindFile(folder, fileName).isEmpty())
        return fail(QStringLiteral("已有同名的文件。"));
    const QString templateName = FindFile(folder, QLatin1String(TemplateName));
    if (templateName.isEmpty())
        return fail(QStringLiteral("找不到空白光盘夹模板“%1”。")
                        .arg(QDir::toNativeSeparators(dir.filePath(QLatin1String(TemplateName)))));

    QFile source(dir.filePath(templateName));
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("无法读取空白光盘夹模板（%1）。").arg(source.errorString()));
    // NewOnly fails when anything of that name appeared meanwhile, so an
    // existing file is never replaced; what this copy created it may remove.
    QFile copy(dir.filePath(fileName));
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(QStringLiteral("文件夹“%1”不能写入（%2）。")
                        .arg(QDir::toNativeSeparators(dir.absolutePath()), copy.errorString()));
    bool ok = true;
    while (ok && !source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        ok = source.error() == QFileDevice::NoError && copy.write(chunk) == chunk.size();
    }
    ok = ok && copy.flush();
    copy.close();
    if (!ok || copy.error() != QFileDevice::NoError) {
        const QString reason = copy.errorString();
        copy.remove();
        return fail(QStringLiteral("复制模板时出错，磁盘可能已满（%1）。").arg(reason));
    }
    return true;
}

} // namespace CatalogFiles
