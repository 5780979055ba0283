#include "platform/desktop_notifications.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>
#include <functional>
#include <vector>

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
// No call on the window thread waits; this bounds how long an answer is waited for.
constexpr int answerTimeoutMs = 5000;

const QString noServer = QStringLiteral("通知サーバーがありません");

struct Held {
    quint32 replacesId;
    QString summary;
    QString body;
    QStringList actions;
};

class DBusNotifications final : public DesktopNotifications {
    Q_OBJECT
public:
    DBusNotifications() : bus_(QDBusConnection::sessionBus()) {}

    void start() override
    {
        if (listen() && owner_.isEmpty() && !asking_)
            ask();
    }

    void notify(quint32 replacesId, const QString &summary, const QString &body,
                const QStringList &actions) override
    {
        if (!listen()) {
            // Reported on the next turn of the event loop, as an answer would be.
            QTimer::singleShot(0, this, [this] { fail(noServer); });
            return;
        }
        held_.push_back({replacesId, summary, body, actions});
        if (!owner_.isEmpty())
            sendHeld();
        else if (!asking_)
            ask();
    }

    void close(quint32 id) override
    {
        if (owner_.isEmpty()) { // the id was another server's, or none was shown
            QTimer::singleShot(0, this, [this, id] { emit closeAnswered(id); });
            return;
        }
        QDBusMessage message = QDBusMessage::createMethodCall(owner_, objectPath, interfaceName,
                                                              QStringLiteral("CloseNotification"));
        message << uint(id);
        call(message, [this, id](const QDBusPendingCall &) { emit closeAnswered(id); });
    }

private slots:
    void actionInvoked(uint id, const QString &key, const QDBusMessage &from)
    {
        if (current(from))
            emit activated(id, key);
    }
    void notificationClosed(uint id, uint, const QDBusMessage &from)
    {
        if (current(from))
            emit closed(id);
    }

    void ownerChanged(const QString &, const QString &, const QString &newOwner)
    {
        if (!newOwner.isEmpty() && newOwner == owner_)
            return; // the owner already answered, its name's arrival told late
        ++generation_;
        owner_.clear();
        markup_ = false;
        asking_ = false;
        emit serverChanged();
        if (!newOwner.isEmpty() || !held_.empty())
            ask();
    }

private:
    // Subscribes to the server's signals and its owner once; false without a session bus.
    bool listen()
    {
        if (!bus_.isConnected())
            return false;
        if (!watcher_) {
            watcher_ = new QDBusServiceWatcher(service, bus_, QDBusServiceWatcher::WatchForOwnerChange,
                                               this);
            connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                    &DBusNotifications::ownerChanged);
            // Any sender: each signal is compared with the owner that answered (current()).
            bus_.connect(QString(), objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                         SLOT(actionInvoked(uint,QString,QDBusMessage)));
            bus_.connect(QString(), objectPath, interfaceName, QStringLiteral("NotificationClosed"),
                         this, SLOT(notificationClosed(uint,uint,QDBusMessage)));
        }
        return true;
    }

    bool current(const QDBusMessage &from) const
    {
        return !owner_.isEmpty() && from.service() == owner_;
    }

    // GetCapabilities through the service name (which may start a server); the answer names
    // the server's unique name, to which everything after goes.
    void ask()
    {
        asking_ = true;
        const quint64 asked = generation_;
        call(QDBusMessage::createMethodCall(service, objectPath, interfaceName,
                                            QStringLiteral("GetCapabilities")),
             [this, asked](const QDBusPendingCall &answer) {
                 if (asked != generation_)
                     return; // asked of a server that has gone since; asked again
                 asking_ = false;
                 const QDBusPendingReply<QStringList> reply = answer;
                 if (reply.isError()) {
                     const std::vector<Held> held = std::exchange(held_, {});
                     for (size_t i = 0; i < held.size(); ++i)
                         fail(reason(reply.error()));
                     return;
                 }
                 owner_ = reply.reply().service();
                 markup_ = reply.value().contains(QStringLiteral("body-markup"));
                 sendHeld();
             });
    }

    void sendHeld()
    {
        for (const Held &h : std::exchange(held_, {})) {
            QDBusMessage message = QDBusMessage::createMethodCall(owner_, objectPath, interfaceName,
                                                                  QStringLiteral("Notify"));
            const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry},
                                    {QStringLiteral("category"), category}};
            message << appName << uint(h.replacesId) << appIcon << h.summary
                    << (markup_ ? markupEscaped(h.body) : h.body) << h.actions << hints
                    << serverChoosesTimeout;
            const quint64 sentTo = generation_;
            call(message, [this, sentTo](const QDBusPendingCall &answer) {
                const QDBusPendingReply<uint> reply = answer;
                if (sentTo != generation_)
                    emit failed(); // that server has gone, and its id with it
                else if (reply.isError())
                    fail(reason(reply.error()));
                else
                    emit sent(reply.value());
            });
        }
    }

    void call(const QDBusMessage &message, std::function<void(const QDBusPendingCall &)> answered)
    {
        auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, answerTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [answered = std::move(answered)](QDBusPendingCallWatcher *w) {
                    answered(*w);
                    w->deleteLater();
                });
    }

    static QString reason(const QDBusError &error)
    {
        return error.type() == QDBusError::ServiceUnknown ? noServer : error.message();
    }

    void fail(const QString &reason)
    {
        if (!warned_) {
            warned_ = true;
            std::fprintf(stderr, "lumwatchd: デスクトップ通知を送れません: %s\n", qPrintable(reason));
        }
        emit failed();
    }

    QDBusConnection bus_;
    QDBusServiceWatcher *watcher_ = nullptr;
    QString owner_;          // the unique name of the server that answered GetCapabilities
    bool markup_ = false;    // that server reads bodies as markup
    bool asking_ = false;
    quint64 generation_ = 0; // counts the owner's changes
    std::vector<Held> held_; // until the server has answered GetCapabilities
    bool warned_ = false;
};

} // namespace

QString markupEscaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}

std::unique_ptr<DesktopNotifications> makeDesktopNotifications()
{
    return std::make_unique<DBusNotifications>();
}

} // namespace lum

#include "desktop_notifications.moc"
