#include "oauth/endpoint_check.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

struct EndpointCase {
    const char *name;
    const char *url;
    const char *problem;
};

void PrintTo(const EndpointCase &c, std::ostream *os) { *os << c.name; }

class EndpointTable : public testing::TestWithParam<EndpointCase> {};

TEST_P(EndpointTable, Checks)
{
    EXPECT_EQ(endpointProblem(QString::fromUtf8(GetParam().url)), QString::fromUtf8(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(
    Endpoint, EndpointTable,
    testing::Values(
        EndpointCase{"https", "https://login.example.jp/oauth2/token", ""},
        EndpointCase{"http_loopback_v4", "http://127.0.0.1:8080/token", ""},
        EndpointCase{"http_loopback_v6", "http://[::1]:8080/token", ""},
        EndpointCase{"http_localhost", "http://localhost/token", ""},
        EndpointCase{"http_elsewhere", "http://login.example.jp/token",
                     "http:// はループバック以外では使えません: http://login.example.jp/token"},
        EndpointCase{"http_lookalike_host", "http://127.0.0.1.example.jp/token",
                     "http:// はループバック以外では使えません: http://127.0.0.1.example.jp/token"},
        EndpointCase{"other_scheme", "ftp://login.example.jp/token",
                     "https:// の URL を指定してください: ftp://login.example.jp/token"},
        EndpointCase{"empty", "  ", "URL が指定されていません"},
        EndpointCase{"no_host", "https:///token", "URL が正しくありません: https:///token"},
        EndpointCase{"fragment", "https://login.example.jp/token#x",
                     "URL にフラグメント (#) は使えません: https://login.example.jp/token#x"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
