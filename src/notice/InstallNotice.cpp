#include "notice/InstallNotice.h"

#include "notice/IniFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QNetworkRequest noticeRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArray("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kNoticeUserAgent));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    return request;
}

// Waits for the whole answer, discarding the body as it arrives. False when the deadline
// passed first; the request is then aborted.
bool waitForAnswer(QNetworkReply &reply, const QDeadlineTimer &deadline)
{
    QObject::connect(&reply, &QIODevice::readyRead, &reply, [&reply] { reply.readAll(); });
    if (!reply.isFinished()) {
        QEventLoop loop;
        QTimer expiry;
        expiry.setSingleShot(true);
        QObject::connect(&reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&expiry, &QTimer::timeout, &loop, &QEventLoop::quit);
        expiry.start(int(std::clamp<qint64>(deadline.remainingTime(), 0,
                                            std::numeric_limits<int>::max())));
        // The main window must take no input while the start waits for the server.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!reply.isFinished()) {
        reply.abort();
        return false;
    }
    reply.readAll();
    return true;
}

// One exchange with the server, redirects included; true when it ended well.
bool exchange(const QUrl &start, int timeoutMs, QNetworkAccessManager *client)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    QNetworkAccessManager local;
    QNetworkAccessManager &manager = client ? *client : local;
    manager.setProxy(QNetworkProxy::NoProxy);
    if (!manager.cookieJar() || manager.cookieJar()->parent() != &manager)
        manager.setCookieJar(new QNetworkCookieJar(&manager));
    manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);

    QUrl url = start;
    for (int requests = 1;; ++requests) {
        const std::unique_ptr<QNetworkReply> reply(manager.get(noticeRequest(url)));
        if (!waitForAnswer(*reply, deadline))
            return false;

        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (isRedirect(status)) {
            if (requests >= kNoticeMaxRequests)
                return true;
            const QUrl target = url.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
            const QString scheme = target.scheme().toLower();
            if (!reply->hasRawHeader("Location") || !target.isValid()
                || (scheme != u"http" && scheme != u"https"))
                return false;
            url = target;
            continue;
        }
        return reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
    }
}

} // namespace

NoticeOutcome sendInstallNotice(const QString &folder, const QUrl &server,
                                const std::function<bool()> &isOnline, int timeoutMs,
                                QNetworkAccessManager *client)
{
    // Nothing here may disturb the start: every error ends the notice silently, and it is
    // tried again at the next start.
    try {
        if (!isOnline || !isOnline())
            return NoticeOutcome::Offline;

        IniFile settings(QDir(folder).filePath(QString::fromLatin1(kSettingsFileName)));
        const QString section = QString::fromLatin1(kNoticeSection);
        const QString key = QString::fromLatin1(kNoticeKey);
        if (settings.readString(section, key, QStringLiteral("S")) == u"N")
            return NoticeOutcome::AlreadySent;

        if (!exchange(server.resolved(QUrl(QString::fromLatin1(kNoticePathAndQuery))), timeoutMs, client))
            return NoticeOutcome::Failed;

        settings.writeString(section, key, QStringLiteral("N"));
        return NoticeOutcome::Sent;
    } catch (...) {
        return NoticeOutcome::Failed;
    }
}
