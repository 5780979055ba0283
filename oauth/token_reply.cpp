#include "oauth/token_reply.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lum {

namespace {

TokenReply failed(const QString &reason)
{
    TokenReply r;
    r.reason = reason;
    return r;
}

TokenReply refused(const QString &why)
{
    return failed(QStringLiteral("トークンの応答を読めません: ") + why);
}

// An error code as RFC 6749 §5.2 allows it (printable ASCII without '"' and '\'), bounded,
// so that a provider can't put arbitrary text into the message.
QString errorCode(const QString &text)
{
    QString code;
    for (const QChar c : text.left(64)) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7e && c != u'"' && c != u'\\')
            code.append(c);
    }
    return code.isEmpty() ? QStringLiteral("?") : code;
}

} // namespace

QString idTokenUserName(const QString &idToken)
{
    const QStringList segments = idToken.split(u'.');
    if (segments.size() < 2)
        return {};
    const auto payload = QByteArray::fromBase64Encoding(
        segments[1].toLatin1(), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!payload)
        return {};
    const QJsonObject claims = QJsonDocument::fromJson(*payload).object();
    for (const auto name : {"email", "preferred_username"}) {
        const QString value = claims.value(QLatin1String(name)).toString();
        if (!value.isEmpty())
            return value;
    }
    return {};
}

TokenReply readTokenReply(int httpStatus, const QByteArray &body)
{
    if (body.size() > maxTokenReplyBytes)
        return refused(QStringLiteral("64 KiB を超えています"));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    const bool success = httpStatus >= 200 && httpStatus < 300;
    if (doc.isNull() || !doc.isObject()) {
        if (!success)
            return failed(QStringLiteral("トークンを取得できません: HTTP %1").arg(httpStatus));
        return refused(doc.isNull() ? QStringLiteral("JSON ではありません")
                                    : QStringLiteral("JSON のオブジェクトではありません"));
    }
    const QJsonObject o = doc.object();
    if (o.contains(QLatin1String("error"))) {
        TokenReply r;
        r.error = errorCode(o.value(QLatin1String("error")).toString());
        r.signInNeeded = r.error == QLatin1String("invalid_grant");
        r.reason = r.signInNeeded
            ? QStringLiteral("サインインし直してください (許可が無効か期限切れです: invalid_grant)")
            : QStringLiteral("プロバイダーがトークンを拒否しました: ") + r.error;
        return r;
    }
    if (!success)
        return failed(QStringLiteral("トークンを取得できません: HTTP %1").arg(httpStatus));
    const QJsonValue access = o.value(QLatin1String("access_token"));
    if (access.isUndefined() || access.isNull())
        return refused(QStringLiteral("access_token がありません"));
    if (!access.isString() || access.toString().isEmpty())
        return refused(QStringLiteral("access_token が空でない文字列ではありません"));
    TokenReply r;
    const QJsonValue expires = o.value(QLatin1String("expires_in"));
    if (!expires.isUndefined()) {
        if (!expires.isDouble())
            return refused(QStringLiteral("expires_in が数ではありません"));
        r.expiresIn = qint64(qBound(0.0, expires.toDouble(), double(maxExpiresIn)));
    }
    const QJsonValue type = o.value(QLatin1String("token_type"));
    if (!type.isUndefined() && type.toString().compare(QLatin1String("Bearer"), Qt::CaseInsensitive) != 0)
        return refused(QStringLiteral("token_type が Bearer ではありません"));
    const QJsonValue refresh = o.value(QLatin1String("refresh_token"));
    if (!refresh.isUndefined() && !refresh.isString())
        return refused(QStringLiteral("refresh_token が文字列ではありません"));
    const QJsonValue id = o.value(QLatin1String("id_token"));
    if (!id.isUndefined() && !id.isString())
        return refused(QStringLiteral("id_token が文字列ではありません"));
    r.ok = true;
    r.accessToken = access.toString();
    r.refreshToken = refresh.toString();
    r.userName = idTokenUserName(id.toString());
    return r;
}

} // namespace lum
