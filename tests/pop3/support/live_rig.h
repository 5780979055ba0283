#pragma once
// The engine on real sockets (QtTransport) with the fake clock: pauses between accounts
// are skipped, the session time-out fires only when a test advances the clock. Events
// are run by the application's event loop until a condition holds.

#include "fake_timers.h"
#include "pop3/engine.h"
#include "pop3/qt/qt_transport.h"
#include "rig.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace lum::test {

class LiveRig {
public:
    TempStore temp;
    Options options;
    MailTable table;
    RecordingView view;
    FakeTimers timers;
    std::unique_ptr<Pop3Engine> engine;
    std::unique_ptr<QtTransport> transport;

    LiveRig(const QList<TestAccount> &accounts, const QList<std::pair<const char *, QString>> &settings = {})
    {
        SettingsStore &s = temp.store();
        writeTestSettings(s, accounts, settings);
        loadOptions(s, options);
        table.reset(options.accountno);
        transport = std::make_unique<QtTransport>(&events_);
        engine = std::make_unique<Pop3Engine>(options, s, table, *transport, timers, view);
        events_.engine = engine.get();
        timers.onTick = [this](TimerId id) { engine->timerTick(id); };
    }

    // Runs socket events (and next-account pauses, at once) until done() holds or the
    // real-time guard runs out; returns done().
    template <typename Done>
    bool runUntil(Done done, int guardMs = 60000)
    {
        QDeadlineTimer guard(guardMs);
        while (!done() && !guard.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            for (TimerId id : {TimerId::Logon, TimerId::Retr, TimerId::Del}) {
                if (timers.active(id))
                    timers.advance(std::max(timers.interval(id), 0));
            }
        }
        return done();
    }

    bool runCheckCycle()
    {
        const auto ends = view.checkEnds.size();
        engine->checkmail();
        return runUntil([&] { return view.checkEnds.size() > ends; });
    }

    MailRecord &rec(int a, int m) { return *table.record(a, m); }

private:
    struct Forward : TransportEvents {
        Pop3Engine *engine = nullptr;
        void connected(ConnId id) override { engine->connected(id); }
        void received(ConnId id, QByteArrayView b) override { engine->received(id, b); }
        void closed(ConnId id) override { engine->closed(id); }
        void failed(ConnId id, qint32 c) override { engine->failed(id, c); }
        void encrypted(ConnId id) override { engine->encrypted(id); }
        void tlsFailed(ConnId id, TlsError r, const QByteArray &f) override { engine->tlsFailed(id, r, f); }
    } events_;
};

} // namespace lum::test
