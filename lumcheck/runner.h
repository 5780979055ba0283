#pragma once
// One run of lumcheck: a check cycle, then optionally a retrieve cycle and a delete cycle
// (which ends with a second check), printing as it goes. Quits the application at the end.

#include "lumcheck/report.h"
#include "platform/keyring.h"
#include "pop3/engine.h"
#include "pop3/qt/keyring_passwords.h"
#include "pop3/qt/oauth_tokens.h"
#include "pop3/qt/file_kept_store.h"
#include "pop3/qt/qt_timers.h"
#include "pop3/qt/qt_transport.h"

#include <QTextStream>

namespace lum {

struct RunRequest {
    bool json = false;
    bool log = false;
    QList<MessageRef> retrieve;
    QList<MessageRef> remove;
};

class Runner : public EngineView {
public:
    Runner(Options &options, const SettingsStore &store, const RunRequest &request);
    void start();

    // EngineView.
    void showMsg(const QString &text) override;
    void cycleStarting() override;
    void checkCycleEnded(const CheckCycleResult &) override;
    void retrieveCycleEnded() override;

private:
    enum class Phase { Check, Retrieve, Delete, Done };
    void nextPhase();
    bool mark(const QList<MessageRef> &refs);
    void clearMarks();
    void finish();

    Options &opt_;
    const SettingsStore &store_;
    RunRequest req_;
    MailTable table_;
    FileKeptStore kept_;
    QtTransport transport_;
    QtTimers timers_;
    Pop3Engine engine_;
    SecretServiceKeyring keyring_;
    KeyringPasswords passwords_{keyring_, engine_};
    QNetworkAccessManager network_;
    TokenBroker broker_{keyring_, network_};
    OAuthTokens tokens_{broker_, engine_, opt_, [this](const QString &message) {
        err_ << "lumcheck: " << message << Qt::endl;
    }};
    Phase phase_ = Phase::Check;
    QByteArray log_;
    QTextStream out_;
    QTextStream err_;
};

} // namespace lum
