// The wire of an IMAP session: feeding the reader, matching tagged answers to the commands
// that were sent, writing commands (a literal's bytes after the server's "+"), and the one
// way a session ends.
#include "imap/imap_session.h"

#include "decode/visible_text.h"
#include "imap/session_text.h"

#include <algorithm>
#include <utility>

namespace lum {

using namespace imaptext;

QString imaptext::serverText(const ImapResponse &r)
{
    return visibleText(QString::fromUtf8(r.text).trimmed());
}

QString imaptext::refusalText(const ImapResponse &r)
{
    const QString text = serverText(r);
    return text.isEmpty() ? refusedBlank() : text;
}

ImapSession::ImapSession(ImapSessionHost &host, ImapLogin login, ImapJob job)
    : host_(host), login_(std::move(login)), job_(std::move(job))
{
}

bool ImapSession::over() const
{
    return over_;
}

bool ImapSession::progressed()
{
    return std::exchange(progressed_, false);
}

void ImapSession::received(QByteArrayView bytes)
{
    if (over_ || bytes.isEmpty())
        return;
    progressed_ = true;
    if (handshaking_) {
        // Plain text where the TLS handshake should be.
        end(tlsNotStarted());
        return;
    }
    reader_.feed(bytes);
    ImapResponse r;
    while (!over_ && !handshaking_) {
        const ImapReader::Result result = reader_.next(r);
        if (result == ImapReader::Result::NeedData)
            break;
        if (result != ImapReader::Result::Response) {
            end(result == ImapReader::Result::TooLarge ? tooLarge() : malformed());
            break;
        }
        host_.logResponse(r.raw);
        handle(r);
        flush();
    }
}

void ImapSession::encrypted()
{
    if (over_ || !handshaking_)
        return;
    handshaking_ = false;
    tlsDone_ = true;
    // What the server said before TLS may have been anyone's (RFC 3501 §6.2.1).
    caps_.clear();
    capsFresh_ = false;
    reader_.reset();
    beforeLogin();
    flush();
}

void ImapSession::closed()
{
    if (over_)
        return;
    end(logoutSent_ && onlyLogoutLeft() ? QString() : disconnected());
}

void ImapSession::handle(const ImapResponse &r)
{
    if (!greeted_) {
        greeted(r);
        return;
    }
    switch (r.kind) {
    case ImapResponse::Kind::Tagged:
        tagged(r);
        break;
    case ImapResponse::Kind::Continuation:
        continued();
        break;
    case ImapResponse::Kind::Status:
    case ImapResponse::Kind::Data:
        untagged(r);
        break;
    }
}

void ImapSession::tagged(const ImapResponse &r)
{
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const Pending &p) { return p.tag == r.tag; });
    if (it == pending_.end()) {
        end(malformed()); // a tag this session never sent
        return;
    }
    const Command command = it->command;
    pending_.erase(it);
    if (r.code == "CAPABILITY")
        takeCapabilities(r.codeArgs);
    if (r.status != ImapResponse::Status::Ok) {
        refused(command, r);
        return;
    }
    if (std::any_of(waiting_.begin(), waiting_.end(), [&](const Part &part) {
            return std::find(part.tags.begin(), part.tags.end(), r.tag) != part.tags.end();
        })) {
        end(malformed()); // done before the server had asked for the rest of it
        return;
    }
    switch (command) {
    case Command::Capability:
        capsFresh_ = true;
        if (!loggedIn_)
            beforeLogin();
        break;
    case Command::StartTls:
        startTlsAnswered();
        break;
    case Command::Login:
    case Command::Authenticate:
        sasl_ = Sasl::None;
        loggedIn_ = true;
        openMailbox();
        break;
    case Command::Open:
        mailboxOpened();
        break;
    case Command::Search:
        searched();
        break;
    case Command::Fetch:
        fetchAnswered();
        break;
    case Command::Store:
        stored();
        break;
    case Command::SearchDeleted:
        deletedSearched();
        break;
    case Command::UidExpunge:
    case Command::Expunge:
        expunged();
        break;
    case Command::Idle:
        idleAnswered();
        break;
    case Command::Logout:
        end(QString());
        break;
    }
}

void ImapSession::refused(Command command, const ImapResponse &r)
{
    switch (command) {
    case Command::StartTls:
        end(noStartTls());
        break;
    case Command::Authenticate:
        authenticateRefused(r);
        break;
    case Command::Open:
        end(folderNotOpened() + serverText(r));
        break;
    default:
        end(refusalText(r));
        break;
    }
}

