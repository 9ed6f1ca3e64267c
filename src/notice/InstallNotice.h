#pragma once
// The one-time install notice: on the first start that finds the computer online, one HTTP GET
// tells the maker's web server that a copy of version 1.0 is in use, and the settings file
// records that it was sent. It shows nothing and fails silently; a failure is retried at the
// next start.

#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

enum class NoticeOutcome {
    Offline,     // no network connection: the settings file was neither read nor created
    AlreadySent, // the settings file says the notice was sent before
    Sent,        // the server answered and the settings file is marked
    Failed,      // no answer, an error status, or the mark could not be written
};

inline constexpr const char *kSettingsFileName = "LIRVAN.ini";
inline constexpr const char *kNoticeSection = "ATUALIZAR";
inline constexpr const char *kNoticeKey = "INFO";
inline constexpr const char *kNoticePathAndQuery = "/lirvan/cadastro_lirvan.php?versao=1.0";
inline constexpr const char *kNoticeUserAgent = "Lirvan/1.0";
inline constexpr const char *kNoticeProductionServer = "http://www.lirvan.com.br";
inline constexpr int kNoticeTimeoutMs = 10000;
// Redirects are followed while fewer than this many requests were made; a redirect as the last
// answer ends the exchange without an error.
inline constexpr int kNoticeMaxRequests = 15;

// Runs synchronously on the calling (user-interface) thread; user input is not processed while
// it waits. The whole exchange, redirects included, ends within `timeoutMs`. Never throws.
// `client` is the HTTP client to use (the main window's); without one a local client is used.
NoticeOutcome sendInstallNotice(const QString &folder, const QUrl &server,
                                const std::function<bool()> &isOnline,
                                int timeoutMs = kNoticeTimeoutMs,
                                QNetworkAccessManager *client = nullptr);
