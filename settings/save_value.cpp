#include "settings/save_value.h"

#include "settings/numbers.h"

#include <QStringList>

namespace lum {

void saveValue(SettingsStore &store, const QString &key, qint32 number, const QString &text)
{
    static const QStringList pathKeys{
        QString::fromLatin1(key::mailerDir1.name), QString::fromLatin1(key::mailerDir2.name),
        QString::fromLatin1(key::icoDir1.name),    QString::fromLatin1(key::icoDir2.name),
        QString::fromLatin1(key::icoDir3.name),    QString::fromLatin1(key::wavDir.name),
    };
    if (!text.isEmpty())
        store.writeSetting(key, text);
    else if (pathKeys.contains(key) || key.startsWith(QLatin1String(key::wavdir2)))
        store.writeSetting(key, QString());
    else
        store.writeSetting(key, QString::number(number));
}

qint16 readNumber(const SettingsStore &store, const QString &key, qint16 def)
{
    return toInt16(store.readSetting(key, QString::number(def))).value_or(def);
}

} // namespace lum