void ImapSession::untagged(const ImapResponse &r)
{
    if (r.kind == ImapResponse::Kind::Status) {
        if (r.code == "CAPABILITY")
            takeCapabilities(r.codeArgs);
        else if (r.code == "UIDVALIDITY" && r.codeArgs.size() == 1 && r.codeArgs[0].isNumber()
                 && r.codeArgs[0].number > 0 && r.codeArgs[0].number <= 0xffffffffu)
            uidValidity_ = quint32(r.codeArgs[0].number);
        // BYE in answer to LOGOUT is its normal end; anywhere else the server is leaving.
        if (r.status == ImapResponse::Status::Bye && !(logoutSent_ && onlyLogoutLeft())) {
            const QString text = serverText(r);
            end(text.isEmpty() ? disconnected() : text);
        }
        return;
    }
    if (idleNews(r))
        return;
    if (r.name == "CAPABILITY") {
        takeCapabilities(r.values);
    } else if (r.name == "EXISTS" && r.number) {
        exists_ = *r.number;
    } else if (r.name == "SEARCH" || r.name == "ESEARCH") {
        std::optional<std::vector<quint32>> uids = searchUids(r);
        if (!uids) {
            end(malformed());
            return;
        }
        searchUids_.insert(searchUids_.end(), uids->begin(), uids->end());
    } else if (r.name == "FETCH" && r.values.size() == 1 && r.values[0].isList()) {
        fetchedData(r.values[0]);
    }
    // EXPUNGE, RECENT, FLAGS, unsolicited FETCH without our items and the like change
    // nothing the session asked for.
}

// The server's "+": the next part of a command with a literal, or a SASL step.
void ImapSession::continued()
{
    if (!waiting_.empty()) {
        // Commands written meanwhile went into the last part, behind the literals before them.
        out_.bytes += waiting_.front().bytes;
        out_.logged += waiting_.front().logged;
        waiting_.pop_front();
        return;
    }
    if (idle_ == IdleStep::Asked) {
        idleContinued();
        return;
    }
    static const QByteArray mask = "******************************\r\n";
    switch (sasl_) {
    case Sasl::Response: {
        const QByteArray &response = oauthBearer_ ? login_.oauthBearer : login_.xoauth2;
        out_.bytes += response + "\r\n";
        out_.logged += mask;
        sasl_ = Sasl::Challenge;
        break;
    }
    case Sasl::Challenge:
        // After the response a challenge only says the token was refused; the mechanism
        // wants an answer before its NO: a lone ^A for OAUTHBEARER (RFC 7628 §3.2.3), an
        // empty line for XOAUTH2.
        out_.bytes += oauthBearer_ ? "AQ==\r\n" : "\r\n";
        out_.logged += mask;
        sasl_ = Sasl::Over;
        break;
    case Sasl::None:
    case Sasl::Over:
        end(malformed());
        break;
    }
}

// A command: the tag goes before the first part; every later part waits for a "+". With a
// masked line to log, that line stands for the whole command.
void ImapSession::send(Command command, std::vector<QByteArray> parts, const QByteArray &masked)
{
    const QByteArray tag = 'A' + QByteArray::number(++tagNo_);
    pending_.push_back({tag, command});
    if (command == Command::Logout)
        logoutSent_ = true;
    Part &into = waiting_.empty() ? out_ : waiting_.back();
    into.bytes += tag + ' ' + parts[0];
    into.logged += tag + ' ' + (masked.isEmpty() ? parts[0] : masked);
    into.tags.push_back(tag);
    for (size_t i = 1; i < parts.size(); ++i)
        waiting_.push_back({parts[i], masked.isEmpty() ? parts[i] : QByteArray(), {tag}});
}

void ImapSession::sendLine(Command command, const QByteArray &args)
{
    send(command, {args + "\r\n"}, QByteArray());
}

// Everything one response made the session write goes out in one write.
void ImapSession::flush()
{
    if (over_ || out_.bytes.isEmpty()) {
        out_ = {};
        return;
    }
    const Part part = std::exchange(out_, {});
    host_.send(part.bytes, part.logged);
}

void ImapSession::logout()
{
    if (!logoutSent_)
        sendLine(Command::Logout, "LOGOUT");
}

bool ImapSession::onlyLogoutLeft() const
{
    return std::all_of(pending_.begin(), pending_.end(),
                       [](const Pending &p) { return p.command == Command::Logout; });
}

void ImapSession::end(const QString &error)
{
    if (over_)
        return;
    over_ = true;
    out_ = {};
    waiting_.clear();
    host_.finished(error);
}

} // namespace lum
