// From the greeting to the login: what the server can do, STARTTLS, and LOGIN or
// AUTHENTICATE with an OAuth 2.0 token.
#include "imap/imap_session.h"

#include "imap/session_text.h"

#include <QList>

#include <algorithm>

namespace lum {

using namespace imaptext;

namespace {

// Stands for a password, token or SASL response in the protocol log, whatever its length.
const QByteArray secretMask = "******************************";

} // namespace

void ImapSession::greeted(const ImapResponse &r)
{
    if (r.kind != ImapResponse::Kind::Status) {
        end(malformed());
        return;
    }
    greeted_ = true;
    if (r.code == "CAPABILITY")
        takeCapabilities(r.codeArgs);
    switch (r.status) {
    case ImapResponse::Status::Ok:
        beforeLogin();
        break;
    case ImapResponse::Status::Preauth:
        // Already logged in: no STARTTLS can come first, so nothing would be encrypted.
        if (job_.startTls) {
            end(noStartTls());
            return;
        }
        loggedIn_ = true;
        openMailbox();
        break;
    case ImapResponse::Status::Bye:
        end(refusalText(r));
        break;
    case ImapResponse::Status::No:
    case ImapResponse::Status::Bad:
        end(malformed());
        break;
    }
}

void ImapSession::takeCapabilities(const std::vector<ImapValue> &names)
{
    caps_.clear();
    for (const ImapValue &name : names) {
        // A code whose arguments did not read as values comes as one atom of them all.
        for (const QByteArray &word : name.string().toUpper().split(' ')) {
            if (!word.isEmpty())
                caps_.push_back(word);
        }
    }
    capsFresh_ = true;
}

bool ImapSession::listed(QByteArrayView capability) const
{
    return std::find(caps_.begin(), caps_.end(), capability) != caps_.end();
}

// Non-synchronizing literals where the server takes them (RFC 7888; IMAP4rev2 includes
// LITERAL-).
LiteralMode ImapSession::literalMode() const
{
    if (listed("LITERAL+"))
        return LiteralMode::Plus;
    if (listed("LITERAL-") || listed("IMAP4REV2"))
        return LiteralMode::Minus;
    return LiteralMode::Synchronizing;
}

// After the greeting, and again after the TLS handshake: what the server can do decides
// whether STARTTLS can come first and how the login goes.
void ImapSession::beforeLogin()
{
    if (!capsFresh_) {
        sendLine(Command::Capability, "CAPABILITY");
        return;
    }
    if (job_.startTls && !tlsDone_) {
        if (!listed("STARTTLS"))
            end(noStartTls());
        else
            sendLine(Command::StartTls, "STARTTLS");
        return;
    }
    if (login_.oauth())
        authenticate();
    else
        login();
}

// Bytes after the OK to STARTTLS came before the handshake, from whoever was on the line
// then (RFC 3501 §6.2.1): they are not read as the server's.
void ImapSession::startTlsAnswered()
{
    if (reader_.bufferedBytes() > 0) {
        end(tlsNotStarted());
        return;
    }
    handshaking_ = true;
    host_.startTls();
}

void ImapSession::login()
{
    if (listed("LOGINDISABLED")) {
        end(loginDisabled());
        return;
    }
    std::optional<std::vector<QByteArray>> parts = loginCommand("", login_.user, login_.password, literalMode());
    if (!parts) {
        end(unusableCharacters());
        return;
    }
    (*parts)[0].remove(0, 1); // the tag goes on in send()
    capsFresh_ = false; // a server may say more once it knows who logs in
    send(Command::Login, std::move(*parts), "LOGIN " + secretMask + "\r\n");
}

// OAUTHBEARER (RFC 7628) where the server lists it, else XOAUTH2, which the big providers
// take without listing it.
void ImapSession::authenticate()
{
    oauthBearer_ = !login_.oauthBearer.isEmpty() && (listed("AUTH=OAUTHBEARER") || login_.xoauth2.isEmpty());
    const QByteArray command = oauthBearer_ ? "AUTHENTICATE OAUTHBEARER" : "AUTHENTICATE XOAUTH2";
    const QByteArray &response = oauthBearer_ ? login_.oauthBearer : login_.xoauth2;
    capsFresh_ = false;
    if (listed("SASL-IR")) {
        // The initial response on the command line (RFC 4959): one round trip less.
        sasl_ = Sasl::Challenge;
        send(Command::Authenticate, {command + ' ' + response + "\r\n"}, command + ' ' + secretMask + "\r\n");
    } else {
        sasl_ = Sasl::Response;
        sendLine(Command::Authenticate, command);
    }
}

// [AUTHENTICATIONFAILED] or no code may be the token's fault (a token revoked before its
// time): the host may renew it. [UNAVAILABLE], [EXPIRED] and the like say nothing of the
// token.
void ImapSession::authenticateRefused(const ImapResponse &r)
{
    sasl_ = Sasl::None;
    const QString text = refusalText(r);
    if (r.status == ImapResponse::Status::No && (r.code.isEmpty() || r.code == "AUTHENTICATIONFAILED"))
        host_.tokenRefused(text);
    end(text);
}

} // namespace lum
