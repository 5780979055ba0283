#include "options/form_values.h"
#include "options/hotkey_choices.h"
#include "settings/column_widths.h"
#include "tests/support/temp_store.h"

#include <gtest/gtest.h>

using namespace lum;

namespace {

struct NumberCase {
    const char *name;
    const char *text;
    std::optional<qint16> timer;
    std::optional<quint16> port;
};

void PrintTo(const NumberCase &c, std::ostream *os) { *os << c.name; }

class BoxValues : public testing::TestWithParam<NumberCase> {};

TEST_P(BoxValues, TimerAndPortBoxes)
{
    const NumberCase &c = GetParam();
    EXPECT_EQ(timerValue(c.text), c.timer);
    EXPECT_EQ(timerTextValid(c.text), c.timer.has_value());
    EXPECT_EQ(portValue(c.text), c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Form, BoxValues,
    testing::Values(NumberCase{"Zero", "0", 0, std::nullopt},
                    NumberCase{"One", "1", 1, 1},
                    NumberCase{"Usual", "110", 110, 110},
                    NumberCase{"Largest", "32767", 32767, 32767},
                    NumberCase{"BeyondSixteenBits", "32768", std::nullopt, 32768},
                    NumberCase{"LargestPort", "65535", std::nullopt, 65535},
                    NumberCase{"BeyondPorts", "65536", std::nullopt, std::nullopt},
                    NumberCase{"Negative", "-1", std::nullopt, std::nullopt},
                    NumberCase{"Letters", "abc", std::nullopt, std::nullopt},
                    NumberCase{"Empty", "", std::nullopt, std::nullopt},
                    NumberCase{"Fraction", "1.5", std::nullopt, std::nullopt},
                    NumberCase{"Huge", "99999999999999999999", std::nullopt, std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HotkeyChoices, FiftyNineEntriesInOrderWithTheirCodes)
{
    const auto all = hotkeyChoices(true);
    ASSERT_EQ(all.size(), 59u);
    const std::pair<size_t, std::pair<const char *, int>> probes[] = {
        {0, {"Ctrl+A", 65}},        {25, {"Ctrl+Z", 90}},         {26, {"Ctrl+F1 キー", 112}},
        {41, {"Ctrl+F16 キー", 127}}, {42, {"Shift+F1 キー", 212}}, {57, {"Shift+F16 キー", 227}},
        {58, {"無し", 0}},
    };
    for (const auto &[i, expected] : probes) {
        EXPECT_EQ(all[i].text, QString::fromUtf8(expected.first)) << i;
        EXPECT_EQ(all[i].code, expected.second) << i;
    }
}

TEST(HotkeyChoices, ExitListHasNoNone)
{
    const auto exit = hotkeyChoices(false);
    ASSERT_EQ(exit.size(), 58u);
    EXPECT_EQ(exit.back().code, 227);
    EXPECT_TRUE(hotkeyListHasNone(4));
    EXPECT_FALSE(hotkeyListHasNone(5));
}

struct ConflictCase {
    const char *name;
    std::array<qint16, 6> codes;
    bool conflict;
};

void PrintTo(const ConflictCase &c, std::ostream *os) { *os << c.name; }

class HotkeyConflicts : public testing::TestWithParam<ConflictCase> {};

TEST_P(HotkeyConflicts, SameKeyTwiceUnlessNone)
{
    EXPECT_EQ(hotkeysConflict(GetParam().codes), GetParam().conflict);
}

INSTANTIATE_TEST_SUITE_P(
    Form, HotkeyConflicts,
    testing::Values(ConflictCase{"Defaults", {113, 114, 115, 116, 117, 118}, false},
                    ConflictCase{"FirstAndLast", {113, 114, 115, 116, 117, 113}, true},
                    ConflictCase{"Neighbours", {65, 65, 115, 116, 117, 118}, true},
                    ConflictCase{"SeveralNone", {0, 0, 0, 0, 0, 118}, false},
                    ConflictCase{"NoneAndKeys", {0, 212, 0, 213, 0, 214}, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(AccountRow, NameServerAndMark)
{
    AccountRecord r;
    r.aname = "会社";
    r.hname = "pop.example.jp";
    EXPECT_EQ(accountRowText(r), "会社(pop.example.jp)");
    EXPECT_EQ(accountMark(r), "○");
    r.check = 0;
    EXPECT_EQ(accountMark(r), "×");
    r.check = -1;
    EXPECT_EQ(accountMark(r), "○");
}

TEST(AccountRow, NameColumnNarrowsFromTwentyAccounts)
{
    EXPECT_EQ(accountNameColumnTwips(0), 4960);
    EXPECT_EQ(accountNameColumnTwips(19), 4960);
    EXPECT_EQ(accountNameColumnTwips(20), 4700);
    EXPECT_EQ(accountMarkColumnTwips, 320);
}

TEST(AccountRow, DefaultName)
{
    EXPECT_EQ(defaultAccountName("taro", "pop.x"), "taro@pop.x");
    EXPECT_EQ(defaultAccountName("", "pop.x"), "@pop.x");
}

TEST(ColumnWidths, RestoreWritesTheSixDefaults)
{
    lum::test::TempStore t;
    t.store().writeSetting("grdWidth0", "1");
    ASSERT_TRUE(restoreColumnWidths(t.store()));
    const char *expected[] = {"260", "260", "130", "2740", "4770", "300"};
    SettingsStore onDisk(t.path());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(onDisk.readSetting(QStringLiteral("grdWidth%1").arg(i), ""), expected[i]) << i;
}

} // namespace
