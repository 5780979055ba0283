#include "decode/summary.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

// A multipart reply is built from these pieces. kTop ends without its blank line so that
// rows can state exactly what stays of it.
const QByteArray kTop = "From: a@b\r\nSubject: s\r\nContent-Type: multipart/mixed; boundary=\"XYZ\"";
const QByteArray kPreamble = "This is a multi-part message in MIME format.\r\n\r\n";
const QByteArray kEnd = "--XYZ--\r\n";
// What the header and preamble become: the preamble line goes, its line breaks stay.
const QByteArray kTopKept = kTop + "\r\n\r\n\r\n";

QByteArray textPart(const QByteArray &text)
{
    return "--XYZ\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" + text + "\r\n";
}

QByteArray attachmentPart(const QByteArray &nameParameter)
{
    return "--XYZ\r\nContent-Type: application/octet-stream; " + nameParameter
           + "\r\nContent-Transfer-Encoding: base64\r\n\r\nAAAA\r\n";
}

QByteArray mixed(const QByteArray &parts)
{
    return kTop + "\r\n\r\n" + kPreamble + parts + kEnd;
}

// 100 bytes of text: 本文テキスト in ISO-2022-JP and 82 ASCII characters.
const QByteArray kShortText = "\x1b$BK\\J8%F%-%9%H\x1b(B" + QByteArray(80, '7') + "..";
const QString kShortTextShown = u"本文テキスト"_qs + QString(80, QLatin1Char('7')) + u".."_qs;
const QByteArray kNameWord = "=?ISO-2022-JP?B?GyRCRTpJVRsoQi5wZGY=?="; // 添付.pdf

struct RetrRow {
    const char *name;
    QByteArray reply;
    QByteArray kept; // rstrBuf afterwards
    QString body;
    bool attach;
    QString attachNames;
};

void PrintTo(const RetrRow &row, std::ostream *os)
{
    *os << row.name;
}


class SubListSet2Rows : public testing::TestWithParam<RetrRow> {};

