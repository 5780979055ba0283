#include "platform/single_instance.h"

#include "platform/settings_store.h"

#include <QDir>
#include <QFileInfo>

namespace lum {

SingleInstance::SingleInstance(const QString &lockPath) : lock_(lockPath)
{
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    lock_.setStaleLockTime(0); // stale only when its process is gone, never by age
    first_ = lock_.tryLock(0);
}

QString instanceLockPath(const QString &name)
{
    const QFileInfo store(SettingsStore::defaultFilePath());
    return store.absolutePath() + QLatin1Char('/') + name + QStringLiteral(".lock");
}

} // namespace lum
