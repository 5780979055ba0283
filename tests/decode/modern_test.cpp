// Reading today's mail: encoded words in any charset, B and Q, unfolding, MIME bodies and
// RFC 2231 attachment names; broken input gives the best readable text.
#include "decode/modern_message.h"
#include "decode/modern_text.h"
#include "decode/summary.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

struct HeaderRow {
    const char *name;
    QByteArray raw;
    QString shown;
};

TEST(ModernHeader, EncodedWordsInAnyCharset)
{
    const HeaderRow rows[] = {
        {"utf-8 B", "=?UTF-8?B?5LqI5a6a44Gu56K66KqN?=", "予定の確認"},
        {"utf-8 Q with underscores", "=?utf-8?q?caf=C3=A9_au_lait?=", "café au lait"},
        {"adjacent words join", "=?UTF-8?B?5LqI?= \r\n =?UTF-8?B?5a6a?=", "予定"},
        {"word then text keeps the blank", "=?UTF-8?B?5LqI5a6a?= (再送)", "予定 (再送)"},
        {"iso-2022-jp word", "=?ISO-2022-JP?B?GyRCJTUlcyVXJWsbKEI=?=", "サンプル"},
        {"shift_jis word", "=?Shift_JIS?B?g1SDk4N2g4s=?=", "サンプル"},
        {"euc-jp word", "=?EUC-JP?B?pbWl86XXpes=?=", "サンプル"},
        {"latin-1 Q", "=?ISO-8859-1?Q?Gr=FC=DFe?=", "Grüße"},
        {"emoji stays itself", "=?UTF-8?B?8J+YgA==?=", "\U0001F600"},
        {"folding keeps its blank", "Re: the\r\n meeting", "Re: the meeting"},
        {"raw utf-8 outside words", "\xE4\xBA\x88\xE5\xAE\x9A", "予定"},
        {"unknown charset stays", "=?x-nonsense?B?YWJj?=", "=?x-nonsense?B?YWJj?="},
        {"bad base64 stays", "=?UTF-8?B?!!!?=", "=?UTF-8?B?!!!?="},
        {"a lying charset stays", "=?UTF-8?B?g1SDk4N2g4s=?=", "=?UTF-8?B?g1SDk4N2g4s=?="},
        {"unterminated word stays", "=?UTF-8?B?5LqI", "=?UTF-8?B?5LqI"},
        {"blank inside a word is no word", "=?UTF-8?Q?a b?=", "=?UTF-8?Q?a b?="},
        {"language suffix", "=?UTF-8*ja?B?5LqI?=", "予"},
        {"NUL dropped", QByteArray("=?UTF-8?Q?a=00b?=", 17), "ab"},
    };
    for (const HeaderRow &r : rows)
        EXPECT_EQ(decodeHeaderText(r.raw), r.shown) << r.name;
}

TEST(ModernHeader, TenThousandUnfinishedWordsStayLinear)
{
    QByteArray hostile;
    for (int i = 0; i < 10000; ++i)
        hostile += "=?UTF-8?B?YWJj";
    EXPECT_EQ(decodeHeaderText(hostile).size(), hostile.size());
    const QByteArray longCharset = "=?" + QByteArray(10240, 'a') + "?B?YWJj?=";
    EXPECT_EQ(decodeHeaderText(longCharset), QString::fromLatin1(longCharset));
}

struct MessageRow {
    const char *name;
    QByteArray message;
    QString body;
    bool attach;
    QStringList names;
};