TEST_P(SubListSet2Rows, FillsBodyAndNames)
{
    const RetrRow &r = GetParam();
    MailTable table(1);
    QByteArray buf = r.reply;
    subListSet2(buf, table, 1, 1);
    const MailRecord &rec = *table.record(1, 1);
    EXPECT_EQ(buf, r.kept);
    EXPECT_EQ(rec.body, r.body);
    EXPECT_EQ(rec.attach, r.attach);
    EXPECT_EQ(rec.attachNames, r.attachNames);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubListSet2Rows,
    testing::Values(
        RetrRow{"short_text_part_shown_with_attachment_name",
                mixed(textPart(kShortText) + attachmentPart("name=\"" + kNameWord + "\"")),
                kTopKept + kShortText + "\r\n", "\r\n" + kShortTextShown + "\r\n", true, u"\"添付.pdf\" "_qs},
        RetrRow{"two_attachments_names_in_order",
                mixed(textPart("hi") + attachmentPart("name=\"a.txt\"") + attachmentPart("name=\"" + kNameWord + "\"")),
                kTopKept + "hi\r\n", u"\r\nhi\r\n"_qs, true, u"\"a.txt\" \"添付.pdf\" "_qs},
        RetrRow{"filename_parameter_counts",
                mixed(textPart("hi")
                      + "--XYZ\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; "
                        "filename=\"f.pdf\"\r\n\r\nAAAA\r\n"),
                kTopKept + "hi\r\n", u"\r\nhi\r\n"_qs, true, u"\"f.pdf\" "_qs},
        RetrRow{"folded_encoded_name_joined",
                mixed(textPart("hi")
                      + attachmentPart("\r\n name=\"=?ISO-2022-JP?B?GyRCJCIbKEI=?=\r\n =?iso-2022-jp?b?GyRCMCEbKEI=?=\"")),
                kTopKept + "hi\r\n", u"\r\nhi\r\n"_qs, true, u"\"あ 亜\" "_qs},
        RetrRow{"name_without_quote_and_line_break_is_empty",
                mixed(textPart("hi") + attachmentPart("name=\"a.txt\"; x=1")), kTopKept + "hi\r\n",
                u"\r\nhi\r\n"_qs, true, u"\"\" "_qs},
        RetrRow{"name_line_breaks_all_removed_also_nested",
                mixed(textPart("hi") + attachmentPart("name=\"a\r\r\n\nb\r\n\tc\"")), kTopKept + "hi\r\n",
                u"\r\nhi\r\n"_qs, true, u"\"abc\" "_qs},
        RetrRow{"name_in_part_body_is_no_attachment", mixed(textPart("name=\"x\"")), kTop + "\r\n\r\n\r\n",
                u"\r\n"_qs, false, {}},
        RetrRow{"name_beyond_300_bytes_is_no_attachment",
                mixed(textPart("hi") + attachmentPart("x-pad=\"" + QByteArray(300, 'p') + "\";\r\n name=\"far.bin\"")),
                kTopKept + "hi\r\n", u"\r\nhi\r\n"_qs, false, {}},
        RetrRow{"name_within_300_characters_of_double_byte_text",
                mixed(textPart("hi") + attachmentPart("x-pad=\"" + QByteArray("\x82\xa0").repeated(200) + "\";\r\n name=\"near.bin\"")),
                kTopKept + "hi\r\n", u"\r\nhi\r\n"_qs, true, u"\"near.bin\" "_qs},
        RetrRow{"alternative_loses_last_part_and_first_header",
                "From: a@b\r\nContent-Type: multipart/alternative; boundary=\"XYZ\"\r\n\r\n" + kPreamble
                    + "--XYZ\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
                      "--XYZ\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--XYZ--\r\n",
                "From: a@b\r\nContent-Type: multipart/alternative; boundary=\"XYZ\"\r\n\r\n\r\nplain\r\n",
                u"\r\nplain\r\n"_qs, false, {}},
        RetrRow{"nested_parts_searched_from_inner_boundary",
                kTop + "\r\n\r\n" + kPreamble
                    + "--XYZ\r\nContent-Type: multipart/alternative; boundary=\"IN\"\r\n\r\n"
                      "--IN\r\nContent-Type: text/plain\r\n\r\nplain\r\n--IN--\r\n\r\n"
                    + attachmentPart("name=\"a.pdf\"") + kEnd,
                kTopKept + "--IN\r\nContent-Type: text/plain\r\n\r\nplain\r\n--IN--\r\n\r\n",
                u"\r\n--IN\r\nContent-Type: text/plain\r\n\r\nplain\r\n--IN--\r\n\r\n"_qs, true, u"\"a.pdf\" "_qs},
        RetrRow{"part_names_in_any_case",
                kTop + "\r\n\r\n" + "--xyz\r\ncontent-type: text/plain\r\n\r\nhi\r\n"
                    + "--XYZ\r\nCONTENT-TYPE: image/png; NAME=\"p.png\"\r\n\r\nAAAA\r\n" + kEnd,
                kTop + "\r\n\r\nhi\r\n", u"hi\r\n"_qs, true, u"\"p.png\" "_qs},
        RetrRow{"unquoted_boundary_left_alone",
                "Content-Type: multipart/mixed; boundary=XYZ\r\n\r\n" + kPreamble + textPart("hi") + kEnd,
                "Content-Type: multipart/mixed; boundary=XYZ\r\n\r\n" + kPreamble + textPart("hi") + kEnd,
                QString::fromLatin1(kPreamble + textPart("hi") + kEnd), false, {}},
        RetrRow{"boundary_quote_never_closes",
                "Content-Type: multipart/mixed; boundary=\"XYZ\r\n\r\n" + kPreamble + "--XYZ\r\nContent-Type: "
                    "text/plain\r\n\r\nhi\r\n" + kEnd,
                "Content-Type: multipart/mixed; boundary=\"XYZ\r\n\r\n\r\n--XYZ\r\nContent-Type: "
                "text/plain\r\n\r\nhi\r\n" + kEnd,
                u"\r\n--XYZ\r\nContent-Type: text/plain\r\n\r\nhi\r\n--XYZ--\r\n"_qs, false, {}},
        RetrRow{"single_part_message_jis_body",
                "Subject: s\r\n\r\n\x1b$BK\\J8\x1b(B\tend\r\n", "Subject: s\r\n\r\n\x1b$BK\\J8\x1b(B\tend\r\n",
                u"本文end\r\n"_qs, false, {}},
        RetrRow{"encoded_words_in_body_stay", "Subject: s\r\n\r\n=?ISO-2022-JP?B?GyRCJCIbKEI=?=",
                "Subject: s\r\n\r\n=?ISO-2022-JP?B?GyRCJCIbKEI=?=", u"=?ISO-2022-JP?B?GyRCJCIbKEI=?="_qs, false, {}},
        RetrRow{"terminator_line_is_no_part_of_the_body", "+OK\r\nSubject: s\r\n\r\nline\r\n..\r\n.\r\n",
                "+OK\r\nSubject: s\r\n\r\nline\r\n..\r\n.\r\n", u"line\r\n..\r\n"_qs, false, {}},
        RetrRow{"no_header_end_no_body", "From: a\r\nSubject: s", "From: a\r\nSubject: s", {}, false, {}},
        RetrRow{"empty_reply", "", "", {}, false, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SubListSet2, TextBeforeFarAttachmentCutAt5000Bytes)
{
    const QByteArray text = QByteArray("0123456789abcdefghi\r\n").repeated(300); // 6300 bytes
    const QByteArray reply = mixed(textPart(text) + attachmentPart("name=\"a.bin\""));
    const qsizetype textStart = (kTop + "\r\n\r\n" + kPreamble + textPart(QByteArray())).size() - 2;
    QByteArray buf = reply;
    MailTable table(1);
    subListSet2(buf, table, 1, 1);
    EXPECT_EQ(buf, kTopKept + text.left(5000 - textStart));
    EXPECT_TRUE(table.record(1, 1)->attach);
    EXPECT_EQ(table.record(1, 1)->attachNames, u"\"a.bin\" "_qs);
}

// Shift_JIS text: the 5000 are characters, so the cut never halves a double-byte one.
TEST(SubListSet2, TextBeforeFarAttachmentCutAt5000Characters)
{
    const QByteArray text = QByteArray("\x82\xa0").repeated(6000); // あ
    const QByteArray reply = mixed(textPart(text) + attachmentPart("name=\"a.bin\""));
    const qsizetype textStart = (kTop + "\r\n\r\n" + kPreamble + textPart(QByteArray())).size() - 2;
    QByteArray buf = reply;
    MailTable table(1);
    subListSet2(buf, table, 1, 1);
    EXPECT_EQ(buf, kTopKept + text.left(2 * (5000 - textStart)));
}

TEST(SubListSet2, LeavesFromSubjectAndMark)
{
    MailTable table(1);
    MailRecord &rec = *table.record(1, 2);
    rec.from = QStringLiteral("f");
    rec.subject = QStringLiteral("s");
    rec.mark = true;
    QByteArray buf = "Subject: other\r\n\r\nbody";
    subListSet2(buf, table, 1, 2);
    EXPECT_EQ(rec.from, QStringLiteral("f"));
    EXPECT_EQ(rec.subject, QStringLiteral("s"));
    EXPECT_TRUE(rec.mark);
    EXPECT_EQ(rec.body, QStringLiteral("body"));
}

TEST(SubListSet2, ReplacesEarlierAttachmentState)
{
    MailTable table(1);
    table.record(1, 1)->attach = true;
    table.record(1, 1)->attachNames = QStringLiteral("\"old\" ");
    QByteArray buf = "Content-Type: multipart/mixed; boundary=abc\r\n\r\nbody";
    subListSet2(buf, table, 1, 1);
    EXPECT_FALSE(table.record(1, 1)->attach);
    EXPECT_TRUE(table.record(1, 1)->attachNames.isEmpty());
}

TEST(SubListSet2, NumberOutsideTableStillShortensBuffer)
{
    MailTable table(1);
    QByteArray buf = mixed(textPart("hi") + attachmentPart("name=\"a.bin\""));
    subListSet2(buf, table, 1, 11);
    EXPECT_EQ(buf, kTopKept + "hi\r\n");
    for (int m = 1; m <= 10; ++m)
        EXPECT_TRUE(table.record(1, m)->body.isEmpty());
}

} // namespace
