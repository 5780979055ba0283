#include "settings/password.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace lum;

namespace {

struct UnscrambleRow {
    const char *name;
    QString stored;
    QString password;
};

class Unscramble : public testing::TestWithParam<UnscrambleRow> {};

TEST_P(Unscramble, Decodes)
{
    EXPECT_EQ(unscramblePassword(GetParam().stored), GetParam().password);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Unscramble,
    testing::Values(
        UnscrambleRow{"three_fields", "97 98 99 ", "abc"},
        UnscrambleRow{"no_trailing_blank_drops_last", "97 98 99", "ab"},
        UnscrambleRow{"double_blank_skipped", "97  98 ", "ab"},
        UnscrambleRow{"non_numeric_field_skipped", "x 97 ", "a"},
        UnscrambleRow{"empty_password_stored_as_zero", "0", ""},
        UnscrambleRow{"no_blank_at_all", "979899", ""},
        UnscrambleRow{"double_byte_negative", "-32096 ", u"あ"_qs},
        UnscrambleRow{"double_byte_as_unsigned", "33440 ", u"あ"_qs},
        UnscrambleRow{"halfwidth_katakana", "177 ", u"ｱ"_qs},
        UnscrambleRow{"outside_old_range_is_code_point", "65769 194048 ", u"é😀"_qs},
        UnscrambleRow{"code_naming_nothing_skipped", "128 97 ", "a"},
        UnscrambleRow{"out_of_every_range_skipped", "99999999999 -40000 97 ", "a"},
        UnscrambleRow{"surrogate_code_point_skipped", "120832 97 ", "a"},
        UnscrambleRow{"fraction_skipped", "97.5 98 ", "b"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ScramblePassword, StoredForms)
{
    EXPECT_EQ(scramblePassword("abc"), "97 98 99 ");
    EXPECT_EQ(scramblePassword(""), "");
    EXPECT_EQ(scramblePassword(u"あ"_qs), "-32096 ");
    EXPECT_EQ(scramblePassword(u"é"_qs), "65769 ");
    EXPECT_EQ(scramblePassword(u"😀"_qs), "194048 ");
}

TEST(ScramblePassword, EveryTypableCharacterRoundTrips)
{
    const QStringList passwords{"p@ss w0rd!~", u"日本語ﾊﾟｽ①髙～"_qs, u"café😀¥\\"_qs, " ", u"\t"_qs};
    for (const QString &p : passwords)
        EXPECT_EQ(unscramblePassword(scramblePassword(p)), p) << p.toStdString();
}

} // namespace
