// Mutated real-looking messages through the decoders: nothing may crash (the sanitizer
// build runs this too), and what comes out keeps the promises the list and viewer rely on.

#include "decode/decode_field.h"
#include "decode/summary.h"
#include "sample_messages.h"

#include <gtest/gtest.h>

#include <random>

using namespace lum;

namespace {

// Pieces that steer mutations into the decoders' interesting paths.
const QByteArray kTokens[] = {
    "=?ISO-2022-JP?B?", "=?iso-2022-jp?b?", "?=", "\x1b$B", "\x1b$b", "\x1b(B", "\x1b(J", "\x1b$@",
    "\r\n", "\r", "\n", "\r\n\r\n", "\r\n ", QByteArray("\0", 1), "\"", "=", "==",
    "boundary=\"", "boundary=", "name=\"", "\"\r\n", "--XYZ\r\nContent-Type: ", "Subject: ", "From: ",
    "\r\nThis is a multi-part message in MIME format.", "\x82", "\xa0", "GyRC", "\t",
};

QByteArray mutate(QByteArray text, std::mt19937 &rng)
{
    auto pick = [&](qsizetype n) { return qsizetype(std::uniform_int_distribution<qsizetype>(0, n)(rng)); };
    const int steps = 1 + int(pick(7));
    for (int s = 0; s < steps; ++s) {
        const qsizetype at = pick(text.size());
        switch (pick(5)) {
        case 0: // overwrite one byte
            if (at < text.size())
                text[at] = char(pick(255));
            break;
        case 1: // insert a token
            text.insert(at, kTokens[pick(std::size(kTokens) - 1)]);
            break;
        case 2: // delete a range
            text.remove(at, pick(40));
            break;
        case 3: // duplicate a range
            text.insert(at, text.mid(at, pick(200)));
            break;
        case 4: // cut off
            text.truncate(at);
            break;
        default: // swap in a slice from elsewhere
            text.insert(at, text.mid(pick(text.size()), pick(60)));
            break;
        }
    }
    return text;
}

TEST(Mutation, DecodersKeepTheirPromisesOnMutatedMessages)
{
    std::mt19937 rng(20240601); // fixed: a failure is reproducible
    MailTable table(2);
    int iterations = 0;
    for (int round = 0; round < 400; ++round) {
        for (const QByteArray &sample : test::sampleMessages()) {
            const QByteArray reply = mutate(sample, rng);
            SCOPED_TRACE(reply.toPercentEncoding().toStdString());

            const QString field = DecodeField(reply, true, round % 2 == 0);
            EXPECT_FALSE(field.contains(QChar(0)));

            subListSet(reply, table, 1, 1 + round % 10);
            const MailRecord &top = *table.record(1, 1 + round % 10);
            EXPECT_FALSE(top.from.contains(QLatin1Char('\t')));
            EXPECT_FALSE(top.subject.contains(QLatin1Char('\t')));
            EXPECT_FALSE(top.mark);

            QByteArray buf = reply;
            subListSet2(buf, table, 2, 1 + round % 10);
            const MailRecord &retr = *table.record(2, 1 + round % 10);
            EXPECT_LE(buf.size(), reply.size());
            EXPECT_FALSE(retr.body.contains(QLatin1Char('\t')));
            EXPECT_FALSE(retr.attachNames.contains(QLatin1Char('\t')));
            EXPECT_FALSE(retr.attachNames.contains(u"\r\n"_qs));
            EXPECT_EQ(retr.attach, !retr.attachNames.isEmpty());
            ++iterations;
        }
        if (HasFailure())
            break;
    }
    EXPECT_GT(iterations, 0);
}

// Large inputs of the shapes that make careless loops quadratic: they must simply finish.
TEST(Mutation, MegabyteRepliesOfRepeatedOpenersFinish)
{
    const QByteArray shapes[] = {
        QByteArray("=?ISO-2022-JP?B?").repeated(65536),
        QByteArray("\x1b$B").repeated(350000),
        "Subject: " + QByteArray("a\r\n ").repeated(250000),
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
            + QByteArray("b\r\nContent-Type: x; name=\"").repeated(40000) + "\"\r\n\r\n",
        "boundary=\"" + QByteArray("\r\nContent-Type: ").repeated(30000) + "\""
            + QByteArray("\r\nContent-Type: ").repeated(30000),
    };
    MailTable table(1);
    for (const QByteArray &reply : shapes) {
        EXPECT_FALSE(DecodeField(reply, true, true).contains(QChar(0)));
        subListSet(reply, table, 1, 1);
        QByteArray buf = reply;
        subListSet2(buf, table, 1, 1);
        EXPECT_LE(buf.size(), reply.size());
    }
}

} // namespace
