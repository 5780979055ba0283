#include "options/icon_picture.h"

#include "settings/setting_keys.h"

#include <QFileInfo>

namespace lum {

std::optional<QPixmap> loadIconPicture(const QString &path)
{
    if (path.isEmpty() || path == builtInIconMarker || !QFileInfo(path).isFile())
        return std::nullopt;
    QPixmap picture;
    if (!picture.load(path) || picture.isNull())
        return std::nullopt;
    return picture;
}

QPixmap builtInPicture(int i)
{
    return QPixmap::fromImage(builtInIconImage(BuiltInIcon(qBound(0, i, 2))));
}

} // namespace lum
