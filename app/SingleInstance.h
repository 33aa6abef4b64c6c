#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// One running program per user and data folder. The first start listens on
// a local socket; a later start hands its request (a file to open, or none)
// to it and ends. The socket's name holds the user's id and lives in the
// user's private runtime folder when there is one, so two users on one
// machine never meet; it also holds a digest of the data folder, so a
// portable copy and the installed program run side by side.
class TSingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit TSingleInstance(QObject *parent = nullptr);
    ~TSingleInstance() override;

    // The server name for a data folder.
    static QString ServerName(const QString &dataRoot);

    // Gives file (absolute, or empty to only bring the window to the front)
    // to the program listening on serverName. True once it has confirmed;
    // false when nothing listens or it does not answer in time.
    static bool HandOver(const QString &serverName, const QString &file, int timeoutMs = 3000);

    // Starts listening, replacing a socket left behind by a program that
    // ended without removing it. False when another program listens there
    // meanwhile, or the socket cannot be made.
    bool Listen(const QString &serverName);

    // Called for each request a later start hands over.
    std::function<void(const QString &file)> OnRequest;

private:
    void Accept();

    QLocalServer *m_server;
};
