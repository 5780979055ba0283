#pragma once
// Typed access to the settings store on top of its text values.

#include "platform/settings_store.h"
#include "settings/setting_keys.h"

namespace lum {

// The options program's writer: a non-empty text is stored as it is; an empty text is
// stored as "" under the path keys ("Mailerdir1", "Mailerdir2", "Icodir1".."Icodir3",
// "Wavdir" and every account's "Wavdir2_") and as the decimal text of number under any
// other key. So an empty account field other than the WAV path is stored as "0".
void saveValue(SettingsStore &store, const QString &key, qint32 number, const QString &text);

// A 16-bit number: the default when the key is missing or its value is not a decimal integer
// within range.
qint16 readNumber(const SettingsStore &store, const QString &key, qint16 def);
inline qint16 readNumber(const SettingsStore &store, NumberKey k)
{
    return readNumber(store, QString::fromLatin1(k.name), k.def);
}
inline QString readText(const SettingsStore &store, TextKey k)
{
    return store.readSetting(QString::fromLatin1(k.name), QString::fromUtf8(k.def));
}

} // namespace lum
