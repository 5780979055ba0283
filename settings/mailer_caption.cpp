#include "settings/mailer_caption.h"

namespace lum {

QString mailerCaption(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("未登録");
    QString name = path;
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot >= 1) {
        const qsizetype slash = path.left(dot).lastIndexOf(u'\\');
        if (slash >= 1)
            name = path.mid(slash + 1, dot - slash - 1);
    }
    return name + QStringLiteral("を起動");
}

} // namespace lum
