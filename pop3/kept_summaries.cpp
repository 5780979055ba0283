#include "pop3/kept_summaries.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>
#include <QSet>

#include <algorithm>

namespace lum {

namespace {

constexpr quint32 kMagic = 0x4C4B5331; // "LKS1"
constexpr quint32 kVersion = 3;
// A UIDL is 1 to 70 characters (RFC 1939 §7); anything longer is not one.
constexpr qsizetype kMaxUidl = 70;

void write(QDataStream &out, const MessageIdentity &id)
{
    out << id.messageId << id.date << id.from << id.subject;
}

void read(QDataStream &in, MessageIdentity &id)
{
    in >> id.messageId >> id.date >> id.from >> id.subject;
}

// Against damage, not against an adversary (the folder is the user's own): BLAKE2b reads
// a mailbox's summaries several times faster than SHA-256 does.
QByteArray checksum(QByteArrayView payload)
{
    return QCryptographicHash::hash(payload, QCryptographicHash::Blake2b_256);
}

} // namespace

QString KeptOwner::fileName() const
{
    const QByteArray key = host.toUtf8() + '\n' + QByteArray::number(port) + '\n' + user.toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32));
}

const Summary *KeptSummaries::find(const QByteArray &uidl, qint64 size) const
{
    auto it = byUidl_.constFind(uidl);
    return it == byUidl_.constEnd() || it->size != size ? nullptr : &it->summary;
}

void KeptSummaries::put(const QByteArray &uidl, qint64 size, Summary summary)
{
    if (!uidl.isEmpty() && uidl.size() <= kMaxUidl && size >= 0)
        byUidl_.insert(uidl, Entry{size, std::move(summary)});
}

void KeptSummaries::keepOnly(const std::vector<QByteArray> &listed)
{
    const QSet<QByteArray> keep(listed.begin(), listed.end());
    for (auto it = byUidl_.begin(); it != byUidl_.end();)
        it = keep.contains(it.key()) ? std::next(it) : byUidl_.erase(it);
}

// magic, version, owner, count, (uidl, size, from, subject, attach, identity) * count, then the
// BLAKE2b-256 of everything before it.
QByteArray KeptSummaries::toBytes(const KeptOwner &owner) const
{
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << kMagic << kVersion << owner.host << owner.port << owner.user
            << quint8(owner.decoding == Decoding::Modern) << quint32(byUidl_.size());
        for (auto it = byUidl_.constBegin(); it != byUidl_.constEnd(); ++it) {
            const Summary &s = it->summary;
            out << it.key() << it->size << s.from << s.subject << s.attach;
            write(out, s.identity);
        }
    }
    return bytes + checksum(bytes);
}

KeptSummaries KeptSummaries::fromBytes(const QByteArray &bytes, const KeptOwner &owner)
{
    const qsizetype hashSize = 32;
    if (bytes.size() < hashSize)
        return {};
    const QByteArray payload = bytes.first(bytes.size() - hashSize);
    if (checksum(payload) != bytes.last(hashSize))
        return {};
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0, count = 0;
    KeptOwner stored;
    quint8 modern = 0;
    in >> magic >> version;
    if (magic != kMagic || version != kVersion)
        return {};
    in >> stored.host >> stored.port >> stored.user >> modern >> count;
    stored.decoding = modern ? Decoding::Modern : Decoding::Classic;
    if (in.status() != QDataStream::Ok || !(stored == owner))
        return {};
    KeptSummaries kept;
    // A summary takes a few dozen bytes at least: a count beyond that is damage, not a size.
    kept.byUidl_.reserve(qsizetype(std::min<quint64>(count, quint64(payload.size()) / 16)));
    for (quint32 i = 0; i < count; ++i) {
        QByteArray uidl;
        qint64 size = 0;
        Summary s;
        in >> uidl >> size >> s.from >> s.subject >> s.attach;
        read(in, s.identity);
        if (in.status() != QDataStream::Ok)
            return {};
        kept.put(uidl, size, std::move(s));
    }
    if (!in.atEnd())
        return {};
    return kept;
}

} // namespace lum
