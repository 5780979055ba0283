#include "options/account_form.h"

#include "options/certificate_row.h"
#include "options/color_field.h"
#include "options/form_values.h"
#include "options/password_place.h"
#include "options/sign_in_group.h"
#include "oauth/account_client.h"
#include "platform/color_ref.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace lum {
namespace {

QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &tip)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setToolTip(tip);
    return edit;
}

// Whether a refresh token issued to the client of was may be sent with the client of next.
bool sameIssuer(const OAuthSettings &was, const OAuthSettings &next)
{
    const OAuthClient a = clientOf(was), b = clientOf(next);
    return was.provider == next.provider && a.authUrl == b.authUrl && a.tokenUrl == b.tokenUrl
        && a.clientId == b.clientId && a.clientSecret == b.clientSecret;
}

} // namespace

AccountForm::AccountForm(AccountEditor &editor, const DialogHooks &hooks, QWidget *parent)
    : QDialog(parent), editor_(editor), hooks_(hooks)
{
    setObjectName(QStringLiteral("accountform"));
    setWindowTitle(QStringLiteral("ｱｶｳﾝﾄ"));
    layout_ = new QVBoxLayout(this);
    createFields();
    // Side by side, so that the dialog with OAuth 2.0 still fits a screen 768 pixels high.
    auto *groups = new QHBoxLayout;
    createColorGroup(groups);
    createSoundGroup(groups);
    layout_->addLayout(groups);
    createButtons();
    updateOk();
}

