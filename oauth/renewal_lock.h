#pragma once
// One renewal of a refresh token at a time across programs (lumwatchd and lumcheck may renew
// the same account at once, and a provider that rotates refresh tokens takes each one once):
// an flock on a file named after the keyring item, in $XDG_RUNTIME_DIR/lumora/ (a folder of
// the user's alone, mode 700), or in the cache folder when that variable is unset. The lock
// is tried without blocking, again every 50 ms, so that the event loop goes on meanwhile.

#include <QString>

#include <functional>
#include <memory>

namespace lum {

// Held while it lives.
class RenewalLock {
public:
    explicit RenewalLock(int fd) : fd_(fd) {}
    ~RenewalLock();
    RenewalLock(const RenewalLock &) = delete;
    RenewalLock &operator=(const RenewalLock &) = delete;

private:
    int fd_;
};

constexpr int renewalLockWaitMs = 60'000;

// done gets the lock of keyringKey, or nothing and why (in Japanese); always later on the
// event loop, never during the call.
void lockRenewal(const QString &keyringKey,
                 std::function<void(std::shared_ptr<RenewalLock>, const QString &failure)> done);

} // namespace lum
