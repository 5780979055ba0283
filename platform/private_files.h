#pragma once
// Files that only their owner may read: the settings store holds every account's password,
// merely scrambled, so the store, its folder and the lock files beside it are kept from
// other users whatever the umask.

#include <QString>

namespace lum {

// Creates folder and every missing folder above it with mode 700 (folders that exist are
// left as they are). True when folder exists afterwards.
bool makePrivateFolder(const QString &folder);

// Creates file empty with mode 600 when it does not exist, so that it never exists with a
// wider mode. Does nothing when it exists or its folder is missing.
void createPrivateFile(const QString &file);

// True when file exists and its group or other users may read or write it.
bool openToOthers(const QString &file);

// Takes the read and write bits of group and others away from an existing file. True when
// the file is missing or is private afterwards; false when its mode could not be tightened.
bool makeFilePrivate(const QString &file);

} // namespace lum
