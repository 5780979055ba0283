#pragma once
// Whether a notification area is there to take an icon, followed while panels come and go
// (autostart often starts the checker before the panel, and panels restart).
//   StatusNotifier  a host registered at org.kde.StatusNotifierWatcher on the session bus
//                   (KDE, waybar, XFCE, GNOME with the AppIndicator extension)
//   XEmbed          an owner of the X tray manager selection _NET_SYSTEM_TRAY_Sn (X11 only)

#include <QObject>
#include <memory>

namespace lum {

class TrayWatch : public QObject {
    Q_OBJECT
public:
    virtual bool statusNotifierHost() const = 0;
    virtual bool xembedManager() const = 0;
    // False until the session bus has answered whether a StatusNotifier host is there: it is
    // asked without waiting, and changed() follows the answer.
    virtual bool answered() const { return true; }

signals:
    // Either of the two has come or gone, or the first answer has come.
    void changed();
};

// Watches the session bus, and the X display when the program runs on X11.
std::unique_ptr<TrayWatch> makeTrayWatch();

} // namespace lum
