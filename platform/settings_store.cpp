#include "platform/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace lum {
namespace {
constexpr const char *kGroup = "setting";
}

SettingsStore::SettingsStore() : SettingsStore(defaultFilePath()) {}

SettingsStore::SettingsStore(const QString &filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    checkStatus();
}

SettingsStore::~SettingsStore()
{
    flush();
}

QString SettingsStore::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/lumwatch/lumwatch.ini");
}

QString SettingsStore::filePath() const
{
    return settings_->fileName();
}

void SettingsStore::checkStatus()
{
    const QFileInfo file(filePath());
    damaged_ = settings_->status() != QSettings::NoError || (file.exists() && !file.isReadable());
}

QString SettingsStore::readSetting(const QString &key, const QString &def) const
{
    if (damaged_)
        return def;
    const QVariant v = settings_->value(QStringLiteral("%1/%2").arg(kGroup, key));
    if (!v.isValid())
        return def;
    // A hand-written value with an unquoted comma comes back as a list; join it again.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    if (!v.canConvert<QString>())
        return def;
    return v.toString();
}

void SettingsStore::writeSetting(const QString &key, const QString &text)
{
    if (damaged_)
        return;
    settings_->setValue(QStringLiteral("%1/%2").arg(kGroup, key), text);
}

bool SettingsStore::flush()
{
    if (damaged_)
        return false;
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

void SettingsStore::reload()
{
    flush();
    const QString path = filePath();
    settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    checkStatus();
}

bool SettingsStore::writable() const
{
    return !damaged_;
}

} // namespace lum
