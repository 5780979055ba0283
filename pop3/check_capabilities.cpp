// What a server said to CAPA, kept for the next session with it, in this run or the next:
// a check of a server that took pipelined commands sends its login with CAPA.
#include "pop3/engine.h"
#include "pop3/kept_store.h"

namespace lum {

namespace {

// Stored as a CAPA reply of our own making, behind a status line naming the format.
constexpr char kStatus[] = "+OK LKC1\r\n";

QByteArray toBytes(const Capabilities &caps)
{
    QByteArray bytes = kStatus;
    for (const auto &[offered, name] : {std::pair{caps.pipelining, "PIPELINING"}, std::pair{caps.uidl, "UIDL"},
                                        std::pair{caps.top, "TOP"}, std::pair{caps.stls, "STLS"}}) {
        if (offered)
            bytes.append(name).append("\r\n");
    }
    return bytes + ".\r\n";
}

Capabilities fromBytes(const QByteArray &bytes)
{
    if (!bytes.startsWith(kStatus) || !bytes.endsWith("\r\n.\r\n"))
        return {};
    return parseCapabilities(bytes);
}

} // namespace

Capabilities Pop3Engine::lastCapabilities()
{
    if (lastCaps_.size() <= size_t(index_))
        lastCaps_.resize(size_t(index_) + 1);
    LastCapabilities &last = lastCaps_[size_t(index_)];
    const QString name = KeptOwner{host_, port_, account_.uname, decoding_}.fileName() + QStringLiteral(".capa");
    if (last.name != name) {
        last.name = name;
        last.caps = keptStore_ ? fromBytes(keptStore_->load(name)) : Capabilities{};
    }
    return last.caps;
}

void Pop3Engine::rememberCapabilities(const Capabilities &caps)
{
    Capabilities kept = caps;
    kept.sasl.clear(); // an OAuth 2.0 session always asks
    if (lastCapabilities() == kept)
        return;
    LastCapabilities &last = lastCaps_[size_t(index_)];
    last.caps = kept;
    if (keptStore_)
        keptStore_->save(last.name, toBytes(kept));
}

} // namespace lum
