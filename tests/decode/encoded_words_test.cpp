#include "decode/encoded_words.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

// ISO-2022-JP bytes of あ and 亜, and their encoded words.
const QByteArray kA = "\x1b$B$\"\x1b(B";
const QByteArray kAWord = "=?ISO-2022-JP?B?GyRCJCIbKEI=?=";
const QByteArray kAia = "\x1b$B0!\x1b(B";
const QByteArray kAiaWord = "=?iso-2022-jp?b?GyRCMCEbKEI=?=";

struct BWordRow {
    const char *name;
    QByteArray word;
    QByteArray decoded;
};

void PrintTo(const BWordRow &row, std::ostream *os)
{
    *os << row.name;
}


class DecodeBWordRows : public testing::TestWithParam<BWordRow> {};

TEST_P(DecodeBWordRows, Decodes)
{
    EXPECT_EQ(DecodeBWord(GetParam().word), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeBWordRows,
    testing::Values(
        BWordRow{"full_group_three_bytes", "=?ISO-2022-JP?B?YWJj?=", "abc"},
        BWordRow{"one_pad_two_bytes", "=?ISO-2022-JP?B?YWI=?=", "ab"},
        BWordRow{"two_pads_one_byte", "=?ISO-2022-JP?B?YQ==?=", "a"},
        BWordRow{"jis_word", kAWord, kA},
        BWordRow{"lower_case_opener", kAiaWord, kAia},
        BWordRow{"unpadded_tail_filled_with_zero", "=?ISO-2022-JP?B?YWJjZA?=", QByteArray("abcd\0\0", 6)},
        BWordRow{"single_char_tail", "=?ISO-2022-JP?B?YWJjZ?=", QByteArray("abcd\0\0", 6)},
        BWordRow{"text_in_front_kept", "Re: =?ISO-2022-JP?B?YWJj?=", "Re: abc"},
        BWordRow{"no_opener_unchanged", "plain ?= text", "plain ?= text"},
        BWordRow{"empty_payload", "=?ISO-2022-JP?B?" "?=", ""},
        BWordRow{"outside_alphabet_counts_zero", "=?ISO-2022-JP?B?!!!!?=", QByteArray("\0\0\0", 3)},
        BWordRow{"pad_first_gives_a_byte", "=?ISO-2022-JP?B?====?=", QByteArray("\0", 1)},
        BWordRow{"no_closer_unchanged", "=?ISO-2022-JP?B?YWJj", "=?ISO-2022-JP?B?YWJj"},
        BWordRow{"high_bits_kept", "=?ISO-2022-JP?B?//79?=", "\xff\xfe\xfd"}),
    [](const auto &info) { return std::string(info.param.name); });

struct WordsRow {
    const char *name;
    QByteArray value;
    bool dropOldJisEscape;
    QByteArray decoded;
};

void PrintTo(const WordsRow &row, std::ostream *os)
{
    *os << row.name;
}


class DecodeWordsRows : public testing::TestWithParam<WordsRow> {};

TEST_P(DecodeWordsRows, Decodes)
{
    EXPECT_EQ(DecodeWords(GetParam().value, GetParam().dropOldJisEscape), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeWordsRows,
    testing::Values(
        WordsRow{"text_around_word_kept", "Re: " + kAWord + " x", false, "Re: " + kA + " x"},
        WordsRow{"two_words_and_text_between", kAWord + " and " + kAiaWord, false, kA + " and " + kAia},
        WordsRow{"adjacent_words", kAWord + kAWord, false, kA + kA},
        WordsRow{"utf8_word_passes", "=?UTF-8?B?44GC?=", false, "=?UTF-8?B?44GC?="},
        WordsRow{"q_word_passes", "=?ISO-2022-JP?Q?=1B$B$\"=1B(B?=", false, "=?ISO-2022-JP?Q?=1B$B$\"=1B(B?="},
        WordsRow{"cut_off_word_kept", "Re: =?ISO-2022-JP?B?GyRCJCIb", false, "Re: =?ISO-2022-JP?B?GyRCJCIb"},
        WordsRow{"cut_off_after_complete_word", kAWord + " =?ISO-2022-JP?B?Gy", false, kA + " =?ISO-2022-JP?B?Gy"},
        WordsRow{"opener_ending_in_question_mark_not_a_closer", "=?ISO-2022-JP?B?=", false, "=?ISO-2022-JP?B?="},
        WordsRow{"old_jis_escape_dropped", "=?ISO-2022-JP?B?GyRAJCIbKEI=?=", true, "$\"\x1b(B"},
        WordsRow{"old_jis_escape_kept_without_flag", "=?ISO-2022-JP?B?GyRAJCIbKEI=?=", false, "\x1b$@$\"\x1b(B"},
        WordsRow{"old_escape_outside_words_stays", "\x1b$@ " + kAWord, true, "\x1b$@ " + kA},
        WordsRow{"empty", "", true, ""}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
