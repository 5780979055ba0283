#pragma once
// The desktop's keyring (the freedesktop Secret Service: GNOME Keyring, KWallet, KeePassXC)
// as a place for account passwords, items under the service "Lumora". Every operation is
// asynchronous: it returns at once and its answer arrives later on the event loop. The
// desktop may ask the user to unlock a locked keyring meanwhile.

#include <QString>
#include <functional>

namespace lum {

struct KeyringAnswer {
    bool ok = false;
    QString password; // read only
    QString reason;   // in Japanese, when not ok
    bool missing = false; // read only: there is no item under the key
};

class Keyring {
public:
    using Done = std::function<void(const KeyringAnswer &)>;
    virtual ~Keyring() = default;
    // Empty when a Secret Service answers on the session bus (or can be started there),
    // else why not.
    virtual QString unavailableReason() const = 0;
    virtual void read(const QString &key, Done done) = 0;
    virtual void write(const QString &key, const QString &password, Done done) = 0;
    // A missing item counts as removed.
    virtual void remove(const QString &key, Done done) = 0;
};

// Reads the item key; when there is none, the item formerKey (an older name of the same item,
// empty for none) is moved to key, and its password is the answer.
void readMoving(Keyring &keyring, const QString &key, const QString &formerKey, Keyring::Done done);

// The Secret Service through QtKeychain, never falling back to a file.
class SecretServiceKeyring : public Keyring {
public:
    QString unavailableReason() const override;
    void read(const QString &key, Done done) override;
    void write(const QString &key, const QString &password, Done done) override;
    void remove(const QString &key, Done done) override;
};

} // namespace lum
