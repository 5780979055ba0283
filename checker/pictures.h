#pragma once
// The pictures of the main window, drawn at run time: the four tool buttons and `bound`,
// the attachment mark of the mail list.

#include <QPixmap>

namespace lum {

enum class ToolPicture { Mailer1, Mailer2, Retrieve, Delete };

// A square picture of the given side in pixels.
QPixmap toolPicture(ToolPicture which, int side = 16);

// A 32 x 32 black paper clip on transparent ground, drawn narrow so that it reads in the
// list's thin attachment column.
QPixmap boundPicture();

} // namespace lum
