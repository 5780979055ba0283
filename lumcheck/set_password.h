#pragma once
// lumcheck --set-password A: reads account A's password from standard input (one line,
// without echo on a terminal) and stores it where the account's "Pwstore" says: the
// keyring, or scrambled in "Passw"A. Prints one line saying where and quits the application
// with 0, or with 1 and the reason.

#include "platform/keyring.h"
#include "platform/settings_store.h"

#include <QTextStream>

namespace lum {

class SetPasswordRun {
public:
    SetPasswordRun(SettingsStore &store, Keyring &keyring, int account);
    void start();

private:
    void stored(const QString &where);
    void fail(const QString &reason);

    SettingsStore &store_;
    Keyring &keyring_;
    int account_;
    QString name_;
    QTextStream out_;
    QTextStream err_;
};

} // namespace lum
