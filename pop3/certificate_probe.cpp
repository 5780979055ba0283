#include "pop3/certificate_probe.h"

#include "pop3/sock_err_msg.h"

namespace lum {

CertificateProbe::CertificateProbe(Transport &transport, Done done)
    : transport_(transport), done_(std::move(done))
{
}

void CertificateProbe::start(const QString &host, quint16 port, SslMode mode, const QByteArray &pin,
                             MailProtocol protocol)
{
    if (running())
        transport_.close(conn_);
    ++conn_;
    pin_ = pin;
    imap_ = protocol == MailProtocol::Imap;
    reader_.reset();
    imapReader_.reset();
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
    if (imap_) {
        imapReader_.feed(bytes);
        ImapResponse r;
        while (current(id) && step_ != Step::Handshake) {
            const ImapReader::Result result = imapReader_.next(r);
            if (result == ImapReader::Result::NeedData)
                return;
            if (result != ImapReader::Result::Response) {
                fail(result == ImapReader::Result::TooLarge ? QStringLiteral("ｻｰﾊﾞｰからの応答が大きすぎます")
                                                            : QStringLiteral("ｻｰﾊﾞｰの応答が正しくありません"));
                return;
            }
            imapResponse(r);
        }
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
    handshake();
}

// The greeting ("* OK"), then STARTTLS (RFC 3501 §6.2.1) and its tagged OK. A server that
// greets with PREAUTH has logged the client in already and can't start TLS any more.
void CertificateProbe::imapResponse(const ImapResponse &r)
{
    using Status = ImapResponse::Status;
    if (step_ == Step::Greeting) {
        if (r.kind != ImapResponse::Kind::Status || r.status == Status::Bye || r.status == Status::No
            || r.status == Status::Bad) {
            finish({ProbeOutcome::Kind::Failed, QStringLiteral("ｻｰﾊﾞｰに拒否されました"), {}});
            return;
        }
        if (r.status == Status::Preauth) {
            finish({ProbeOutcome::Kind::Failed, QStringLiteral("ｻｰﾊﾞｰが暗号化(STARTTLS)に対応していません"), {}}, true);
            return;
        }
        step_ = Step::StlsSent;
        transport_.send(conn_, "A1 STARTTLS\r\n");
        return;
    }
    if (r.kind != ImapResponse::Kind::Tagged)
        return; // a CAPABILITY or notice before the answer
    if (r.tag != "A1" || r.status != Status::Ok) {
        finish({ProbeOutcome::Kind::Failed, QStringLiteral("ｻｰﾊﾞｰが暗号化(STARTTLS)に対応していません"), {}}, true);
        return;
    }
    handshake();
}

// Bytes after the answer to STLS or STARTTLS came before the handshake (RFC 2595 §4, RFC
// 3501 §6.2.1): not from the server whose certificate is looked at.
void CertificateProbe::handshake()
{
    if ((imap_ ? imapReader_.bufferedBytes() : reader_.bufferedBytes()) > 0) {
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
        transport_.send(conn_, imap_ ? "A2 LOGOUT\r\n" : "QUIT\r\n");
    transport_.close(conn_);
    step_ = Step::Idle;
    if (done_)
        done_(outcome);
}

} // namespace lum
