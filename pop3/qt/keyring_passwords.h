#pragma once
// The engine's PasswordSource on the desktop's keyring: each request becomes a keyring read
// whose answer goes back to the engine. Answers that come after this object is gone are
// dropped.

#include "platform/keyring.h"
#include "pop3/engine.h"
#include "settings/account_record.h"

#include <memory>

namespace lum {

class KeyringPasswords : public PasswordSource {
public:
    KeyringPasswords(Keyring &keyring, Pop3Engine &engine) : keyring_(keyring), engine_(engine) {}

    void requestPassword(quint64 request, const QString &key) override
    {
        readMoving(keyring_, key, formerKeyringKey(key), [this, request, alive = std::weak_ptr<int>(alive_)](const KeyringAnswer &a) {
            if (alive.expired())
                return;
            if (a.ok)
                engine_.passwordArrived(request, a.password, {});
            else
                engine_.passwordArrived(request, std::nullopt, a.reason);
        });
    }

private:
    Keyring &keyring_;
    Pop3Engine &engine_;
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};

} // namespace lum
