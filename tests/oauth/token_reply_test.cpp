#include "oauth/token_reply.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

#define ID_HEAD "eyJhbGciOiJub25lIn0."

struct ReplyCase {
    const char *name;
    int status;
    const char *body;
    qsizetype padTo; // spaces after the body up to this size; 0 for none
    const char *token; // nullptr: not ok
    qint64 expiresIn;
    const char *refresh;
    const char *user;
    bool signInNeeded;
    const char *reason;
};

void PrintTo(const ReplyCase &c, std::ostream *os) { *os << c.name; }

class TokenReplyTable : public testing::TestWithParam<ReplyCase> {};

TEST_P(TokenReplyTable, Reads)
{
    const ReplyCase &c = GetParam();
    QByteArray body(c.body);
    if (c.padTo)
        body.append(QByteArray(c.padTo - body.size(), ' '));
    const TokenReply r = readTokenReply(c.status, body);
    EXPECT_EQ(r.ok, c.token != nullptr);
    EXPECT_EQ(r.accessToken, QString::fromUtf8(c.token ? c.token : ""));
    EXPECT_EQ(r.reason, QString::fromUtf8(c.reason));
    EXPECT_EQ(r.signInNeeded, c.signInNeeded);
    EXPECT_FALSE(r.reason.contains(QLatin1String("secret"))); // never the provider's text
    if (r.ok) {
        EXPECT_EQ(r.expiresIn, c.expiresIn);
        EXPECT_EQ(r.refreshToken, QString::fromUtf8(c.refresh));
        EXPECT_EQ(r.userName, QString::fromUtf8(c.user));
    }
}

INSTANTIATE_TEST_SUITE_P(
    TokenReply, TokenReplyTable,
    testing::Values(
        ReplyCase{"good", 200, R"({"access_token":"at","expires_in":1800,"refresh_token":"rt","token_type":"Bearer"})",
                  0, "at", 1800, "rt", "", false, ""},
        ReplyCase{"lifetime_defaults_to_an_hour", 200, R"({"access_token":"at"})", 0, "at", 3600, "", "", false, ""},
        ReplyCase{"no_access_token", 200, R"({"expires_in":3600})", 0, nullptr, 0, "", "", false,
                  "トークンの応答を読めません: access_token がありません"},
        ReplyCase{"access_token_a_number", 200, R"({"access_token":5})", 0, nullptr, 0, "", "", false,
                  "トークンの応答を読めません: access_token が空でない文字列ではありません"},
        ReplyCase{"lifetime_beyond_a_year_is_a_year", 200, R"({"access_token":"at","expires_in":1e300})", 0, "at",
                  365 * 24 * 3600, "", "", false, ""},
        ReplyCase{"bearer_in_any_case", 200, R"({"access_token":"at","token_type":"bEARER"})", 0, "at", 3600, "",
                  "", false, ""},
        ReplyCase{"token_type_not_bearer", 200, R"({"access_token":"at","token_type":"mac"})", 0, nullptr, 0, "", "",
                  false, "トークンの応答を読めません: token_type が Bearer ではありません"},
        ReplyCase{"expires_in_a_string", 200, R"({"access_token":"at","expires_in":"60"})", 0, nullptr, 0, "", "",
                  false, "トークンの応答を読めません: expires_in が数ではありません"},
        ReplyCase{"refresh_token_an_object", 200, R"({"access_token":"at","refresh_token":{}})", 0, nullptr, 0, "",
                  "", false, "トークンの応答を読めません: refresh_token が文字列ではありません"},
        ReplyCase{"at_the_size_bound", 200, R"({"access_token":"at"})", 64 * 1024, "at", 3600, "", "", false, ""},
        ReplyCase{"beyond_the_size_bound", 200, R"({"access_token":"at"})", 64 * 1024 + 1, nullptr, 0, "", "",
                  false, "トークンの応答を読めません: 64 KiB を超えています"},
        ReplyCase{"not_json", 200, "<html>ok</html>", 0, nullptr, 0, "", "", false,
                  "トークンの応答を読めません: JSON ではありません"},
        ReplyCase{"json_array", 200, R"(["at"])", 0, nullptr, 0, "", "", false,
                  "トークンの応答を読めません: JSON のオブジェクトではありません"},
        ReplyCase{"invalid_grant_needs_sign_in", 400,
                  R"({"error":"invalid_grant","error_description":"refresh token secret123 revoked"})", 0, nullptr,
                  0, "", "", true, "サインインし直してください (許可が無効か期限切れです: invalid_grant)"},
        ReplyCase{"other_provider_error", 401, R"({"error":"invalid_client"})", 0, nullptr, 0, "", "", false,
                  "プロバイダーがトークンを拒否しました: invalid_client"},
        ReplyCase{"error_with_http_200", 200, R"({"error":"slow_down","access_token":"at"})", 0, nullptr, 0, "",
                  "", false, "プロバイダーがトークンを拒否しました: slow_down"},
        ReplyCase{"http_error_page", 502, "<html>Bad Gateway</html>", 0, nullptr, 0, "", "", false,
                  "トークンを取得できません: HTTP 502"},
        ReplyCase{"http_error_with_a_token", 500, R"({"access_token":"at"})", 0, nullptr, 0, "", "", false,
                  "トークンを取得できません: HTTP 500"},
        ReplyCase{"id_token_email", 200,
                  R"({"access_token":"at","id_token":")" ID_HEAD
                  "eyJlbWFpbCI6InRhcm9AZXhhbXBsZS5qcCIsInByZWZlcnJlZF91c2VybmFtZSI6InQifQ.\"}",
                  0, "at", 3600, "", "taro@example.jp", false, ""},
        ReplyCase{"id_token_preferred_username", 200,
                  R"({"access_token":"at","id_token":")" ID_HEAD
                  "eyJwcmVmZXJyZWRfdXNlcm5hbWUiOiJoYW5ha29AZXhhbXBsZS5qcCJ9.\"}",
                  0, "at", 3600, "", "hanako@example.jp", false, ""},
        ReplyCase{"id_token_unreadable_is_no_hint", 200, R"({"access_token":"at","id_token":"x.%%%.y"})", 0, "at",
                  3600, "", "", false, ""}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
