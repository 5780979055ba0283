#include "pop3/sock_err_msg.h"

#include <array>
#include <utility>

namespace lum {

namespace {

struct Row {
    qint32 code;
    const char *text;
};

constexpr std::array<Row, 41> table{{
    {10004, "呼び出しがｷｬﾝｾﾙされました"},
    {10013, "指定されたｱﾄﾞﾚｽは、ﾌﾞﾛｰﾄﾞｷｬｽﾄﾊﾟｹｯﾄの送信をｻﾎﾟｰﾄしていません"},
    {10014, "32bitｲﾝﾀｰﾈｯﾄｱﾄﾞﾚｽ指定に誤りがあります"},
    {10022, "関数の呼び出し順番に誤りがあります"},
    {10024, "利用可能なﾌｧｲﾙ番号が存在しません"},
    {10035, "このｿｹｯﾄはﾉﾝﾌﾞﾛｯｷﾝｸﾞ型です"},
    {10036, "ﾌﾞﾛｯｷﾝｸﾞ呼び出し進行中です"},
    {10037, "ﾉﾝﾌﾞﾛｯｷﾝｸﾞ型の処理を処理中です"},
    {10038, "ｿｹｯﾄ以外が指定されました"},
    {10039, "ﾘﾓｰﾄｱﾄﾞﾚｽが指定されていません"},
    {10040, "ﾃﾞｰﾀがﾊﾞｯﾌｧを超過したため、切り詰められました"},
    {10041, "ｿｹｯﾄは指定されたﾌﾟﾛﾄｺﾙをｻﾎﾟｰﾄしていません"},
    {10042, "ﾌﾟﾛﾄｺﾙのｵﾌﾟｼｮﾝに誤りがあります"},
    {10043, "指定されたﾌﾟﾛﾄｺﾙはｻﾎﾟｰﾄされていません"},
    {10044, "指定されたｿｹｯﾄﾀｲﾌﾟはｻﾎﾟｰﾄされていません"},
    {10045, "指定されたｿｹｯﾄがｻﾎﾟｰﾄしていない操作です"},
    {10046, "指定されたｱﾄﾞﾚｽﾌｧﾐﾘがｻﾎﾟｰﾄされていません"},
    {10047, "指定されたﾌﾟﾛﾄｺﾙでは、指定されたｱﾄﾞﾚｽﾌｧﾐﾘがｻﾎﾟｰﾄされていません"},
    {10048, "指定されたｱﾄﾞﾚｽは使用中です"},
    {10049, "指定されたｱﾄﾞﾚｽは使用できません"},
    {10050, "ﾈｯﾄﾜｰｸがﾀﾞｳﾝしています"},
    {10051, "ﾘﾓｰﾄﾎｽﾄのﾈｯﾄﾜｰｸに接続できません"},
    {10052, "ﾈｯﾄﾜｰｸから切断されました"},
    {10053, "ﾈｯﾄﾜｰｸ不良で接続が中止されました"},
    {10054, "ﾘﾓｰﾄﾎｽﾄから切断されました"},
    {10055, "ﾊﾞｯﾌｧ領域不足"},
    {10056, "ｿｹｯﾄはすでに接続されています"},
    {10057, "ｿｹｯﾄが接続されていません"},
    {10058, "ｿｹｯﾄがｼｬｯﾄﾀﾞｳﾝされています"},
    {10060, "接続処理ﾀｲﾑｱｳﾄ"},
    {10061, "接続が拒否されました"},
    {10064, "ﾘﾓｰﾄﾎｽﾄがﾀﾞｳﾝしています"},
    {10065, "ﾎｽﾄへのﾙｰﾄが存在しません"},
    {10067, "ﾌﾟﾛｾｽが多すぎます"},
    {10091, "ﾈｯﾄﾜｰｸｻﾌﾞｼｽﾃﾑに通信するための準備ができていません"},
    {10092, "指定されたﾊﾞｰｼﾞｮﾝはｻﾎﾟｰﾄされていません"},
    {10093, "WSAStartup関数を呼び出していないか、失敗しました"},
    {11001, "ﾎｽﾄが見つかりません"},
    {11002, "権限があるﾎｽﾄが見つかりません"},
    {11003, "修復不可能なｴﾗｰ"},
    {11004, "要求された型のﾃﾞｰﾀﾚｺｰﾄﾞがありません"},
}};

} // namespace

QString SockErrMsg(qint32 code)
{
    if (code == socketNotCreated)
        return QStringLiteral("ｿｹｯﾄ生成ができませんでした");
    for (const Row &row : table) {
        if (row.code == code)
            return QString::fromUtf8(row.text);
    }
    return QLatin1Char('(') + QString::number(code) + QLatin1Char(')');
}

bool isNoError(const QString &message)
{
    return message.isEmpty() || message == QLatin1String("(0)");
}

QString TlsErrMsg(TlsError reason)
{
    switch (reason) {
    case TlsError::UnknownIssuer:
        return QStringLiteral("ｻｰﾊﾞｰ証明書の発行者が信頼されていません");
    case TlsError::SelfSigned:
        return QStringLiteral("ｻｰﾊﾞｰ証明書が自己署名です");
    case TlsError::Expired:
        return QStringLiteral("ｻｰﾊﾞｰ証明書の有効期限が切れています");
    case TlsError::NotYetValid:
        return QStringLiteral("ｻｰﾊﾞｰ証明書がまだ有効ではありません");
    case TlsError::HostName:
        return QStringLiteral("ｻｰﾊﾞｰ証明書のﾎｽﾄ名が一致しません");
    case TlsError::Revoked:
        return QStringLiteral("ｻｰﾊﾞｰ証明書が失効しています");
    case TlsError::Untrusted:
        return QStringLiteral("ｻｰﾊﾞｰ証明書を確認できません");
    case TlsError::Handshake:
        break;
    }
    return QStringLiteral("暗号化通信を開始できません");
}

} // namespace lum
