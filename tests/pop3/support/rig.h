#pragma once
// An engine wired to the in-memory server, a fake clock and a recording view, with
// accounts written to a temporary settings store.

#include "fake_server.h"
#include "fake_timers.h"
#include "pop3/engine.h"
#include "pop3/kept_store.h"
#include "settings/setting_keys.h"
#include "support/temp_store.h"

#include <QMap>
#include <QStringList>
#include <functional>
#include <memory>

namespace lum::test {

class RecordingView : public EngineView {
public:
    QStringList captions;
    QStringList messages;
    QStringList events;
    QList<CheckCycleResult> checkEnds;
    int retrieveEnds = 0;
    QList<TrayPicture> pictures;

    void setCaption(const QString &c) override { captions.append(c); }
    void setTrayPicture(TrayPicture p) override { pictures.append(p); }
    std::function<void(const QString &)> onShowMsg; // runs while the message is "shown"
    void showMsg(const QString &m) override
    {
        messages.append(m);
        if (onShowMsg)
            onShowMsg(m);
    }
    void cycleStarting() override { events.append(QStringLiteral("cycle")); }
    void sessionStarting(SessionKind k) override
    {
        events.append(QStringLiteral("session%1").arg(int(k)));
    }
    void checkCycleEnded(const CheckCycleResult &r) override
    {
        checkEnds.append(r);
        events.append(QStringLiteral("checkEnd"));
    }
    void retrieveCycleEnded() override
    {
        ++retrieveEnds;
        events.append(QStringLiteral("retrieveEnd"));
    }
};

// A message with ISO-2022-JP encoded From and Subject.
inline QByteArray jpMessage(const QByteArray &fromWord, const QByteArray &subjectWord,
                            const QByteArray &messageId, const QByteArray &body = "本文\r\n")
{
    return "Return-Path: <a@example.jp>\r\n"
           "Message-ID: <" + messageId + ">\r\n"
           "Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n"
           "From: " + fromWord + " <a@example.jp>\r\n"
           "Subject: " + subjectWord + "\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
           "\r\n" + body;
}

inline const QByteArray wTest = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=";         // テスト
inline const QByteArray wHello = "=?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?="; // こんにちは
inline const QByteArray wMeeting = "=?ISO-2022-JP?B?GyRCMnE1RCRON28bKEI=?=";    // 会議の件
inline const QByteArray wYamada = "=?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?=";     // 山田太郎
inline const QByteArray wBill = "=?ISO-2022-JP?B?GyRCQEE1YT1xGyhC?=";          // 請求書

struct TestAccount {
    QString name;
    QString host = QStringLiteral("pop.example.jp");
    int port = 110;
    QString user = QStringLiteral("user");
    QString pass = QStringLiteral("pass");
    int check = 1;
    SslMode sslmode = SslMode::None;
    MailProtocol protocol = MailProtocol::Pop3;
};

using TestSettings = QList<std::pair<const char *, QString>>;

// Stores accounts 1..n and the given option values, as the options program would.
inline void writeTestSettings(SettingsStore &s, const QList<TestAccount> &accounts,
                              const TestSettings &settings = {})
{
    s.writeSetting(QStringLiteral("accountno"), QString::number(accounts.size()));
    for (const auto &[k, v] : settings)
        s.writeSetting(QString::fromLatin1(k), v);
    for (int n = 1; n <= accounts.size(); ++n) {
        const TestAccount &a = accounts[n - 1];
        AccountRecord r;
        r.aname = a.name;
        r.hname = a.host;
        r.uname = a.user;
        r.passw = a.pass;
        r.check = qint16(a.check);
        r.sslmode = a.sslmode;
        r.protocol = a.protocol;
        writeAccount(s, n, r);
        // As a number: the ports of test servers go beyond AccountRecord's 16 bits.
        s.writeSetting(numbered(key::portno, n), QString::number(a.port));
    }
    s.flush();
}

// Kept summaries in memory, by file name.
struct MemoryKeptStore : KeptStore {
    QMap<QString, QByteArray> files;
    QByteArray load(const QString &name) override { return files.value(name); }
    void save(const QString &name, const QByteArray &bytes) override { files[name] = bytes; }
    void keepOnly(const QSet<QString> &keep) override { files.removeIf([&](auto it) { return !keep.contains(it.key()); }); }
    QString problem() override { return {}; }
};

class Rig {
public:
    TempStore temp;
    MemoryKeptStore kept;
    Options options;
    MailTable table;
    RecordingView view;
    FakeTimers timers;
    std::unique_ptr<Pop3Engine> engine;
    std::unique_ptr<FakeServer> server;

    // Accounts 1..n; every host starts with an empty, normal mailbox. Unless settings say
    // otherwise, the sessions keep to the plain dialogue ("Option15value" 0).
    explicit Rig(const QList<TestAccount> &accounts, const QList<std::pair<const char *, QString>> &settings = {})
    {
        SettingsStore &s = temp.store();
        writeTestSettings(s, accounts, TestSettings{{"Option15value", QStringLiteral("0")}} + settings);
        loadOptions(s, options);
        table.reset(options.accountno);
        engine = std::make_unique<Pop3Engine>(options, s, table, *transportProxy(), timers, view);
        engine->setKeptStore(&kept);
        timers.onTick = [this](TimerId id) { engine->timerTick(id); };
        for (const TestAccount &a : accounts)
            server->hosts[a.host + QLatin1Char(':') + QString::number(a.port)];
    }

    Mailbox &box(int account)
    {
        AccountRecord r;
        readAccount(temp.store(), account, r);
        return server->hosts[r.hname + QLatin1Char(':')
                             + QString::number(storedPort(temp.store(), account).value_or(0))];
    }

    // Runs events and timers until nothing is pending: each pause of the clock is taken
    // whole, so a full cycle completes in one call.
    void settle(qint64 maxMs = 10 * 60000)
    {
        server->pump();
        for (qint64 spent = 0; spent < maxMs; spent += 1000) {
            bool anyTimer = false;
            for (TimerId id : {TimerId::Logon, TimerId::Retr, TimerId::Del})
                anyTimer = anyTimer || timers.active(id);
            if (!anyTimer)
                break;
            timers.advance(1000);
            server->pump();
        }
    }

    MailRecord &rec(int a, int m) { return *table.record(a, m); }

    // The program ends and starts again: only the settings and the kept summaries remain.
    void restart()
    {
        table.reset(options.accountno);
        engine = std::make_unique<Pop3Engine>(options, temp.store(), table, *server, timers, view);
        engine->setKeptStore(&kept);
    }

private:
    // The server needs the engine as its event sink, the engine the server as its transport.
    Transport *transportProxy()
    {
        proxy_.rig = this;
        server = std::make_unique<FakeServer>(proxy_);
        return server.get();
    }
    struct ProxyHolder : TransportEvents {
        Rig *rig = nullptr;
        void connected(ConnId id) override { rig->engine->connected(id); }
        void received(ConnId id, QByteArrayView b) override { rig->engine->received(id, b); }
        void closed(ConnId id) override { rig->engine->closed(id); }
        void failed(ConnId id, qint32 c) override { rig->engine->failed(id, c); }
        void encrypted(ConnId id) override { rig->engine->encrypted(id); }
        void tlsFailed(ConnId id, TlsError r, const QByteArray &f) override { rig->engine->tlsFailed(id, r, f); }
    } proxy_;
};

} // namespace lum::test
