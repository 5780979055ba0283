// The push: IDLE on the examined mailbox (RFC 2177), what counts as news while it lasts,
// its renewal and its end.
#include "imap/imap_session.h"

#include "imap/session_text.h"

namespace lum {

void ImapSession::idleOrLogout()
{
    if (!listed("IDLE")) {
        host_.noIdle();
        logout();
        return;
    }
    sendLine(Command::Idle, "IDLE");
    idle_ = IdleStep::Asked;
}

// The server's "+" to IDLE: from here until DONE it tells of changes as they happen.
void ImapSession::idleContinued()
{
    if (stopping_) {
        done();
        logout();
        return;
    }
    idle_ = IdleStep::Idling;
    host_.idling();
}

// IDLE's tagged OK: after DONE, idle again unless the LOGOUT is on its way. IDLE ends only
// by DONE (RFC 2177): a server that answers it at once would have it sent again and again.
void ImapSession::idleAnswered()
{
    const bool afterDone = idle_ == IdleStep::Done;
    idle_ = IdleStep::Off;
    if (stopping_)
        return;
    if (!afterDone) {
        end(imaptext::malformed());
        return;
    }
    sendLine(Command::Idle, "IDLE");
    idle_ = IdleStep::Asked;
}

// A new message, one gone, or changed flags: any of them may change what the check finds.
// RECENT, FLAGS and OK responses say nothing the check would show.
bool ImapSession::idleNews(const ImapResponse &r)
{
    if (idle_ == IdleStep::Off || stopping_)
        return false;
    if (r.name != "EXISTS" && r.name != "EXPUNGE" && r.name != "FETCH")
        return false;
    host_.news();
    return true;
}

// DONE is no command: it has no tag, and IDLE's tagged answer follows it.
void ImapSession::done()
{
    out_.bytes += "DONE\r\n";
    out_.logged += "DONE\r\n";
    idle_ = IdleStep::Done;
}

void ImapSession::renew()
{
    if (over_ || stopping_ || idle_ != IdleStep::Idling)
        return;
    done();
    flush();
}

void ImapSession::stop()
{
    if (over_ || stopping_)
        return;
    stopping_ = true;
    switch (idle_) {
    case IdleStep::Off:
        // Nothing to leave politely yet: the host closes the connection.
        end(QString());
        return;
    case IdleStep::Asked:
        break; // DONE and LOGOUT follow the "+"
    case IdleStep::Idling:
        done();
        logout();
        break;
    case IdleStep::Done:
        logout();
        break;
    }
    flush();
}

} // namespace lum
