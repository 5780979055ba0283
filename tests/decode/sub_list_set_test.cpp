#include "decode/summary.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

const QByteArray kAWord = "=?ISO-2022-JP?B?GyRCJCIbKEI=?=";     // あ
const QByteArray kAiaWord = "=?iso-2022-jp?b?GyRCMCEbKEI=?=";   // 亜

struct TopRow {
    const char *name;
    QByteArray reply;
    QString from;
    QString subject;
    bool attach;
};

void PrintTo(const TopRow &row, std::ostream *os)
{
    *os << row.name;
}


class SubListSetRows : public testing::TestWithParam<TopRow> {};

TEST_P(SubListSetRows, FillsRecord)
{
    const TopRow &r = GetParam();
    MailTable table(1);
    table.record(1, 1)->mark = true;
    subListSet(r.reply, table, 1, 1);
    const MailRecord &rec = *table.record(1, 1);
    EXPECT_EQ(rec.from, r.from);
    EXPECT_EQ(rec.subject, r.subject);
    EXPECT_EQ(rec.attach, r.attach);
    EXPECT_FALSE(rec.mark);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubListSetRows,
    testing::Values(
        TopRow{"plain_fields", "From: a@b\r\nSubject: hello\r\n\r\nbody\r\n", u"a@b"_qs, u"hello"_qs, false},
        TopRow{"folded_subject_words_joined", "Subject: " + kAWord + "\r\n " + kAiaWord + "\r\nFrom: a\r\n\r\n",
               u"a"_qs, u"あ亜"_qs, false},
        TopRow{"folded_plain_subject_loses_space", "Subject: Hello\r\n World\r\n\r\n", {}, u"HelloWorld"_qs, false},
        TopRow{"tab_folding_removed", "Subject: a\r\n\t\tb\r\n\r\n", {}, u"ab"_qs, false},
        TopRow{"several_continuation_lines", "Subject: a\r\n b\r\n  c\r\nX: y\r\n", {}, u"abc"_qs, false},
        TopRow{"blank_continuation_line", "Subject: a\r\n   \r\n b\r\n\r\n", {}, u"ab"_qs, false},
        TopRow{"folding_to_end_of_text", "Subject: a\r\n b", {}, u"ab"_qs, false},
        TopRow{"folded_from_keeps_first_line", "From: " + kAWord + " <a@b>\r\n <more>\r\n\r\n", u"あ <a@b>"_qs, {},
               false},
        TopRow{"names_in_any_case", "FROM: x\r\nsubject: y\r\n\r\n", u"x"_qs, u"y"_qs, false},
        TopRow{"first_occurrence_even_inside_other_name", "X-Subject: first\r\nSubject: second\r\n\r\n", {},
               u"first"_qs, false},
        TopRow{"name_needs_its_blank", "Subject:x\r\nFrom:y\r\n\r\n", {}, {}, false},
        TopRow{"tabs_removed", "Subject: a\tb\r\nFrom: c\td\r\n\r\n", u"cd"_qs, u"ab"_qs, false},
        TopRow{"subject_without_line_break_plain_is_empty", "From: a\r\nSubject: hello", u"a"_qs, {}, false},
        TopRow{"subject_without_line_break_keeps_text_before_word", "Subject: Re: =?ISO-2022-JP?B?GyRC", {},
               u"Re: "_qs, false},
        TopRow{"from_without_line_break_is_empty", "Subject: s\r\nFrom: a@b", {}, u"s"_qs, false},
        TopRow{"subject_old_escape_dropped", "Subject: =?ISO-2022-JP?B?GyRAJCIbKEI=?=\r\n\r\n", {},
               u"$\"\x1b(B"_qs, false},
        TopRow{"from_old_escape_kept", "From: =?ISO-2022-JP?B?GyRAJCIbKEI=?=\r\n\r\n", u"\x1b$@$\"\x1b(B"_qs, {},
               false},
        TopRow{"subject_cut_off_word_kept", "Subject: x =?ISO-2022-JP?B?GyRC\r\n\r\n", {},
               u"x =?ISO-2022-JP?B?GyRC"_qs, false},
        TopRow{"unquoted_boundary_sets_attach",
               "Content-Type: multipart/mixed; boundary=abc\r\nSubject: s\r\n\r\n", {}, u"s"_qs, true},
        TopRow{"boundary_any_case_sets_attach", "Content-Type: multipart/mixed; BOUNDARY=\"abc\"\r\n\r\n", {}, {},
               true},
        TopRow{"nul_and_lone_line_ends", QByteArray("Subject: a\0b\rc\nd\r\n\r\n", 20), {}, u"ab\rc\nd"_qs, false},
        TopRow{"empty_reply", "", {}, {}, false}),
    [](const auto &info) { return std::string(info.param.name); });

const QByteArray kMessage = "Message-ID: <1@x>\r\nFrom: a@b\r\nSubject: s\r\n\r\nline\r\n";

struct RecheckRow {
    const char *name;
    QByteArray second;
    bool bodyKept;
};

void PrintTo(const RecheckRow &row, std::ostream *os)
{
    *os << row.name;
}


class SubListSetRecheck : public testing::TestWithParam<RecheckRow> {};

TEST_P(SubListSetRecheck, BodyKeptOnlyForSameMessage)
{
    MailTable table(1);
    subListSet(kMessage, table, 1, 1);
    table.record(1, 1)->body = QStringLiteral("retrieved");
    subListSet(GetParam().second, table, 1, 1);
    EXPECT_EQ(table.record(1, 1)->body.isEmpty(), !GetParam().bodyKept);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubListSetRecheck,
    testing::Values(
        RecheckRow{"unchanged_message_keeps_body", kMessage, true},
        RecheckRow{"other_from_empties_body", "Message-ID: <1@x>\r\nFrom: c@d\r\nSubject: s\r\n\r\n", false},
        RecheckRow{"other_subject_empties_body", "Message-ID: <1@x>\r\nFrom: a@b\r\nSubject: t\r\n\r\n", false},
        RecheckRow{"same_from_and_subject_other_message_empties_body",
                   "Message-ID: <2@x>\r\nFrom: a@b\r\nSubject: s\r\n\r\nline\r\n", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SubListSet, RecordsIdentityOfTheReply)
{
    MailTable table(1);
    subListSet(kMessage, table, 1, 1);
    EXPECT_EQ(table.record(1, 1)->identity.messageId, QByteArray("<1@x>"));
}

TEST(SubListSet, KeepsBodyAttachNamesOfSameMessage)
{
    MailTable table(1);
    subListSet(kMessage, table, 1, 1);
    table.record(1, 1)->attachNames = QStringLiteral("\"a.pdf\" ");
    subListSet(kMessage, table, 1, 1);
    EXPECT_EQ(table.record(1, 1)->attachNames, QStringLiteral("\"a.pdf\" "));
}

TEST(SubListSet, NumberOutsideTableChangesNothing)
{
    MailTable table(1);
    subListSet(kMessage, table, 2, 1);
    subListSet(kMessage, table, 1, 11);
    for (int m = 1; m <= 10; ++m)
        EXPECT_TRUE(table.record(1, m)->from.isEmpty());
}

TEST(SubListSet, WritesOnlyItsOwnSlot)
{
    MailTable table(2);
    subListSet(kMessage, table, 2, 3);
    EXPECT_EQ(table.record(2, 3)->from, u"a@b"_qs);
    EXPECT_TRUE(table.record(1, 3)->from.isEmpty());
    EXPECT_TRUE(table.record(2, 2)->from.isEmpty());
}

} // namespace
