#include "oauth/form_post.h"

#include "oauth/endpoint_check.h"
#include "oauth/token_reply.h"

#include <QNetworkReply>
#include <QTimer>

#include <memory>

namespace lum {

namespace {

HttpAnswer answerOf(QNetworkReply &reply, const QByteArray &body, bool tooLarge)
{
    HttpAnswer a;
    a.body = body;
    if (tooLarge) {
        a.status = 200;
        return a; // readTokenReply refuses the oversized body
    }
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        const bool timedOut = reply.error() == QNetworkReply::OperationCanceledError
            || reply.error() == QNetworkReply::TimeoutError;
        a.failure = timedOut ? QStringLiteral("トークンのサーバーが応答しません (%1秒)").arg(tokenTransferTimeoutMs / 1000)
                             : QStringLiteral("トークンのサーバーに接続できません: ") + reply.errorString();
        return a;
    }
    a.status = status.toInt();
    if (a.status >= 300 && a.status < 400) {
        const QUrl target = reply.url().resolved(
            reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
        a.failure = QStringLiteral("リダイレクトには従いません: ")
            + (target.host().isEmpty() ? reply.url().host() : target.host());
    }
    return a;
}

QByteArray formBody(const FormFields &form)
{
    QByteArray body;
    for (const auto &[name, value] : form) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

} // namespace

QPointer<QNetworkReply> postForm(QNetworkAccessManager &network, const QString &url,
                                 const FormFields &form, std::function<void(const HttpAnswer &)> done)
{
    if (const QString problem = endpointProblem(url); !problem.isEmpty()) {
        QTimer::singleShot(0, [done = std::move(done), problem] {
            HttpAnswer a;
            a.failure = problem;
            done(a);
        });
        return nullptr;
    }
    QNetworkRequest request(QUrl(url.trimmed()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(tokenTransferTimeoutMs);
    QNetworkReply *reply = network.post(request, formBody(form));
    // The transfer time-out counts from the last octet only; a server that trickles its
    // reply is cut off here.
    QTimer::singleShot(tokenTransferTimeoutMs, reply, [reply] { reply->abort(); });
    auto body = std::make_shared<QByteArray>();
    auto tooLarge = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, body, tooLarge] {
        body->append(reply->read(maxTokenReplyBytes + 1 - body->size()));
        if (body->size() > maxTokenReplyBytes && !*tooLarge) {
            *tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, body, tooLarge, done = std::move(done)] {
        if (!*tooLarge)
            body->append(reply->read(maxTokenReplyBytes + 1 - body->size()));
        reply->deleteLater();
        done(answerOf(*reply, *body, *tooLarge || body->size() > maxTokenReplyBytes));
    });
    return reply;
}

} // namespace lum
