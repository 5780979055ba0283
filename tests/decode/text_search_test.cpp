#include "decode/text_search.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

struct FindRow {
    const char *name;
    QByteArray haystack;
    QByteArray needle;
    qsizetype from;
    bool caseInsensitive;
    qsizetype found;
};

void PrintTo(const FindRow &row, std::ostream *os)
{
    *os << row.name;
}


class FindBytes : public testing::TestWithParam<FindRow> {};

TEST_P(FindBytes, FindsFirstAtOrAfter)
{
    const FindRow &r = GetParam();
    EXPECT_EQ(findBytes(r.haystack, r.needle, r.from, r.caseInsensitive), r.found);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindBytes,
    testing::Values(
        FindRow{"at_start", "abcabc", "abc", 0, false, 0},
        FindRow{"from_skips_earlier", "abcabc", "abc", 1, false, 3},
        FindRow{"none", "abcabc", "abd", 0, false, -1},
        FindRow{"case_differs_exact", "SUBJECT: x", "subject: ", 0, false, -1},
        FindRow{"case_differs_folded", "SUBJECT: x", "subject: ", 0, true, 0},
        FindRow{"folding_is_ascii_only", "\xc1", "\xe1", 0, true, -1},
        FindRow{"self_overlapping_needle", "aaab", "aab", 0, false, 1},
        FindRow{"folded_after_near_misses", "b=\"xBOUNDARY=BOUNDARY=\"", "boundary=\"", 0, true, 13},
        FindRow{"from_past_end", "abc", "c", 3, false, -1},
        FindRow{"negative_from_reads_from_start", "abc", "a", -5, false, 0},
        FindRow{"empty_needle_finds_nothing", "abc", "", 0, false, -1},
        FindRow{"needle_longer_than_text", "ab", "abc", 0, false, -1},
        FindRow{"nul_bytes_match", QByteArray("a\0b", 3), QByteArray("\0b", 2), 0, false, 1}),
    [](const auto &info) { return std::string(info.param.name); });

struct RemoveRow {
    const char *name;
    QByteArray text;
    QByteArray needle;
    QByteArray result;
};

void PrintTo(const RemoveRow &row, std::ostream *os)
{
    *os << row.name;
}


class RemoveAll : public testing::TestWithParam<RemoveRow> {};

TEST_P(RemoveAll, OnePass)
{
    EXPECT_EQ(removeAll(GetParam().text, GetParam().needle), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RemoveAll,
    testing::Values(RemoveRow{"every_occurrence", "a\r\nb\r\nc", "\r\n", "abc"},
                    RemoveRow{"joined_remainder_not_searched_again", "\r\r\n\n", "\r\n", "\r\n"},
                    RemoveRow{"overlapping_taken_left_first", "aaa", "aa", "a"},
                    RemoveRow{"none", "abc", "x", "abc"},
                    RemoveRow{"empty_text", "", "x", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Occurrences, NextAtOrAfterIncludesOverlapping)
{
    const Occurrences o("xaaaxAA", "aa", true);
    EXPECT_EQ(o.next(0), 1);
    EXPECT_EQ(o.next(2), 2);
    EXPECT_EQ(o.next(3), 5);
    EXPECT_EQ(o.next(6), -1);
}

TEST(Occurrences, ExactWhenNotFolded)
{
    const Occurrences o("xaaaxAA", "aa", false);
    EXPECT_EQ(o.next(3), -1);
}

} // namespace
