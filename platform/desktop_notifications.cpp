#include "platform/desktop_notifications.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>
#include <functional>

namespace lum {
namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");

// How the installed program is known on the desktop: packaging/lumora.svg is the icon
// "lumora" of the hicolor theme, packaging/lumwatchd.desktop the desktop entry.
const QString appName = QStringLiteral("Lumora");
const QString appIcon = QStringLiteral("lumora");
const QString desktopEntry = QStringLiteral("lumwatchd");
const QString category = QStringLiteral("email.arrived");
constexpr int serverChoosesTimeout = -1;

const QString noServer = QStringLiteral("通知サーバーがありません");

class DBusNotifications final : public DesktopNotifications {
    Q_OBJECT
public:
    DBusNotifications() : bus_(QDBusConnection::sessionBus()) {}

    void start() override
    {
        if (asked_ || !listen())
            return;
        asked_ = true;
        call(QDBusMessage::createMethodCall(service, objectPath, interfaceName,
                                            QStringLiteral("GetCapabilities")),
             [this](const QDBusPendingCall &answer) {
                 const QDBusPendingReply<QStringList> reply = answer;
                 if (reply.isError())
                     asked_ = false; // asked again with the next notification
                 else
                     markup_ = reply.value().contains(QStringLiteral("body-markup"));
             });
    }

    bool bodyMarkup() const override { return markup_; }

    void notify(quint32 replacesId, const QString &summary, const QString &body,
                const QStringList &actions) override
    {
        start();
        if (!bus_.isConnected()) {
            // Reported on the next turn of the event loop, as an answer would be.
            QTimer::singleShot(0, this, [this] {
                warnOnce(noServer);
                emit failed();
            });
            return;
        }
        QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, interfaceName,
                                                              QStringLiteral("Notify"));
        const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry},
                                {QStringLiteral("category"), category}};
        message << appName << uint(replacesId) << appIcon << summary << body << actions << hints
                << serverChoosesTimeout;
        call(message, [this](const QDBusPendingCall &answer) {
            const QDBusPendingReply<uint> reply = answer;
            if (reply.isError()) {
                warnOnce(reply.error().type() == QDBusError::ServiceUnknown ? noServer
                                                                             : reply.error().message());
                emit failed();
            } else {
                emit sent(reply.value());
            }
        });
    }

    void close(quint32 id) override
    {
        if (!bus_.isConnected())
            return;
        QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, interfaceName,
                                                              QStringLiteral("CloseNotification"));
        message << uint(id);
        bus_.send(message); // the answer tells nothing: NotificationClosed follows
    }

private slots:
    void actionInvoked(uint id, const QString &key) { emit activated(id, key); }
    void notificationClosed(uint id, uint) { emit closed(id); }

private:
    // Subscribes to the server's two signals once; false without a session bus.
    bool listen()
    {
        if (!bus_.isConnected())
            return false;
        if (!listening_) {
            listening_ = true;
            // Any sender: the service name has no owner until a server starts.
            bus_.connect(QString(), objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                         SLOT(actionInvoked(uint,QString)));
            bus_.connect(QString(), objectPath, interfaceName, QStringLiteral("NotificationClosed"),
                         this, SLOT(notificationClosed(uint,uint)));
        }
        return true;
    }

    void call(const QDBusMessage &message, std::function<void(const QDBusPendingCall &)> answered)
    {
        auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [answered = std::move(answered)](QDBusPendingCallWatcher *w) {
                    answered(*w);
                    w->deleteLater();
                });
    }

    void warnOnce(const QString &reason)
    {
        if (warned_)
            return;
        warned_ = true;
        std::fprintf(stderr, "lumwatchd: デスクトップ通知を送れません: %s\n", qPrintable(reason));
    }

    QDBusConnection bus_;
    bool listening_ = false;
    bool asked_ = false;
    bool markup_ = false;
    bool warned_ = false;
};

} // namespace

std::unique_ptr<DesktopNotifications> makeDesktopNotifications()
{
    return std::make_unique<DBusNotifications>();
}

} // namespace lum

#include "desktop_notifications.moc"
