#include "imap/imap_text.h"

#include "imap/response_reader.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(ImapText, MailboxNamesRoundTrip)
{
    const std::pair<const char *, QByteArray> rows[] = {
        {"INBOX/Sent Items", "INBOX/Sent Items"}, {"A&B&", "A&-B&-"}, {"受信箱", "&U9dP4Xux-"},
        {"台北", "&U,BTFw-" /* "/" of base64 is "," */}, {"~peter/mail/台北/日本語", "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
        {"a\t😀", "a&AAnYPd4A-" /* a control character and a surrogate pair */}};
    for (const auto &[text, wire] : rows) {
        EXPECT_EQ(encodeMailboxName(QString::fromUtf8(text)), wire) << text;
        EXPECT_EQ(decodeMailboxName(wire), QString::fromUtf8(text)) << text;
    }
}

TEST(ImapText, MalformedMailboxNamesAreRefused)
{
    for (const char *bad : {"&U9dP4Xux", /* no "-" */ "&U9d*P4Xux-", /* not base64 */ "&U9d-", /* leftover bits set */
                            "&U9dP-", /* odd byte */ "&2D0-", /* lone high surrogate */ "&AEE-", /* "A" encoded */
                            "&U9c-&U9c-", /* run after run */ "\xe5\x8f\x97", /* raw UTF-8 */ "a\tb"})
        EXPECT_EQ(decodeMailboxName(bad), std::nullopt) << bad;
}

TEST(ImapText, StringsAreQuotedOrLiteral)
{
    using M = LiteralMode;
    const struct {
        QByteArray value;
        M mode;
        QByteArray head;
        bool wait;
    } rows[] = {{"user@example.jp", M::Synchronizing, "\"user@example.jp\"", false},
                {"", M::Synchronizing, "\"\"", false},
                {"a\"b", M::Synchronizing, "{3}\r\n", true},
                {"a\\b", M::Plus, "{3+}\r\n", false},
                {"\xe5\x8f\x97", M::Minus, "{3+}\r\n", false},
                {QByteArray(4097, '"'), M::Minus, "{4097}\r\n", true}};
    for (const auto &row : rows) {
        const std::optional<ImapString> s = astring(row.value, row.mode);
        ASSERT_TRUE(s) << row.value.constData();
        EXPECT_EQ(s->head, row.head);
        EXPECT_EQ(s->literal, s->isLiteral ? row.value : QByteArray()) << row.value.constData();
        EXPECT_EQ(s->waitForContinuation, row.wait) << row.value.constData();
    }
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

TEST(ImapText, SearchResultsGiveSortedUids)
{
    using U = std::vector<quint32>;
    const std::pair<QByteArray, std::optional<U>> rows[] = {
        {"* SEARCH 9 1 5 5", U{1, 5, 9}}, {"* SEARCH", U{}}, {"* SEARCH 2 1 (MODSEQ 9)", U{1, 2}},
        {"* SEARCH 1 2 3 4 5", std::nullopt /* over the bound */}, {"* SEARCH 0", std::nullopt},
        {"* ESEARCH (TAG \"a1\") UID COUNT 4 ALL 7,1:3", U{1, 2, 3, 7}}, {"* ESEARCH (TAG \"a1\") UID ALL 5", U{5}},
        {"* ESEARCH (TAG \"a1\") UID COUNT 0", U{}}, {"* ESEARCH (TAG \"a1\") ALL 1:3", std::nullopt /* not UIDs */},
        {"* ESEARCH UID ALL 1:5", std::nullopt}, {"* 3 EXISTS", std::nullopt}};
    for (const auto &[line, uids] : rows) {
        ImapReader reader;
        reader.feed(line + "\r\n");
        ImapResponse r;
        ASSERT_EQ(reader.next(r), ImapReader::Result::Response) << line.constData();
        EXPECT_EQ(searchUids(r, 4), uids) << line.constData();
    }
}

} // namespace
} // namespace lum
