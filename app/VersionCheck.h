#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

class TDM;

// The maker's web server: the newest version's text and the home page.
namespace VersionCheck {

inline constexpr const char *Host = "www.zentra-software.com";
inline constexpr const char *VersionPath = "/chs/data/vorlix.txt";
inline constexpr int DefaultTimeoutMs = 10000;
// The version file is a short text; an answer longer than this is no
// version text, and reading stops there.
inline constexpr qsizetype MaxBodyBytes = 4096;
// How much of the server's text a message shows at most.
inline constexpr qsizetype MaxShownCharacters = 64;
inline constexpr int MaxShownLines = 3;

QUrl HomepageUrl();

// What the user is told once the server's version text has arrived: that
// this is the newest version when the text is the open catalog's version
// (its UTF-8 bytes, byte for byte), otherwise the newest version's text from
// its sixth character on ("Build1.02" gives 1.02).
// The text shown is cut to MaxShownCharacters whole characters and
// MaxShownLines lines, "…" marking the cut.
QString ResultMessage(const QByteArray &body, const QString &localVersion);

// The text cut for a message as ResultMessage cuts it.
QString CutForDisplay(const QString &text);

// What the user is told when the answer was longer than MaxBodyBytes.
QString NoVersionTextMessage();

} // namespace VersionCheck

// The HTTP client of the version check: one GET, followed through
// redirections, given up after the time-out. It waits in a local event
// loop, so windows keep painting; user input waits until it is done.
class TVersionClient
{
public:
    enum class Outcome {
        Success,     // the server answered with a success status: Body holds its text
        ErrorStatus, // the server answered with a status of 400 or above
        TooLong,     // the answer went on past MaxBodyBytes: reading stopped there
        Failure,     // no answer: no connection, a name not found, refused, timed out
    };
    struct Reply
    {
        Outcome outcome = Outcome::Failure;
        int status = 0;
        QByteArray body;
        QString error;
    };

    TVersionClient();

    // "http://" and the maker's host, unless set otherwise.
    QUrl BaseUrl() const { return m_baseUrl; }
    void SetBaseUrl(const QUrl &url) { m_baseUrl = url; }
    int Timeout() const { return m_timeoutMs; }
    void SetTimeout(int ms) { m_timeoutMs = ms; }
    qsizetype MaxBody() const { return m_maxBody; }
    void SetMaxBody(qsizetype bytes) { m_maxBody = bytes; }

    // The version file's address on the base.
    QUrl VersionUrl() const;

    Reply Get(const QUrl &url) const;

private:
    QUrl m_baseUrl;
    int m_timeoutMs = VersionCheck::DefaultTimeoutMs;
    qsizetype m_maxBody = VersionCheck::MaxBodyBytes;
};

// The server's version text has arrived: reads the open catalog's version and
// shows VersionCheck::ResultMessage.
void NMHTTP1Success(TDM &dm, const QByteArray &body);

// Fetches the newest version's text and reports it. An error status ends the
// check silently; an answer too long to be a version text says so; a failed
// fetch, or an error while comparing, asks the user to check the connection.
void CheckVersion(TDM &dm, const TVersionClient &client = TVersionClient());

// Opens the maker's home page in the desktop's browser.
void OpenHomepage();
