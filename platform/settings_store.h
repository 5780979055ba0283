#pragma once
// The per-user settings store that both programs share: an INI file at
// $XDG_CONFIG_HOME/lumwatch/lumwatch.ini (~/.config/... when the variable is unset), every
// key in the group [setting], every value text.
//
// Writes are kept in memory until flush(); a store flushes when it is destroyed. reload()
// drops nothing written by this process and picks up what another program wrote since.
//
// A file that exists but cannot be read, or that QSettings cannot parse, makes every read
// return its default, and the store then refuses to write: writing would replace the file
// with only the keys this process knows, losing the others.

#include <QString>
#include <memory>

class QSettings;

namespace lum {

class SettingsStore {
public:
    // The store of the current user.
    SettingsStore();
    // A store kept in the given INI file (tests, tools).
    explicit SettingsStore(const QString &filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    static QString defaultFilePath();
    QString filePath() const;

    // The stored text of key, or def when the key is missing or its value is not text.
    QString readSetting(const QString &key, const QString &def) const;
    // Stores text under key (in memory until flush()). Ignored while !writable().
    void writeSetting(const QString &key, const QString &text);

    // Writes pending changes to the file. False when the file could not be written.
    bool flush();
    // Flushes, then rereads the file so that another program's writes become visible.
    void reload();

    bool writable() const;

private:
    void checkStatus();

    std::unique_ptr<QSettings> settings_;
    bool damaged_ = false;
};

} // namespace lum
