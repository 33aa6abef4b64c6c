#include "VersionCheck.h"

#include "DataModule.h"
#include "MessageBoxes.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace VersionCheck {

QUrl HomepageUrl()
{
    return QUrl(QStringLiteral("http://") + QLatin1String(Host) + QLatin1Char('/'));
}

QString ResultMessage(const QByteArray &body, const QString &localVersion)
{
    if (body == localVersion.toUtf8())
        return QStringLiteral("您已经使用的是最新版软件。");
    // Five characters dropped: a character beyond the 16-bit range is one,
    // not two, and is never cut in half.
    const QString text = QString::fromUtf8(body);
    qsizetype from = 0;
    for (int dropped = 0; dropped < 5 && from < text.size(); ++dropped) {
        const bool pair =
            text.at(from).isHighSurrogate() && from + 1 < text.size() && text.at(from + 1).isLowSurrogate();
        from += pair ? 2 : 1;
    }
    return QStringLiteral("目前软件的最新版为%1。").arg(text.mid(from));
}

} // namespace VersionCheck

TVersionClient::TVersionClient()
    : m_baseUrl(QStringLiteral("http://") + QLatin1String(VersionCheck::Host))
{
}

QUrl TVersionClient::VersionUrl() const
{
    QUrl url = m_baseUrl;
    url.setPath(QLatin1String(VersionCheck::VersionPath));
    return url;
}

TVersionClient::Reply TVersionClient::Get(const QUrl &url) const
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5% early
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(m_timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();

    Reply result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.status = status.isValid() ? status.toInt() : 0;
    if (timedOut) {
        result.error = QStringLiteral("timed out");
    } else if (result.status >= 400) {
        result.outcome = Outcome::ErrorStatus;
    } else if (status.isValid() && reply->error() == QNetworkReply::NoError) {
        result.outcome = Outcome::Success;
        result.body = reply->readAll();
    } else {
        result.error = reply->errorString();
    }
    return result;
}

void NMHTTP1Success(TDM &dm, const QByteArray &body)
{
    const QString local = dm.GetFieldValue(QStringLiteral("SELECT Version FROM TbSetings"), QStringLiteral("Version"));
    Msg::Information(VersionCheck::ResultMessage(body, local));
}

void CheckVersion(TDM &dm, const TVersionClient &client)
{
    try {
        const TVersionClient::Reply reply = client.Get(client.VersionUrl());
        if (reply.outcome == TVersionClient::Outcome::ErrorStatus)
            return;
        if (reply.outcome == TVersionClient::Outcome::Success) {
            NMHTTP1Success(dm, reply.body);
            return;
        }
    } catch (...) {
        // Reported below, as every other failure of the check.
    }
    Msg::Information(QStringLiteral("请检查您的电脑是否已经上网，然后再使用此功能。"));
}

void OpenHomepage()
{
    QDesktopServices::openUrl(VersionCheck::HomepageUrl());
}
