#include "pop3/certificate_probe.h"

#include "pop3/sock_err_msg.h"

namespace lum {

CertificateProbe::CertificateProbe(Transport &transport, Done done)
    : transport_(transport), done_(std::move(done))
{
}

void CertificateProbe::start(const QString &host, quint16 port, SslMode mode, const QByteArray &pin)
{
    if (running())
        transport_.close(conn_);
    ++conn_;
    pin_ = pin;
    reader_.reset();
    if (mode == SslMode::Tls) {
        step_ = Step::Handshake;
        transport_.openTls(conn_, host, port, pin);
    } else {
        step_ = Step::Greeting;
        transport_.openForStartTls(conn_, host, port);
    }
}

void CertificateProbe::timeUp()
{
    if (running()) {
        fail(QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした"));
    }
}

void CertificateProbe::connected(ConnId) {}

void CertificateProbe::received(ConnId id, QByteArrayView bytes)
{
    if (!current(id))
        return;
    if (step_ == Step::Handshake) {
        // A POP3S greeting is read after the handshake; plain text here is no TLS.
        fail(TlsErrMsg(TlsError::Handshake));
        return;
    }
    reader_.feed(bytes);
    ReplyReader::Reply r;
    while (current(id) && step_ != Step::Handshake) {
        const ReplyReader::Result result = reader_.next(r);
        if (result == ReplyReader::Result::NeedData)
            return;
        if (result == ReplyReader::Result::TooLarge) {
            fail(QStringLiteral("ｻｰﾊﾞｰからの応答が大きすぎます"));
            return;
        }
        reply(r);
    }
}

void CertificateProbe::reply(const ReplyReader::Reply &r)
{
    if (step_ == Step::Greeting) {
        if (!r.positive) {
            finish({ProbeOutcome::Kind::Failed, QStringLiteral("ｻｰﾊﾞｰに拒否されました"), {}}, true);
            return;
        }
        step_ = Step::StlsSent;
        transport_.send(conn_, "STLS\r\n");
        return;
    }
    if (!r.positive) {
        finish({ProbeOutcome::Kind::Failed, QStringLiteral("ｻｰﾊﾞｰが暗号化(STLS)に対応していません"), {}}, true);
        return;
    }
    // Bytes after the +OK came before the handshake (RFC 2595 §4).
    if (reader_.bufferedBytes() > 0) {
        fail(TlsErrMsg(TlsError::Handshake));
        return;
    }
    step_ = Step::Handshake;
    transport_.startTls(conn_, pin_);
}

void CertificateProbe::closed(ConnId id)
{
    if (current(id))
        fail(SockErrMsg(wsa::connReset));
}

void CertificateProbe::failed(ConnId id, qint32 code)
{
    if (current(id)) {
        const QString message = SockErrMsg(code);
        fail(isNoError(message) ? SockErrMsg(wsa::connReset) : message);
    }
}

void CertificateProbe::encrypted(ConnId id)
{
    if (current(id) && step_ == Step::Handshake)
        finish({ProbeOutcome::Kind::Trusted, {}, {}}, true);
}

void CertificateProbe::tlsFailed(ConnId id, TlsError reason, const QByteArray &fingerprint)
{
    if (!current(id))
        return;
    // The transport has cut the connection already.
    if (fingerprint.isEmpty())
        fail(TlsErrMsg(reason));
    else
        finish({ProbeOutcome::Kind::Refused, TlsErrMsg(reason), fingerprint});
}

// The connection is let go, after QUIT when it still stands.
void CertificateProbe::finish(ProbeOutcome outcome, bool quit)
{
    if (quit)
        transport_.send(conn_, "QUIT\r\n");
    transport_.close(conn_);
    step_ = Step::Idle;
    if (done_)
        done_(outcome);
}

} // namespace lum
