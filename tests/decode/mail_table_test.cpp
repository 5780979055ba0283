#include "decode/mail_table.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace lum;

namespace {

TEST(MailTable, CreatedWithTenSlotsPerAccount)
{
    MailTable table(3);
    EXPECT_EQ(table.accountCount(), 3);
    EXPECT_EQ(table.messageSlots(), 10);
    ASSERT_NE(table.record(3, 10), nullptr);
    EXPECT_TRUE(table.record(3, 10)->from.isEmpty());
}

struct OutsideRow {
    const char *name;
    int account;
    int message;
};

void PrintTo(const OutsideRow &row, std::ostream *os)
{
    *os << row.name;
}


class MailTableOutside : public testing::TestWithParam<OutsideRow> {};

TEST_P(MailTableOutside, NamesNoRecord)
{
    MailTable table(2);
    EXPECT_EQ(table.record(GetParam().account, GetParam().message), nullptr);
    EXPECT_EQ(std::as_const(table).record(GetParam().account, GetParam().message), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, MailTableOutside,
                         testing::Values(OutsideRow{"account_zero", 0, 1}, OutsideRow{"account_past_end", 3, 1},
                                         OutsideRow{"message_zero", 1, 0}, OutsideRow{"message_past_slots", 1, 11},
                                         OutsideRow{"negative", -1, -1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MailTable, GrowingKeepsEveryRecordInPlace)
{
    MailTable table(2);
    for (int a = 1; a <= 2; ++a) {
        for (int m = 1; m <= 10; ++m)
            table.record(a, m)->subject = QStringLiteral("%1/%2").arg(a).arg(m);
    }
    table.ensureMessages(25);
    EXPECT_EQ(table.messageSlots(), 25);
    for (int a = 1; a <= 2; ++a) {
        for (int m = 1; m <= 10; ++m)
            EXPECT_EQ(table.record(a, m)->subject, QStringLiteral("%1/%2").arg(a).arg(m));
        EXPECT_TRUE(table.record(a, 25)->subject.isEmpty());
    }
}

TEST(MailTable, NeverShrinks)
{
    MailTable table(1);
    table.ensureMessages(30);
    table.ensureMessages(5);
    EXPECT_EQ(table.messageSlots(), 30);
}

TEST(MailTable, OneAccountGrowsAlone)
{
    MailTable table(300);
    table.ensureMessages(2, 32767);
    EXPECT_EQ(table.messageSlots(2), 32767);
    EXPECT_EQ(table.messageSlots(1), 10);
    EXPECT_EQ(table.messageSlots(300), 10);
    EXPECT_EQ(table.messageSlots(), 32767);
    EXPECT_NE(table.record(2, 32767), nullptr);
    EXPECT_EQ(table.record(3, 11), nullptr);
}

TEST(MailTable, ResetEmptiesAndReturnsToTenSlots)
{
    MailTable table(1);
    table.ensureMessages(40);
    table.record(1, 1)->body = QStringLiteral("x");
    table.reset(4);
    EXPECT_EQ(table.accountCount(), 4);
    EXPECT_EQ(table.messageSlots(), 10);
    EXPECT_TRUE(table.record(1, 1)->body.isEmpty());
}

TEST(MailTable, NegativeAccountCountIsEmpty)
{
    MailTable table(-3);
    EXPECT_EQ(table.accountCount(), 0);
    EXPECT_EQ(table.record(1, 1), nullptr);
}

} // namespace
