#pragma once
// The OAuth 2.0 part of the account dialog: the provider, its endpoints, scope and client,
// the button 「ブラウザでサインイン」 and what the sign-in came to. A sign-in keeps its
// refresh token here until the dialog's OK stores it in the keyring; Cancel forgets it.
// Signing in needs the keyring: without one the button stays disabled and says why.

#include "options/dialog_hooks.h"
#include "oauth/providers.h"
#include "settings/account_record.h"

#include <QGroupBox>
#include <QNetworkAccessManager>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lum {

class SignIn;
struct SignInResult;

class SignInGroup : public QGroupBox {
    Q_OBJECT
public:
    SignInGroup(const DialogHooks &hooks, QWidget *parent);

    // The account's settings, and whether its keyring item (key) holds a refresh token.
    void showSettings(const OAuthSettings &settings, const QString &key);
    OAuthSettings settings() const;
    // The keyring value of a refresh token from a sign-in since showSettings, else empty.
    QString freshToken() const { return freshToken_; }
    // The account's protocol, which the presets follow: a scope the chosen provider's preset
    // filled in for the other protocol changes with it; one the user typed stays.
    MailProtocol protocol() const { return protocol_; }
    void setProtocol(MailProtocol protocol);

signals:
    // The user picked a provider: the dialog takes its server, port and encryption for the
    // account's protocol.
    void presetChosen(const lum::OAuthPreset &preset);
    // A sign-in succeeded; userName is the mail address the provider named, if any.
    void signedIn(const QString &userName);

private:
    void choosePreset(int index);
    void startOrCancel();
    void finished(const SignInResult &result);
    void setState(const QString &text);

    DialogHooks hooks_;
    QNetworkAccessManager network_;
    QComboBox *provider_ = nullptr;
    QLineEdit *authUrl_ = nullptr;
    QLineEdit *tokenUrl_ = nullptr;
    QLineEdit *scope_ = nullptr;
    QLineEdit *clientId_ = nullptr;
    QLineEdit *clientSecret_ = nullptr;
    QPushButton *signIn_ = nullptr;
    QLabel *state_ = nullptr;
    QPointer<SignIn> running_;
    OAuthClient signingIn_;
    QString freshToken_; // the keyring value of a sign-in's refresh token
    MailProtocol protocol_ = MailProtocol::Pop3;
};

} // namespace lum
