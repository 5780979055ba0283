#pragma once
// Detects a second running copy of a program. The first copy holds a lock file for as long
// as it runs; a copy that finds the lock held by a live process is the second one. A lock
// left behind by a crashed copy is taken over (QLockFile checks that its process is gone).
// The lock file and any folder made for it are private to the user (modes 600 and 700).

#include <QLockFile>
#include <QString>

namespace lum {

class SingleInstance {
public:
    // Tries to take the lock at lockPath at once, without waiting; creates its folder.
    explicit SingleInstance(const QString &lockPath);
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when this process is the only running copy (it holds the lock).
    bool isFirst() const { return first_; }
    // True only when a live copy holds the lock: this copy should end quietly.
    bool alreadyRunning() const { return alreadyRunning_; }
    // Empty unless the lock could not be taken for another reason (the folder can't be made
    // or written, ...): then a message for the user that names the folder.
    QString failureMessage() const { return failureMessage_; }

private:
    QLockFile lock_;
    bool first_ = false;
    bool alreadyRunning_ = false;
    QString failureMessage_;
};

// The lock file of program name, kept beside the settings store: one running copy per
// user and store. "lumsetup" -> $XDG_CONFIG_HOME/lumwatch/lumsetup.lock.
QString instanceLockPath(const QString &name);

} // namespace lum
