#include "decode/decode_field.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

struct FieldRow {
    const char *name;
    QByteArray field;
    bool withWords;
    bool dropOldJisEscape;
    QString text;
};

void PrintTo(const FieldRow &row, std::ostream *os)
{
    *os << row.name;
}


class DecodeFieldRows : public testing::TestWithParam<FieldRow> {};

TEST_P(DecodeFieldRows, Decodes)
{
    const FieldRow &r = GetParam();
    EXPECT_EQ(DecodeField(r.field, r.withWords, r.dropOldJisEscape), r.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeFieldRows,
    testing::Values(
        FieldRow{"word_hiragana_a", "=?ISO-2022-JP?B?GyRCJCIbKEI=?=", true, false, u"あ"_qs},
        FieldRow{"lower_case_opener_kanji", "=?iso-2022-jp?b?GyRCMCEbKEI=?=", true, false, u"亜"_qs},
        FieldRow{"no_padding_needed", "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=", true, false, u"テスト"_qs},
        FieldRow{"utf8_word_passes_unchanged", "=?UTF-8?B?44GC?=", true, false, u"=?UTF-8?B?44GC?="_qs},
        FieldRow{"q_word_passes_unchanged", "=?ISO-2022-JP?Q?abc?=", true, false, u"=?ISO-2022-JP?Q?abc?="_qs},
        FieldRow{"text_around_word_kept", "Re: =?ISO-2022-JP?B?GyRCJCIbKEI=?= x", true, false, u"Re: あ x"_qs},
        FieldRow{"two_words_text_between", "=?ISO-2022-JP?B?GyRCJCIbKEI=?= - =?iso-2022-jp?b?GyRCMCEbKEI=?=",
                 true, false, u"あ - 亜"_qs},
        FieldRow{"cut_off_word_kept", "Re: =?ISO-2022-JP?B?GyRCJCIb", true, false, u"Re: =?ISO-2022-JP?B?GyRCJCIb"_qs},
        FieldRow{"unpadded_word_nuls_dropped", "=?ISO-2022-JP?B?YWJjZA?=", true, false, u"abcd"_qs},
        FieldRow{"old_escape_dropped_in_subject", "=?ISO-2022-JP?B?GyRAJCIbKEI=?=", true, true, u"$\"\x1b(B"_qs},
        FieldRow{"old_escape_kept_in_from", "=?ISO-2022-JP?B?GyRAJCIbKEI=?=", true, false, u"\x1b$@$\"\x1b(B"_qs},
        FieldRow{"words_left_alone_without_flag", "=?ISO-2022-JP?B?GyRCJCIbKEI=?=", false, false,
                 u"=?ISO-2022-JP?B?GyRCJCIbKEI=?="_qs},
        FieldRow{"body_jis_text", "\x1b$BK\\J8\x1b(B\r\nline2", false, false, u"本文\r\nline2"_qs},
        FieldRow{"j_closer_used_without_b_closer", "\x1b$BK\\J8\x1b(J!", false, false, u"本文!"_qs},
        FieldRow{"b_closer_anywhere_chooses_b", "\x1b$BK\\J8\x1b(J\x1b(B", false, false, u"本文\x1b("_qs},
        FieldRow{"nul_inside_segment_filtered_first", QByteArray("\x1b$B$\0\"\x1b(B", 9), false, false, u"あ"_qs},
        FieldRow{"shift_jis_bytes_read_as_cp932", "\x82\xa0\x87\x40", false, false, u"あ①"_qs},
        FieldRow{"double_byte_in_segment_keeps_text", "a\x1b$B\x82\xa0\x1b(B", false, false, u"a\x1b$Bあ\x1b(B"_qs},
        FieldRow{"wave_dash_via_word", "=?ISO-2022-JP?B?GyRCIUEbKEI=?=", true, false, QString(QChar(0xFF5E))},
        FieldRow{"nec_and_ibm_rows_via_word", "=?ISO-2022-JP?B?GyRCLSF8YhsoQg==?=", true, false, u"①髙"_qs},
        FieldRow{"nul_from_word_inside_segment_dropped", "\x1b$B=?ISO-2022-JP?B?JCIkIgAAAA?=\x1b(B", false, false,
                 u"ああ"_qs},
        FieldRow{"empty", "", true, true, QString()}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
