#pragma once
// The pictures of the three icon rows of the options window.

#include "platform/builtin_icons.h"

#include <QPixmap>
#include <optional>

namespace lum {

// The picture in the file at path, or nothing when path is the built-in marker, names no
// existing file, or the file is not a picture Qt can read (an .ico among them).
std::optional<QPixmap> loadIconPicture(const QString &path);

// The built-in picture of icon row i (0 normal, 1 working, 2 arrival).
QPixmap builtInPicture(int i);

} // namespace lum
