#include "lumcheck/report.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

struct RefCase {
    const char *name;
    QString text;
    bool valid;
    QList<MessageRef> refs;
};

class MessageRefs : public testing::TestWithParam<RefCase> {};

TEST_P(MessageRefs, Parse)
{
    const auto got = parseMessageRefs(GetParam().text);
    ASSERT_EQ(got.has_value(), GetParam().valid);
    if (got) {
        EXPECT_EQ(*got, GetParam().refs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Report, MessageRefs,
    testing::Values(RefCase{"one", "1:2", true, {{1, 2}}},
                    RefCase{"two", "1:2,3:10", true, {{1, 2}, {3, 10}}},
                    RefCase{"blanks", " 1:2 , 2:1", true, {{1, 2}, {2, 1}}},
                    RefCase{"empty", "", false, {}},
                    RefCase{"no_colon", "12", false, {}},
                    RefCase{"zero", "0:1", false, {}},
                    RefCase{"negative", "1:-2", false, {}},
                    RefCase{"letters", "a:b", false, {}},
                    RefCase{"trailing_comma", "1:2,", false, {}},
                    RefCase{"too_large", "1:40000", false, {}}),
    [](const auto &info) { return std::string(info.param.name); });

MailTable sampleTable()
{
    MailTable t(2);
    const char *subjects[2][3] = {{"s11", "s12", "s13"}, {"s21", "s22", ""}};
    for (int a = 1; a <= 2; ++a) {
        for (int m = 1; m <= 3; ++m) {
            MailRecord *r = t.record(a, m);
            r->from = QStringLiteral("f%1%2").arg(a).arg(m);
            r->subject = QString::fromLatin1(subjects[a - 1][m - 1]);
            r->attach = m == 2;
        }
    }
    return t;
}

QStringList order(const QList<ListRow> &rows)
{
    QStringList s;
    for (const ListRow &r : rows)
        s.append(QStringLiteral("%1:%2").arg(r.account).arg(r.message));
    return s;
}

TEST(Report, ListFollowsCountsAndOrder)
{
    const MailTable t = sampleTable();
    const auto count = [](int a) { return a == 1 ? 3 : 2; };
    const auto name = [](int a) { return QStringLiteral("acc%1").arg(a); };
    EXPECT_EQ(order(listRows(t, 2, count, name, false)), (QStringList{"1:1", "1:2", "1:3", "2:1", "2:2"}));
    EXPECT_EQ(order(listRows(t, 2, count, name, true)), (QStringList{"1:3", "1:2", "1:1", "2:2", "2:1"}));
}

TEST(Report, TsvAndJson)
{
    const MailTable t = sampleTable();
    const auto rows = listRows(t, 1, [](int) { return 2; }, [](int) { return QStringLiteral("ホーム"); }, false);
    EXPECT_EQ(formatTsv(rows), QStringLiteral("1\t1\t0\tf11\ts11\n1\t2\t1\tf12\ts12\n"));
    EXPECT_EQ(formatJson(rows),
              QStringLiteral("[{\"account\":1,\"name\":\"ホーム\",\"message\":1,\"attach\":false,\"from\":\"f11\",\"subject\":\"s11\"},"
                             "{\"account\":1,\"name\":\"ホーム\",\"message\":2,\"attach\":true,\"from\":\"f12\",\"subject\":\"s12\"}]\n"));
    EXPECT_EQ(formatJson({}), QStringLiteral("[]\n"));
}

TEST(Report, TextShowsOneLinePerMessageAndNoControlCharacters)
{
    ListRow row{1, QStringLiteral("n"), 1, false, QStringLiteral("a\u001b[31mb\u0085"),
                QStringLiteral("line1\nFAKE\u001b]0;title\u0007\u007f")};
    EXPECT_EQ(formatTsv({row}), QStringLiteral("1\t1\t0\ta\u241b[31mb\ufffd\tline1\u240aFAKE\u241b]0;title\u2407\u2421\n"));
    const QString json = formatJson({row});
    for (const char *escaped : {"\\n", "\\u001b", "\\u0007", "\\u007f", "\\u0085"})
        EXPECT_TRUE(json.contains(QLatin1String(escaped))) << escaped;
    EXPECT_FALSE(json.contains(QChar(0x85)));
    EXPECT_EQ(visibleText(QStringLiteral("one\n\u001b[2Jtwo\r\n"), true), QStringLiteral("one\n\u241b[2Jtwo\u240d\n"));
}

TEST(Report, JsonEscapesQuotesAndControlCharacters)
{
    ListRow row{2, QStringLiteral("a\"b"), 7, false, QStringLiteral("x\\y"), QStringLiteral("tab\u0001")};
    EXPECT_EQ(formatJson({row}),
              QStringLiteral("[{\"account\":2,\"name\":\"a\\\"b\",\"message\":7,\"attach\":false,"
                             "\"from\":\"x\\\\y\",\"subject\":\"tab\\u0001\"}]\n"));
}

TEST(Report, ViewerText)
{
    MailRecord r;
    r.subject = QStringLiteral("件名");
    r.from = QStringLiteral("差出人");
    r.body = QStringLiteral("line1\r\nline2\r\n");
    EXPECT_EQ(viewerText(r), QStringLiteral("Subject: 件名\n   From: 差出人\n\nline1\nline2\n"));
    r.attach = true;
    r.attachNames = QStringLiteral("\"a.pdf\" ");
    EXPECT_EQ(viewerText(r), QStringLiteral("Subject: 件名\n   From: 差出人\n Attach:  \"a.pdf\" \n\nline1\nline2\n"));
}

} // namespace
} // namespace lum
