#include "options/sign_in_group.h"

#include "oauth/account_client.h"
#include "oauth/sign_in.h"
#include "oauth/stored_token.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lum {

namespace {

const QString signInText = QStringLiteral("ブラウザでサインイン");

QLineEdit *field(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

SignInGroup::SignInGroup(const DialogHooks &hooks, QWidget *parent)
    : QGroupBox(QStringLiteral("OAuth 2.0"), parent), hooks_(hooks)
{
    setObjectName(QStringLiteral("OAuthGroup"));
    auto *form = new QFormLayout(this);
    provider_ = new QComboBox(this);
    provider_->setObjectName(QStringLiteral("Oauthprov"));
    provider_->addItem(QStringLiteral("Microsoft"), QStringLiteral("microsoft"));
    provider_->addItem(QStringLiteral("Google"), QStringLiteral("google"));
    provider_->addItem(QStringLiteral("その他"), QStringLiteral("custom"));
    provider_->setCurrentIndex(-1);
    authUrl_ = field(this, "Oauthauth");
    tokenUrl_ = field(this, "Oauthtoken");
    scope_ = field(this, "Oauthscope");
    clientId_ = field(this, "Oauthclient");
    clientId_->setToolTip(QStringLiteral("ﾌﾟﾛﾊﾞｲﾀﾞに登録したｱﾌﾟﾘｹｰｼｮﾝのｸﾗｲｱﾝﾄIDです"));
    clientSecret_ = field(this, "Oauthsecret");
    clientSecret_->setEchoMode(QLineEdit::Password);
    clientSecret_->setToolTip(QStringLiteral("ﾃﾞｽｸﾄｯﾌﾟｱﾌﾟﾘにｼｰｸﾚｯﾄが発行されたときだけ入れてください"));
    form->addRow(QStringLiteral("ﾌﾟﾛﾊﾞｲﾀﾞ:"), provider_);
    form->addRow(QStringLiteral("認可URL:"), authUrl_);
    form->addRow(QStringLiteral("ﾄｰｸﾝURL:"), tokenUrl_);
    form->addRow(QStringLiteral("ｽｺｰﾌﾟ:"), scope_);
    form->addRow(QStringLiteral("ｸﾗｲｱﾝﾄID:"), clientId_);
    form->addRow(QStringLiteral("ｸﾗｲｱﾝﾄｼｰｸﾚｯﾄ:"), clientSecret_);

    signIn_ = new QPushButton(signInText, this);
    signIn_->setObjectName(QStringLiteral("SignIn"));
    signIn_->setAutoDefault(false);
    signIn_->setMinimumWidth(signIn_->fontMetrics().horizontalAdvance(signInText) + 24);
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("SignInState"));
    state_->setWordWrap(true);
    state_->setTextFormat(Qt::PlainText); // may quote the provider
    auto *row = new QHBoxLayout;
    row->addWidget(signIn_);
    row->addWidget(state_, 1);
    form->addRow(row);

    const QString reason = hooks_.keyring ? hooks_.keyring->unavailableReason()
                                          : QStringLiteral("キーリングを使えません");
    signIn_->setEnabled(reason.isEmpty());
    setState(reason.isEmpty() ? QStringLiteral("サインインしていません")
                              : QStringLiteral("OAuth 2.0 にはキーリングが必要です: ") + reason);
    connect(provider_, &QComboBox::activated, this, &SignInGroup::choosePreset);
    connect(signIn_, &QPushButton::clicked, this, &SignInGroup::startOrCancel);
}

void SignInGroup::showSettings(const OAuthSettings &s, const QString &key)
{
    provider_->setCurrentIndex(provider_->findData(s.provider));
    authUrl_->setText(s.authUrl);
    tokenUrl_->setText(s.tokenUrl);
    scope_->setText(s.scope);
    clientId_->setText(s.clientId);
    clientSecret_->setText(s.clientSecret);
    if (!signIn_->isEnabled() || key.isEmpty())
        return;
    QPointer<SignInGroup> alive(this);
    readMoving(*hooks_.keyring, key, formerKeyringKey(key), [alive](const KeyringAnswer &a) {
        if (alive && alive->freshToken_.isEmpty() && !alive->running_)
            alive->setState(a.ok ? QStringLiteral("サインイン済みです") : QStringLiteral("サインインしていません"));
    });
}

OAuthSettings SignInGroup::settings() const
{
    return {provider_->currentData().toString(), authUrl_->text().trimmed(), tokenUrl_->text().trimmed(),
            scope_->text().trimmed(), clientId_->text().trimmed(), clientSecret_->text()};
}

void SignInGroup::setProtocol(MailProtocol protocol)
{
    const auto was = oauthPreset(provider_->currentData().toString(), protocol_);
    const auto now = oauthPreset(provider_->currentData().toString(), protocol);
    protocol_ = protocol;
    if (was && now && scope_->text() == was->client.scope)
        scope_->setText(now->client.scope);
}

void SignInGroup::choosePreset(int index)
{
    const auto preset = oauthPreset(provider_->itemData(index).toString(), protocol_);
    if (!preset)
        return;
    authUrl_->setText(preset->client.authUrl);
    tokenUrl_->setText(preset->client.tokenUrl);
    scope_->setText(preset->client.scope);
    if (!preset->server.isEmpty())
        emit presetChosen(*preset);
}

void SignInGroup::startOrCancel()
{
    if (running_) {
        running_->cancel();
        return;
    }
    const OAuthClient client = clientOf(settings(), protocol_);
    if (client.clientId.isEmpty()) {
        setState(QStringLiteral("ｸﾗｲｱﾝﾄIDを入れてください"));
        return;
    }
    freshToken_.clear();
    signingIn_ = client;
    running_ = new SignIn(client, network_, hooks_.openUrl, this);
    connect(running_, &SignIn::finished, this, &SignInGroup::finished);
    signIn_->setText(QStringLiteral("ｻｲﾝｲﾝを中止"));
    setState(QStringLiteral("ブラウザでサインインしてください…"));
    running_->start();
}

void SignInGroup::finished(const SignInResult &r)
{
    running_->deleteLater();
    running_ = nullptr;
    signIn_->setText(signInText);
    if (!r.ok) {
        setState(r.reason);
        return;
    }
    freshToken_ = keyringValue(tokenFor(signingIn_, r.refreshToken));
    setState(r.userName.isEmpty() ? QStringLiteral("サインインしました。OKで保存します")
                                  : QStringLiteral("サインインしました (") + r.userName
                                        + QStringLiteral(")。OKで保存します"));
    emit signedIn(r.userName);
}

void SignInGroup::setState(const QString &text)
{
    state_->setText(text);
}

} // namespace lum
