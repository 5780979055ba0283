#include "decode/jis.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

TEST(FilterNul, DropsOnlyNul)
{
    EXPECT_EQ(FilterNul(QByteArray("\0a\0\x1b\xff\0", 6)), QByteArray("a\x1b\xff"));
    EXPECT_EQ(FilterNul(QByteArray()), QByteArray());
}

struct CodeRow {
    const char *name;
    uchar c1, c2;
    quint16 sjis;
};

void PrintTo(const CodeRow &row, std::ostream *os)
{
    *os << row.name;
}


class SjisCode : public testing::TestWithParam<CodeRow> {};

TEST_P(SjisCode, ByArithmetic)
{
    EXPECT_EQ(jisPairSjisCode(GetParam().c1, GetParam().c2), GetParam().sjis);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SjisCode,
    testing::Values(CodeRow{"first_cell", 0x21, 0x21, 0x8140},
                    CodeRow{"hiragana_a", 0x24, 0x22, 0x82A0},
                    CodeRow{"even_row_first_cell", 0x30, 0x21, 0x889F},
                    CodeRow{"odd_row_skips_7f", 0x21, 0x60, 0x8180},
                    CodeRow{"odd_row_last_before_7f", 0x21, 0x5F, 0x817E},
                    CodeRow{"last_row_last_cell", 0x7E, 0x7E, 0xEFFC},
                    CodeRow{"row_63_second_lead_range", 0x5F, 0x21, 0xE040},
                    CodeRow{"row_62_first_lead_range_end", 0x5E, 0x21, 0x9F9F},
                    CodeRow{"even_row_cell_byte_20", 0x22, 0x20, 0x819E},
                    CodeRow{"odd_row_cell_byte_20_nothing", 0x21, 0x20, 0},
                    CodeRow{"row_95_nothing", 0x7F, 0x21, 0},
                    CodeRow{"cell_95_nothing", 0x21, 0x7F, 0},
                    CodeRow{"row_0_nothing", 0x20, 0x21, 0},
                    CodeRow{"high_bytes_nothing", 0xA4, 0xA2, 0},
                    CodeRow{"control_byte_no_code", 0x0D, 0x0A, 0}),
    [](const auto &info) { return std::string(info.param.name); });

struct PairRow {
    const char *name;
    uchar c1, c2;
    QString text;
};

void PrintTo(const PairRow &row, std::ostream *os)
{
    *os << row.name;
}


class PairToText : public testing::TestWithParam<PairRow> {};

