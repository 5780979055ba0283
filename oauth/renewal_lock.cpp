#include "oauth/renewal_lock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lum {

namespace {

using Done = std::function<void(std::shared_ptr<RenewalLock>, const QString &)>;

// The folder of the lock files, made when missing; empty when it can't be made.
QString lockFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = runtime.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) : runtime;
    if (base.isEmpty())
        return {};
    const QString folder = base + QStringLiteral("/lumora");
    const QByteArray path = QFile::encodeName(folder);
    QDir().mkpath(base);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st{};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return {};
    if ((st.st_mode & 0777) != 0700 && ::chmod(path.constData(), 0700) != 0)
        return {};
    return folder;
}

void tryLock(int fd, QDeadlineTimer until, Done done)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return done(std::make_shared<RenewalLock>(fd), {});
    if ((errno != EWOULDBLOCK && errno != EINTR) || until.hasExpired()) {
        ::close(fd);
        return done(nullptr, QStringLiteral("ほかのプログラムがトークンを更新していて終わりません"));
    }
    QTimer::singleShot(50, [fd, until, done = std::move(done)] { tryLock(fd, until, done); });
}

} // namespace

RenewalLock::~RenewalLock()
{
    ::close(fd_); // releases the flock
}

void lockRenewal(const QString &keyringKey, Done done)
{
    const QString folder = lockFolder();
    const QString name = QString::fromLatin1(
        QCryptographicHash::hash(keyringKey.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
    const int fd = folder.isEmpty() ? -1
        : ::open(QFile::encodeName(folder + QStringLiteral("/token-") + name + QStringLiteral(".lock")).constData(),
                 O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        const QString why = QStringLiteral("トークンの更新のロックファイルを作れません: ")
            + (folder.isEmpty() ? QStringLiteral("$XDG_RUNTIME_DIR/lumora") : folder);
        QTimer::singleShot(0, [done = std::move(done), why] { done(nullptr, why); });
        return;
    }
    QTimer::singleShot(0, [fd, done = std::move(done)] {
        tryLock(fd, QDeadlineTimer(renewalLockWaitMs), done);
    });
}

} // namespace lum
