#include "platform/single_instance.h"

#include "platform/private_files.h"
#include "platform/settings_store.h"

#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <signal.h>

namespace lum {
namespace {

// Whether the lock that could not be taken belongs to a live process. A lock of a process
// that is gone is normally taken over; it stays only when it can't be removed, and then
// no copy is running. A holder on another machine (a shared home) counts as alive.
bool heldByLiveProcess(const QLockFile &lock)
{
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app) || pid <= 0)
        return true;
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

SingleInstance::SingleInstance(const QString &lockPath) : lock_(lockPath)
{
    const QString folder = QFileInfo(lockPath).absolutePath();
    makePrivateFolder(folder);
    lock_.setStaleLockTime(0); // stale only when its process is gone, never by age
    first_ = lock_.tryLock(0);
    if (first_)
        makeFilePrivate(lockPath);
    else if (lock_.error() == QLockFile::LockFailedError && heldByLiveProcess(lock_))
        alreadyRunning_ = true;
    else
        failureMessage_ = QStringLiteral("フォルダ %1 にロックファイルを作成できないため、起動できません。\n"
                                         "フォルダがあり、書き込めることを確かめてください。")
                              .arg(folder);
}

QString instanceLockPath(const QString &name)
{
    const QFileInfo store(SettingsStore::defaultFilePath());
    return store.absolutePath() + QLatin1Char('/') + name + QStringLiteral(".lock");
}

} // namespace lum
