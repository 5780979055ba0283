// libFuzzer target: the engine against a server that answers with arbitrary bytes. The
// input is cut into chunks (a length byte, then that many bytes; length 0 closes the
// connection, 1 fails it) and one chunk is delivered after the connection opens and after
// every command. A check, a retrieve and a delete cycle run on it; each must end once the
// bytes are used up and the session time-out has struck. Memory stays within libFuzzer's
// limit because every reply the engine collects is bounded.

#include "pop3/engine.h"
#include "support/fake_timers.h"
#include "support/temp_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>

namespace {

using namespace lum;

struct Server : Transport {
    Pop3Engine *engine = nullptr;
    QByteArray data;
    qsizetype pos = 0;
    struct Event {
        ConnId id;
        int kind; // 0 connected, 1 bytes, 2 closed, 3 failed
        QByteArray bytes;
    };
    std::deque<Event> queue;

    void chunk(ConnId id)
    {
        if (pos >= data.size())
            return;
        const int length = uchar(data[pos++]);
        if (length < 2) {
            queue.push_back({id, length == 0 ? 2 : 3, {}});
            return;
        }
        queue.push_back({id, 1, data.mid(pos, length)});
        pos += length;
    }
    void open(ConnId id, const QString &, quint16) override
    {
        queue.push_back({id, 0, {}});
        chunk(id);
    }
    void openTls(ConnId id, const QString &host, quint16 port, const QByteArray &) override { open(id, host, port); }
    void startTls(ConnId, const QByteArray &) override {}
    void send(ConnId id, const QByteArray &) override { chunk(id); }
    void close(ConnId) override {}

    void pump()
    {
        while (!queue.empty()) {
            const Event e = queue.front();
            queue.pop_front();
            switch (e.kind) {
            case 0:
                engine->connected(e.id);
                break;
            case 1:
                engine->received(e.id, e.bytes);
                break;
            case 2:
                engine->closed(e.id);
                break;
            default:
                engine->failed(e.id, 10054);
                break;
            }
        }
    }
};

struct View : EngineView {
    int checkEnds = 0;
    int retrieveEnds = 0;
    void checkCycleEnded(const CheckCycleResult &) override { ++checkEnds; }
    void retrieveCycleEnded() override { ++retrieveEnds; }
};

// One account, written once for the whole run.
SettingsStore &store()
{
    static test::TempStore temp;
    static const bool written = [] {
        SettingsStore &s = temp.store();
        s.writeSetting(QStringLiteral("accountno"), QStringLiteral("1"));
        s.writeSetting(QStringLiteral("Hname1"), QStringLiteral("pop.example.jp"));
        s.writeSetting(QStringLiteral("Uname1"), QStringLiteral("user"));
        s.writeSetting(QStringLiteral("Passw1"), QStringLiteral("112 "));
        s.writeSetting(QStringLiteral("Option6value"), QStringLiteral("1"));
        return true;
    }();
    (void)written;
    return temp.store();
}

struct Rig {
    Options options;
    MailTable table{1};
    View view;
    test::FakeTimers timers;
    Server server;
    Pop3Engine engine{options, store(), table, server, timers, view};

    explicit Rig(const QByteArray &data)
    {
        loadOptions(store(), options);
        server.engine = &engine;
        server.data = data;
        timers.onTick = [this](TimerId id) { engine.timerTick(id); };
    }

    // Runs the cycle until done() holds, replaying the input from its start.
    template <typename Done> void run(Done done)
    {
        server.pos = 0;
        server.pump();
        for (int minute = 0; minute < 5 && !done(); ++minute) {
            timers.advance(61000);
            server.pump();
        }
        if (!done())
            std::abort(); // a cycle that never ends
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Rig rig(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    rig.engine.checkmail();
    rig.run([&] { return rig.view.checkEnds == 1; });

    for (int m = 1; m <= 3; ++m) {
        if (MailRecord *r = rig.table.record(1, m))
            r->mark = true;
    }
    rig.engine.retrieveMarked();
    rig.run([&] { return rig.view.retrieveEnds == 1; });

    for (int m = 1; m <= 3; ++m) {
        if (MailRecord *r = rig.table.record(1, m))
            r->mark = true;
    }
    rig.engine.deleteMarked(); // ends with a check
    rig.run([&] { return rig.view.checkEnds == 2; });
    return 0;
}
