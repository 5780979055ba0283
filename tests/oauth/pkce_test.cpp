#include "oauth/pkce.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

struct ChallengeCase {
    const char *name;
    const char *verifier;
    const char *challenge;
};

void PrintTo(const ChallengeCase &c, std::ostream *os) { *os << c.name; }

class ChallengeTable : public testing::TestWithParam<ChallengeCase> {};

TEST_P(ChallengeTable, IsS256)
{
    EXPECT_EQ(codeChallengeS256(GetParam().verifier), QByteArray(GetParam().challenge));
}

INSTANTIATE_TEST_SUITE_P(
    Pkce, ChallengeTable,
    testing::Values(
        // RFC 7636 Appendix B.
        ChallengeCase{"rfc_example", "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk",
                      "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Pkce, VerifiersAreFreshUnreservedText)
{
    const QByteArray a = newCodeVerifier();
    EXPECT_EQ(a.size(), 43);
    for (const char c : a)
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') << a.constData();
    EXPECT_NE(a, newCodeVerifier());
    EXPECT_NE(newState(), newState());
}

} // namespace
} // namespace lum
