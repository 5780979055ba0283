#include "decode/mail_table.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

struct IdentityRow {
    const char *name;
    QByteArray header;
    MessageIdentity identity;
};

void PrintTo(const IdentityRow &row, std::ostream *os)
{
    *os << row.name;
}


class MessageIdentityRows : public testing::TestWithParam<IdentityRow> {};

TEST_P(MessageIdentityRows, Reads)
{
    const MessageIdentity got = messageIdentity(GetParam().header);
    const MessageIdentity &want = GetParam().identity;
    EXPECT_EQ(got.messageId, want.messageId);
    EXPECT_EQ(got.date, want.date);
    EXPECT_EQ(got.from, want.from);
    EXPECT_EQ(got.subject, want.subject);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MessageIdentityRows,
    testing::Values(
        IdentityRow{"message_id_value_alone",
                    "Date: Mon, 1 Jan 2024\r\nMessage-ID: <a@b>\r\nFrom: x\r\n\r\nbody",
                    {"<a@b>", {}, {}, {}}},
        IdentityRow{"name_in_any_case", "message-id:<a@b> \r\n\r\n", {"<a@b>", {}, {}, {}}},
        IdentityRow{"folded_message_id", "Message-Id:\r\n <long@host>\r\n\r\n", {"<long@host>", {}, {}, {}}},
        IdentityRow{"without_id_raw_lines",
                    "Date: Mon, 1 Jan 2024\r\nFrom: a@b\r\nSubject: hi\r\n there\r\nX: y\r\n\r\n",
                    {{}, " Mon, 1 Jan 2024", " a@b", " hi\r\n there"}},
        IdentityRow{"empty_id_falls_back", "Message-ID: \r\nDate: d\r\n\r\n", {{}, " d", {}, {}}},
        IdentityRow{"only_at_line_start", "X-Original-Message-ID: <no>\r\nResent-From: r\r\nFrom: f\r\n\r\n",
                    {{}, {}, " f", {}}},
        IdentityRow{"first_occurrence_counts", "From: one\r\nFrom: two\r\n\r\n", {{}, {}, " one", {}}},
        IdentityRow{"body_not_searched", "Subject: s\r\n\r\nMessage-ID: <in-body>\r\n", {{}, {}, {}, " s"}},
        IdentityRow{"lf_line_ends", "Date: d\nFrom: f\n\nMessage-ID: <x>\n", {{}, " d", " f", {}}},
        IdentityRow{"status_line_ignored", "+OK 120 octets\r\nMessage-ID: <a@b>\r\n\r\n", {"<a@b>", {}, {}, {}}},
        IdentityRow{"empty", "", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MessageIdentity, TopAndRetrOfOneMessageAgree)
{
    const QByteArray header = "From: a@b\r\nSubject: s\r\nDate: d\r\n\r\n";
    EXPECT_EQ(messageIdentity(header + "line1\r\n"), messageIdentity(header + "line1\r\nline2\r\nline3\r\n"));
    EXPECT_NE(messageIdentity(header), messageIdentity("From: a@b\r\nSubject: s\r\nDate: e\r\n\r\n"));
}

} // namespace