TEST(ModernMessage, BodiesAndAttachmentNames)
{
    const MessageRow rows[] = {
        {"base64 utf-8",
         "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
         "5pys5paH44Gn44GZ\r\n",
         "本文です", false, {}},
        {"quoted-printable",
         "Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
         "caf=C3=A9 =\r\nlong line\r\n",
         "café long line\r\n", false, {}},
        {"7bit iso-2022-jp", "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B%5%s%W%k\x1b(B\r\n",
         "サンプル\r\n", false, {}},
        {"html only",
         "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\n"
         "Content-Type: text/html; charset=utf-8\r\n\r\n<p>a&amp;b</p><script>x()</script>c<br>d&#x3042;\r\n--b--\r\n",
         "a&b\nc\ndあ", false, {}},
        {"plain before html",
         "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
         "--b\r\nContent-Type: text/html\r\n\r\n<b>html</b>\r\n--b--\r\n",
         "plain", false, {}},
        {"rfc 2231 continuation",
         "Content-Type: multipart/mixed; boundary=\"xx\"\r\n\r\n--xx\r\nContent-Type: text/plain\r\n\r\nhi\r\n"
         "--xx\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment;\r\n"
         " filename*0*=UTF-8''%E8%B3%87%E6%96%99; filename*1*=%2Epdf\r\n\r\nJVBE\r\n--xx--\r\n",
         "hi", true, {"資料.pdf"}},
        {"encoded word in name=",
         "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\nContent-Type: text/plain\r\n\r\nx\r\n"
         "--q\r\nContent-Type: image/png; name=\"=?UTF-8?B?5YaZ55yf?=.png\"\r\n\r\niVBO\r\n--q--\r\n",
         "x", true, {"写真.png"}},
        {"attachment without a name",
         "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\nContent-Type: text/plain\r\n\r\nx\r\n"
         "--q\r\nContent-Disposition: attachment\r\n\r\ndata\r\n--q--\r\n",
         "x", true, {}},
        {"a boundary that never ends",
         "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\nContent-Type: text/plain\r\n\r\nrest of it",
         "rest of it", false, {}},
        {"broken base64 gives what it can",
         "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n5pys*5paH\r\n",
         "本文", false, {}},
        {"broken quoted-printable keeps what it can't read",
         "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\na=ZZb=3", "a=ZZb=3", false, {}},
        {"a character cut off at the end: a replacement per byte",
         "Content-Type: text/plain; charset=utf-8\r\n\r\nok\xE6\x9C", "ok\uFFFD\uFFFD", false, {}},
        {"sjis labelled utf-8 shows replacement characters",
         "Content-Type: text/plain; charset=utf-8\r\n\r\n\x83\x54", "\uFFFD\x54", false, {}},
    };
    for (const MessageRow &r : rows) {
        const ModernMessage m = readModernMessage(r.message);
        EXPECT_EQ(m.body, r.body) << r.name;
        EXPECT_EQ(m.attach, r.attach) << r.name;
        EXPECT_EQ(m.names, r.names) << r.name;
    }
}

TEST(ModernMessage, DeepNestingAndLargeBodiesEnd)
{
    QByteArray nested = "Content-Type: text/plain\r\n\r\ninnermost\r\n";
    for (int i = 0; i < 100; ++i) {
        const QByteArray b = "b" + QByteArray::number(i);
        nested = "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n" + nested
            + "\r\n--" + b + "--\r\n";
    }
    EXPECT_NO_FATAL_FAILURE(readModernMessage(nested));
    QByteArray big = "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    big += QByteArray(20 * 1024 * 1024, 'x').toBase64();
    EXPECT_EQ(readModernMessage(big).body.size(), 20 * 1024 * 1024);
}

} // namespace
} // namespace lum

namespace lum {
namespace {

struct SideBySide {
    const char *name;
    QByteArray reply;
    QString classic; // the list's Subject (TOP) or the body (RETR) with the option off
    QString modern;  // with it on
};

TEST(ModernOption, TopRepliesOffAndOn)
{
    const SideBySide rows[] = {
        {"iso-2022-jp word", "+OK\r\nSubject: =?ISO-2022-JP?B?GyRCJTUlcyVXJWsbKEI=?=\r\n\r\n.\r\n",
         "サンプル", "サンプル"},
        {"utf-8 word", "+OK\r\nSubject: =?UTF-8?B?5LqI5a6a?=\r\n\r\n.\r\n", "=?UTF-8?B?5LqI5a6a?=", "予定"},
        {"folded", "+OK\r\nSubject: =?UTF-8?Q?a?=\r\n =?UTF-8?Q?b?= c\r\n\r\n.\r\n",
         "=?UTF-8?Q?a?==?UTF-8?Q?b?= c", "ab c"},
        {"tab inside", "+OK\r\nSubject: a\tb\r\n\r\n.\r\n", "ab", "ab"},
    };
    for (const SideBySide &r : rows) {
        MailTable off(1), on(1);
        subListSet(r.reply, off, 1, 1);
        subListSet(r.reply, on, 1, 1, Decoding::Modern);
        EXPECT_EQ(off.record(1, 1)->subject, r.classic) << r.name;
        EXPECT_EQ(on.record(1, 1)->subject, r.modern) << r.name;
    }
}

TEST(ModernOption, RetrRepliesOffAndOn)
{
    const QByteArray multipart =
        "+OK\r\nSubject: x\r\nContent-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n"
        "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "5pys5paH\r\n--q\r\nContent-Type: application/pdf; name*=UTF-8''%E8%B3%87.pdf\r\n\r\n"
        "JVBE\r\n--q--\r\n.\r\n";
    MailTable off(1), on(1);
    QByteArray offReply = multipart;
    QByteArray onReply = multipart;
    subListSet2(offReply, off, 1, 1);
    subListSet2(onReply, on, 1, 1, Decoding::Modern);
    EXPECT_EQ(onReply, offReply); // the log shows the reply alike
    EXPECT_TRUE(off.record(1, 1)->body.contains(QStringLiteral("5pys5paH")));
    EXPECT_EQ(on.record(1, 1)->body, QStringLiteral("本文"));
    EXPECT_EQ(on.record(1, 1)->attachNames, QStringLiteral("\"資.pdf\" "));
    EXPECT_TRUE(on.record(1, 1)->attach);
    EXPECT_TRUE(on.record(1, 1)->retrieved);
}

} // namespace
} // namespace lum
