// What a server says it can do, and the unique ids it lists.
#include "pop3/capabilities.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(Capabilities, NamesInAnyCaseAndNothingFromARefusal)
{
    struct Row {
        QByteArray block;
        Capabilities caps;
    };
    const Row rows[] = {
        {"+OK\r\nTOP\r\nUIDL\r\nPIPELINING\r\nSTLS\r\nSASL PLAIN xoauth2\r\n.\r\n",
         {true, true, true, true, {"PLAIN", "XOAUTH2"}}},
        {"+OK Capability list follows\r\nuidl\r\nResp-Codes\r\nEXPIRE NEVER\r\n.\r\n", {false, true, false, false, {}}},
        {"+OK\r\n.\r\n", {}},
        {"-ERR unknown command\r\n", {}},
        {"+OK\r\nPIPELININGX\r\n.\r\n", {}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(parseCapabilities(row.block), row.caps) << row.block.constData();
}

TEST(Capabilities, UidlListsOnlyWhole)
{
    using Ids = std::vector<UniqueId>;
    struct Row {
        QByteArray block;
        std::optional<Ids> ids;
    };
    const Row rows[] = {
        {"+OK\r\n1 whqtswO00WBw418f9t5JxYwZ\r\n2 QhdPYR:00WBw1Ph7x7\r\n.\r\n",
         Ids{{1, "whqtswO00WBw418f9t5JxYwZ"}, {2, "QhdPYR:00WBw1Ph7x7"}}},
        {"+OK\r\n.\r\n", Ids{}},
        {"+OK\r\n1 a\r\n3 c\r\n.\r\n", Ids{{1, "a"}, {3, "c"}}}, // deleted messages leave gaps
        {"+OK\r\n2 b\r\n1 a\r\n.\r\n", std::nullopt},             // not in order
        {"+OK\r\n1 a\r\n1 b\r\n.\r\n", std::nullopt},
        {"+OK\r\n1 a\r\n2 a\r\n.\r\n", std::nullopt}, // one id for two messages
        {"+OK\r\n0 a\r\n.\r\n", std::nullopt},
        {"+OK\r\n1\r\n.\r\n", std::nullopt},
        {"+OK\r\n1 a b\r\n.\r\n", std::nullopt},
        {"+OK\r\n1 " + QByteArray(71, 'x') + "\r\n.\r\n", std::nullopt},
        {"+OK\r\n1 caf\xc3\xa9\r\n.\r\n", std::nullopt},
        {"+OK\r\n99999999999 a\r\n.\r\n", std::nullopt},
        {"-ERR no\r\n", std::nullopt},
    };
    for (const Row &row : rows)
        EXPECT_EQ(parseUidlList(row.block), row.ids) << row.block.constData();
    EXPECT_EQ(parseUidlLine("+OK 2 QhdPYR:00WBw1Ph7x7\r\n"), (UniqueId{2, "QhdPYR:00WBw1Ph7x7"}));
    EXPECT_EQ(parseUidlLine("-ERR no such message\r\n"), std::nullopt);
}

} // namespace
} // namespace lum
