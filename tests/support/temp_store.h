#pragma once
// A settings store in a fresh temporary folder, removed with the fixture.

#include "platform/settings_store.h"

#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace lum::test {

class TempStore {
public:
    TempStore() : store_(std::make_unique<SettingsStore>(path())) {}

    SettingsStore &store() { return *store_; }
    QString path() const { return dir_.filePath(QStringLiteral("lumwatch/lumwatch.ini")); }
    // A cache folder beside the store, for what the programs keep between runs.
    QString cacheDir() const { return dir_.filePath(QStringLiteral("cache")); }

    // The file as another program would leave it.
    void writeFile(const QByteArray &contents)
    {
        store_.reset();
        QDir().mkpath(dir_.filePath(QStringLiteral("lumwatch")));
        QFile f(path());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(contents);
        f.close();
        store_ = std::make_unique<SettingsStore>(path());
    }
    QByteArray readFile()
    {
        store_->flush();
        QFile f(path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<SettingsStore> store_;
};

} // namespace lum::test
