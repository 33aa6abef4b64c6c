#include "tests/e2e/ProbeClient.h"

#include <QDeadlineTimer>

std::pair<int, int> TProbeClient::View(const QString &name)
{
    const QStringList parts = Ask(QStringLiteral("view ") + name).split(QLatin1Char(' '));
    if (parts.size() != 2)
        return {-1, -1};
    return {parts[0].toInt(), parts[1].toInt()};
}

QString TProbeClient::Ask(const QString &request)
{
    if (m_socket.state() != QLocalSocket::ConnectedState) {
        m_socket.abort();
        m_socket.connectToServer(m_name);
        if (!m_socket.waitForConnected(1000))
            return {};
    }
    m_socket.readAll(); // an answer that came too late
    m_socket.write(request.toUtf8() + '\n');
    if (!m_socket.waitForBytesWritten(2000))
        return {};
    const QDeadlineTimer deadline(5000);
    while (!m_socket.canReadLine()) {
        if (deadline.hasExpired() || !m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            m_socket.abort();
            return {};
        }
    }
    const QString answer = QString::fromUtf8(m_socket.readLine()).trimmed();
    return answer == QLatin1String("-") ? QString() : answer;
}

TProbeClient::Place TProbeClient::ToPlace(const QString &answer)
{
    const QStringList parts = answer.split(QLatin1Char(' '));
    if (parts.size() != 5)
        return {};
    return {parts[0].toUInt(), QRect(parts[1].toInt(), parts[2].toInt(), parts[3].toInt(), parts[4].toInt())};
}
