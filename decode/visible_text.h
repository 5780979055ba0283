#pragma once
// Header text shown where a character may not act: on a terminal, in a one-line notification.

#include <QString>

namespace lum {

// Characters that would act rather than show become visible stand-ins: C0 and DEL their
// Control Pictures (LF as U+240A), C1 (NEL U+0085 among them) U+FFFD, and so do the line and
// paragraph separators U+2028 and U+2029 and the bidirectional embeddings, overrides and
// isolates U+202A-U+202E and U+2066-U+2069, which would fake lines or turn text around.
// With keepLf, LF stays a line break.
QString visibleText(const QString &text, bool keepLf = false);

} // namespace lum
