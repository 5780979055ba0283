#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace lum;

namespace {

struct DecodeRow {
    const char *name;
    QByteArray bytes;
    QString text;
};

class DecodeCp932 : public testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeCp932, GivesText)
{
    EXPECT_EQ(decodeCp932(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeCp932,
    testing::Values(
        DecodeRow{"ascii", "abc", u"abc"_qs},
        DecodeRow{"hiragana", "\x82\xa0", u"あ"_qs},
        DecodeRow{"wave_dash_is_fullwidth_tilde", "\x81\x60", QString(QChar(0xFF5E))},
        DecodeRow{"nec_row13", "\x87\x40", u"①"_qs},
        DecodeRow{"ibm_extension", "\xfb\xfc", u"髙"_qs},
        DecodeRow{"halfwidth_katakana", "\xb1", u"ｱ"_qs},
        DecodeRow{"invalid_single_byte_kept_as_replacement", "a\x80z", u"a\uFFFDz"_qs},
        DecodeRow{"lone_lead_byte_at_end", "a\x82", u"a\uFFFD"_qs},
        DecodeRow{"nul_kept", QByteArray("a\0b", 3), QString(u"a\0b"_qs)},
        DecodeRow{"empty", "", QString()}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(EncodeCp932, RoundTripsJapanese)
{
    const QString text = u"日本語のﾃｷｽﾄ ① 髙 ～"_qs;
    EXPECT_EQ(decodeCp932(encodeCp932(text)), text);
}

TEST(EncodeCp932, UnmappableBecomesOneQuestionMarkEach)
{
    EXPECT_EQ(encodeCp932(u"aéb😀c"_qs), QByteArray("a?b?c"));
    const QChar loneSurrogate(char16_t(0xD800));
    EXPECT_EQ(encodeCp932(QStringLiteral("x") + loneSurrogate + QStringLiteral("y")), QByteArray("x?y"));
}

TEST(EncodeCp932, LongTextIsComplete)
{
    const QString text = QStringLiteral("漢字abc").repeated(100000);
    EXPECT_EQ(decodeCp932(encodeCp932(text)), text);
}

TEST(Cp932Code, SingleAndDoubleByteCodes)
{
    EXPECT_EQ(cp932Code(U'a'), 97);
    EXPECT_EQ(cp932Code(U'あ'), 0x82A0);
    EXPECT_EQ(cp932Code(U'ｱ'), 0xB1);
    EXPECT_FALSE(cp932Code(U'é'));
    EXPECT_FALSE(cp932Code(U'😀'));
    EXPECT_FALSE(cp932Code(U'¥')) << "maps to 0x5C, which reads back as a backslash";
    EXPECT_FALSE(cp932Code(0xD800));
}

TEST(Cp932Char, NamesCharacterOrNothing)
{
    EXPECT_EQ(cp932Char(97), U'a');
    EXPECT_EQ(cp932Char(0x82A0), U'あ');
    EXPECT_FALSE(cp932Char(0x80));
    EXPECT_FALSE(cp932Char(0x82)) << "a lead byte alone";
    EXPECT_FALSE(cp932Char(0x8200));
}

} // namespace
