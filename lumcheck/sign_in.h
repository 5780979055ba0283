#pragma once
// lumcheck --signin A: signs account A in to its OAuth 2.0 provider in the user's browser
// (the URL is printed and handed to xdg-open) and stores the refresh token in the keyring
// under oauthKeyringKey(). Prints one line saying where and quits the application with 0,
// or with 1 and the reason.

#include "oauth/sign_in.h"
#include "platform/keyring.h"
#include "platform/settings_store.h"

#include <QNetworkAccessManager>
#include <QTextStream>

namespace lum {

class SignInRun {
public:
    SignInRun(SettingsStore &store, Keyring &keyring, int account);
    void start();

private:
    void signedIn(const SignInResult &result);
    void fail(const QString &reason);

    SettingsStore &store_;
    Keyring &keyring_;
    int account_;
    QString name_;
    QString key_;
    OAuthClient client_;
    QNetworkAccessManager network_;
    SignIn *signIn_ = nullptr;
    QTextStream out_;
    QTextStream err_;
};

} // namespace lum
