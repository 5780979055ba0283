#include "platform/wake_watch.h"

#include <QDBusConnection>
#include <QNetworkInformation>
#include <QStringList>
#include <cstdio>
#include <utility>

namespace lum {
namespace {

const QString logindService = QStringLiteral("org.freedesktop.login1");
const QString logindPath = QStringLiteral("/org/freedesktop/login1");
const QString logindManager = QStringLiteral("org.freedesktop.login1.Manager");

class SystemWakeWatch final : public WakeWatch {
    Q_OBJECT
public:
    SystemWakeWatch()
    {
        QStringList deaf;
        if (!watchLogind())
            deaf << QStringLiteral("スリープからの復帰");
        if (!watchNetwork())
            deaf << QStringLiteral("ネットワークの回復");
        // One program may make several watches; what its surroundings lack is said once.
        static bool told = false;
        if (!deaf.isEmpty() && !std::exchange(told, true))
            std::fprintf(stderr, "lumwatchd: %sを検知できません。メールは設定した間隔で確認します\n",
                         qPrintable(deaf.join(QStringLiteral("と"))));
    }

private slots:
    void prepareForSleep(bool sleeping)
    {
        if (!sleeping)
            emit cameBack();
    }

private:
    // Subscribed through the service name: QtDBus then passes on only what the name's
    // current owner sends, not the same signal from any other program on the bus.
    bool watchLogind()
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        return bus.isConnected()
            && bus.connect(logindService, logindPath, logindManager, QStringLiteral("PrepareForSleep"),
                           this, SLOT(prepareForSleep(bool)));
    }

    // NetworkManager's backend first (Qt's default on Linux), else any that knows reachability.
    bool watchNetwork()
    {
        if (!QNetworkInformation::loadDefaultBackend()
            && !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
            return false;
        QNetworkInformation *info = QNetworkInformation::instance();
        reachability_ = info->reachability();
        connect(info, &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability now) {
                    const bool back = now == QNetworkInformation::Reachability::Online
                        && reachability_ != QNetworkInformation::Reachability::Online;
                    reachability_ = now;
                    if (back)
                        emit cameBack();
                });
        return true;
    }

    QNetworkInformation::Reachability reachability_ = QNetworkInformation::Reachability::Unknown;
};

} // namespace

std::unique_ptr<WakeWatch> makeWakeWatch()
{
    return std::make_unique<SystemWakeWatch>();
}

} // namespace lum

#include "wake_watch.moc"
