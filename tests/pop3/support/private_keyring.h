#pragma once
// A session bus of its own in a throwaway HOME, without service activation, so that a
// Secret Service is there only when a test starts one: gnome-keyring-daemon with its login
// keyring created and unlocked by a password given on standard input.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace lum::test {

class PrivateKeyring {
public:
    ~PrivateKeyring();
    bool startBus();
    // After startBus(): the Secret Service, unlocked.
    bool startKeyring();
    // What a program needs to find this bus and keyring.
    QProcessEnvironment environment() const;
    // The item of the service "Lumora" under key as secret-tool finds it; empty when none.
    QString lookup(const QString &key) const;
    QString error() const { return error_; }

private:
    QTemporaryDir home_;
    QProcess bus_;
    QString address_;
    QString error_;
};

} // namespace lum::test
