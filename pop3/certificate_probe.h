#pragma once
// Looks at an account's server certificate without logging in: connects as the account
// would (POP3S or IMAPS; or the greeting and STLS, or for IMAP STARTTLS), lets the
// transport check the certificate, and says whether it was accepted or, if not, why and
// which certificate it was. Nothing but STLS and QUIT (STARTTLS and LOGOUT) is ever sent,
// so no user name or password goes anywhere.
//
// Sans-IO like the engine: it drives a Transport and takes its events; the caller owns the
// time limit and calls timeUp() when it runs out.

#include "imap/response_reader.h"
#include "pop3/ports.h"
#include "pop3/reply_reader.h"
#include "settings/account_record.h"

#include <functional>

namespace lum {

struct ProbeOutcome {
    enum class Kind { Trusted, Refused, Failed };
    Kind kind = Kind::Failed;
    // Refused: why the certificate was refused; Failed: why nothing could be learnt.
    QString message;
    // Refused: the certificate's SHA-256 in lower-case hex, empty when none was received.
    QByteArray fingerprint;
};

class CertificateProbe : public TransportEvents {
public:
    using Done = std::function<void(const ProbeOutcome &)>;
    // done is called once per start(), after the connection has been let go.
    CertificateProbe(Transport &transport, Done done);

    // mode must be Tls or Stls; pin as in the account's "Sslpin" (may be empty).
    void start(const QString &host, quint16 port, SslMode mode, const QByteArray &pin,
               MailProtocol protocol = MailProtocol::Pop3);
    bool running() const { return step_ != Step::Idle; }
    void timeUp();

    void connected(ConnId id) override;
    void received(ConnId id, QByteArrayView bytes) override;
    void closed(ConnId id) override;
    void failed(ConnId id, qint32 code) override;
    void encrypted(ConnId id) override;
    void tlsFailed(ConnId id, TlsError reason, const QByteArray &fingerprint) override;

private:
    enum class Step { Idle, Greeting, StlsSent, Handshake };
    bool current(ConnId id) const { return step_ != Step::Idle && id == conn_; }
    void reply(const ReplyReader::Reply &r);
    void imapResponse(const ImapResponse &r);
    void handshake();
    void finish(ProbeOutcome outcome, bool quit = false);
    void fail(const QString &message) { finish({ProbeOutcome::Kind::Failed, message, {}}); }

    Transport &transport_;
    Done done_;
    ReplyReader reader_;
    ImapReader imapReader_;
    bool imap_ = false;
    Step step_ = Step::Idle;
    ConnId conn_ = 0;
    QByteArray pin_;
};

} // namespace lum
