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
//
// The file holds the passwords, so a store that writes keeps it private: missing folders
// are made with mode 700, the file with mode 600, and a file that group or others can read
// (an old one, or one copied in by hand) is tightened to 600 by the next flush().

#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
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

    // Writes pending changes to the file. False when the file could not be written; the
    // changes are then dropped, and the store reads as it did before them.
    bool flush();
    // Flushes, then rereads the file so that another program's writes become visible.
    void reload();

    bool writable() const;

    // True when the file exists and group or other users may read it.
    bool openToOthers() const;
    // Empty while the file is private; after a flush() that could not tighten the file, a
    // warning for the user that names the file.
    QString permissionWarning() const { return permissionWarning_; }
    // Replaces the step that tightens the file after a write (tests: a file system that
    // keeps the mode). The step returns false when the file stays open to others.
    void setTightening(std::function<bool(const QString &file)> tighten);

private:
    void checkStatus();
    void createFile();
    void discardChanges();
    void reopen();

    std::unique_ptr<QSettings> settings_;
    bool damaged_ = false;
    // The values the keys written since the last flush had before (invalid: missing).
    QHash<QString, QVariant> before_;
    QString permissionWarning_;
    std::function<bool(const QString &)> tighten_;
};

} // namespace lum