TEST_P(PairToText, ThroughCodePage932)
{
    EXPECT_EQ(JisPairToSjis(GetParam().c1, GetParam().c2), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PairToText,
    testing::Values(PairRow{"hiragana_a", 0x24, 0x22, u"あ"_qs},
                    PairRow{"kanji_a", 0x30, 0x21, u"亜"_qs},
                    PairRow{"wave_dash_is_fullwidth_tilde", 0x21, 0x41, QString(QChar(0xFF5E))},
                    PairRow{"nec_row_13", 0x2D, 0x21, u"①"_qs},
                    PairRow{"nec_selected_ibm_row", 0x7C, 0x62, u"髙"_qs},
                    PairRow{"unassigned_cell_replaced", 0x29, 0x21, QString(QChar(0xFFFD))},
                    PairRow{"row_95_nothing", 0x7F, 0x21, QString()},
                    PairRow{"cell_95_nothing", 0x21, 0x7F, QString()},
                    PairRow{"line_break_passes_as_two", 0x0D, 0x0A, u"\r\n"_qs},
                    PairRow{"one_control_byte_passes_both", 0x24, 0x0A, u"$\n"_qs}),
    [](const auto &info) { return std::string(info.param.name); });

struct TextRow {
    const char *name;
    QByteArray text;
    QString viaB; // JisToTextB
    QString viaJ; // JisToTextJ
};

void PrintTo(const TextRow &row, std::ostream *os)
{
    *os << row.name;
}


class JisToTextRows : public testing::TestWithParam<TextRow> {};

TEST_P(JisToTextRows, ConvertsSegments)
{
    EXPECT_EQ(JisToTextB(GetParam().text), GetParam().viaB);
    EXPECT_EQ(JisToTextJ(GetParam().text), GetParam().viaJ);
}

const QByteArray kTest = "\x1b$B%F%9%H\x1b(B";      // テスト, ESC ( B
const QByteArray kTestJ = "\x1b$B%F%9%H\x1b(J";     // テスト, ESC ( J

INSTANTIATE_TEST_SUITE_P(
    Rows, JisToTextRows,
    testing::Values(
        TextRow{"plain_ascii_unchanged", "Hello", u"Hello"_qs, u"Hello"_qs},
        TextRow{"segment_with_b_closer", "x" + kTest + "y", u"xテストy"_qs, u"x\x1b$B%F%9%H\x1b(By"_qs},
        TextRow{"segment_with_j_closer", "x" + kTestJ + "y", u"x\x1b$B%F%9%H\x1b(Jy"_qs, u"xテストy"_qs},
        TextRow{"lower_case_opener_and_closer", "\x1b$b$\"\x1b(b", u"あ"_qs, u"\x1b$b$\"\x1b(b"_qs},
        TextRow{"two_segments", kTest + " " + kTest, u"テスト テスト"_qs, QString::fromLatin1(kTest + " " + kTest)},
        TextRow{"odd_byte_before_closer_dropped", "\x1b$B$\"$\x1b(B", u"あ"_qs, u"\x1b$B$\"$\x1b(B"_qs},
        TextRow{"unterminated_segment_unchanged", "a\x1b$B$\"$\"", u"a\x1b$B$\"$\""_qs, u"a\x1b$B$\"$\""_qs},
        TextRow{"text_after_last_closer_kept_from_unterminated", kTest + "\x1b$B$\"", u"テスト\x1b$B$\""_qs,
                QString::fromLatin1(kTest + "\x1b$B$\"")},
        TextRow{"old_jis_segment_not_converted", "\x1b$@$\"\x1b(B", u"\x1b$@$\"\x1b(B"_qs, u"\x1b$@$\"\x1b(B"_qs},
        TextRow{"katakana_escape_not_converted", "\x1b(I1\x1b(B", u"\x1b(I1\x1b(B"_qs, u"\x1b(I1\x1b(B"_qs},
        TextRow{"line_break_inside_segment_kept", "\x1b$B$\"\r\n$\"\x1b(B", u"あ\r\nあ"_qs,
                u"\x1b$B$\"\r\n$\"\x1b(B"_qs},
        TextRow{"invalid_pairs_vanish", "\x1b$B\x7f!!\x7f$\"\x1b(B", u"あ"_qs, u"\x1b$B\x7f!!\x7f$\"\x1b(B"_qs},
        TextRow{"shift_jis_outside_segments", "\x82\xa0 \xb1", u"あ ｱ"_qs, u"あ ｱ"_qs},
        TextRow{"broken_lead_byte_before_segment_replaced", "a\x82" + kTest, u"a\uFFFDテスト"_qs,
                u"a\uFFFD\x1b$B%F%9%H\x1b(B"_qs},
        TextRow{"control_pair_bytes_read_one_by_one", "\x1b$B\n\xb1\r\x82\x1b(B", u"\nｱ\r\uFFFD"_qs,
                u"\x1b$B\nｱ\r\uFFFD\x1b(B"_qs},
        TextRow{"equals_pairs_are_no_encoded_word", "\x1b$B==\x1b(B", u"十"_qs, u"\x1b$B==\x1b(B"_qs},
        TextRow{"empty", "", QString(), QString()}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(JisToText, DoubleByteCharacterInSegmentFails)
{
    EXPECT_EQ(JisToTextB("ok \x1b$B\x82\xa0\x1b(B"), std::nullopt);
}

TEST(JisToText, HalfWidthKatakanaByteInSegmentIsNoFailure)
{
    EXPECT_EQ(JisToTextB("\x1b$B\xb1\xb1$\"\x1b(B"), u"あ"_qs);
}

} // namespace
