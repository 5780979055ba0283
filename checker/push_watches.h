#pragma once
// The push of lumwatchd: for every IMAP account that is checked, a connection of its own that
// idles on the account's mailbox and asks the engine for that account's check when the server
// tells of news. Each watch has a transport and timers of its own; the login is read as the
// engine reads it (the file, the keyring, or an access token). The watches are made anew
// whenever the options are read; lumcheck never idles.

#include "oauth/token_broker.h"
#include "platform/keyring.h"
#include "pop3/engine.h"
#include "pop3/push_watch.h"
#include "pop3/qt/qt_transport.h"

#include <QTimer>

#include <array>
#include <memory>
#include <vector>

namespace lum {

class PushWatches {
public:
    PushWatches(Pop3Engine &engine, const SettingsStore &store, Keyring &keyring, TokenBroker &broker);
    ~PushWatches();

    // Stops every watch, then starts one for each IMAP account 1..accountno that is checked
    // and can be opened.
    void restart(const Options &options);
    // The machine woke or the network came back: every connection is opened again now.
    void reopenAll();
    void stopAll();

private:
    struct Watch;
    PushWatch::LoginSource loginOf(const AccountRecord &account, quint16 port, bool oauth, bool keyring);

    Pop3Engine &engine_;
    const SettingsStore &store_;
    Keyring &keyring_;
    TokenBroker &broker_;
    std::vector<std::unique_ptr<Watch>> watches_;
    std::shared_ptr<int> life_ = std::make_shared<int>(); // for answers after a restart
};

} // namespace lum
