// The command names of lumwatchd --command: the six names in key order, nothing else.
#include "checker/command_names.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(CommandNames, EachNameGivesItsKeyIndexAndNothingElseIsKnown)
{
    const std::pair<const char *, std::optional<int>> table[] = {
        {"options", 0}, {"check", 1}, {"show", 2}, {"mailer1", 3}, {"mailer2", 4}, {"exit", 5},
        {"", std::nullopt}, {"Check", std::nullopt}, {"check\n", std::nullopt},
        {" exit", std::nullopt}, {"mailer", std::nullopt}, {"mailer3", std::nullopt},
        {"exitnow", std::nullopt}, {"1", std::nullopt},
    };
    for (const auto &[name, index] : table)
        EXPECT_EQ(commandIndex(name), index) << name;
}

} // namespace
} // namespace lum
