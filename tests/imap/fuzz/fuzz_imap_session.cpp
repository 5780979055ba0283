// libFuzzer target: the IMAP session on arbitrary server bytes after a fixed greeting. The
// first byte chooses the task, STARTTLS, the login and where the rest is cut in two (with
// the TLS handshake and a renewal of IDLE between). The session must never crash or loop, and once the
// connection closes it is over, having called finished() exactly once.

#include "imap/imap_session.h"

#include <cstdlib>

namespace {

using namespace lum;

struct Host : ImapSessionHost {
    int finishedCalls = 0;
    void send(const QByteArray &, const QByteArray &) override {}
    void logResponse(const QByteArray &) override {}
    void startTls() override {}
    std::vector<quint32> listed(quint32, const std::vector<quint32> &uids) override { return uids; }
    void headerFetched(quint32, qint64, const QByteArray &) override {}
    void messageFetched(quint32, const QByteArray &) override {}
    void messageGone(quint32) override {}
    void deleted(const std::vector<quint32> &, bool) override {}
    void mailboxChanged() override {}
    void tokenRefused(const QString &) override {}
    void finished(const QString &) override { ++finishedCalls; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    const QByteArrayView input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    Host host;
    ImapSession session(host, {"u", "p\"\xe3\x81\x82", {}, mode & 8 ? "eA==" : ""},
                        {ImapTask(mode % 4), "INBOX", (mode & 4) != 0, 1, {1, 2, 3}, 4096});
    session.received("* OK [CAPABILITY IMAP4rev1 STARTTLS SASL-IR AUTH=OAUTHBEARER] ready\r\n");
    const qsizetype cut = qMin<qsizetype>((mode >> 4) * 16, input.size());
    session.received(input.first(cut));
    session.encrypted(); // nothing unless STARTTLS was accepted
    session.renew();     // nothing unless idling
    session.received(input.sliced(cut));
    session.closed();
    if (!session.over() || host.finishedCalls != 1)
        std::abort();
    return 0;
}
