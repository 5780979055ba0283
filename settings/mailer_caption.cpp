#include "settings/mailer_caption.h"

namespace lum {

std::optional<QString> mailerProgram(const QString &text)
{
    if (!text.startsWith(u'"'))
        return text;
    const qsizetype close = text.indexOf(u'"', 1);
    if (close < 0)
        return std::nullopt;
    return text.mid(1, close - 1);
}

QString mailerCaption(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("未登録");
    const std::optional<QString> program = mailerProgram(text);
    const QString path = program && !program->isEmpty() ? *program : text;
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash >= 0 && slash + 1 < path.size()) {
        // A path of this system: the file name, without its extension when it has one.
        const QString file = path.mid(slash + 1);
        const qsizetype dot = file.lastIndexOf(u'.');
        return (dot >= 1 ? file.left(dot) : file) + QStringLiteral("を起動");
    }
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
