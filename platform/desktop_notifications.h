#pragma once
// Notifications on the desktop through the session's notification server
// (org.freedesktop.Notifications on the session bus). Nothing waits: every call returns at
// once and its outcome comes as a signal.
//
// The server that shows a notification decides how its body is read: each notification is
// held until that server has said whether it reads markup, and is escaped for it here.
// Another program that takes over the service name is another server: what was learnt of
// the one before, and its notification ids, no longer count (serverChanged).

#include <QObject>
#include <QStringList>
#include <memory>

namespace lum {

class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    // Starts following the service's owner and asks the server what it can show.
    virtual void start() = 0;
    // Shows a notification of new mail, in place of notification replacesId when not 0.
    // summary and body are plain text. actions: pairs of key and label. sent(id) or
    // failed() follows.
    virtual void notify(quint32 replacesId, const QString &summary, const QString &body,
                        const QStringList &actions) = 0;
    // closeAnswered(id) follows, also when no server took it.
    virtual void close(quint32 id) = 0;

signals:
    void sent(quint32 id);
    void failed();
    // The user chose action key of notification id (any program's id: compare).
    void activated(quint32 id, const QString &key);
    // Notification id went away (any program's id: compare).
    void closed(quint32 id);
    // Another program owns the service now, or none: ids sent before mean nothing.
    void serverChanged();
    void closeAnswered(quint32 id);
};

// The session bus's server as program "Lumora" with the icon "lumora" and the desktop entry
// "lumwatchd". Without a session bus or a server on it, the first failed notification says
// so once on stderr; no other output.
std::unique_ptr<DesktopNotifications> makeDesktopNotifications();

// A plain text as a body for a server that reads markup: & < > as entities.
QString markupEscaped(const QString &text);

} // namespace lum
