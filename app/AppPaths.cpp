#include "app/AppPaths.h"

#include "store/catalog/CatalogFiles.h"
#include "store/engine/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace AppPaths {

namespace {

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

void MakeFolder(const QString &path)
{
    if (!QDir().mkpath(path) || !QFileInfo(path).isDir())
        throw EAppError(QStringLiteral("无法创建文件夹“%1”。").arg(Native(path)));
}

} // namespace

TLayout Resolve(const QString &programFolder, const QString &userDataFolder)
{
    TLayout layout;
    const QString program = QDir::cleanPath(programFolder);
    const QFileInfo data(QDir(program).filePath(QStringLiteral("Data")));
    if (data.isDir() && data.isWritable()) {
        layout.portable = true;
        layout.dataRoot = program;
        layout.skinFolder = program + QStringLiteral("/Skin");
        return layout;
    }
    layout.dataRoot = QDir::cleanPath(userDataFolder);
    layout.sharedFolder = QDir::cleanPath(program + QStringLiteral("/../share/vorlix"));
    layout.skinFolder = layout.sharedFolder + QStringLiteral("/Skin");
    return layout;
}

TLayout Current()
{
    return Resolve(QCoreApplication::applicationDirPath(),
                   QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void Prepare(const TLayout &layout)
{
    if (layout.portable)
        return;
    if (layout.dataRoot.isEmpty())
        throw EAppError(QStringLiteral("找不到保存光盘夹的用户数据文件夹。"));
    const QString data = layout.dataRoot + QStringLiteral("/Data");
    MakeFolder(data);
    MakeFolder(layout.dataRoot + QStringLiteral("/Picture"));

    const QString templateName = QLatin1String(CatalogFiles::TemplateName);
    if (!CatalogFiles::FindFile(data, templateName).isEmpty())
        return;
    const QString source = layout.sharedFolder + QLatin1Char('/') + templateName;
    if (!QFileInfo(source).isFile())
        throw EAppError(QStringLiteral("找不到空白光盘夹模板“%1”，请重新安装本程序。").arg(Native(source)));
    // QFile::copy writes a temporary file and renames it: a copy cut short
    // leaves no half template behind.
    const QString target = data + QLatin1Char('/') + templateName;
    if (!QFile::copy(source, target))
        throw EAppError(QStringLiteral("无法把空白光盘夹模板复制到“%1”。").arg(Native(target)));
    QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
}

} // namespace AppPaths
