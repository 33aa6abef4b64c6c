#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include <sys/types.h>
#include <unistd.h>

class QLocalServer;
class QLocalSocket;

// One running program per user and data folder. The first start listens on
// a local socket; a later start hands its request (a file to open, or none)
// to it and ends. The socket lives in a folder only the user can enter: the
// user's runtime folder when it is private, else a folder of its own made
// under the user's cache folder. Its name also holds a digest of the data
// folder, so a portable copy and the installed program run side by side.
// Both ends check who holds the other end: nothing is handed to, or taken
// from, a program of another user.
class TSingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit TSingleInstance(QObject *parent = nullptr);
    ~TSingleInstance() override;

    // The folder for the socket, made when needed; empty when there is no
    // folder only the user can enter.
    static QString SocketFolder();

    // The server name for a data folder; empty when there is no private
    // folder for it, and the program then runs on its own.
    static QString ServerName(const QString &dataRoot);

    // Gives file (absolute, or empty to only bring the window to the front)
    // to the program listening on serverName. True once it has confirmed;
    // false when nothing listens, the listener is not run by owner (the
    // user), or it does not answer in time.
    static bool HandOver(const QString &serverName, const QString &file, int timeoutMs = 3000,
                         uid_t owner = ::getuid());

    // The user id of the program at the other end of a connected socket.
    static bool PeerUser(const QLocalSocket &socket, uid_t &user);

    // Starts listening, replacing a socket left behind by a program that
    // ended without removing it. False when another program listens there
    // meanwhile, or the socket cannot be made.
    bool Listen(const QString &serverName);

    // Called for each request a later start hands over.
    std::function<void(const QString &file)> OnRequest;

    // A connection that has not sent its whole request within this time is
    // closed, so that idle connections cannot pile up.
    int IdleTimeoutMs = 5000;

private:
    void Accept();

    QLocalServer *m_server;
};
