#include "pop3/qt/file_kept_store.h"

#include "platform/private_files.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace lum {

namespace {

// Far above the summaries of any mailbox; a bigger file is not one of ours.
constexpr qint64 kMaxFile = 256 * 1024 * 1024;

} // namespace

FileKeptStore::FileKeptStore(QString folder) : folder_(std::move(folder)) {}

QString FileKeptStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/lumwatch");
}

QByteArray FileKeptStore::load(const QString &name)
{
    QFile file(QDir(folder_).filePath(name));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFile)
        return {};
    return file.readAll();
}

void FileKeptStore::save(const QString &name, const QByteArray &bytes)
{
    if (!makePrivateFolder(folder_))
        return;
    QSaveFile file(QDir(folder_).filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(bytes);
    file.commit();
}

} // namespace lum
