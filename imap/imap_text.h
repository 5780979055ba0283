#pragma once
// The small pieces of text an IMAP session puts on the wire or takes from it: mailbox names
// in modified UTF-7, user names and passwords as strings, UID sets, and SEARCH results.
// Commands are built from these values, never by pasting what a user typed.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace lum {

struct ImapResponse;

// A mailbox name as sent (RFC 3501 §5.1.3): printable ASCII stands for itself, "&" is
// "&-", every other run of characters is "&" + modified base64 of its UTF-16BE + "-"
// (base64 with "," for "/" and no padding). "受信箱" is "&U9dP4Xux-".
QByteArray encodeMailboxName(const QString &name);
// The reverse, strict: refuses bytes outside printable ASCII, a run that is not canonical
// (bad base64 characters, leftover bits, an odd byte, a lone surrogate, printable ASCII
// encoded, a run right after another) and a "&" without its "-".
std::optional<QString> decodeMailboxName(QByteArrayView wire);

// How a string argument that needs a literal may be sent. Synchronizing: "{n}" CR LF, then
// wait for the server's "+". Plus (the server lists LITERAL+, RFC 7888): "{n+}" CR LF and
// the bytes at once. Minus (LITERAL-): "{n+}" only up to 4096 bytes, else synchronizing.
enum class LiteralMode { Synchronizing, Plus, Minus };

// A string argument ready for the wire (RFC 3501 §4.3, astring). Quoted when every byte
// is printable ASCII other than `"` and `\`: head holds the whole quoted string and
// literal is empty. Otherwise a literal: head is its header "{n}\r\n" or "{n+}\r\n",
// literal its bytes, to follow the header (after the server's "+" when waitForContinuation).
struct ImapString {
    QByteArray head;
    QByteArray literal;
    bool isLiteral = false;
    bool waitForContinuation = false;
};
// Null when the value holds a CR, LF or NUL: these never reach the wire.
std::optional<ImapString> astring(QByteArrayView value, LiteralMode mode = LiteralMode::Synchronizing);

// "tag LOGIN user password" CR LF (RFC 3501 §6.2.3) as the parts to write in turn: after
// writing a part that ends in a synchronizing literal header the sender waits for the
// server's "+" before writing the next one. Null when the user or password holds a CR,
// LF or NUL.
std::optional<std::vector<QByteArray>> loginCommand(QByteArrayView tag, QByteArrayView user,
                                                    QByteArrayView password,
                                                    LiteralMode mode = LiteralMode::Synchronizing);

// The compact sequence set of the UIDs ("1:5,7,9:12"), sorted and without repeats; 0 is
// no UID and is left out. Empty for no UIDs.
QByteArray uidSet(std::vector<quint32> uids);

// The UIDs of a sequence set ("1:5,7", "9:3", single numbers), sorted and without
// repeats. Null when it is malformed, holds 0 or "*", or names more than maxUids.
std::optional<std::vector<quint32>> parseUidSet(QByteArrayView set, qsizetype maxUids);

constexpr qsizetype defaultMaxSearchUids = 10000000;

// The UIDs of a "* SEARCH 1 5 9" (RFC 3501 §7.2.5; a trailing "(MODSEQ n)" is skipped) or
// "* ESEARCH (TAG "a") UID ALL 1:5,9" (RFC 4731; COUNT, MIN and MAX alone give no UIDs;
// one without UID holds message numbers and is refused)
// response, sorted and without repeats. Null when the response is neither, is malformed
// or names more than maxUids.
std::optional<std::vector<quint32>> searchUids(const ImapResponse &response,
                                               qsizetype maxUids = defaultMaxSearchUids);

} // namespace lum
