#include "checker/push_watches.h"

#include "imap/imap_text.h"
#include "oauth/account_client.h"
#include "platform/codepage.h"
#include "pop3/sasl.h"

namespace lum {

// A watch with its transport and one-shot timers.
struct PushWatches::Watch : PushTimers {
    QtTransport transport;
    std::array<QTimer, 3> timers;
    PushWatch watch;

    Watch(const QString &account, PushWatch::Hooks hooks)
        : transport(&watch), watch(transport, *this, account, std::move(hooks))
    {
        for (size_t i = 0; i < timers.size(); ++i) {
            timers[i].setSingleShot(true);
            QObject::connect(&timers[i], &QTimer::timeout, [this, i] { watch.timerFired(PushTimer(i)); });
        }
    }
    void start(PushTimer id, int ms) override { timers[size_t(id)].start(ms); }
    void stop(PushTimer id) override { timers[size_t(id)].stop(); }
};

PushWatches::PushWatches(Pop3Engine &engine, const SettingsStore &store, Keyring &keyring, TokenBroker &broker)
    : engine_(engine), store_(store), keyring_(keyring), broker_(broker)
{
}

PushWatches::~PushWatches() = default;

void PushWatches::stopAll()
{
    watches_.clear(); // each stops: DONE, LOGOUT, close
    life_ = std::make_shared<int>();
}

void PushWatches::reopenAll()
{
    for (const auto &w : watches_)
        w->watch.reopen();
}

void PushWatches::restart(const Options &options)
{
    stopAll();
    for (int n = 1; n <= options.accountno; ++n) {
        AccountRecord a;
        readAccount(store_, n, a);
        const QString host = connectionHost(a.hname);
        const std::optional<quint16> port = storedPort(store_, n);
        const std::optional<SslMode> mode = storedSslMode(store_, n);
        const std::optional<AuthMode> auth = storedAuthMode(store_, n);
        const std::optional<PasswordStore> kept = storedPasswordStore(store_, n);
        if (a.check == 0 || storedProtocol(store_, n) != MailProtocol::Imap || host.isEmpty() || !port || !mode
            || !auth || !kept || (*auth == AuthMode::OAuth && *mode == SslMode::None))
            continue; // the check tells what is wrong with it
        const bool oauth = *auth == AuthMode::OAuth;
        PushWatch::Hooks hooks{[this, n] { engine_.checkAccountWhenFree(n); }, {},
                               [this](const QByteArray &line) { engine_.appendToLog(encodeCp932(QString::fromUtf8(line))); }};
        auto w = std::make_unique<Watch>(a.aname, std::move(hooks));
        ImapJob job;
        job.task = ImapTask::Idle;
        job.mailbox = encodeMailboxName(a.imapbox.isEmpty() ? inboxName : a.imapbox);
        w->watch.start(loginOf(a, *port, oauth, *kept == PasswordStore::Keyring), job, host, *port, *mode,
                       a.sslpin.toLatin1());
        watches_.push_back(std::move(w));
    }
}

// The login of account a, asked for each time its connection opens: the password of the file
// or the keyring, or an access token as the engine gets it.
PushWatch::LoginSource PushWatches::loginOf(const AccountRecord &a, quint16 port, bool oauth, bool keyring)
{
    const QByteArray user = a.uname.toUtf8();
    const std::weak_ptr<int> alive = life_;
    if (oauth) {
        return [this, a, port, user, alive](const PushWatch::LoginAnswer &answer) {
            broker_.accessToken(clientOf(a.oauth, MailProtocol::Imap), oauthKeyringKey(a.hname, port, a.uname), false,
                                [a, port, user, alive, answer](const TokenAnswer &t) {
                                    if (alive.expired())
                                        return;
                                    if (!t.ok || t.token.isEmpty()) {
                                        answer(std::nullopt);
                                        return;
                                    }
                                    const QString host = connectionHost(a.hname);
                                    answer(ImapLogin{user, {}, initialResponse(SaslMechanism::OAuthBearer, a.uname, host, port, t.token),
                                                     initialResponse(SaslMechanism::XOAuth2, a.uname, host, port, t.token)});
                                });
        };
    }
    if (keyring) {
        const QString key = keyringKey(a.hname, port, a.uname);
        return [this, key, user, alive](const PushWatch::LoginAnswer &answer) {
            readMoving(keyring_, key, formerKeyringKey(key), [user, alive, answer](const KeyringAnswer &k) {
                if (!alive.expired())
                    answer(k.ok ? std::optional<ImapLogin>(ImapLogin{user, k.password.toUtf8(), {}, {}}) : std::nullopt);
            });
        };
    }
    const QByteArray password = a.passw.toUtf8();
    return [user, password](const PushWatch::LoginAnswer &answer) { answer(ImapLogin{user, password, {}, {}}); };
}

} // namespace lum
