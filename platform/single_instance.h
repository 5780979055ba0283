#pragma once
// Detects a second running copy of a program. The first copy holds a lock file for as long
// as it runs; a copy that finds the lock held by a live process is the second one. A lock
// left behind by a crashed copy is taken over (QLockFile checks that its process is gone).

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

private:
    QLockFile lock_;
    bool first_ = false;
};

// The lock file of program name, kept beside the settings store: one running copy per
// user and store. "lumsetup" -> $XDG_CONFIG_HOME/lumwatch/lumsetup.lock.
QString instanceLockPath(const QString &name);

} // namespace lum
