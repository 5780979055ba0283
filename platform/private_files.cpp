#include "platform/private_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lum {
namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions othersAccess = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                                  | QFileDevice::ReadOther | QFileDevice::WriteOther;

} // namespace

bool makePrivateFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists())
        return false;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makePrivateFolder(parent))
        return false;
    // mkdir(2) takes the umask away from the mode, never adds to it: 700 stays 700 or less.
    return QDir().mkdir(info.absoluteFilePath(), ownerOnly | QFileDevice::ExeOwner)
           || QFileInfo(folder).isDir();
}

void createPrivateFile(const QString &file)
{
    if (QFileInfo::exists(file) || !QFileInfo(QFileInfo(file).absolutePath()).isDir())
        return;
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
        f.close();
}

bool openToOthers(const QString &file)
{
    const QFileInfo info(file);
    return info.exists() && (info.permissions() & othersAccess);
}

bool makeFilePrivate(const QString &file)
{
    const QFileInfo info(file);
    if (!info.exists() || !(info.permissions() & othersAccess))
        return true;
    QFile::setPermissions(file, info.permissions() & ~othersAccess);
    return !openToOthers(file);
}

} // namespace lum
