#include "oauth/sign_in.h"
#include "tests/oauth/test_provider.h"

#include <QUrlQuery>

#include <optional>

namespace lum {
namespace {

class SignInTest : public TestProvider {};

// Only the redirect path with the sign-in's own state ends it; any other request is answered
// 400 and the sign-in goes on to the provider's good answer.
TEST_F(SignInTest, OnlyItsOwnAnswerEndsTheSignIn)
{
    const auto get = [this](const QString &url) {
        QNetworkReply *reply = finished(network.get(QNetworkRequest(QUrl(url))));
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    };
    control(QStringLiteral("/control/mode?authorize=ok&token=ok"));
    QUrl opened;
    SignIn signIn(client, network, [&opened](const QUrl &url) { opened = url; });
    std::optional<SignInResult> result;
    QObject::connect(&signIn, &SignIn::finished, [&result](const SignInResult &r) { result = r; });
    signIn.start();
    ASSERT_TRUE(opened.isValid());
    const QUrlQuery query(opened);
    EXPECT_EQ(query.allQueryItemValues(QStringLiteral("code_challenge")).size(), 1);
    const QString redirect = query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded);
    EXPECT_TRUE(redirect.startsWith(QLatin1String("http://127.0.0.1:"))) << qPrintable(redirect);
    const QString state = query.queryItemValue(QStringLiteral("state"));
    for (const QString &made : {redirect + "other?code=c&state=" + state, redirect + "?code=c",
                                redirect + "?error=access_denied", redirect + "?error=access_denied&state=x"}) {
        EXPECT_EQ(get(made), 400) << qPrintable(made);
        EXPECT_FALSE(result) << qPrintable(made);
    }
    EXPECT_EQ(get(opened.toString(QUrl::FullyEncoded)), 200);
    ASSERT_TRUE(QTest::qWaitFor([&result] { return result.has_value(); }, 10000));
    EXPECT_TRUE(result->ok) << qPrintable(result->reason);
    EXPECT_FALSE(result->refreshToken.isEmpty());
}

} // namespace
} // namespace lum
