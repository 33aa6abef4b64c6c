#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>

namespace {

constexpr quint32 Magic = 0x564f524c; // "VORL"
constexpr char Confirmation = '\x06';
// A request is one path; anything longer is not one of ours.
constexpr qint64 MaxRequestSize = 64 * 1024;

// True when path is a folder (not a link to one) of this user that nobody
// else may enter. With tighten, a folder of the user's that others may enter
// is closed to them first.
bool IsPrivateFolder(const QString &path, bool tighten)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    if (::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid())
        return false;
    if ((status.st_mode & 077) == 0)
        return true;
    return tighten && ::chmod(native.constData(), 0700) == 0;
}

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

QString TSingleInstance::SocketFolder()
{
    // The runtime folder is private by its definition; one that is not (set
    // by hand, or another user's) is not used.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime, false))
        return QDir::cleanPath(runtime);
    // The temporary folder is shared by every user, and a name there can be
    // taken by anyone first: a folder of the user's own instead.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!QDir::isAbsolutePath(cache) || !QDir().mkpath(cache))
        return {};
    const QString folder = QDir::cleanPath(cache) + QStringLiteral("/vorlix-run");
    ::mkdir(QFile::encodeName(folder).constData(), 0700); // made here, or there already
    return IsPrivateFolder(folder, true) ? folder : QString();
}

QString TSingleInstance::ServerName(const QString &dataRoot)
{
    const QString folder = SocketFolder();
    if (folder.isEmpty())
        return {};
    const QByteArray digest =
        QCryptographicHash::hash(QDir::cleanPath(dataRoot).toUtf8(), QCryptographicHash::Sha256).toHex().left(12);
    return QDir(folder).filePath(QStringLiteral("vorlix-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest)));
}

bool TSingleInstance::PeerUser(const QLocalSocket &socket, uid_t &user)
{
    const qintptr descriptor = socket.socketDescriptor();
    if (descriptor < 0)
        return false;
    struct ucred credentials = {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return false;
    user = credentials.uid;
    return true;
}

bool TSingleInstance::HandOver(const QString &serverName, const QString &file, int timeoutMs, uid_t owner)
{
    if (serverName.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // The path goes only to a program of the user's own.
    uid_t peer = 0;
    if (!PeerUser(socket, peer) || peer != owner) {
        socket.abort();
        return false;
    }
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
    if (serverName.isEmpty())
        return false;
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
        const auto drop = [socket] {
            socket->abort();
            socket->deleteLater();
        };
        uid_t peer = 0;
        if (!PeerUser(*socket, peer) || peer != ::getuid()) {
            drop();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A connection that keeps silent would hold a descriptor for ever.
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, drop);
        idle->start(IdleTimeoutMs);
        const auto read = [this, socket, idle, drop] {
            // The magic, the path's length in bytes, the path in UTF-8.
            constexpr qint64 HeaderSize = 8;
            if (socket->bytesAvailable() < HeaderSize)
                return;
            QDataStream header(socket->peek(HeaderSize));
            quint32 magic = 0, size = 0;
            header >> magic >> size;
            if (magic != Magic || size > MaxRequestSize) {
                drop();
                return;
            }
            if (socket->bytesAvailable() < HeaderSize + size)
                return;
            idle->stop();
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
