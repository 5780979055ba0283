#pragma once
// Mail-program texts ("Mailerdir1", "Mailerdir2"): the program they name and its caption.

#include <QString>
#include <optional>

namespace lum {

// The program a mail-program text names: the whole text, or, when the text starts with a
// double quote, the text up to the next double quote, taken as it is (what follows it are
// the program's arguments). No program for an opening quote that is never closed.
std::optional<QString> mailerProgram(const QString &text);

// The caption of the menu item that starts a mail program: "未登録" for an empty text,
// else the program's display name followed by "を起動". The name comes from the program
// (mailerProgram; the whole text when it names none):
// A path with a "/" is one of this system: the display name is the file name without its
// folder, and without its extension when it has one (a "." after the name's first
// character): /usr/bin/thunderbird -> "thunderbirdを起動", /opt/m/mail.sh -> "mailを起動",
// "/usr/bin/thunderbird" -compose -> "thunderbirdを起動".
// Any other path is read the Windows way: the display name is the file name without folder
// and extension when the path has a "." after its first character and a "\" after the
// first character before that dot; otherwise it is the whole path:
// C:\Mail\mailer.exe -> "mailerを起動", mailer.exe -> "mailer.exeを起動".
QString mailerCaption(const QString &text);

// The command is enabled exactly when its text is not empty.
inline bool mailerEnabled(const QString &text) { return !text.isEmpty(); }

} // namespace lum
