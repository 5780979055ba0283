#include "pop3/reply_reader.h"

#include <QList>

#include <gtest/gtest.h>

namespace lum {
namespace {

using Framing = ReplyReader::Framing;
using Result = ReplyReader::Result;

struct Collected {
    QList<ReplyReader::Reply> replies;
    bool tooLarge = false;
};

// Feeds the chunks in order, taking out every reply that becomes complete.
Collected run(Framing framing, const QList<QByteArray> &chunks)
{
    ReplyReader r;
    r.expect(framing);
    Collected c;
    for (const QByteArray &chunk : chunks) {
        r.feed(chunk);
        ReplyReader::Reply reply;
        for (Result res; (res = r.next(reply)) != Result::NeedData;) {
            if (res == Result::TooLarge) {
                c.tooLarge = true;
                return c;
            }
            c.replies.append(reply);
        }
    }
    return c;
}

struct StatusCase {
    const char *name;
    QByteArray input;
    int replies;
    bool positive;
    QByteArray status;
};

class StatusLine : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusLine, IsClassifiedOnceComplete)
{
    const StatusCase &c = GetParam();
    const Collected got = run(Framing::StatusLine, {c.input});
    ASSERT_EQ(got.replies.size(), c.replies);
    if (c.replies > 0) {
        EXPECT_EQ(got.replies[0].positive, c.positive);
        EXPECT_EQ(got.replies[0].status, c.status);
        EXPECT_TRUE(got.replies[0].block.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    ReplyReader, StatusLine,
    testing::Values(
        StatusCase{"plain_ok", "+OK ready\r\n", 1, true, "+OK ready\r\n"},
        StatusCase{"lower_case_ok", "+ok ready\r\n", 1, true, "+ok ready\r\n"},
        StatusCase{"blank_before_ok", " +OK\r\n", 1, true, " +OK\r\n"},
        StatusCase{"err_keeps_text", "-ERR [AUTH] failed\r\n", 1, false, "-ERR [AUTH] failed\r\n"},
        StatusCase{"bare_lf_line_end", "+OK\n", 1, true, "+OK\r\n"},
        StatusCase{"incomplete_line_waits", "+OK ready", 0, false, ""},
        StatusCase{"only_plus_o_waits", "+O", 0, false, ""},
        StatusCase{"noise_line_skipped", "* hello\r\n+OK\r\n", 1, true, "+OK\r\n"},
        StatusCase{"ok_beyond_head_is_noise", "hello +OK\r\n", 0, false, ""},
        StatusCase{"two_replies", "+OK a\r\n-ERR b\r\n", 2, true, "+OK a\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

struct BlockCase {
    const char *name;
    QByteArray input;
    QByteArray block;
};

class MultiLine : public testing::TestWithParam<BlockCase> {};

TEST_P(MultiLine, CollectsUntilLoneDot)
{
    const BlockCase &c = GetParam();
    const Collected got = run(Framing::MultiLine, {c.input});
    ASSERT_EQ(got.replies.size(), 1);
    EXPECT_TRUE(got.replies[0].positive);
    EXPECT_EQ(got.replies[0].block, c.block);
}

INSTANTIATE_TEST_SUITE_P(
    ReplyReader, MultiLine,
    testing::Values(
        BlockCase{"simple", "+OK\r\nA: b\r\n\r\nbody\r\n.\r\n", "+OK\r\nA: b\r\n\r\nbody\r\n.\r\n"},
        BlockCase{"dot_stuffed_line_unstuffed", "+OK\r\n..x\r\n.\r\n", "+OK\r\n.x\r\n.\r\n"},
        BlockCase{"lone_double_dot_is_data", "+OK\r\n..\r\n.\r\n", "+OK\r\n.\r\n.\r\n"},
        BlockCase{"dot_inside_line_kept", "+OK\r\na.\r\n.b\r\n.\r\n", "+OK\r\na.\r\nb\r\n.\r\n"},
        BlockCase{"err_text_in_data_is_data", "+OK\r\n-ERR x\r\n.\r\n", "+OK\r\n-ERR x\r\n.\r\n"},
        BlockCase{"bare_lf_lines", "+OK\nS: x\n.\n", "+OK\r\nS: x\r\n.\r\n"},
        BlockCase{"empty_reply", "+OK\r\n.\r\n", "+OK\r\n.\r\n"},
        BlockCase{"changed_lines_between_unchanged_ones", "+OK\r\na\r\nb\r\n..c\r\nd\ne\r\n\r\nf\r\n.\r\n",
                  "+OK\r\na\r\nb\r\n.c\r\nd\r\ne\r\n\r\nf\r\n.\r\n"},
        BlockCase{"nul_bytes_pass_through", QByteArray("+OK\r\na\0b\r\n.\r\n", 13),
                  QByteArray("+OK\r\na\0b\r\n.\r\n", 13)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReplyReader, NegativeStatusEndsMultiLineReplyAtOnce)
{
    const Collected got = run(Framing::MultiLine, {"-ERR no such message\r\n+OK\r\n"});
    ASSERT_EQ(got.replies.size(), 2);
    EXPECT_FALSE(got.replies[0].positive);
    EXPECT_EQ(got.replies[0].status, "-ERR no such message\r\n");
    // Framing falls back to status lines after a reply.
    EXPECT_TRUE(got.replies[1].positive);
    EXPECT_TRUE(got.replies[1].block.isEmpty());
}

// Every split of the input into two and into single bytes gives the same replies as the
// whole input (after h11's chunk boundary tests).
TEST(ReplyReader, SplitAtEveryByteGivesSameReplies)
{
    const QByteArray input = "+OK 120 octets\r\nSubject: x\r\nTo: y\r\n..stuffed\r\nbare\n\r\nbody\r\nend\r\n.\r\n"
                             "+OK bye\r\n";
    const Collected whole = run(Framing::MultiLine, {input});
    ASSERT_EQ(whole.replies.size(), 2);
    EXPECT_EQ(whole.replies[0].block,
              "+OK 120 octets\r\nSubject: x\r\nTo: y\r\n.stuffed\r\nbare\r\n\r\nbody\r\nend\r\n.\r\n");
    for (qsizetype cut = 0; cut <= input.size(); ++cut) {
        const Collected split = run(Framing::MultiLine, {input.first(cut), input.sliced(cut)});
        ASSERT_EQ(split.replies.size(), 2) << "cut at " << cut;
        EXPECT_EQ(split.replies[0].block, whole.replies[0].block) << "cut at " << cut;
        EXPECT_EQ(split.replies[1].status, whole.replies[1].status) << "cut at " << cut;
    }
    QList<QByteArray> bytes;
    for (char ch : input)
        bytes.append(QByteArray(1, ch));
    const Collected drip = run(Framing::MultiLine, bytes);
    ASSERT_EQ(drip.replies.size(), 2);
    EXPECT_EQ(drip.replies[0].block, whole.replies[0].block);
}

TEST(ReplyReader, StatusLineSplitAfterPlusOIsCompletedByNextChunk)
{
    const Collected got = run(Framing::StatusLine, {"+O", "K hello\r", "\n"});
    ASSERT_EQ(got.replies.size(), 1);
    EXPECT_TRUE(got.replies[0].positive);
    EXPECT_EQ(got.replies[0].status, "+OK hello\r\n");
}

TEST(ReplyReader, ReplyIsNotCompleteBeforeTerminatorLine)
{
    const Collected got = run(Framing::MultiLine, {"+OK\r\nline\r\n.", "x\r\n"});
    EXPECT_TRUE(got.replies.isEmpty());
}

TEST(ReplyReader, OverlongLineKeepsItsPrefixAndTheReplyGoesOn)
{
    const QByteArray line(600 * 1024, 'a');
    ReplyReader r;
    r.expect(Framing::MultiLine);
    ReplyReader::Reply reply;
    qsizetype maxBuffered = 0;
    for (const QByteArray &chunk : {QByteArray("+OK\r\n"), line.first(300 * 1024), line.sliced(300 * 1024),
                                    QByteArray("\r\nnext\r\n.\r\n")}) {
        r.feed(chunk);
        const Result res = r.next(reply);
        maxBuffered = std::max(maxBuffered, r.bufferedBytes());
        if (res == Result::Reply)
            break;
    }
    EXPECT_EQ(reply.block, "+OK\r\n" + line.first(ReplyReader::maxLineLength) + "\r\nnext\r\n.\r\n");
    EXPECT_LE(maxBuffered, ReplyReader::maxLineLength);
}

TEST(ReplyReader, EndlessHeaderReplyStopsTheReader)
{
    ReplyReader r;
    r.expect(Framing::MultiLine);
    r.feed("+OK\r\n");
    ReplyReader::Reply reply;
    const QByteArray lines = QByteArray(1022, 'h') + "\r\n";
    Result res = Result::NeedData;
    for (qsizetype fed = 0; res == Result::NeedData && fed <= ReplyReader::maxHeaderReply; fed += 64 * 1024) {
        r.feed(lines.repeated(64));
        res = r.next(reply);
    }
    EXPECT_EQ(res, Result::TooLarge);
    r.feed(".\r\n+OK\r\n");
    EXPECT_EQ(r.next(reply), Result::TooLarge); // stays stopped
    r.reset();
    r.feed("+OK\r\n");
    EXPECT_EQ(r.next(reply), Result::Reply);
}

TEST(ReplyReader, MessageReplyHasTheLargerBound)
{
    ReplyReader r;
    r.expect(Framing::MultiLine, ReplyReader::maxMessageReply);
    r.feed("+OK\r\n");
    ReplyReader::Reply reply;
    const QByteArray lines = QByteArray(1022, 'm').append("\r\n").repeated(1024);
    for (int i = 0; i < 17; ++i) {
        r.feed(lines);
        ASSERT_EQ(r.next(reply), Result::NeedData);
    }
    r.feed(".\r\n");
    EXPECT_EQ(r.next(reply), Result::Reply);
}

TEST(ReplyReader, LongLineBelowBoundIsAccepted)
{
    const QByteArray line(ReplyReader::maxLineLength - 10, 'a');
    const Collected got = run(Framing::MultiLine, {"+OK\r\n", line, "\r\n.\r\n"});
    ASSERT_FALSE(got.tooLarge);
    ASSERT_EQ(got.replies.size(), 1);
    EXPECT_EQ(got.replies[0].block.size(), 5 + line.size() + 2 + 3);
}

TEST(ReplyReader, LargeReplyInSmallChunksKeepsBufferSmall)
{
    ReplyReader r;
    r.expect(Framing::MultiLine);
    r.feed("+OK\r\n");
    ReplyReader::Reply reply;
    const QByteArray line(76, 'Q');
    qsizetype maxBuffered = 0;
    for (int i = 0; i < 20000; ++i) {
        r.feed(line + "\r\n");
        EXPECT_EQ(r.next(reply), Result::NeedData);
        maxBuffered = std::max(maxBuffered, r.bufferedBytes());
    }
    r.feed(".\r\n");
    ASSERT_EQ(r.next(reply), Result::Reply);
    EXPECT_EQ(reply.block.size(), 5 + 20000 * 78 + 3);
    EXPECT_LE(maxBuffered, 78);
}

} // namespace
} // namespace lum
