#include "platform/settings_store.h"

#include "platform/private_files.h"

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
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)),
      tighten_(&makeFilePrivate)
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
    // An access error alone may come from writing changes still pending from a failed write;
    // reading failed only when the file is there but not a readable file.
    const QFileInfo file(filePath());
    damaged_ = settings_->status() == QSettings::FormatError
               || (file.exists() && (!file.isFile() || !file.isReadable()));
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
    // Before the first write reaches the file: the event loop may sync before flush() does.
    if (before_.isEmpty())
        createFile();
    const QString k = QStringLiteral("%1/%2").arg(kGroup, key);
    if (!before_.contains(k))
        before_.insert(k, settings_->value(k));
    settings_->setValue(k, text);
}

// The file and its missing folders, private from the start. The file QSettings writes in
// its place keeps the mode of the one it replaces.
void SettingsStore::createFile()
{
    if (makePrivateFolder(QFileInfo(filePath()).absolutePath()))
        createPrivateFile(filePath());
}

bool SettingsStore::flush()
{
    if (damaged_)
        return false;
    const bool wrote = !before_.isEmpty();
    if (wrote)
        createFile();
    settings_->sync();
    if (settings_->status() != QSettings::NoError) {
        discardChanges();
        return false;
    }
    before_.clear();
    if (wrote)
        permissionWarning_ =
            tighten_(filePath())
                ? QString()
                : QStringLiteral("設定ファイルを他のユーザーが読めない状態にできませんでした。\n"
                                 "他のユーザーにパスワードを読まれるおそれがあります。\n%1")
                      .arg(filePath());
    return true;
}

// QSettings keeps changes it could not write, for every QSettings of the same file, and
// would show them to every read: they are undone key by key. A fresh QSettings then starts
// without the error of the failed write.
void SettingsStore::discardChanges()
{
    for (auto it = before_.cbegin(); it != before_.cend(); ++it) {
        if (it.value().isValid())
            settings_->setValue(it.key(), it.value());
        else
            settings_->remove(it.key());
    }
    before_.clear();
    reopen();
}

void SettingsStore::reopen()
{
    settings_ = std::make_unique<QSettings>(filePath(), QSettings::IniFormat);
    checkStatus();
}

void SettingsStore::reload()
{
    flush();
    reopen();
}

bool SettingsStore::writable() const
{
    return !damaged_;
}

bool SettingsStore::openToOthers() const
{
    return lum::openToOthers(filePath());
}

void SettingsStore::setTightening(std::function<bool(const QString &file)> tighten)
{
    tighten_ = std::move(tighten);
}

} // namespace lum
