#pragma once

#include <QString>

namespace lum {

// The caption of the menu item that starts a mail program: "未登録" for an empty path,
// else the program's display name followed by "を起動".
// A path with a "/" is one of this system: the display name is the file name without its
// folder, and without its extension when it has one (a "." after the name's first
// character): /usr/bin/thunderbird -> "thunderbirdを起動", /opt/m/mail.sh -> "mailを起動".
// Any other path is read the Windows way: the display name is the file name without folder
// and extension when the path has a "." after its first character and a "\" after the
// first character before that dot; otherwise it is the whole path:
// C:\Mail\mailer.exe -> "mailerを起動", mailer.exe -> "mailer.exeを起動".
QString mailerCaption(const QString &path);

// The command is enabled exactly when its path is not empty.
inline bool mailerEnabled(const QString &path) { return !path.isEmpty(); }

} // namespace lum
