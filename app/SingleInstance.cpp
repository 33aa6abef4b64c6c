#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr quint32 Magic = 0x564f524c; // "VORL"
constexpr char Confirmation = '\x06';
// A request is one path; anything longer is not one of ours.
constexpr qint64 MaxRequestSize = 64 * 1024;

} // namespace

TSingleInstance::TSingleInstance(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    // Only the user's own programs may connect.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] { Accept(); });
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::ServerName(const QString &dataRoot)
{
    const QByteArray digest =
        QCryptographicHash::hash(QDir::cleanPath(dataRoot).toUtf8(), QCryptographicHash::Sha256).toHex().left(12);
    const QString name = QStringLiteral("vorlix-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return QDir(runtime).filePath(name);
    return name; // Qt puts it in the temporary folder
}

bool TSingleInstance::HandOver(const QString &serverName, const QString &file, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray path = file.toUtf8();
    QByteArray request;
    {
        QDataStream out(&request, QIODevice::WriteOnly);
        out << Magic << quint32(path.size());
    }
    socket.write(request + path);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == Confirmation;
}

bool TSingleInstance::Listen(const QString &serverName)
{
    // A program that answers keeps its socket (listening would take its
    // place); one left behind by a program that ended is replaced.
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(1000))
        return false;
    if (m_server->listen(serverName))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    QLocalServer::removeServer(serverName);
    return m_server->listen(serverName);
}

void TSingleInstance::Accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto read = [this, socket] {
            // The magic, the path's length in bytes, the path in UTF-8.
            constexpr qint64 HeaderSize = 8;
            if (socket->bytesAvailable() < HeaderSize)
                return;
            QDataStream header(socket->peek(HeaderSize));
            quint32 magic = 0, size = 0;
            header >> magic >> size;
            if (magic != Magic || size > MaxRequestSize) {
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < HeaderSize + size)
                return;
            socket->skip(HeaderSize);
            const QString file = QString::fromUtf8(socket->read(size));
            socket->write(&Confirmation, 1);
            socket->flush();
            socket->disconnectFromServer();
            if (OnRequest)
                OnRequest(file);
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        // What arrived before the connection was made.
        read();
    }
}