void AccountForm::createFields()
{
    auto *form = fields_ = new QFormLayout;
    accountName_ = lineEdit(this, "Accountname",
                            QStringLiteral("好きな名前を付けて下さい、省略すると「ﾕｰｻﾞｰ名@ﾒｰﾙｻｰﾊﾞ」になります"));
    protocol_ = new QComboBox(this);
    protocol_->setObjectName(QStringLiteral("Protocol"));
    protocol_->addItems({QStringLiteral("POP3"), QStringLiteral("IMAP")});
    imapbox_ = lineEdit(this, "Imapbox", QStringLiteral("ﾁｪｯｸするﾌｫﾙﾀﾞです、通常はINBOXのままでいいよ"));
    imapbox_->setText(inboxName);
    hostName_ = lineEdit(this, "Hostname", QStringLiteral("ﾒｰﾙｻｰﾊﾞの名前を入れてください"));
    portBox_ = lineEdit(this, "Portbox", QString());
    portBox_->setText(QStringLiteral("110"));
    portHint_ = new QLabel(portHint, this);
    portHint_->setObjectName(QStringLiteral("PortHint"));
    userName_ = lineEdit(this, "UserName", QStringLiteral("ﾕｰｻﾞｰ名(ｱｶｳﾝﾄ)を入れてください"));
    password_ = lineEdit(this, "MailPassWord",
                         QStringLiteral("ﾊﾟｽﾜｰﾄﾞを入れてください、*で表示されます"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"

    auto *portRow = new QHBoxLayout;
    portRow->addWidget(portBox_);
    portRow->addWidget(portHint_);
    form->addRow(QStringLiteral("名前:"), accountName_);
    form->addRow(QStringLiteral("受信方式:"), protocol_);
    form->addRow(QStringLiteral("フォルダ:"), imapbox_);
    form->addRow(QStringLiteral("ﾒｰﾙｻｰﾊﾞ:"), hostName_);
    form->addRow(QStringLiteral("ﾎﾟｰﾄ番号:"), portRow);
    form->addRow(QStringLiteral("ﾕｰｻﾞｰ名:"), userName_);
    form->addRow(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ:"), password_);
    createKeyringBox(form);
    // After the password, so that the fields typed in one go keep their order.
    sslmode_ = new QComboBox(this);
    sslmode_->setObjectName(QStringLiteral("Sslmode"));
    sslmode_->addItems({QStringLiteral("なし"), QStringLiteral("SSL/TLS"), QStringLiteral("STARTTLS")});
    form->addRow(QStringLiteral("暗号化:"), sslmode_);
    certificate_ = new CertificateRow(hooks_, [this] { return server(); }, this);
    form->addRow(QStringLiteral("証明書:"), certificate_);

    createAuthChoice(form);

    check1_ = new QCheckBox(QStringLiteral("ﾁｪｯｸする"), this);
    check1_->setObjectName(QStringLiteral("Check1"));
    check1_->setChecked(true);
    form->addRow(check1_);
    layout_->addLayout(form);
    layout_->addWidget(signIn_);
    showAuthMode();
    showProtocol();

    connect(hostName_, &QLineEdit::textChanged, this, &AccountForm::updateOk);
    connect(portBox_, &QLineEdit::textChanged, this, &AccountForm::updateOk);
    for (QLineEdit *field : {hostName_, portBox_})
        connect(field, &QLineEdit::textChanged, certificate_, &CertificateRow::serverChanged);
    connect(protocol_, &QComboBox::currentIndexChanged, this, &AccountForm::protocolChanged);
    connect(sslmode_, &QComboBox::currentIndexChanged, this, &AccountForm::proposePort);
    connect(sslmode_, &QComboBox::currentIndexChanged, this, &AccountForm::showProtocol);
    connect(sslmode_, &QComboBox::currentIndexChanged, certificate_, &CertificateRow::serverChanged);
}

// Enabled only while a Secret Service answers; else the reason stands beside it.
void AccountForm::createKeyringBox(QFormLayout *form)
{
    pwstore_ = new QCheckBox(QStringLiteral("パスワードをキーリングに保存する"), this);
    pwstore_->setObjectName(QStringLiteral("Pwstore"));
    pwstoreReason_ = new QLabel(this);
    pwstoreReason_->setTextFormat(Qt::PlainText);
    pwstoreReason_->setObjectName(QStringLiteral("PwstoreReason"));
    const QString reason = hooks_.keyring ? hooks_.keyring->unavailableReason()
                                          : QStringLiteral("キーリングを使えません");
    pwstore_->setEnabled(reason.isEmpty());
    pwstoreReason_->setText(reason);
    pwstoreReason_->setVisible(!reason.isEmpty());
    auto *row = new QHBoxLayout;
    row->addWidget(pwstore_);
    row->addWidget(pwstoreReason_);
    form->addRow(row);
}

// Password or OAuth 2.0; the OAuth part shows only when chosen, and the password fields are
// then of no use.
void AccountForm::createAuthChoice(QFormLayout *form)
{
    authmode_ = new QComboBox(this);
    authmode_->setObjectName(QStringLiteral("Authmode"));
    authmode_->addItems({QStringLiteral("パスワード"), QStringLiteral("OAuth 2.0")});
    authmode_->setToolTip(QStringLiteral("Microsoft と Google のﾒｰﾙは OAuth 2.0 でサインインします"));
    form->addRow(QStringLiteral("認証:"), authmode_);
    signIn_ = new SignInGroup(hooks_, this);
    connect(authmode_, &QComboBox::currentIndexChanged, this, &AccountForm::showAuthMode);
    connect(signIn_, &SignInGroup::presetChosen, this, &AccountForm::takePreset);
    connect(signIn_, &SignInGroup::signedIn, this, [this](const QString &user) {
        if (userName_->text().isEmpty())
            userName_->setText(user);
    });
}

void AccountForm::showAuthMode()
{
    const bool oauth = AuthMode(authmode_->currentIndex()) == AuthMode::OAuth;
    signIn_->setVisible(oauth);
    password_->setEnabled(!oauth);
    pwstore_->setEnabled(!oauth && pwstoreReason_->text().isEmpty());
    adjustSize();
}

void AccountForm::takePreset(const OAuthPreset &preset)
{
    hostName_->setText(preset.server);
    sslmode_->setCurrentIndex(int(preset.tlsFromStart ? SslMode::Tls : SslMode::Stls));
    portBox_->setText(QString::number(preset.port));
}

MailProtocol AccountForm::protocol() const
{
    return MailProtocol(protocol_->currentIndex());
}

// A server the chosen provider's preset filled in for the other protocol follows the
// protocol, as does its scope; a server the user typed stays.
void AccountForm::protocolChanged()
{
    const QString provider = signIn_->settings().provider;
    const auto was = oauthPreset(provider, signIn_->protocol());
    const auto now = oauthPreset(provider, protocol());
    if (was && now && !was->server.isEmpty() && hostName_->text() == was->server)
        hostName_->setText(now->server);
    signIn_->setProtocol(protocol());
    proposePort();
    showProtocol();
}

// The folder is IMAP's own; the tips name the usual ports of the protocol.
void AccountForm::showProtocol()
{
    const MailProtocol p = protocol();
    if (imapbox_->isHidden() == (p == MailProtocol::Imap)) {
        fields_->setRowVisible(imapbox_, p == MailProtocol::Imap);
        adjustSize();
    }
    portBox_->setToolTip(QStringLiteral("通常は%1のままでいいよ")
                             .arg(defaultPort(p, SslMode(sslmode_->currentIndex()))));
    sslmode_->setToolTip(QStringLiteral("SSL/TLSは通常ﾎﾟｰﾄ%1、STARTTLSは通常ﾎﾟｰﾄ%2です")
                             .arg(defaultPort(p, SslMode::Tls))
                             .arg(defaultPort(p, SslMode::Stls)));
}

// The usual port of the chosen protocol and encryption, when the port still holds one of
// the usual ones; a port the user chose stays.
void AccountForm::proposePort()
{
    for (const MailProtocol p : {MailProtocol::Pop3, MailProtocol::Imap}) {
        for (const SslMode m : {SslMode::None, SslMode::Tls}) {
            if (portBox_->text() == QString::number(defaultPort(p, m))) {
                portBox_->setText(QString::number(defaultPort(protocol(), SslMode(sslmode_->currentIndex()))));
                return;
            }
        }
    }
}

std::optional<CertificateQuery> AccountForm::server() const
{
    const SslMode mode = SslMode(sslmode_->currentIndex());
    const auto port = portValue(portBox_->text());
    if (mode == SslMode::None || hostName_->text().isEmpty() || !port)
        return std::nullopt;
    return CertificateQuery{hostName_->text(), *port, mode, {}, protocol()};
}

void AccountForm::createColorGroup(QBoxLayout *groups)
{
    auto *group = new QGroupBox(QStringLiteral("ﾎﾟｯﾌﾟｱｯﾌﾟの表示色"), this);
    auto *rows = new QFormLayout(group); // one above the other, leaving the sound's path room
    const std::array<QString, 2> labels{QStringLiteral("文字:"), QStringLiteral("背景:")};
    const std::array<const char *, 2> names{"Colorbox", "Colorbox2"};
    for (int i = 0; i < 2; ++i) {
        auto *box = new ColorField(group);
        box->setObjectName(QString::fromLatin1(names[i]));
        box->setToolTip(QStringLiteral("ｸﾘｯｸすると色を選択できます"));
        box->setFixedSize(48, 20);
        colorBox_[i] = box;
        rows->addRow(labels[i], box);
        showColor(i);
        connect(box, &QToolButton::clicked, this, [this, i] { chooseColor(i); });
    }
    groups->addWidget(group);
}

void AccountForm::createSoundGroup(QBoxLayout *groups)
{
    auto *group = new QGroupBox(QStringLiteral("ｻｳﾝﾄﾞの設定"), this);
    auto *column = new QVBoxLayout(group);
    auto *modes = new QHBoxLayout;
    const std::array<QString, 3> captions{QStringLiteral("共通"), QStringLiteral("指定"),
                                          QStringLiteral("無し")};
    const std::array<QString, 3> tips{QStringLiteral("全般で指定したWAVﾌｧｲﾙを使用します"),
                                      QStringLiteral("ｱｶｳﾝﾄ別にで指定したWAVﾌｧｲﾙを使用します"),
                                      QStringLiteral("ｻｳﾝﾄﾞを再生しません")};
    for (int i = 0; i < 3; ++i) {
        wavMode_[i] = new QRadioButton(captions[i], group);
        wavMode_[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        wavMode_[i]->setToolTip(tips[i]);
        modes->addWidget(wavMode_[i]);
    }
    wavMode_[0]->setChecked(true);
    column->addLayout(modes);

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("WAVﾌｧｲﾙの場所:"), group));
    wavBox_ = lineEdit(group, "Wavbox", QString());
    browse_ = new QPushButton(QStringLiteral("..."), group);
    browse_->setObjectName(QStringLiteral("Command3"));
    browse_->setToolTip(QStringLiteral("参照"));
    browse_->setAutoDefault(false);
    browse_->setMaximumWidth(40);
    pathRow->addWidget(wavBox_);
    pathRow->addWidget(browse_);
    column->addLayout(pathRow);
    groups->addWidget(group, 1);

    connect(browse_, &QPushButton::clicked, this, &AccountForm::chooseWav);
}

void AccountForm::createButtons()
{
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("Command1"));
    ok_->setToolTip(QStringLiteral("設定を保存して閉じるよ"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel_->setObjectName(QStringLiteral("Command2"));
    cancel_->setToolTip(QStringLiteral("変更は保存せずに閉じるよ"));
    cancel_->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok_);
    row->addWidget(cancel_);
    layout_->addLayout(row);

    connect(ok_, &QPushButton::clicked, this, &AccountForm::commit);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void AccountForm::showColor(int which)
{
    colorBox_[which]->setColor(fromColorRef(colors_[which]));
}

// OK needs a server and a port the account can keep; the hint names what the port lacks.
void AccountForm::updateOk()
{
    const bool portOk = portValue(portBox_->text()).has_value();
    portHint_->setVisible(!portOk);
    ok_->setEnabled(!hostName_->text().isEmpty() && portOk);
}

void AccountForm::intoform(int n)
{
    editor_.clearAccount();
    editor_.readAccount(n);
    const AccountRecord &a = editor_.currentAccount;
    accountName_->setText(a.aname);
    hostName_->setText(a.hname);
    {
        // The stored port and server are shown as stored.
        const QSignalBlocker storedMode(sslmode_), storedProtocol(protocol_);
        sslmode_->setCurrentIndex(int(a.sslmode));
        protocol_->setCurrentIndex(int(a.protocol));
    }
    imapbox_->setText(a.imapbox);
    signIn_->setProtocol(a.protocol);
    showProtocol();
    portBox_->setText(QString::number(a.portno));
    userName_->setText(a.uname);
    password_->setText(a.passw);
    wasInKeyring_ = a.pwstore == PasswordStore::Keyring;
    oldKey_ = keyringKey(a.hname, a.portno, a.uname);
    pwstore_->setChecked(wasInKeyring_);
    password_->setPlaceholderText(wasInKeyring_ ? QStringLiteral("キーリングに保存されています") : QString());
    check1_->setChecked(a.check != 0);
    colors_ = {a.display.scolor1, a.display.scolor2};
    showColor(0);
    showColor(1);
    // The checker plays no sound for a mode other than 0 and 1; so does "無し".
    const int mode = a.display.wavmode == 0 || a.display.wavmode == 1 ? a.display.wavmode : 2;
    wavMode_[mode]->setChecked(true);
    wavBox_->setText(a.display.wavdir2);
    certificate_->setPin(a.sslpin);
    authmode_->setCurrentIndex(int(a.authmode));
    signIn_->showSettings(a.oauth, a.authmode == AuthMode::OAuth ? oauthKeyringKey(a.hname, a.portno, a.uname)
                                                                 : QString());
    updateOk();
}

void AccountForm::chooseColor(int which)
{
    const qint32 color = hooks_.pickColor(this);
    if (color == -1)
        return;
    colors_[which] = color;
    showColor(which);
}

void AccountForm::chooseWav()
{
    const QString path = hooks_.pickFile(this, {QStringLiteral("ｱｶｳﾝﾄ別WAVﾌｧｲﾙ"), QStringLiteral("*.wav")},
                                         pickerStart(wavBox_->text()),
                                         QStringLiteral("WAVﾌｧｲﾙの選択"));
    if (!path.isEmpty())
        wavBox_->setText(path);
}

void AccountForm::commit()
{
    const auto port = portValue(portBox_->text());
    if (hostName_->text().isEmpty() || !port)
        return;
    if (accountName_->text().isEmpty())
        accountName_->setText(defaultAccountName(userName_->text(), hostName_->text()));

    AccountRecord a = editor_.currentAccount;
    a.aname = accountName_->text();
    a.hname = hostName_->text();
    a.portno = *port;
    a.uname = userName_->text();
    a.passw = password_->text();
    a.check = check1_->isChecked() ? 1 : 0;
    a.sslmode = SslMode(sslmode_->currentIndex());
    a.sslpin = certificate_->pin();
    a.protocol = protocol();
    a.imapbox = imapbox_->text().trimmed().isEmpty() ? inboxName : imapbox_->text().trimmed();
    a.display.scolor1 = colors_[0];
    a.display.scolor2 = colors_[1];
    a.display.wavmode = wavMode_[0]->isChecked() ? 0 : wavMode_[1]->isChecked() ? 1 : 2;
    a.display.wavdir2 = wavBox_->text();
    a.pwstore = pwstore_->isChecked() ? PasswordStore::Keyring : PasswordStore::File;
    a.authmode = AuthMode(authmode_->currentIndex());
    a.oauth = signIn_->settings();
    if (a.authmode == AuthMode::OAuth && a.sslmode == SslMode::None) {
        hooks_.warn(this, QStringLiteral("Lumora"), oauthNeedsEncryption(a.aname));
        return;
    }
    if (a.authmode == AuthMode::OAuth) {
        // An account that signs in with a token keeps no password, in the file or the keyring.
        a.passw.clear();
        a.pwstore = PasswordStore::File;
        return passwordPlaced(a, {true, {}, {}, {}, wasInKeyring_ ? oldKey_ : QString()});
    }

    const PasswordPlan plan{wasInKeyring_, oldKey_, pwstore_->isChecked(), keyringKey(a.hname, a.portno, a.uname),
                            password_->text()};
    if (!plan.wasInKeyring && !plan.toKeyring)
        return passwordPlaced(a, {true, {}, a.passw, {}, {}});
    if (!hooks_.keyring)
        return;
    if (plan.wasInKeyring && !plan.toKeyring
        && !hooks_.ask(this, QStringLiteral("Lumora"),
                       QStringLiteral("パスワードをキーリングから設定ファイルに戻しますか？"))) {
        return;
    }
    ok_->setEnabled(false); // one OK at a time while the keyring works
    QPointer<AccountForm> alive(this);
    placePassword(*hooks_.keyring, plan, [alive, a](const PasswordPlaced &placed) {
        if (alive)
            alive->passwordPlaced(a, placed);
    });
}

void AccountForm::passwordPlaced(const AccountRecord &next, const PasswordPlaced &placed)
{
    updateOk();
    if (!placed.ok) {
        hooks_.warn(this, QStringLiteral("Lumora"), placed.message);
        return;
    }
    staleItems_ = {placed.staleItem};
    newItems_ = {placed.newItem};
    const AccountRecord &was = editor_.currentAccount;
    TokenPlan plan;
    if (was.authmode == AuthMode::OAuth)
        plan.oldKey = oauthKeyringKey(was.hname, was.portno, was.uname);
    if (next.authmode == AuthMode::OAuth) {
        plan.newKey = oauthKeyringKey(next.hname, next.portno, next.uname);
        plan.fresh = signIn_->freshToken();
        // A refresh token goes to no other provider, endpoint or client than its own.
        if (plan.fresh.isEmpty() && !sameIssuer(was.oauth, next.oauth))
            plan.newKey.clear();
    }
    AccountRecord stored = next;
    stored.passw = placed.filePassword;
    if (!hooks_.keyring || (plan.oldKey.isEmpty() && plan.newKey.isEmpty()))
        return tokenPlaced(stored, {true, {}, {}, {}, {}});
    ok_->setEnabled(false);
    QPointer<AccountForm> alive(this);
    placeRefreshToken(*hooks_.keyring, plan, [alive, stored](const PasswordPlaced &token) {
        if (alive)
            alive->tokenPlaced(stored, token);
    });
}

void AccountForm::tokenPlaced(const AccountRecord &next, const PasswordPlaced &token)
{
    updateOk();
    newItems_ << token.newItem;
    staleItems_ << token.staleItem;
    staleItems_.removeAll(QString());
    newItems_.removeAll(QString());
    if (!token.ok) {
        hooks_.warn(this, QStringLiteral("Lumora"), token.message);
        return;
    }
    editor_.currentAccount = next;
    accept();
}

} // namespace lum
