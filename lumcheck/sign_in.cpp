#include "lumcheck/sign_in.h"

#include "lumcheck/report.h"
#include "oauth/account_client.h"
#include "oauth/token_broker.h"
#include "settings/account_record.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

namespace lum {

SignInRun::SignInRun(SettingsStore &store, Keyring &keyring, int account)
    : store_(store), keyring_(keyring), account_(account), out_(stdout), err_(stderr)
{
}

void SignInRun::start()
{
    AccountRecord a;
    readAccount(store_, account_, a);
    name_ = visibleText(a.aname);
    if (storedAuthMode(store_, account_) != AuthMode::OAuth)
        return fail(QStringLiteral("このｱｶｳﾝﾄは OAuth 2.0 でサインインする設定ではありません"));
    if (storedSslMode(store_, account_) == SslMode::None)
        return fail(oauthNeedsEncryption(name_)); // the token would later go out in clear
    const auto port = storedPort(store_, account_);
    if (!port)
        return fail(QStringLiteral("ﾎﾟｰﾄ番号が正しくありません"));
    const OAuthClient client = clientOf(a.oauth, a.protocol);
    if (client.clientId.isEmpty())
        return fail(QStringLiteral("OAuth 2.0 のクライアント ID が設定されていません"));
    if (const QString why = keyring_.unavailableReason(); !why.isEmpty())
        return fail(why);
    key_ = oauthKeyringKey(a.hname, *port, a.uname);
    client_ = client;
    signIn_ = new SignIn(client, network_, [this](const QUrl &url) {
        const QString text = url.toString(QUrl::FullyEncoded);
        out_ << "次の URL をブラウザーで開いてサインインしてください:\n" << text << Qt::endl;
        if (!QProcess::startDetached(QStringLiteral("xdg-open"), {text}))
            err_ << "lumcheck: ブラウザーを開けません (xdg-open)。URL を手で開いてください" << Qt::endl;
    }, qApp);
    // Tests shorten the five minutes the user has.
    if (const int seconds = qEnvironmentVariableIntValue("LUMCHECK_SIGNIN_SECONDS"); seconds > 0)
        signIn_->setTimeout(std::chrono::seconds(seconds));
    QObject::connect(signIn_, &SignIn::finished, qApp, [this](const SignInResult &r) {
        signIn_->deleteLater();
        if (r.ok)
            signedIn(r);
        else
            fail(r.reason);
    });
    signIn_->start();
}

void SignInRun::signedIn(const SignInResult &result)
{
    storeRefreshToken(keyring_, key_, tokenFor(client_, result.refreshToken), [this, user = result.userName](const QString &failure) {
        if (!failure.isEmpty())
            return fail(failure);
        out_ << name_ << ": サインインしました";
        if (!user.isEmpty())
            out_ << " (" << visibleText(user) << ")";
        out_ << "。リフレッシュトークンをキーリングの " << key_ << " に保存しました" << Qt::endl;
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    });
}

void SignInRun::fail(const QString &reason)
{
    err_ << "lumcheck: " << name_ << ": " << reason << Qt::endl;
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
}

} // namespace lum
