#include "oauth/sign_in.h"

#include "oauth/endpoint_check.h"
#include "oauth/form_post.h"
#include "oauth/pkce.h"
#include "oauth/token_reply.h"

#include "oauth/loopback_redirect.h"

#include <QNetworkReply>
#include <QUrlQuery>

namespace lum {

namespace {

QString durationText(std::chrono::milliseconds d)
{
    if (d.count() % 60'000 == 0)
        return QStringLiteral("%1分").arg(d.count() / 60'000);
    return QStringLiteral("%1秒").arg((d.count() + 999) / 1000);
}

// An error code of the redirect (RFC 6749 §4.1.2.1): printable ASCII, bounded.
QString errorCode(const QString &text)
{
    QString code;
    for (const QChar c : text.left(64))
        if (c.unicode() > 0x20 && c.unicode() <= 0x7e)
            code.append(c);
    return code.isEmpty() ? QStringLiteral("?") : code;
}

} // namespace

SignIn::SignIn(const OAuthClient &client, QNetworkAccessManager &network, OpenUrl openUrl, QObject *parent)
    : QObject(parent), client_(client), network_(network), openUrl_(std::move(openUrl))
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("サインインがタイムアウトしました (%1)").arg(durationText(timeout_)));
    });
}

SignIn::~SignIn()
{
    done_ = true;
    if (tokenRequest_)
        tokenRequest_->abort();
}

void SignIn::start()
{
    if (started_)
        return;
    started_ = true;
    for (const QString &url : {client_.authUrl, client_.tokenUrl}) {
        if (const QString problem = endpointProblem(url); !problem.isEmpty()) {
            QTimer::singleShot(0, this, [this, problem] { fail(problem); });
            return;
        }
    }
    verifier_ = newCodeVerifier();
    state_ = QString::fromLatin1(newState());
    listener_ = new LoopbackRedirect(
        state_, QStringLiteral("Lumora: サインインの応答を受け取りました。このページを閉じてください。"), this);
    if (!listener_->listen()) {
        QTimer::singleShot(0, this, [this] { fail(QStringLiteral("ループバック (127.0.0.1) で応答を待ち受けできません")); });
        return;
    }
    redirectUri_ = listener_->redirectUri();
    connect(listener_, &LoopbackRedirect::answered, this, &SignIn::redirected);
    const QUrl authorizeUrl = authorizationUrl();
    deadline_.start(timeout_);
    openUrl_(authorizeUrl);
}

void SignIn::cancel()
{
    fail(QStringLiteral("サインインを取り消しました"));
}

// The authorization endpoint with its own query kept and the request's parameters added.
QUrl SignIn::authorizationUrl() const
{
    QUrl url(client_.authUrl.trimmed());
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("client_id"), client_.clientId);
    query.addQueryItem(QStringLiteral("redirect_uri"), redirectUri_);
    if (!client_.scope.isEmpty())
        query.addQueryItem(QStringLiteral("scope"), client_.scope);
    query.addQueryItem(QStringLiteral("state"), state_);
    query.addQueryItem(QStringLiteral("code_challenge"), QString::fromLatin1(codeChallengeS256(verifier_)));
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    // Every value percent-encoded, '+' and '&' included, so that none is read as another.
    QString encoded;
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        encoded += (encoded.isEmpty() ? QString() : QStringLiteral("&")) + QString::fromLatin1(QUrl::toPercentEncoding(name))
            + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(value));
    }
    url.setQuery(encoded, QUrl::StrictMode);
    return url;
}

// The listener passes on only a redirect that carries this sign-in's state.
void SignIn::redirected(const QUrlQuery &query)
{
    if (done_ || tokenRequest_)
        return;
    const auto value = [&query](const char *name) {
        return query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
    };
    if (query.hasQueryItem(QStringLiteral("error")))
        return fail(QStringLiteral("プロバイダーがサインインを拒否しました: ") + errorCode(value("error")));
    const QString code = value("code");
    if (code.isEmpty())
        return fail(QStringLiteral("サインインの応答が正しくありません (code がありません)"));
    listener_->close();
    requestToken(code);
}

void SignIn::requestToken(const QString &code)
{
    FormFields form{{QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
                    {QStringLiteral("code"), code},
                    {QStringLiteral("redirect_uri"), redirectUri_},
                    {QStringLiteral("client_id"), client_.clientId}};
    if (!client_.clientSecret.isEmpty())
        form.append({QStringLiteral("client_secret"), client_.clientSecret});
    form.append({QStringLiteral("code_verifier"), QString::fromLatin1(verifier_)});
    tokenRequest_ = postForm(network_, client_.tokenUrl, form, [this, guard = QPointer<SignIn>(this)](const HttpAnswer &http) {
        if (!guard || done_)
            return;
        if (!http.failure.isEmpty())
            return fail(http.failure);
        const TokenReply reply = readTokenReply(http.status, http.body);
        if (!reply.ok)
            return fail(reply.reason);
        if (reply.refreshToken.isEmpty())
            return fail(QStringLiteral("リフレッシュトークンを受け取れませんでした (scope に offline_access などが必要かもしれません)"));
        SignInResult result;
        result.ok = true;
        result.refreshToken = reply.refreshToken;
        result.accessToken = reply.accessToken;
        result.expiresIn = reply.expiresIn;
        result.userName = reply.userName;
        finish(result);
    });
}

void SignIn::fail(const QString &reason)
{
    SignInResult result;
    result.reason = reason;
    finish(result);
}

void SignIn::finish(SignInResult result)
{
    if (done_)
        return;
    done_ = true;
    deadline_.stop();
    if (listener_)
        listener_->close();
    if (tokenRequest_)
        tokenRequest_->abort();
    emit finished(result);
}

} // namespace lum
