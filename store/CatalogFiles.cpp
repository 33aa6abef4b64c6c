#include "CatalogFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace CatalogFiles {

namespace {

constexpr QDir::Filters AnyFile = QDir::Files | QDir::Hidden | QDir::System;

// A name that stays inside the folder: no separator of either platform.
bool IsPlainFileName(const QString &fileName)
{
    return !fileName.isEmpty() && fileName != QLatin1String(".") && fileName != QLatin1String("..")
        && !fileName.contains(QLatin1Char('/')) && !fileName.contains(QLatin1Char('\\'))
        && !fileName.contains(QChar(0));
}

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
    if (!IsPlainFileName(fileName))
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

bool CreateFromTemplate(const QString &folder, const QString &fileName)
{
    if (!IsPlainFileName(fileName) || !FindFile(folder, fileName).isEmpty())
        return false;
    const QString templateName = FindFile(folder, QLatin1String(TemplateName));
    if (templateName.isEmpty())
        return false;

    const QDir dir(folder);
    QFile source(dir.filePath(templateName));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    // NewOnly fails when anything of that name appeared meanwhile, so an
    // existing file is never replaced; what this copy created it may remove.
    QFile target(dir.filePath(fileName));
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    bool ok = true;
    while (ok && !source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        ok = source.error() == QFileDevice::NoError && target.write(chunk) == chunk.size();
    }
    ok = ok && target.flush();
    target.close();
    if (!ok || target.error() != QFileDevice::NoError) {
        target.remove();
        return false;
    }
    return true;
}

} // namespace CatalogFiles
