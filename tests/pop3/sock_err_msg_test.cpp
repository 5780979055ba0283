#include "pop3/qt/socket_error_code.h"
#include "pop3/sock_err_msg.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

struct MsgCase {
    const char *name;
    qint32 code;
    const char *text;
};

class SockErrMsgTable : public testing::TestWithParam<MsgCase> {};

TEST_P(SockErrMsgTable, GivesText)
{
    EXPECT_EQ(SockErrMsg(GetParam().code), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    SockErrMsg, SockErrMsgTable,
    testing::Values(
        MsgCase{"intr", 10004, "呼び出しがｷｬﾝｾﾙされました"},
        MsgCase{"would_block", 10035, "このｿｹｯﾄはﾉﾝﾌﾞﾛｯｷﾝｸﾞ型です"},
        MsgCase{"conn_reset", 10054, "ﾘﾓｰﾄﾎｽﾄから切断されました"},
        MsgCase{"timed_out", 10060, "接続処理ﾀｲﾑｱｳﾄ"},
        MsgCase{"refused", 10061, "接続が拒否されました"},
        MsgCase{"host_unreach", 10065, "ﾎｽﾄへのﾙｰﾄが存在しません"},
        MsgCase{"proc_lim", 10067, "ﾌﾟﾛｾｽが多すぎます"},
        MsgCase{"not_initialised", 10093, "WSAStartup関数を呼び出していないか、失敗しました"},
        MsgCase{"host_not_found", 11001, "ﾎｽﾄが見つかりません"},
        MsgCase{"no_data", 11004, "要求された型のﾃﾞｰﾀﾚｺｰﾄﾞがありません"},
        MsgCase{"zero_is_parenthesised", 0, "(0)"},
        MsgCase{"minus_one", -1, "(-1)"},
        MsgCase{"gap_10059", 10059, "(10059)"},
        MsgCase{"gap_10062", 10062, "(10062)"},
        MsgCase{"gap_10066", 10066, "(10066)"},
        MsgCase{"beyond_table", 11005, "(11005)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SockErrMsg, EveryTableCodeHasItsOwnText)
{
    const int codes[] = {10004, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038, 10039,
                         10040, 10041, 10042, 10043, 10044, 10045, 10046, 10047, 10048, 10049,
                         10050, 10051, 10052, 10053, 10054, 10055, 10056, 10057, 10058, 10060,
                         10061, 10064, 10065, 10067, 10091, 10092, 10093, 11001, 11002, 11003,
                         11004};
    QSet<QString> texts;
    for (int c : codes) {
        const QString t = SockErrMsg(c);
        EXPECT_FALSE(t.startsWith(QLatin1Char('('))) << c;
        texts.insert(t);
    }
    EXPECT_EQ(texts.size(), int(std::size(codes)));
}

TEST(SockErrMsg, OnlyZeroAndEmptyMeanNoError)
{
    EXPECT_TRUE(isNoError(SockErrMsg(0)));
    EXPECT_TRUE(isNoError(QString()));
    EXPECT_FALSE(isNoError(SockErrMsg(-1)));
    EXPECT_FALSE(isNoError(SockErrMsg(10061)));
}

struct QtCase {
    const char *name;
    QAbstractSocket::SocketError error;
    const char *text;
};

class QtSocketErrors : public testing::TestWithParam<QtCase> {};

TEST_P(QtSocketErrors, ShowTheirText)
{
    EXPECT_EQ(SockErrMsg(socketErrorCode(GetParam().error)), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    SockErrMsg, QtSocketErrors,
    testing::Values(
        QtCase{"refused", QAbstractSocket::ConnectionRefusedError, "接続が拒否されました"},
        QtCase{"host_not_found", QAbstractSocket::HostNotFoundError, "ﾎｽﾄが見つかりません"},
        QtCase{"timeout", QAbstractSocket::SocketTimeoutError, "接続処理ﾀｲﾑｱｳﾄ"},
        QtCase{"remote_closed", QAbstractSocket::RemoteHostClosedError, "ﾘﾓｰﾄﾎｽﾄから切断されました"},
        QtCase{"network", QAbstractSocket::NetworkError, "ﾘﾓｰﾄﾎｽﾄのﾈｯﾄﾜｰｸに接続できません"},
        QtCase{"no_socket", QAbstractSocket::SocketResourceError, "ｿｹｯﾄ生成ができませんでした"},
        QtCase{"unknown_is_parenthesised", QAbstractSocket::UnknownSocketError, "(-999)"}),
    [](const auto &info) { return std::string(info.param.name); });

// Qt's certificate errors as the reason the user reads: the issuer first, the name last.
struct TlsCase {
    const char *name;
    QList<QSslError::SslError> errors;
    const char *text;
};

class TlsReason : public testing::TestWithParam<TlsCase> {};

TEST_P(TlsReason, NamesTheCertificatesFault)
{
    EXPECT_EQ(TlsErrMsg(tlsErrorOf(GetParam().errors)), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, TlsReason,
    testing::Values(
        TlsCase{"none", {}, "暗号化通信を開始できません"},
        TlsCase{"self_signed_for_another_host",
                {QSslError::HostNameMismatch, QSslError::SelfSignedCertificate}, "ｻｰﾊﾞｰ証明書が自己署名です"},
        TlsCase{"unknown_ca", {QSslError::UnableToGetLocalIssuerCertificate, QSslError::UnableToVerifyFirstCertificate},
                "ｻｰﾊﾞｰ証明書の発行者が信頼されていません"},
        TlsCase{"expired_for_another_host", {QSslError::HostNameMismatch, QSslError::CertificateExpired},
                "ｻｰﾊﾞｰ証明書の有効期限が切れています"},
        TlsCase{"not_yet_valid", {QSslError::CertificateNotYetValid}, "ｻｰﾊﾞｰ証明書がまだ有効ではありません"},
        TlsCase{"revoked", {QSslError::CertificateRevoked}, "ｻｰﾊﾞｰ証明書が失効しています"},
        TlsCase{"host_name", {QSslError::HostNameMismatch}, "ｻｰﾊﾞｰ証明書のﾎｽﾄ名が一致しません"},
        TlsCase{"other", {QSslError::InvalidPurpose}, "ｻｰﾊﾞｰ証明書を確認できません"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
