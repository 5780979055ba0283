#include "options/account_form.h"
#include "options/color_field.h"
#include "settings/save_value.h"
#include "widget_support.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

using namespace lum;
using namespace lum::test;

namespace {

class AccountFormTest : public testing::Test {
protected:
    TempStore store;
    AccountEditor editor{store.store()};
    FakeUser user;
    AccountForm form{editor, user.hooks()};

    QPushButton *ok() { return push(&form, "Command1"); }
    QLabel *portHint() { return child<QLabel>(&form, "PortHint"); }
    QRadioButton *mode(int i) { return child<QRadioButton>(&form, QStringLiteral("Option1_%1").arg(i)); }
    QColor shown(const char *box)
    {
        return child<ColorField>(&form, box)->color();
    }
};

TEST_F(AccountFormTest, StartsEmptyWithTheDefaults)
{
    EXPECT_EQ(form.windowTitle(), "ｱｶｳﾝﾄ");
    for (const char *name : {"Accountname", "Hostname", "UserName", "MailPassWord", "Wavbox"})
        EXPECT_EQ(edit(&form, name)->text(), "") << name;
    EXPECT_EQ(edit(&form, "Portbox")->text(), "110");
    EXPECT_TRUE(check(&form, "Check1")->isChecked());
    EXPECT_TRUE(mode(0)->isChecked());
    EXPECT_FALSE(ok()->isEnabled());
    EXPECT_TRUE(portHint()->isHidden());
    EXPECT_EQ(edit(&form, "MailPassWord")->echoMode(), QLineEdit::Password);
}

TEST_F(AccountFormTest, OkOnlyWithAHost)
{
    edit(&form, "Hostname")->setText("p");
    EXPECT_TRUE(ok()->isEnabled());
    edit(&form, "Hostname")->setText("");
    EXPECT_FALSE(ok()->isEnabled());
}

TEST_F(AccountFormTest, PortOutsideOneTo65535KeepsOkDisabledWithAHint)
{
    edit(&form, "Hostname")->setText("p");
    for (const char *bad : {"", "0", "-1", "abc", "65536", "11 0"}) {
        edit(&form, "Portbox")->setText(bad);
        EXPECT_FALSE(ok()->isEnabled()) << "'" << bad << "'";
        EXPECT_FALSE(portHint()->isHidden()) << "'" << bad << "'";
        EXPECT_EQ(portHint()->text(), "1～65535の数字を入れてください");
    }
    for (const char *good : {"1", "995", "32768", "65535"}) {
        edit(&form, "Portbox")->setText(good);
        EXPECT_TRUE(ok()->isEnabled()) << good;
        EXPECT_TRUE(portHint()->isHidden()) << good;
    }
}

TEST_F(AccountFormTest, OkCopiesEveryFieldIntoTheWorkingRecord)
{
    edit(&form, "Accountname")->setText("仕事");
    edit(&form, "Hostname")->setText("10.0.0.1");
    edit(&form, "Portbox")->setText("1110");
    edit(&form, "UserName")->setText("me");
    edit(&form, "MailPassWord")->setText("秘密");
    check(&form, "Check1")->setChecked(false);
    mode(1)->setChecked(true);
    edit(&form, "Wavbox")->setText("/snd/a.wav");
    child<QComboBox>(&form, "Sslmode")->setCurrentIndex(2);
    ok()->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    AccountRecord expected;
    expected.aname = "仕事";
    expected.hname = "10.0.0.1";
    expected.portno = 1110;
    expected.uname = "me";
    expected.passw = "秘密";
    expected.check = 0;
    expected.display = {0, 0xFFFF80, 1, "/snd/a.wav"};
    expected.sslmode = SslMode::Stls;
    EXPECT_EQ(editor.currentAccount, expected);
}

// The choice of protocol and encryption proposes its usual port only over a usual one.
TEST_F(AccountFormTest, ProtocolAndEncryptionProposeTheUsualPort)
{
    auto *choice = child<QComboBox>(&form, "Sslmode");
    EXPECT_EQ(choice->currentText(), "なし");
    const struct {
        const char *before;
        int protocol, mode;
        const char *after;
    } rows[] = {{"110", 0, 1, "995"},  {"995", 0, 2, "110"},  {"110", 0, 1, "995"},   {"995", 0, 0, "110"},
                {"1110", 0, 1, "1110"}, {"995", 0, 1, "995"}, {"2995", 0, 2, "2995"}, {"110", 1, 2, "143"},
                {"143", 1, 1, "993"},  {"995", 1, 0, "143"},  {"993", 0, 1, "995"},   {"143", 0, 0, "110"},
                {"1143", 1, 1, "1143"}};
    for (const auto &r : rows) {
        edit(&form, "Portbox")->setText(r.before);
        combo(&form, "Protocol")->setCurrentIndex(r.protocol);
        choice->setCurrentIndex(r.mode);
        EXPECT_EQ(edit(&form, "Portbox")->text(), r.after) << r.before << " " << r.mode;
    }
    EXPECT_EQ(choice->toolTip(), "SSL/TLSは通常ﾎﾟｰﾄ993、STARTTLSは通常ﾎﾟｰﾄ143です");
    EXPECT_EQ(edit(&form, "Portbox")->toolTip(), "通常は993のままでいいよ");
}

// 「フォルダ」 is IMAP's alone; left empty it is INBOX.
TEST_F(AccountFormTest, FolderShowsForImapOnly)
{
    EXPECT_TRUE(edit(&form, "Imapbox")->isHidden());
    combo(&form, "Protocol")->setCurrentIndex(1);
    EXPECT_FALSE(edit(&form, "Imapbox")->isHidden());
    edit(&form, "Hostname")->setText("h");
    edit(&form, "Imapbox")->setText(" ");
    ok()->click();
    EXPECT_EQ(editor.currentAccount.protocol, MailProtocol::Imap);
    EXPECT_EQ(editor.currentAccount.imapbox, "INBOX");
}

TEST_F(AccountFormTest, StoredEncryptionAndPortShowAsStored)
{
    AccountRecord stored;
    stored.hname = "h";
    stored.portno = 110;
    stored.sslmode = SslMode::Tls;
    stored.protocol = MailProtocol::Imap;
    writeAccount(store.store(), 1, stored);
    form.intoform(1);
    EXPECT_EQ(child<QComboBox>(&form, "Sslmode")->currentText(), "SSL/TLS");
    EXPECT_EQ(combo(&form, "Protocol")->currentText(), "IMAP");
    EXPECT_EQ(edit(&form, "Portbox")->text(), "110");
    EXPECT_FALSE(edit(&form, "Imapbox")->isHidden());
}

// The look at the server's certificate: what the dialog says, whether it asks, and the pin
// OK stores.
TEST_F(AccountFormTest, LookingAtTheCertificateOffersARefusedOneForTrust)
{
    using K = ProbeOutcome::Kind;
    const struct {
        const char *name;
        ProbeOutcome outcome;
        bool yes;
        const char *status;
        bool asked;
        const char *pin; // stored on OK
    } rows[] = {
        {"trusted", {K::Trusted, {}, {}}, false, "ｻｰﾊﾞｰ証明書は信頼されています", false, "old"},
        {"failed", {K::Failed, "接続が拒否されました", {}}, false, "証明書を確認できませんでした: 接続が拒否されました",
         false, "old"},
        {"refused_no", {K::Refused, "ｻｰﾊﾞｰ証明書が自己署名です", "c0ffee"}, false,
         "ｻｰﾊﾞｰ証明書が自己署名です\nSHA-256:c0ffee", true, "old"},
        {"refused_yes", {K::Refused, "ｻｰﾊﾞｰ証明書が自己署名です", "c0ffee"}, true,
         "この証明書を信頼します(OKで保存されます)", true, "c0ffee"},
    };
    for (const auto &row : rows) {
        AccountRecord stored;
        stored.hname = "home.example";
        stored.portno = 995;
        stored.sslmode = SslMode::Tls;
        stored.sslpin = "old";
        writeAccount(store.store(), 1, stored);
        AccountForm f{editor, user.hooks()};
        f.intoform(1);
        user.questions.clear();
        user.answerYes = row.yes;
        push(&f, "LookCert")->click();
        ASSERT_TRUE(user.pendingLook) << row.name;
        EXPECT_EQ(user.looks.back().host, "home.example");
        EXPECT_EQ(user.looks.back().port, 995);
        EXPECT_EQ(user.looks.back().mode, SslMode::Tls);
        EXPECT_EQ(user.looks.back().pin, "old");
        EXPECT_FALSE(push(&f, "LookCert")->isEnabled()) << "one look at a time";
        std::exchange(user.pendingLook, {})(row.outcome);
        EXPECT_TRUE(push(&f, "LookCert")->isEnabled());
        EXPECT_EQ(child<QLabel>(&f, "CertStatus")->text(), QString::fromUtf8(row.status)) << row.name;
        ASSERT_EQ(user.questions.size(), row.asked ? 1u : 0u) << row.name;
        if (row.asked) {
            EXPECT_EQ(user.questions[0].second,
                      "ｻｰﾊﾞｰ証明書が自己署名です\n\nSHA-256:c0ffee\n\nこの証明書を信頼しますか？\n"
                      "信頼すると、証明書が変わるまではこのｻｰﾊﾞｰに接続します。");
        }
        push(&f, "Command1")->click();
        EXPECT_EQ(editor.currentAccount.sslpin, row.pin) << row.name;
    }
}

// The look needs an encrypted account with a server; "解除" drops the pin.
TEST_F(AccountFormTest, CertificateButtonsFollowTheFields)
{
    auto *look = push(&form, "LookCert");
    EXPECT_EQ(child<QLabel>(&form, "Sslpin")->text(), "認証局で確認します");
    EXPECT_FALSE(push(&form, "ClearPin")->isEnabled());
    EXPECT_FALSE(look->isEnabled());
    edit(&form, "Hostname")->setText("h");
    EXPECT_FALSE(look->isEnabled()) << "no encryption";
    child<QComboBox>(&form, "Sslmode")->setCurrentIndex(2);
    EXPECT_TRUE(look->isEnabled());
    edit(&form, "Portbox")->setText("0");
    EXPECT_FALSE(look->isEnabled());

    AccountRecord stored;
    stored.hname = "h";
    stored.sslmode = SslMode::Stls;
    stored.sslpin = "0123456789abcdef0123";
    writeAccount(store.store(), 1, stored);
    form.intoform(1);
    EXPECT_EQ(child<QLabel>(&form, "Sslpin")->text(), "登録した証明書 SHA-256:0123456789abcdef…");
    push(&form, "ClearPin")->click();
    EXPECT_EQ(child<QLabel>(&form, "Sslpin")->text(), "認証局で確認します");
    ok()->click();
    EXPECT_EQ(editor.currentAccount.sslpin, "");
}

TEST_F(AccountFormTest, EmptyNameBecomesUserAtHost)
{
    edit(&form, "Hostname")->setText("pop.x");
    edit(&form, "UserName")->setText("hanako");
    ok()->click();
    EXPECT_EQ(editor.currentAccount.aname, "hanako@pop.x");
    EXPECT_EQ(edit(&form, "Accountname")->text(), "hanako@pop.x");
}

TEST_F(AccountFormTest, NoneStoresMode2AndKeepsThePath)
{
    edit(&form, "Hostname")->setText("h");
    edit(&form, "Wavbox")->setText("/snd/keep.wav");
    mode(2)->setChecked(true);
    ok()->click();
    EXPECT_EQ(editor.currentAccount.display.wavmode, 2);
    EXPECT_EQ(editor.currentAccount.display.wavdir2, "/snd/keep.wav");
}

TEST_F(AccountFormTest, CancelLeavesTheWorkingRecord)
{
    editor.currentAccount.aname = "untouched";
    edit(&form, "Hostname")->setText("h");
    push(&form, "Command2")->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(editor.currentAccount.aname, "untouched");
}

TEST_F(AccountFormTest, ChosenColoursAreShownAndKept)
{
    user.colorAnswers = {0x0000FF, 0}; // red text, then black background
    child<QToolButton>(&form, "Colorbox")->click();
    child<QToolButton>(&form, "Colorbox2")->click();
    EXPECT_EQ(shown("Colorbox"), QColor(255, 0, 0));
    EXPECT_EQ(shown("Colorbox2"), QColor(0, 0, 0));
    edit(&form, "Hostname")->setText("h");
    ok()->click();
    EXPECT_EQ(editor.currentAccount.display.scolor1, 0x0000FF);
    EXPECT_EQ(editor.currentAccount.display.scolor2, 0);
}

TEST_F(AccountFormTest, CancelledColourKeepsTheField)
{
    user.colorAnswers = {-1};
    child<QToolButton>(&form, "Colorbox2")->click();
    edit(&form, "Hostname")->setText("h");
    ok()->click();
    EXPECT_EQ(editor.currentAccount.display.scolor2, 0xFFFF80);
}

TEST_F(AccountFormTest, WavPickerFillsTheBoxUnlessCancelled)
{
    edit(&form, "Wavbox")->setText("old");
    push(&form, "Command3")->click();
    EXPECT_EQ(edit(&form, "Wavbox")->text(), "old");
    user.fileAnswer = "/snd/b.wav";
    push(&form, "Command3")->click();
    EXPECT_EQ(edit(&form, "Wavbox")->text(), "/snd/b.wav");
    ASSERT_EQ(user.fileRequests.size(), 2u);
    EXPECT_EQ(user.fileRequests[0].filter.description, "ｱｶｳﾝﾄ別WAVﾌｧｲﾙ");
    EXPECT_EQ(user.fileRequests[0].filter.pattern, "*.wav");
    EXPECT_EQ(user.fileRequests[0].title, "WAVﾌｧｲﾙの選択");
    EXPECT_EQ(user.fileRequests[0].initialDir, QDir::homePath()) << "old has no folder";
    QTemporaryDir dir;
    edit(&form, "Wavbox")->setText(dir.filePath("new.wav"));
    push(&form, "Command3")->click();
    EXPECT_EQ(user.fileRequests[2].initialDir, dir.path());
}

TEST_F(AccountFormTest, IntoformShowsTheStoredAccount)
{
    AccountRecord r;
    r.aname = "n";
    r.hname = "h";
    r.portno = 65535;
    r.uname = "u";
    r.passw = "pw";
    r.check = 0;
    r.display = {0x123456, 0x654321, 2, "/w.wav"};
    r.imapbox = "Archive";
    writeAccount(store.store(), 4, r);
    editor.currentAccount.aname = "stale";
    form.intoform(4);
    EXPECT_EQ(editor.currentAccount, r);
    EXPECT_EQ(edit(&form, "Accountname")->text(), "n");
    EXPECT_EQ(edit(&form, "Hostname")->text(), "h");
    EXPECT_EQ(edit(&form, "Portbox")->text(), "65535");
    EXPECT_EQ(edit(&form, "UserName")->text(), "u");
    EXPECT_EQ(edit(&form, "MailPassWord")->text(), "pw");
    EXPECT_FALSE(check(&form, "Check1")->isChecked());
    EXPECT_TRUE(mode(2)->isChecked());
    EXPECT_EQ(edit(&form, "Wavbox")->text(), "/w.wav");
    EXPECT_EQ(edit(&form, "Imapbox")->text(), "Archive");
    EXPECT_EQ(shown("Colorbox"), QColor(0x56, 0x34, 0x12));
    EXPECT_TRUE(ok()->isEnabled());
    ok()->click();
    EXPECT_EQ(editor.currentAccount, r);
}

TEST_F(AccountFormTest, IntoformOfAnOddSoundModeSelectsNone)
{
    store.store().writeSetting("Wavmode1", "7");
    store.store().writeSetting("Hname1", "h");
    form.intoform(1);
    EXPECT_TRUE(mode(2)->isChecked());
}

TEST_F(AccountFormTest, OAuthWithoutEncryptionIsRefused)
{
    edit(&form, "Hostname")->setText("h");
    edit(&form, "Accountname")->setText("Home");
    form.findChild<QComboBox *>("Authmode")->setCurrentIndex(int(AuthMode::OAuth));
    form.findChild<QComboBox *>("Sslmode")->setCurrentIndex(int(SslMode::None));
    ok()->click();
    EXPECT_NE(form.result(), QDialog::Accepted);
    ASSERT_EQ(user.warnings.size(), 1u);
    EXPECT_EQ(user.warnings[0].second, "OAuth 2.0 には暗号化(SSL/TLS か STARTTLS)が必要です (Home)");
}

// A provider's server, port and scope follow the protocol, chosen before or after it; a
// server the user typed stays.
TEST_F(AccountFormTest, PresetsFollowTheProtocol)
{
    const struct {
        int protocol; // when the provider is chosen; then the one chosen afterwards
        const char *provider, *typedHost;
        int then;
        const char *shown; // server, port, scope
    } rows[] = {{1, "google", "", 1, "imap.gmail.com 993 https://mail.google.com/"},
                {0, "google", "", 1, "imap.gmail.com 993 https://mail.google.com/"},
                {0, "microsoft", "", 1,
                 "outlook.office365.com 993 https://outlook.office.com/IMAP.AccessAsUser.All offline_access"},
                {1, "microsoft", "", 0,
                 "outlook.office365.com 995 https://outlook.office.com/POP.AccessAsUser.All offline_access"},
                {0, "google", "mx.example.jp", 1, "mx.example.jp 993 https://mail.google.com/"}};
    for (const auto &r : rows) {
        AccountForm f{editor, user.hooks()};
        combo(&f, "Authmode")->setCurrentIndex(int(AuthMode::OAuth));
        combo(&f, "Protocol")->setCurrentIndex(r.protocol);
        auto *provider = combo(&f, "Oauthprov");
        provider->setCurrentIndex(provider->findData(QString::fromLatin1(r.provider)));
        emit provider->activated(provider->currentIndex());
        if (*r.typedHost)
            edit(&f, "Hostname")->setText(r.typedHost);
        combo(&f, "Protocol")->setCurrentIndex(r.then);
        EXPECT_EQ(QStringList({edit(&f, "Hostname")->text(), edit(&f, "Portbox")->text(),
                               edit(&f, "Oauthscope")->text()}).join(' '), r.shown) << r.provider << r.then;
    }
}

struct KeyringRow {
    const char *name;
    bool wasInKeyring, tick; // account 1, user "u", password "old"
    const char *user, *typed, *failWith;
    const char *items, *passw, *staleItem, *newItem; // after OK; items "key=password;..."
    bool wasOAuth = false, toOAuth = false; // with a refresh token "rt" stored while OAuth
    const char *clientId = ""; // typed into ｸﾗｲｱﾝﾄID when not empty
};

void PrintTo(const KeyringRow &r, std::ostream *os) { *os << r.name; }

class KeyringBox : public AccountFormTest, public testing::WithParamInterface<KeyringRow> {};

TEST_P(KeyringBox, PlacesThePasswordBeforeOk)
{
    const KeyringRow &row = GetParam();
    AccountRecord r{"", "h", 110, "u", "old"};
    r.sslmode = SslMode::Stls;
    r.pwstore = row.wasInKeyring ? PasswordStore::Keyring : PasswordStore::File;
    if (row.wasInKeyring)
        user.keyring->items["password:u@h:110"] = "old";
    if (row.wasOAuth)
        r.authmode = AuthMode::OAuth, user.keyring->items["oauth:u@h:110"] = "rt";
    writeAccount(store.store(), 1, r);
    form.intoform(1);
    form.findChild<QComboBox *>("Authmode")->setCurrentIndex(row.toOAuth);
    user.answerYes = true;
    user.keyring->failWith = row.failWith;
    check(&form, "Pwstore")->setChecked(row.tick);
    edit(&form, "UserName")->setText(row.user);
    edit(&form, "MailPassWord")->setText(row.typed);
    if (*row.clientId)
        edit(&form, "Oauthclient")->setText(row.clientId);
    const AccountRecord before = editor.currentAccount;
    ok()->click();
    QStringList items;
    for (auto i = user.keyring->items.cbegin(); i != user.keyring->items.cend(); ++i)
        items << i.key() + "=" + i.value();
    EXPECT_EQ(items.join(";"), row.items);
    const bool accepted = form.result() == QDialog::Accepted;
    EXPECT_EQ(accepted, !*row.failWith);
    EXPECT_EQ(editor.currentAccount.passw, accepted ? row.passw : before.passw);
    const PasswordStore chosen = row.tick && !row.toOAuth ? PasswordStore::Keyring : PasswordStore::File;
    EXPECT_EQ(editor.currentAccount.pwstore, accepted ? chosen : before.pwstore);
    EXPECT_EQ(form.staleItems().join(',') + "|" + form.newItems().join(','), QString(row.staleItem) + "|" + row.newItem);
    EXPECT_EQ(user.questions.size(), row.wasInKeyring && !row.tick && !row.toOAuth ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyringBox,
    testing::Values(
        KeyringRow{"TickedStoresInTheKeyring", false, true, "u", "pw", "", "password:u@h:110=pw", "", "", "password:u@h:110"},
        KeyringRow{"RefusedKeepsTheDialogOpen", false, true, "u", "pw", "拒否", "", "", "", ""},
        KeyringRow{"NewUserMovesTheItem", true, true, "v", "", "", "password:u@h:110=old;password:v@h:110=old", "", "password:u@h:110", "password:v@h:110"},
        KeyringRow{"UntickedReadsItBack", true, false, "u", "", "", "password:u@h:110=old", "old", "password:u@h:110", ""},
        KeyringRow{"NewUserMovesTheToken", false, false, "v", "", "", "oauth:u@h:110=rt;oauth:v@h:110=rt", "",
                   "oauth:u@h:110", "oauth:v@h:110", true, true},
        KeyringRow{"PasswordAgainDropsTheToken", false, false, "u", "pw", "", "oauth:u@h:110=rt", "pw",
                   "oauth:u@h:110", "", true, false},
        KeyringRow{"OAuthDropsThePassword", true, true, "u", "", "", "password:u@h:110=old", "", "password:u@h:110",
                   "", false, true},
        KeyringRow{"OtherClientDropsTheToken", false, false, "u", "", "", "oauth:u@h:110=rt", "", "oauth:u@h:110",
                   "", true, true, "another-app"},
        KeyringRow{"TokenNotMovedKeepsTheDialogOpen", false, false, "v", "", "拒否", "oauth:u@h:110=rt", "", "", "",
                   true, true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
