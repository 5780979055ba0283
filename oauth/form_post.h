#pragma once
// One POST of a form to a token endpoint (application/x-www-form-urlencoded, RFC 6749
// §4.1.3 and §6): the endpoint checked first, no redirects followed, the body bounded, and a
// deadline of 30 s for the whole request. The answer always arrives later on the event loop,
// never during the call.

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QList>

#include <utility>

#include <functional>

namespace lum {

struct HttpAnswer {
    int status = 0;  // the HTTP status, when a response came
    QByteArray body; // at most maxTokenReplyBytes + 1 octets
    QString failure; // in Japanese: no response, a redirect, the endpoint refused beforehand
};

constexpr int tokenTransferTimeoutMs = 30'000;

// Form fields in order, name and value, each percent-encoded on the way out.
using FormFields = QList<std::pair<QString, QString>>;

// Returns the reply, to abort it early (done still gets an answer then), or nullptr when the
// endpoint was refused.
QPointer<QNetworkReply> postForm(QNetworkAccessManager &network, const QString &url,
                                 const FormFields &form, std::function<void(const HttpAnswer &)> done);

} // namespace lum
