#include "platform/tray_watch.h"

#include "platform/scroll_led.h" // onX11
#include "platform/x_selection_events.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <functional>
#include <utility>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace lum {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

// The owner of the XEmbed tray manager selection of the program's screen, on a connection
// of its own: XFixes tells every change of owner, also a manager that gives the selection
// up and keeps its window. Without XFixes the root window announces a new manager (MANAGER
// client message) and the manager's window reports its end (DestroyNotify).
class XEmbedWatch {
public:
    explicit XEmbedWatch(std::function<void()> changed) : changed_(std::move(changed)) {}
    ~XEmbedWatch()
    {
        if (conn_)
            xcb_disconnect(conn_);
    }

    // screen: the program's own, or -1 for the one displayName names.
    void open(const char *displayName, int screen, QObject *parent)
    {
        int named = 0;
        conn_ = xcb_connect(displayName, &named);
        if (screen < 0)
            screen = named;
        if (xcb_connection_has_error(conn_)) {
            xcb_disconnect(conn_);
            conn_ = nullptr;
            return;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
        for (; it.rem > 1 && screen > 0; --screen)
            xcb_screen_next(&it);
        root_ = it.data->root;
        selection_ = atom(QByteArray("_NET_SYSTEM_TRAY_S") + QByteArray::number(screen));
        manager_ = atom("MANAGER");
        selectStructure(root_);
        selectionEvent_ = selectSelectionEvents(conn_, root_, selection_);
        refresh();
        auto *notifier = new QSocketNotifier(xcb_get_file_descriptor(conn_), QSocketNotifier::Read, parent);
        QObject::connect(notifier, &QSocketNotifier::activated, parent, [this] { readEvents(); });
    }

    bool present() const { return owner_ != XCB_NONE; }

private:
    xcb_atom_t atom(const QByteArray &name)
    {
        auto cookie = xcb_intern_atom(conn_, 0, uint16_t(name.size()), name.constData());
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(conn_, cookie, nullptr);
        xcb_atom_t a = reply ? reply->atom : XCB_NONE;
        free(reply);
        return a;
    }

    xcb_window_t currentOwner()
    {
        auto cookie = xcb_get_selection_owner(conn_, selection_);
        xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(conn_, cookie, nullptr);
        xcb_window_t owner = reply ? reply->owner : XCB_NONE;
        free(reply);
        return owner;
    }

    void selectStructure(xcb_window_t window)
    {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_, window, XCB_CW_EVENT_MASK, &mask);
    }

    // Follows the owner's window; asked again after selecting, in case it ended meanwhile.
    void refresh()
    {
        xcb_window_t owner = currentOwner();
        for (int tries = 0; owner != XCB_NONE && tries < 3; ++tries) {
            selectStructure(owner);
            const xcb_window_t again = currentOwner();
            if (again == owner)
                break;
            owner = again;
        }
        xcb_flush(conn_);
        owner_ = owner;
    }

    void readEvents()
    {
        const bool before = present();
        while (xcb_generic_event_t *event = xcb_poll_for_event(conn_)) {
            const uint8_t type = event->response_type & 0x7f;
            if (selectionEvent_ != 0 && type == selectionEvent_) {
                if (selectionOfEvent(event) == selection_)
                    refresh();
            } else if (type == XCB_CLIENT_MESSAGE) {
                auto *m = reinterpret_cast<xcb_client_message_event_t *>(event);
                if (m->type == manager_ && m->data.data32[1] == selection_)
                    refresh();
            } else if (type == XCB_DESTROY_NOTIFY) {
                if (reinterpret_cast<xcb_destroy_notify_event_t *>(event)->window == owner_)
                    refresh();
            }
            free(event);
        }
        if (present() != before)
            changed_();
    }

    std::function<void()> changed_;
    xcb_connection_t *conn_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t selection_ = XCB_NONE;
    xcb_atom_t manager_ = XCB_NONE;
    xcb_window_t owner_ = XCB_NONE;
    quint8 selectionEvent_ = 0; // 0: no XFixes
};

class DesktopTrayWatch : public TrayWatch {
    Q_OBJECT
public:
    DesktopTrayWatch() : xembed_([this] { emit changed(); })
    {
        watchStatusNotifier();
        if (onX11()) {
            auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
            Display *display = x11 ? x11->display() : nullptr;
            xembed_.open(display ? DisplayString(display) : nullptr, display ? DefaultScreen(display) : -1, this);
        }
    }

    bool statusNotifierHost() const override { return host_; }
    bool xembedManager() const override { return xembed_.present(); }
    bool answered() const override { return answered_; }

private slots:
    void queryHost()
    {
        auto *call = new QDBusPendingCallWatcher(bus_.asyncCall(hostQuestion()), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            const bool host = hostAnswer(w->reply());
            if (!std::exchange(answered_, true) && host == host_)
                emit changed(); // the first answer, with nothing new to say
            setHost(host);
        });
    }

private:
    // The watcher knows whether a host shows the items; a watcher alone shows nothing.
    static QDBusMessage hostQuestion()
    {
        QDBusMessage m = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                        QStringLiteral("org.freedesktop.DBus.Properties"),
                                                        QStringLiteral("Get"));
        m << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
        return m;
    }

    static bool hostAnswer(const QDBusMessage &reply)
    {
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && reply.arguments().first().value<QDBusVariant>().variant().toBool();
    }

    void watchStatusNotifier()
    {
        bus_ = QDBusConnection::sessionBus();
        if (!bus_.isConnected()) {
            answered_ = true;
            return;
        }
        auto *names = new QDBusServiceWatcher(watcherService, bus_,
                                              QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(names, &QDBusServiceWatcher::serviceOwnerChanged, this, &DesktopTrayWatch::queryHost);
        for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
            bus_.connect(watcherService, watcherPath, watcherService, QLatin1String(signal), this,
                         SLOT(queryHost()));
        queryHost();
    }

    void setHost(bool host)
    {
        if (host == host_)
            return;
        host_ = host;
        emit changed();
    }

    QDBusConnection bus_{QString()};
    bool host_ = false;
    bool answered_ = false;
    XEmbedWatch xembed_;
};

} // namespace

std::unique_ptr<TrayWatch> makeTrayWatch()
{
    return std::make_unique<DesktopTrayWatch>();
}

} // namespace lum

#include "tray_watch.moc"
