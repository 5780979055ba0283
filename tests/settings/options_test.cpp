#include "settings/options.h"
#include "settings/save_value.h"
#include "tests/support/temp_store.h"

#include <gtest/gtest.h>

using namespace lum;
using lum::test::TempStore;

namespace {

TEST(LoadOptions, EmptyStoreGivesDefaults)
{
    TempStore t;
    Options o;
    o.popup = true; // every field is read, none kept from before
    o.checkTimerMinutes = 9;
    loadOptions(t.store(), o);
    EXPECT_EQ(o.accountno, 0);
    EXPECT_TRUE(o.accounts.empty());
    EXPECT_FALSE(o.popup);
    EXPECT_EQ(o.checkTimerMinutes, 0);
    EXPECT_TRUE(o.trayIcon);
    EXPECT_TRUE(o.ledBlink);
    EXPECT_EQ(o.lightTimerSeconds, 5);
    EXPECT_EQ(o.lightTimer2Seconds, 5);
    EXPECT_EQ(o.timeUpMinutes, 1);
    EXPECT_TRUE(o.suppressErrors);
    for (const QString &ico : o.icoDir)
        EXPECT_EQ(ico, u"内蔵"_qs);
    EXPECT_EQ(o.hotkeyCodes, (std::array<qint16, 6>{113, 114, 115, 116, 117, 118}));
    EXPECT_EQ(o.grdWidth, (std::array<qint16, 6>{260, 260, 130, 2740, 4770, 300}));
    EXPECT_EQ(o.frmWidth, 8730);
    EXPECT_EQ(o.frmHeight, 4710);
    EXPECT_TRUE(o.mailerDir[0].isEmpty());
    EXPECT_TRUE(o.wavDir.isEmpty());
    EXPECT_EQ(o.desktopNotice, DesktopNotice::SendersAndSubjects);
}

struct StoredNumberRow {
    const char *name;
    const char *key;
    const char *stored;
    qint16 expected;
};

class StoredNumber : public testing::TestWithParam<StoredNumberRow> {};

// Bad numbers take the default; the window size is clamped instead.
TEST_P(StoredNumber, Converts)
{
    const auto &row = GetParam();
    TempStore t;
    t.store().writeSetting(row.key, row.stored);
    Options o;
    loadOptions(t.store(), o);
    const std::map<std::string, qint16> got{
        {"Checktimerval", o.checkTimerMinutes}, {"Timeupval", o.timeUpMinutes},
        {"frmWidth", o.frmWidth}, {"frmHeight", o.frmHeight}, {"grdWidth3", o.grdWidth[3]},
        {"Hotkeynum5", o.hotkeyCodes[5]}, {"accountno", o.accountno},
        {"Option14value", qint16(o.desktopNotice)}, {"Option15value", qint16(o.fastCheck)}};
    EXPECT_EQ(got.at(row.key), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StoredNumber,
    testing::Values(StoredNumberRow{"plain", "Checktimerval", "15", 15},
                    StoredNumberRow{"negative", "Timeupval", "-3", -3},
                    StoredNumberRow{"blanks_around", "Checktimerval", " 7 ", 7},
                    StoredNumberRow{"garbage_gives_default", "Timeupval", "abc", 1},
                    StoredNumberRow{"fraction_gives_default", "Timeupval", "2.5", 1},
                    StoredNumberRow{"empty_gives_default", "grdWidth3", "", 2740},
                    StoredNumberRow{"beyond_16_bits_gives_default", "Hotkeynum5", "70000", 118},
                    StoredNumberRow{"huge_gives_default", "accountno", "99999999999999999999", 0},
                    StoredNumberRow{"wide_window_clamped", "frmWidth", "40000", 32767},
                    StoredNumberRow{"huge_window_clamped", "frmHeight", "123456789012345678901", 32767},
                    StoredNumberRow{"window_garbage_default", "frmHeight", "x1", 4710},
                    StoredNumberRow{"notice_off", "Option14value", "0", 0},
                    StoredNumberRow{"notice_count_only", "Option14value", "2", 2},
                    StoredNumberRow{"notice_unknown_shows_senders", "Option14value", "7", 1},
                    StoredNumberRow{"fast_check_off", "Option15value", "0", 0},
                    StoredNumberRow{"fast_check_garbage_on", "Option15value", "x", 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LoadOptions, FlagsAreNonZero)
{
    TempStore t;
    t.store().writeSetting("Option1value", "1");
    t.store().writeSetting("Option3value", "0");
    t.store().writeSetting("Option9value", "-1");
    t.store().writeSetting("sOption11value", "2");
    Options o;
    loadOptions(t.store(), o);
    EXPECT_TRUE(o.popup);
    EXPECT_FALSE(o.suppressErrors);
    EXPECT_TRUE(o.newestFirst);
    EXPECT_TRUE(o.iconRestore);
}

TEST(LoadOptions, AccountsFillTablesAndLastIsCurrent)
{
    TempStore t;
    SettingsStore &s = t.store();
    s.writeSetting("accountno", "2");
    s.writeSetting("Hname1", "pop.one");
    s.writeSetting("Scolor11", "255");
    s.writeSetting("Hname2", "pop.two");
    s.writeSetting("Uname2", "taro");
    s.writeSetting("Passw2", "97 98 ");
    s.writeSetting("Portno2", "995");
    s.writeSetting("Sslmode1", "2");
    s.writeSetting("Sslmode2", "bad");
    s.writeSetting("Wavmode2", "1");
    s.writeSetting("Wavdir2_2", "/snd/two.wav");
    Options o;
    loadOptions(s, o);
    ASSERT_EQ(o.accounts.size(), 2u);
    EXPECT_EQ(o.accounts[0].scolor1, 255);
    EXPECT_EQ(o.accounts[0].scolor2, 0xFFFF80);
    EXPECT_EQ(o.accounts[1].wavmode, 1);
    EXPECT_EQ(o.accounts[1].wavdir2, "/snd/two.wav");
    EXPECT_EQ(o.current.hname, "pop.two");
    EXPECT_EQ(o.current.uname, "taro");
    EXPECT_EQ(o.current.passw, "ab");
    EXPECT_EQ(o.current.portno, 995);
    EXPECT_EQ(o.current.sslmode, SslMode::None) << "no mode carried over from account 1";
}

TEST(LoadOptions, NoAccountInheritsTheCredentialsOfTheOneBefore)
{
    TempStore t;
    SettingsStore &s = t.store();
    s.writeSetting("accountno", "2");
    s.writeSetting("Hname1", "pop.one");
    s.writeSetting("Uname1", "taro");
    s.writeSetting("Passw1", "97 98 ");
    s.writeSetting("Hname2", "pop.two"); // written by hand: no user, no password
    Options o;
    loadOptions(s, o);
    loadadata(s, 1, o);
    loadadata(s, 2, o);
    EXPECT_EQ(o.current.hname, "pop.two");
    EXPECT_EQ(o.current.uname, "");
    EXPECT_EQ(o.current.passw, "");
}

TEST(LoadOptions, ReloadWithFewerAccountsKeepsTheRemainingEntries)
{
    TempStore t;
    SettingsStore &s = t.store();
    s.writeSetting("accountno", "3");
    for (int n = 1; n <= 3; ++n)
        s.writeSetting(QString("Scolor1%1").arg(n), QString::number(n * 10));
    Options o;
    loadOptions(s, o);
    ASSERT_EQ(o.accounts.size(), 3u);
    // Account 2's colour becomes unreadable: the reload keeps the entry it had.
    s.writeSetting("accountno", "2");
    s.writeSetting("Scolor12", "not a colour");
    loadOptions(s, o);
    ASSERT_EQ(o.accounts.size(), 2u);
    EXPECT_EQ(o.accounts[0].scolor1, 10);
    EXPECT_EQ(o.accounts[1].scolor1, 20);
}

TEST(LoadOptions, BadPortKeepsPreviousValueOnlyForThatField)
{
    TempStore t;
    SettingsStore &s = t.store();
    s.writeSetting("accountno", "1");
    s.writeSetting("Portno1", "70000");
    s.writeSetting("Uname1", "hanako");
    Options o;
    loadOptions(s, o);
    EXPECT_EQ(o.current.portno, 110) << "the port is reset to 110 before each account";
    EXPECT_EQ(o.current.uname, "hanako");
}

TEST(SaveValue, PathKeysStoreEmptyOtherKeysStoreTheNumber)
{
    TempStore t;
    SettingsStore &s = t.store();
    for (const char *k : {"Mailerdir1", "Mailerdir2", "Icodir1", "Icodir2", "Icodir3", "Wavdir",
                          "Wavdir2_1", "Wavdir2_12"}) {
        saveValue(s, k, 0, "");
        EXPECT_EQ(s.readSetting(k, "missing"), "") << k;
    }
    saveValue(s, "Aname1", 0, "");
    EXPECT_EQ(s.readSetting("Aname1", "missing"), "0");
    saveValue(s, "Checktimerval", 15, "");
    EXPECT_EQ(s.readSetting("Checktimerval", ""), "15");
    saveValue(s, "Mailerdir1", 7, "/usr/bin/mutt");
    EXPECT_EQ(s.readSetting("Mailerdir1", ""), "/usr/bin/mutt");
}

} // namespace
