#include "imap/imap_text.h"

#include "imap/response_reader.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

struct NameCase {
    const char *name;
    QString text;
    QByteArray wire;
};

class MailboxNames : public testing::TestWithParam<NameCase> {};

TEST_P(MailboxNames, RoundTrip)
{
    EXPECT_EQ(encodeMailboxName(GetParam().text), GetParam().wire);
    EXPECT_EQ(decodeMailboxName(GetParam().wire), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    ImapText, MailboxNames,
    testing::Values(NameCase{"ascii", "INBOX/Sent Items", "INBOX/Sent Items"},
                    NameCase{"ampersand", "A&B&", "A&-B&-"},
                    NameCase{"japanese", QString::fromUtf8("受信箱"), "&U9dP4Xux-"},
                    NameCase{"slash_in_base64_is_comma", QString::fromUtf8("台北"), "&U,BTFw-"},
                    NameCase{"rfc_example", QString::fromUtf8("~peter/mail/台北/日本語"), "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
                    NameCase{"control_and_surrogate_pair", QString::fromUtf8("a\t😀"), "a&AAnYPd4A-"}),
    [](const auto &info) { return std::string(info.param.name); });

class BadMailboxNames : public testing::TestWithParam<const char *> {};

TEST_P(BadMailboxNames, AreRefused)
{
    EXPECT_EQ(decodeMailboxName(GetParam()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(ImapText, BadMailboxNames,
                         testing::Values("&U9dP4Xux", // no "-"
                                         "&U9d*P4Xux-", // not base64
                                         "&U9d-", // leftover bits set
                                         "&U9dP-", // odd byte
                                         "&2D0-", // lone high surrogate
                                         "&AEE-", // "A" encoded
                                         "&U9c-&U9c-", // run after run
                                         "\xe5\x8f\x97", // raw UTF-8
                                         "a\tb"));

struct StringCase {
    const char *name;
    QByteArray value;
    LiteralMode mode;
    QByteArray head;
    bool wait;
};

class Astrings : public testing::TestWithParam<StringCase> {};

TEST_P(Astrings, QuotedOrLiteral)
{
    const std::optional<ImapString> s = astring(GetParam().value, GetParam().mode);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->head, GetParam().head);
    EXPECT_EQ(s->isLiteral ? s->literal : QByteArray(), s->isLiteral ? GetParam().value : QByteArray());
    EXPECT_EQ(s->waitForContinuation, GetParam().wait);
}

using M = LiteralMode;
INSTANTIATE_TEST_SUITE_P(
    ImapText, Astrings,
    testing::Values(StringCase{"plain", "user@example.jp", M::Synchronizing, "\"user@example.jp\"", false},
                    StringCase{"empty", "", M::Synchronizing, "\"\"", false},
                    StringCase{"quote", "a\"b", M::Synchronizing, "{3}\r\n", true},
                    StringCase{"backslash", "a\\b", M::Plus, "{3+}\r\n", false},
                    StringCase{"utf8", "\xe5\x8f\x97", M::Minus, "{3+}\r\n", false},
                    StringCase{"minus_over_4096", QByteArray(4097, '"'), M::Minus, "{4097}\r\n", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ImapText, LineBreaksAndNulNeverReachTheWire)
{
    for (const QByteArray &bad : {QByteArray("a\rb"), QByteArray("a\nb"), QByteArray("a\0b", 3)}) {
        EXPECT_EQ(astring(bad, M::Plus), std::nullopt);
        EXPECT_EQ(loginCommand("a1", "user", bad), std::nullopt);
        EXPECT_EQ(loginCommand("a1", bad, "pass"), std::nullopt);
    }
    EXPECT_EQ(*loginCommand("a1", "u", "p\"w"), (std::vector<QByteArray>{"a1 LOGIN \"u\" {3}\r\n", "p\"w\r\n"}));
    EXPECT_EQ(*loginCommand("a1", "ü", "p", M::Plus), (std::vector<QByteArray>{"a1 LOGIN {2+}\r\nü \"p\"\r\n"}));
}

TEST(ImapText, UidSets)
{
    EXPECT_EQ(uidSet({}), "");
    EXPECT_EQ(uidSet({0, 7}), "7");
    EXPECT_EQ(uidSet({12, 1, 2, 3, 9, 5, 4, 7, 10, 11, 3}), "1:5,7,9:12");
    EXPECT_EQ(uidSet({4294967295u, 4294967294u}), "4294967294:4294967295");
    EXPECT_EQ(parseUidSet("9:7,1,8", 5), (std::vector<quint32>{1, 7, 8, 9}));
    for (const char *bad : {"", "1,", "0", "1:*", "4294967296", "1:6"})
        EXPECT_EQ(parseUidSet(bad, 5), std::nullopt) << bad;
}

struct SearchCase {
    const char *name;
    QByteArray line;
    std::optional<std::vector<quint32>> uids;
};

class SearchResults : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchResults, GiveSortedUids)
{
    ImapReader reader;
    reader.feed(GetParam().line + "\r\n");
    ImapResponse r;
    ASSERT_EQ(reader.next(r), ImapReader::Result::Response);
    EXPECT_EQ(searchUids(r, 4), GetParam().uids);
}

using U = std::vector<quint32>;
INSTANTIATE_TEST_SUITE_P(
    ImapText, SearchResults,
    testing::Values(SearchCase{"search", "* SEARCH 9 1 5 5", U{1, 5, 9}}, SearchCase{"empty", "* SEARCH", U{}},
                    SearchCase{"modseq", "* SEARCH 2 1 (MODSEQ 9)", U{1, 2}},
                    SearchCase{"over_bound", "* SEARCH 1 2 3 4 5", std::nullopt},
                    SearchCase{"zero", "* SEARCH 0", std::nullopt},
                    SearchCase{"esearch_all", "* ESEARCH (TAG \"a1\") UID COUNT 4 ALL 7,1:3", U{1, 2, 3, 7}},
                    SearchCase{"esearch_single", "* ESEARCH (TAG \"a1\") UID ALL 5", U{5}},
                    SearchCase{"esearch_count_only", "* ESEARCH (TAG \"a1\") UID COUNT 0", U{}},
                    SearchCase{"esearch_message_numbers", "* ESEARCH (TAG \"a1\") ALL 1:3", std::nullopt},
                    SearchCase{"esearch_over_bound", "* ESEARCH UID ALL 1:5", std::nullopt},
                    SearchCase{"not_search", "* 3 EXISTS", std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
