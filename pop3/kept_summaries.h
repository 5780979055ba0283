#pragma once
// Summaries kept between checks, one set per account: what the list shows of each message,
// by the server's unique id (UIDL, RFC 1939 §7) and the message's size (LIST), so that a
// check fetches with TOP only the messages it has not seen. Servers may give a freed id to
// another message: a summary is used only for a message of the same id and size. A set belongs to one server, port, user name and decoding mode;
// bytes written for another, or damaged, read as an empty set and are never trusted.

#include "decode/summary.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace lum {

struct KeptOwner {
    QString host;
    quint16 port = 0;
    QString user;
    Decoding decoding = Decoding::Classic;

    bool operator==(const KeptOwner &) const = default;
    // The name of the owner's file: the same for the same server, port and user, whatever
    // the account's number.
    QString fileName() const;
};

class KeptSummaries {
public:
    const Summary *find(const QByteArray &uidl, qint64 size) const;
    void put(const QByteArray &uidl, qint64 size, Summary summary);
    // Drops every summary whose id the server no longer lists.
    void keepOnly(const std::vector<QByteArray> &listed);
    qsizetype size() const { return byUidl_.size(); }

    QByteArray toBytes(const KeptOwner &owner) const;
    // The set stored in bytes for owner; empty when the bytes are another owner's, of
    // another version, cut short or damaged.
    static KeptSummaries fromBytes(const QByteArray &bytes, const KeptOwner &owner);

private:
    struct Entry {
        qint64 size;
        Summary summary;
    };
    QHash<QByteArray, Entry> byUidl_;
};

} // namespace lum
