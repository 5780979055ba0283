#pragma once
// What a server says it can do (CAPA, RFC 2449) and the unique ids it lists (UIDL, RFC 1939
// §7), read from their multi-line replies as the reply reader hands them out: the status
// line, the data lines each ending in CR LF, and ".\r\n".

#include <QByteArray>
#include <QStringList>
#include <optional>
#include <vector>

namespace lum {

struct Capabilities {
    bool pipelining = false;
    bool uidl = false;
    bool top = false;
    bool stls = false;
    QStringList sasl; // mechanisms, upper case

    bool operator==(const Capabilities &) const = default;
};

// Capability names are matched without regard to case; unknown ones are ignored. A
// negative answer, or none, means a server that offers none of them.
Capabilities parseCapabilities(const QByteArray &block);

struct UniqueId {
    qint32 message = 0;
    QByteArray uidl;

    bool operator==(const UniqueId &) const = default;
};

// The "n uidl" lines of a UIDL reply, or nothing when a line is not one: a number from 1 in
// increasing order, and an id of 1 to 70 characters from 0x21 to 0x7E that no other message
// of the list has.
std::optional<std::vector<UniqueId>> parseUidlList(const QByteArray &block);
// The sizes of messages 1..n from the "n size" lines of a LIST reply, or nothing when the
// lines are not exactly those.
std::optional<std::vector<qint64>> parseScanList(const QByteArray &block);
// One "+OK n uidl" answer to "UIDL n".
std::optional<UniqueId> parseUidlLine(const QByteArray &statusLine);

} // namespace lum
