#pragma once
// Signing in to an OAuth 2.0 provider in the user's browser: the authorization code flow
// (RFC 6749 §4.1) with PKCE S256 (RFC 7636) and a loopback redirect to
// http://127.0.0.1:<a port chosen now>/ (RFC 8252 §7.3). The caller opens the URL it is
// handed in a browser; the sign-in ends with exactly one finished(). Nothing is stored: on
// success the caller keeps the refresh token (storeRefreshToken). The authorization URL is
// built here, with one code_challenge and the listener's own address as redirect_uri.

#include "oauth/providers.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkReply;
class QUrlQuery;

namespace lum {

class LoopbackRedirect;

struct SignInResult {
    bool ok = false;
    QString refreshToken;
    QString accessToken;
    qint64 expiresIn = 0;
    QString userName; // from the id_token, when the provider sent one
    QString reason;   // in Japanese, when not ok
};

class SignIn : public QObject {
    Q_OBJECT
public:
    using OpenUrl = std::function<void(const QUrl &)>;
    SignIn(const OAuthClient &client, QNetworkAccessManager &network, OpenUrl openUrl, QObject *parent = nullptr);
    ~SignIn() override;

    // How long the user has to sign in; 5 minutes unless set before start().
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // Listens on the loopback and hands the authorization URL to openUrl.
    void start();

public slots:
    void cancel();

signals:
    void finished(const lum::SignInResult &result);

private:
    void redirected(const QUrlQuery &query);
    QUrl authorizationUrl() const;
    void requestToken(const QString &code);
    void finish(SignInResult result);
    void fail(const QString &reason);

    OAuthClient client_;
    QNetworkAccessManager &network_;
    OpenUrl openUrl_;
    std::chrono::milliseconds timeout_ = std::chrono::minutes(5);
    LoopbackRedirect *listener_ = nullptr;
    QByteArray verifier_;
    QString state_;
    QString redirectUri_;
    QTimer deadline_;
    QPointer<QNetworkReply> tokenRequest_;
    bool started_ = false;
    bool done_ = false;
};

} // namespace lum
