#include "pop3/qt/file_kept_store.h"

#include "platform/private_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <unistd.h>

namespace lum {

namespace {

// Far above the summaries of any mailbox; a bigger file is not one of ours.
constexpr qint64 kMaxFile = 256 * 1024 * 1024;

constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

// The folder is the user's own and only the user may enter it: a wider one of the user's
// (made by hand, or by an older version) is narrowed; another user's is not used at all.
bool FileKeptStore::privateFolder() const
{
    if (!makePrivateFolder(folder_) || QFileInfo(folder_).ownerId() != ::getuid())
        return false;
    if (QFileInfo(folder_).permissions() & kOthers)
        QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return !(QFileInfo(folder_).permissions() & kOthers);
}

FileKeptStore::FileKeptStore(QString folder) : folder_(std::move(folder)) {}

QString FileKeptStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/lumwatch");
}

QByteArray FileKeptStore::load(const QString &name)
{
    if (!QFileInfo(folder_).isDir() || !privateFolder())
        return {};
    QFile file(QDir(folder_).filePath(name));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFile)
        return {};
    return file.readAll();
}

void FileKeptStore::save(const QString &name, const QByteArray &bytes)
{
    if (!privateFolder())
        return;
    QSaveFile file(QDir(folder_).filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(bytes);
    file.commit();
}

void FileKeptStore::keepOnly(const QSet<QString> &keep)
{
    if (!QFileInfo(folder_).isDir() || !privateFolder())
        return;
    // KeptOwner::fileName(), alone or with ".capa".
    static const QRegularExpression ours(QStringLiteral("^[0-9a-f]{32}(\\.capa)?$"));
    QDir dir(folder_);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!keep.contains(name) && ours.match(name).hasMatch())
            dir.remove(name);
    }
}

QString FileKeptStore::problem()
{
    if (told_ || privateFolder())
        return {};
    told_ = true;
    return QStringLiteral("フォルダ %1 を自分だけが使えるフォルダにできないため、"
                          "高速チェックの要約を保存しません。").arg(folder_);
}

} // namespace lum
