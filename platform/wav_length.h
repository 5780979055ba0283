#pragma once
// How long a WAV file plays, read from its header: the size of its data chunk over the
// byte rate of its format chunk.

#include <QString>

namespace lum {

// No sound is taken to play longer than ten minutes, whatever its header says.
inline constexpr qint64 wavLengthCapMs = 10 * 60 * 1000;

// Milliseconds, rounded up, at most wavLengthCapMs; -1 when the file is not a regular file,
// or not a RIFF WAVE file with a format chunk of 16 bytes or more before its data chunk.
// A data chunk said to run past the end of the file counts to the end.
qint64 wavLengthMs(const QString &path);

// True for a regular file (after symbolic links); false for a FIFO, a device, a folder or
// nothing. Such a file is never opened as a sound: opening a FIFO waits for a writer.
bool isRegularFile(const QString &path);

} // namespace lum
