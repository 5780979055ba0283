#pragma once
// How long a WAV file plays, read from its header: the size of its data chunk over the
// byte rate of its format chunk.

#include <QString>

namespace lum {

// Milliseconds, rounded up; -1 when the file is not a RIFF WAVE file with a format chunk
// before its data chunk. A data chunk said to run past the end of the file counts to the end.
qint64 wavLengthMs(const QString &path);

} // namespace lum
