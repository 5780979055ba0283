#include "settings/account_editor.h"
#include "tests/support/file_modes.h"
#include "tests/support/temp_store.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace lum;
using lum::test::TempStore;

namespace {

AccountRecord sample(const QString &name)
{
    AccountRecord r;
    r.aname = name;
    r.hname = "pop." + name;
    r.portno = 1100;
    r.uname = "user-" + name;
    r.passw = u"秘密-"_qs + name;
    r.check = 0;
    r.display = {0x0000FF, 0x00FF00, 1, "/snd/" + name + ".wav"};
    r.sslmode = name.size() % 2 ? SslMode::Tls : SslMode::Stls;
    r.sslpin = name == "one" ? QString() : QString(64, name.at(0));
    r.protocol = name.size() % 2 ? MailProtocol::Imap : MailProtocol::Pop3;
    r.imapbox = u"受信箱/"_qs + name;
    if (name != "one") {
        r.authmode = AuthMode::OAuth;
        r.oauth = {"custom", "https://id." + name + "/auth", "https://id." + name + "/token", "mail offline",
                   "client-" + name, u"秘密-"_qs + name};
    }
    return r;
}

TEST(Account, MissingKeysGiveDefaults)
{
    TempStore t;
    AccountRecord r;
    readAccount(t.store(), 1, r);
    EXPECT_EQ(r, AccountRecord());
    EXPECT_EQ(r.check, 1);
    EXPECT_EQ(r.display.scolor2, 0xFFFF80);
    EXPECT_EQ(r.portno, 110);
    EXPECT_EQ(r.sslmode, SslMode::None);
}

TEST(Account, WriteThenReadRoundTrips)
{
    TempStore t;
    writeAccount(t.store(), 12, sample("x"));
    EXPECT_EQ(t.store().readSetting("Scolor112", ""), "255");
    EXPECT_EQ(t.store().readSetting("Wavdir2_12", ""), "/snd/x.wav");
    EXPECT_EQ(t.store().readSetting("Sslmode12", ""), "1");
    EXPECT_EQ(t.store().readSetting("Authmode12", ""), "1");
    EXPECT_FALSE(t.store().readSetting("Oauthsecret12", "").contains(u"秘密"_qs));
    t.store().writeSetting("Authmode13", "2");
    EXPECT_EQ(storedAuthMode(t.store(), 13), std::nullopt);
    EXPECT_EQ(storedAuthMode(t.store(), 14), AuthMode::Password);
    t.store().writeSetting("Protocol13", "2");
    EXPECT_EQ(storedProtocol(t.store(), 13), std::nullopt);
    EXPECT_EQ(storedProtocol(t.store(), 14), MailProtocol::Pop3);
    AccountRecord r;
    readAccount(t.store(), 12, r);
    EXPECT_EQ(r, sample("x"));
}

TEST(Account, EmptyFieldsAreStoredAsZeroAndTheWavPathEmpty)
{
    TempStore t;
    writeAccount(t.store(), 1, AccountRecord());
    for (const char *k : {"Aname1", "Hname1", "Uname1", "Passw1"})
        EXPECT_EQ(t.store().readSetting(k, "missing"), "0") << k;
    EXPECT_EQ(t.store().readSetting("Wavdir2_1", "missing"), "");
    t.store().writeSetting("Imapbox1", "");
    AccountRecord r;
    r.passw = "kept";
    r.imapbox = "Archive";
    readAccount(t.store(), 1, r);
    EXPECT_EQ(r.imapbox, "INBOX");
    EXPECT_EQ(r.passw, "") << "\"0\" decodes to the empty password";
    EXPECT_EQ(r.display.wavdir2, "");
}

struct StoredTextRow {
    const char *name;
    const char *line; // as found in the file
    const char *passw;
    const char *wavdir2;
};

void PrintTo(const StoredTextRow &r, std::ostream *os) { *os << r.name; }

class StoredText : public testing::TestWithParam<StoredTextRow> {};

// Files written by hand or by older writers.
TEST_P(StoredText, ReadsAsTheUserMeantIt)
{
    TempStore t;
    t.writeFile(QByteArray("[setting]\n") + GetParam().line + "\n");
    AccountRecord r;
    r.passw = "before";
    readAccount(t.store(), 1, r);
    EXPECT_EQ(r.passw, QString::fromUtf8(GetParam().passw));
    EXPECT_EQ(r.display.wavdir2, QString::fromUtf8(GetParam().wavdir2));
}

INSTANTIATE_TEST_SUITE_P(
    Account, StoredText,
    testing::Values(
        StoredTextRow{"PasswordAsWritten", "Passw1=\"97 98 99 \"", "abc", ""},
        StoredTextRow{"PasswordTypedWithItsBlank", "Passw1=97 98 99 ", "abc", ""},
        StoredTextRow{"PasswordOfOneCharacterTyped", "Passw1=97 ", "a", ""},
        StoredTextRow{"DoubleBytePasswordTyped", "Passw1=-32096 -32096 ", "ああ", ""},
        StoredTextRow{"PasswordEndingInText", "Passw1=97 98 x", "ab", ""},
        StoredTextRow{"EmptyPasswordAsStored", "Passw1=0", "", ""},
        StoredTextRow{"WavPathZeroNamesNoFile", "Wavdir2_1=0", "before", ""},
        StoredTextRow{"WavPathKept", "Wavdir2_1=/snd/0", "before", "/snd/0"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Account, KeyringPasswordNeverReachesTheFile)
{
    TempStore t;
    AccountRecord r = sample("x");
    r.pwstore = PasswordStore::Keyring;
    writeAccount(t.store(), 1, r);
    t.store().writeSetting("Pwstore2", "2");
    EXPECT_EQ(t.store().readSetting("Passw1", ""), "0");
    EXPECT_EQ(storedPasswordStore(t.store(), 2), std::nullopt);
}

TEST(Account, UnconvertibleValueLeavesOnlyThatField)
{
    TempStore t;
    writeAccount(t.store(), 1, sample("a"));
    t.store().writeSetting("Portno1", "pop3");
    t.store().writeSetting("Scolor21", "99999999999");
    AccountRecord r;
    r.portno = 4242;
    r.display.scolor2 = 7;
    readAccount(t.store(), 1, r);
    EXPECT_EQ(r.portno, 4242);
    EXPECT_EQ(r.display.scolor2, 7);
    EXPECT_EQ(r.uname, "user-a");
}

struct SslModeRow {
    const char *name;
    const char *stored; // nullptr: no "Sslmode1" key
    std::optional<SslMode> mode;
};

void PrintTo(const SslModeRow &r, std::ostream *os) { *os << r.name; }

class StoredSslMode : public testing::TestWithParam<SslModeRow> {};

// An older store has no "Sslmode": plain, as before. A mode that can't be read is no mode
// at all, and readAccount leaves the field as it was.
TEST_P(StoredSslMode, ReadsOnlyTheThreeModes)
{
    TempStore t;
    if (GetParam().stored)
        t.store().writeSetting("Sslmode1", GetParam().stored);
    EXPECT_EQ(storedSslMode(t.store(), 1), GetParam().mode);
    AccountRecord r;
    r.sslmode = SslMode::Stls;
    readAccount(t.store(), 1, r);
    EXPECT_EQ(r.sslmode, GetParam().mode.value_or(SslMode::Stls));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StoredSslMode,
    testing::Values(SslModeRow{"Missing", nullptr, SslMode::None},
                    SslModeRow{"None", "0", SslMode::None},
                    SslModeRow{"Tls", "1", SslMode::Tls},
                    SslModeRow{"Stls", " 2 ", SslMode::Stls},
                    SslModeRow{"OutOfRange", "3", std::nullopt},
                    SslModeRow{"Negative", "-1", std::nullopt},
                    SslModeRow{"Empty", "", std::nullopt},
                    SslModeRow{"Text", "tls", std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Account, EmptyStoredPasswordLeavesField)
{
    TempStore t;
    t.store().writeSetting("Passw1", "");
    AccountRecord r;
    r.passw = "before";
    readAccount(t.store(), 1, r);
    EXPECT_EQ(r.passw, "before");
}

class Editor : public testing::Test {
protected:
    void addFour()
    {
        AccountEditor e(t.store());
        for (const char *n : {"one", "two", "three", "four"}) {
            e.currentAccount = sample(n);
            e.addAccount();
        }
    }
    AccountRecord stored(int n)
    {
        AccountRecord r;
        readAccount(t.store(), n, r);
        return r;
    }
    TempStore t;
};

TEST_F(Editor, ChangesTheFileDidNotTakeAreDropped)
{
    addFour();
    AccountEditor e(t.store());
    e.currentAccount = sample("five");
    {
        lum::test::StoreFolderBlocked blocked(t.path());
        EXPECT_FALSE(e.addAccount());
        EXPECT_EQ(e.accountCount(), 4);
        EXPECT_FALSE(e.editAccount(1));
        EXPECT_FALSE(e.deleteAccount(2));
        EXPECT_EQ(e.accountCount(), 4);
        EXPECT_EQ(t.store().readSetting("Aname5", "missing"), "missing");
        SettingsStore onDisk(blocked.movedPath());
        EXPECT_EQ(onDisk.readSetting("accountno", ""), "4");
        for (int n = 1; n <= 4; ++n) {
            AccountRecord r;
            readAccount(onDisk, n, r);
            EXPECT_EQ(r, sample(QStringList({"one", "two", "three", "four"})[n - 1])) << n;
        }
    }
    t.store().reload();
    e.currentAccount = sample("five"); // the delete moved the later accounts through it
    EXPECT_TRUE(e.addAccount()) << "and the next write that can, does";
    EXPECT_EQ(SettingsStore(t.path()).readSetting("accountno", ""), "5");
    EXPECT_EQ(stored(5).aname, "five");
}

TEST_F(Editor, AddStoresAndCountsAtOnce)
{
    addFour();
    SettingsStore reader(t.path());
    EXPECT_EQ(reader.readSetting("accountno", ""), "4");
    EXPECT_EQ(reader.readSetting("Aname4", ""), "four");
}

struct DeleteRow {
    const char *name;
    int deleted;
    std::vector<const char *> remaining;
};

class EditorDelete : public Editor, public testing::WithParamInterface<DeleteRow> {};

TEST_P(EditorDelete, Renumbers)
{
    addFour();
    AccountEditor e(t.store());
    e.deleteAccount(GetParam().deleted);
    EXPECT_EQ(e.accountCount(), 3);
    EXPECT_EQ(SettingsStore(t.path()).readSetting("accountno", ""), "3");
    const auto &names = GetParam().remaining;
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(stored(int(i) + 1), sample(names[i])) << i + 1;
    EXPECT_EQ(stored(4), sample("four")) << "the keys of the old last number stay";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EditorDelete,
    testing::Values(DeleteRow{"second_of_four", 2, {"one", "three", "four"}},
                    DeleteRow{"first_of_four", 1, {"two", "three", "four"}},
                    DeleteRow{"last_of_four", 4, {"one", "two", "three"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Editor, DeleteShiftReadsWithoutClearing)
{
    addFour();
    t.store().writeSetting("Portno3", "not a port");
    AccountEditor e(t.store());
    e.currentAccount.portno = 4242;
    e.deleteAccount(2);
    EXPECT_EQ(stored(2).aname, "three");
    EXPECT_EQ(stored(2).portno, 4242) << "an unreadable field keeps the working record's value";
}

TEST_F(Editor, EditOverwritesSameNumber)
{
    addFour();
    AccountEditor e(t.store());
    e.clearAccount();
    e.readAccount(2);
    e.currentAccount.check = 0;
    e.currentAccount.hname = "changed";
    e.editAccount(2);
    EXPECT_EQ(stored(2).hname, "changed");
    EXPECT_EQ(e.accountCount(), 4);
    EXPECT_EQ(stored(3), sample("three"));
}

TEST_F(Editor, OutOfRangeNumbersChangeNothing)
{
    addFour();
    AccountEditor e(t.store());
    e.deleteAccount(0);
    e.deleteAccount(5);
    e.editAccount(9);
    EXPECT_EQ(e.accountCount(), 4);
    EXPECT_EQ(t.store().readSetting("Aname9", "none"), "none");
}

// Item names: a password and a token never share one, whatever the user name holds, and
// each gives back the name it had before items were named by kind.
TEST(KeyringItemName, NamesNoTwoAccountsAlike)
{
    const std::pair<QString, QString> rows[] = { // the name, the name before items had a kind
        {keyringKey("h", 995, "oauth:x"), ""},
        {oauthKeyringKey("h", 995, "x"), "oauth:x@h:995"},
        {keyringKey("c", 110, "a@b"), "a@b@c:110"},
        {keyringKey("b@c", 110, "a"), "a@b@c:110"},
        {oauthKeyringKey("h", 110, "taro@example.jp"), "oauth:taro@example.jp@h:110"},
    };
    QSet<QString> keys;
    for (const auto &[key, former] : rows) {
        keys.insert(key);
        EXPECT_EQ(formerKeyringKey(key), former) << qPrintable(key);
    }
    EXPECT_EQ(keys.size(), qsizetype(std::size(rows)));
}

} // namespace
