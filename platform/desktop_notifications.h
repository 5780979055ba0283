#pragma once
// Notifications on the desktop through the session's notification server
// (org.freedesktop.Notifications on the session bus). Nothing waits: every call returns at
// once and its outcome comes as a signal.

#include <QObject>
#include <QStringList>
#include <memory>

namespace lum {

class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    // Asks the server what it can show, once; until it has answered bodyMarkup() is false.
    virtual void start() = 0;
    // True when the server reads bodies as markup (its capability "body-markup").
    virtual bool bodyMarkup() const = 0;
    // Shows a notification of new mail, in place of notification replacesId when not 0.
    // actions: pairs of key and label. sent(id) or failed() follows.
    virtual void notify(quint32 replacesId, const QString &summary, const QString &body,
                        const QStringList &actions) = 0;
    virtual void close(quint32 id) = 0;

signals:
    void sent(quint32 id);
    void failed();
    // The user chose action key of notification id (any program's id: compare).
    void activated(quint32 id, const QString &key);
    // Notification id went away (any program's id: compare).
    void closed(quint32 id);
};

// The session bus's server as program "Lumora" with the icon "lumora" and the desktop entry
// "lumwatchd". Without a session bus or a server on it, the first failed notification says
// so once on stderr; no other output.
std::unique_ptr<DesktopNotifications> makeDesktopNotifications();

} // namespace lum
