#include "support/private_keyring.h"

#include <QDir>
#include <QFile>

namespace lum::test {

namespace {

const QByteArray busConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateKeyring::~PrivateKeyring()
{
    // The keyring daemon leaves with its bus.
    if (bus_.state() != QProcess::NotRunning) {
        bus_.terminate();
        if (!bus_.waitForFinished(5000))
            bus_.kill();
        bus_.waitForFinished(5000);
    }
}

bool PrivateKeyring::startBus()
{
    QDir(home_.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(home_.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile conf(home_.filePath(QStringLiteral("bus.conf")));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(busConfig) != busConfig.size()) {
        error_ = QStringLiteral("bus.conf not written");
        return false;
    }
    conf.close();
    bus_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + conf.fileName(),
                                               QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    // The address is printed once the bus listens.
    while (!bus_.canReadLine()) {
        if (!bus_.waitForReadyRead(10000)) {
            error_ = QStringLiteral("dbus-daemon: ") + QString::fromLocal8Bit(bus_.readAllStandardError());
            return false;
        }
    }
    address_ = QString::fromLatin1(bus_.readLine().trimmed());
    return true;
}

bool PrivateKeyring::startKeyring()
{
    // Without --foreground the daemon returns once it serves the bus.
    QProcess daemon;
    daemon.setProcessEnvironment(environment());
    daemon.start(QStringLiteral("gnome-keyring-daemon"),
                 {QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    daemon.write("keyring-test-password");
    daemon.closeWriteChannel();
    if (!daemon.waitForFinished(20000) || daemon.exitCode() != 0) {
        error_ = QStringLiteral("gnome-keyring-daemon: ") + QString::fromLocal8Bit(daemon.readAllStandardError());
        return false;
    }
    return true;
}

QProcessEnvironment PrivateKeyring::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    env.insert(QStringLiteral("HOME"), home_.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
    return env;
}

QString PrivateKeyring::lookup(const QString &key) const
{
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("user"), key,
                                               QStringLiteral("server"), QStringLiteral("Lumora")});
    tool.waitForFinished(20000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

} // namespace lum::test
