#pragma once
// File modes and failing writes in tests that also run as root, whom neither modes nor
// read-only files stop.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>

namespace lum::test {

// The permission bits of path (0777 mask), or -1 when it does not exist.
inline int modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

inline void setMode(const QString &path, int mode)
{
    ::chmod(QFile::encodeName(path).constData(), mode_t(mode));
}

// The process umask while the object lives.
class ScopedUmask {
public:
    explicit ScopedUmask(int mask) : saved_(::umask(mode_t(mask))) {}
    ~ScopedUmask() { ::umask(saved_); }
    ScopedUmask(const ScopedUmask &) = delete;
    ScopedUmask &operator=(const ScopedUmask &) = delete;

private:
    mode_t saved_;
};

// While the object lives, the folder of the store file storePath is moved aside and a
// regular file stands in its place: the store can't be written, not even by root. What the
// file held stays readable at movedPath().
class StoreFolderBlocked {
public:
    explicit StoreFolderBlocked(const QString &storePath)
        : folder_(QFileInfo(storePath).absolutePath()),
          moved_(folder_ + QStringLiteral(".moved/") + QFileInfo(storePath).fileName())
    {
        QDir().rename(folder_, folder_ + QStringLiteral(".moved"));
        QFile block(folder_);
        block.open(QIODevice::WriteOnly);
    }
    ~StoreFolderBlocked()
    {
        QFile::remove(folder_);
        QDir().rename(folder_ + QStringLiteral(".moved"), folder_);
    }
    StoreFolderBlocked(const StoreFolderBlocked &) = delete;
    StoreFolderBlocked &operator=(const StoreFolderBlocked &) = delete;

    QString movedPath() const { return moved_; }

private:
    QString folder_;
    QString moved_;
};

} // namespace lum::test
