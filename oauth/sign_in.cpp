#include "oauth/sign_in.h"

#include "oauth/endpoint_check.h"
#include "oauth/form_post.h"
#include "oauth/pkce.h"
#include "oauth/token_reply.h"

#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QUrlQuery>

namespace lum {

namespace {

QString durationText(std::chrono::milliseconds d)
{
    if (d.count() % 60'000 == 0)
        return QStringLiteral("%1分").arg(d.count() / 60'000);
    return QStringLiteral("%1秒").arg((d.count() + 999) / 1000);
}

// A parameter of the redirect as the provider sent it, percent-decoding undone.
QString parameter(const QVariantMap &data, const char *name)
{
    return QUrl::fromPercentEncoding(data.value(QLatin1String(name)).toString().toUtf8());
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
    handler_ = new QOAuthHttpServerReplyHandler(QHostAddress::LocalHost, 0, this);
    if (!handler_->isListening()) {
        QTimer::singleShot(0, this, [this] { fail(QStringLiteral("ループバック (127.0.0.1) で応答を待ち受けできません")); });
        return;
    }
    handler_->setCallbackText(QStringLiteral("Lumora: サインインの応答を受け取りました。このページを閉じてください。"));
    redirectUri_ = handler_->callback();

    verifier_ = newCodeVerifier();
    flow_ = new QOAuth2AuthorizationCodeFlow(&network_, this);
    flow_->setAuthorizationUrl(QUrl(client_.authUrl.trimmed()));
    flow_->setAccessTokenUrl(QUrl(client_.tokenUrl.trimmed()));
    flow_->setClientIdentifier(client_.clientId);
    flow_->setScope(client_.scope);
    flow_->setState(QString::fromLatin1(newState()));
    flow_->setReplyHandler(handler_);
    const QByteArray challenge = codeChallengeS256(verifier_);
    flow_->setModifyParametersFunction([challenge](QAbstractOAuth::Stage stage, QMultiMap<QString, QVariant> *p) {
        if (stage == QAbstractOAuth::Stage::RequestingAuthorization) {
            p->insert(QStringLiteral("code_challenge"), QString::fromLatin1(challenge));
            p->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
        }
    });
    QUrl authorizeUrl;
    const auto built = connect(flow_, &QAbstractOAuth::authorizeWithBrowser, this,
                               [&authorizeUrl](const QUrl &url) { authorizeUrl = url; });
    flow_->grant();
    disconnect(built);
    // The redirect is checked and the code traded here, where every failure has a message;
    // the flow only builds the authorization URL.
    disconnect(handler_, nullptr, flow_, nullptr);
    // Taken up once the handler has answered the browser, so that the page arrives even when
    // the program ends with the sign-in.
    connect(handler_, &QAbstractOAuthReplyHandler::callbackReceived, this, &SignIn::callbackReceived,
            Qt::QueuedConnection);
    state_ = QUrlQuery(authorizeUrl).queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    if (!authorizeUrl.isValid() || state_.isEmpty()) {
        QTimer::singleShot(0, this, [this] { fail(QStringLiteral("サインインの URL を作れません")); });
        return;
    }
    deadline_.start(timeout_);
    openUrl_(authorizeUrl);
}

void SignIn::cancel()
{
    fail(QStringLiteral("サインインを取り消しました"));
}

void SignIn::callbackReceived(const QVariantMap &data)
{
    if (done_ || tokenRequest_ || data.isEmpty())
        return; // a browser's other requests (the page icon) carry no parameters
    if (data.contains(QStringLiteral("error")))
        return fail(QStringLiteral("プロバイダーがサインインを拒否しました: ") + errorCode(parameter(data, "error")));
    if (parameter(data, "state") != state_)
        return fail(QStringLiteral("サインインの応答が正しくありません (state が一致しません)"));
    const QString code = parameter(data, "code");
    if (code.isEmpty())
        return fail(QStringLiteral("サインインの応答が正しくありません (code がありません)"));
    handler_->close();
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
    if (handler_)
        handler_->close();
    if (tokenRequest_)
        tokenRequest_->abort();
    emit finished(result);
}

} // namespace lum
