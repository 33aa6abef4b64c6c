#include "dialogs/AddCdPicture.h"

#include "store/catalog/PictureFiles.h"
#include "store/catalog/PictureNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

namespace {

// A picture whose content is known: the digest of its bytes, or a null
// array when the file cannot be read.
QByteArray ContentDigest(const QString &path)
{
    QFile file;
    if (!PictureFiles::OpenRegularFile(file, path))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

bool SameContent(const QString &a, const QString &b)
{
    if (QFileInfo(a).size() != QFileInfo(b).size())
        return false;
    const QByteArray digest = ContentDigest(a);
    return !digest.isNull() && digest == ContentDigest(b);
}

} // namespace

QImage ReadCoverPicture(const QString &path, QString *error)
{
    QFile file;
    if (!PictureFiles::OpenRegularFile(file, path, error))
        return {};
    QImageReader reader(&file);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "bmp") {
        if (error)
            *error = QStringLiteral("不是JPG或BMP图片");
        return {};
    }
    QImage picture;
    if (!reader.read(&picture)) {
        if (error)
            *error = reader.errorString();
        return {};
    }
    return picture;
}

QImage DefaultCover()
{
    static const QImage cover(QStringLiteral(":/nopicture.jpg"));
    return cover;
}

QImage ReadStoredCover(const QString &pictureFolder, const QString &name)
{
    const QString path = PictureFiles::StoredPictureFile(pictureFolder, name);
    QImage picture = path.isEmpty() ? QImage() : ReadCoverPicture(path, nullptr);
    return picture.isNull() ? DefaultCover() : picture;
}

QString StoredPictureName(const QString &path)
{
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    name.remove(QLatin1Char(' '));
    return name;
}

TStoredPicture StorePicture(const QString &source, const QString &pictureFolder)
{
    TStoredPicture result;
    QString name = StoredPictureName(source);
    if (name.isEmpty())
        name = QStringLiteral("picture");
    QDir folder(pictureFolder);
    if (!folder.exists() && !QDir().mkpath(pictureFolder)) {
        result.error = QStringLiteral("无法建立图片文件夹“%1”").arg(QDir::toNativeSeparators(pictureFolder));
        return result;
    }
    if (!QFileInfo(source).isFile() || !QFileInfo(source).isReadable()) {
        result.error = QStringLiteral("无法读取图片文件“%1”").arg(QDir::toNativeSeparators(source));
        return result;
    }

    for (int number = 0;; ++number) {
        const QString candidate = PictureNames::CopyName(name, number);
        const QString target = folder.filePath(candidate);
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            if (QFileInfo(target).isFile() && SameContent(source, target)) {
                result.ok = true;
                result.name = candidate;
                return result;
            }
            continue;
        }
        QFile file(source);
        if (!file.copy(target)) {
            result.error =
                QStringLiteral("无法把图片文件“%1”复制到“%2”：%3")
                    .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), file.errorString());
            return result;
        }
        result.ok = true;
        result.name = candidate;
        return result;
    }
}

TPictureBox::TPictureBox(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TPictureBox::SetPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void TPictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QSize size = m_picture.size();
    if (size.width() > width() || size.height() > height())
        size.scale(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}

void TPictureBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}
