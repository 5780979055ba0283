#include "checker/command_socket.h"

#include "platform/private_files.h"
#include "platform/settings_store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace lum {
namespace {

QString socketName(const QString &storePath)
{
    const QByteArray key = QFileInfo(storePath).absoluteFilePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("lumwatchd-%1.sock").arg(QString::fromLatin1(hash.left(16)));
}

// A folder only this user can enter: any other would let others reach or replace the socket.
bool privateToUser(const QString &folder)
{
    constexpr QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                                | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                                | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const QFileInfo info(folder);
    return info.isDir() && !info.isSymLink() && info.ownerId() == ::getuid()
           && !(info.permissions() & others);
}

} // namespace

CommandSocketPlace commandSocketPlace(const QString &runtimeFolder, const QString &storePath,
                                      const QString &tempFolder)
{
    QString folder = runtimeFolder;
    if (folder.isEmpty()) {
        folder = QDir(tempFolder).absoluteFilePath(QStringLiteral("lumwatchd-%1").arg(::getuid()));
        if (!makePrivateFolder(folder) || !privateToUser(folder)) {
            return {QString(), QStringLiteral("--command の受け口を置くフォルダ %1 を使えません。\n"
                                              "XDG_RUNTIME_DIR に、自分だけが使えるフォルダを指定してください。")
                                   .arg(folder)};
        }
    }
    return {folder + QLatin1Char('/') + socketName(storePath), QString()};
}

CommandSocketPlace commandSocketPlace()
{
    return commandSocketPlace(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                              SettingsStore::defaultFilePath(), QDir::tempPath());
}

} // namespace lum
