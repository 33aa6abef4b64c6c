#include "app/VersionCheck.h"

#include "store/catalog/CatalogSettings.h"
#include "store/catalog/DataModule.h"
#include "toolkit/CommandHold.h"
#include "toolkit/MessageBoxes.h"

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

namespace {

// Where the text is after count characters, a character beyond the 16-bit
// range counting once and never cut in half.
qsizetype AfterCharacters(const QString &text, qsizetype from, qsizetype count)
{
    for (qsizetype done = 0; done < count && from < text.size(); ++done) {
        const bool pair =
            text.at(from).isHighSurrogate() && from + 1 < text.size() && text.at(from + 1).isLowSurrogate();
        from += pair ? 2 : 1;
    }
    return from;
}

} // namespace

QString CutForDisplay(const QString &text)
{
    qsizetype end = AfterCharacters(text, 0, MaxShownCharacters);
    qsizetype lineEnd = -1;
    for (int line = 0; line < MaxShownLines; ++line) {
        lineEnd = text.indexOf(QLatin1Char('\n'), lineEnd + 1);
        if (lineEnd < 0)
            break;
    }
    // The line break that ends the last line shown stays with it.
    if (lineEnd >= 0 && lineEnd + 1 < end)
        end = lineEnd + 1;
    if (end >= text.size())
        return text;
    return text.left(end) + QStringLiteral("…");
}

QString ResultMessage(const QByteArray &body, const QString &localVersion)
{
    if (body == localVersion.toUtf8())
        return QStringLiteral("您已经使用的是最新版软件。");
    // Five characters dropped.
    const QString text = QString::fromUtf8(body);
    return QStringLiteral("目前软件的最新版为%1。").arg(CutForDisplay(text.mid(AfterCharacters(text, 0, 5))));
}

QString NoVersionTextMessage()
{
    return QStringLiteral("服务器的回答不是版本信息（它超过了 %1 字节），无法检查是否有新版软件。请以后再试。")
        .arg(MaxBodyBytes);
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
    bool tooLong = false;
    QByteArray body;
    // Read as it comes (after any decompression), never more than the limit.
    int errorStatus = 0;
    auto readSome = [&] {
        if (tooLong || errorStatus)
            return;
        // The body of an error status is not wanted at all.
        const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (code >= 400) {
            errorStatus = code;
            reply->abort();
            return;
        }
        body += reply->read(m_maxBody + 1 - body.size());
        if (body.size() > m_maxBody) {
            tooLong = true;
            body.clear();
            reply->abort();
        }
    };
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, readSome);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(m_timeoutMs);
    if (!reply->isFinished()) {
        // The command goes on with the catalog it started on: a catalog
        // handed over by a later start meanwhile opens after it.
        const TCommandHold hold;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    timer.stop();

    Reply result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.status = errorStatus ? errorStatus : status.isValid() ? status.toInt() : 0;
    if (!timedOut && result.status < 400 && reply->error() == QNetworkReply::NoError)
        readSome();
    if (tooLong) {
        result.outcome = Outcome::TooLong;
    } else if (timedOut) {
        result.error = QStringLiteral("timed out");
    } else if (result.status >= 400) {
        result.outcome = Outcome::ErrorStatus;
    } else if (status.isValid() && reply->error() == QNetworkReply::NoError) {
        result.outcome = Outcome::Success;
        result.body = body;
    } else {
        result.error = reply->errorString();
    }
    return result;
}

void NMHTTP1Success(TDM &dm, const QByteArray &body)
{
    const QString local = CatalogSettings::Version(dm.DbBase);
    Msg::Information(VersionCheck::ResultMessage(body, local));
}

void CheckVersion(TDM &dm, const TVersionClient &client)
{
    try {
        const TVersionClient::Reply reply = client.Get(client.VersionUrl());
        if (reply.outcome == TVersionClient::Outcome::ErrorStatus)
            return;
        if (reply.outcome == TVersionClient::Outcome::TooLong) {
            Msg::Information(VersionCheck::NoVersionTextMessage());
            return;
        }
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
