#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

// The cover picture of the disc editor: reading a chosen file, storing it in
// the picture folder, and the box that shows it.

// Reads a JPEG or BMP picture, recognised by its content, from a regular file
// (a FIFO or a device is refused, never waited on). A null image and the
// reason in error when the file cannot be read as either.
QImage ReadCoverPicture(const QString &path, QString *error);

// The cover shown for a disc without a picture of its own; decoded once.
QImage DefaultCover();

// The stored picture of a disc as the detail page finds it: a regular file
// directly inside the picture folder, read as JPEG or BMP; any other name,
// and a file that cannot be read, give the default cover.
QImage ReadStoredCover(const QString &pictureFolder, const QString &name);

// The name a chosen file is stored under: its file-name part with every
// space removed ("my cover.jpg" gives "mycover.jpg").
QString StoredPictureName(const QString &path);

struct TStoredPicture
{
    bool ok = false;
    QString name;  // the file name in the picture folder
    QString error; // why it failed, for the message
};

// Copies a chosen file into the picture folder (made when missing) under
// StoredPictureName. A file of that name with the same content is the
// picture already there and is kept; one with other content belongs to
// another disc and is never replaced: the copy then takes the first free
// name with a number added ("mycover_1.jpg", "mycover_2.jpg", ...).
TStoredPicture StorePicture(const QString &source, const QString &pictureFolder);

// Shows a picture centred, shrunk to fit the box when it is larger, and
// reports a double click.
class TPictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit TPictureBox(QWidget *parent = nullptr);

    void SetPicture(const QImage &picture);
    const QImage &Picture() const { return m_picture; }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QImage m_picture;
};
