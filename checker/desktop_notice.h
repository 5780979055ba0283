#pragma once
// The desktop notification of new mail without the desktop: its text, and when it is sent,
// replaced or closed. The checker hands each step to DesktopNotifications.
//
// One notification at a time: a later arrival replaces it. It goes away when the user opens
// the list, and when a later check finds none of the messages it named still marked "N".
// A message is the same message in a later check when its account, its identity (the
// Message-ID, or Date, From and Subject without one) and its shown sender and subject are
// equal; message numbers are not compared, as they shift when earlier messages are deleted.

#include "decode/mail_table.h"
#include "settings/options.h"

#include <QString>
#include <optional>
#include <vector>

namespace lum {

struct NoticeMessage {
    int account = 0;
    int message = 0; // orders the lines only
    MessageIdentity identity;
    QString from;
    QString subject;

    bool sameMessage(const NoticeMessage &other) const;
};

inline constexpr int noticeLines = 5;       // message lines in a body at most
inline constexpr int noticeLineLength = 80; // characters of a line at most, "…" included

// "Lumora: 新着メール 3通".
QString noticeSummary(int count);
// SendersAndSubjects: a line "sender — subject" per message, newest first (accounts in
// order, within one the highest number first), at most five and then "ほか N通" for the
// rest; a long line is cut with "…". Line breaks, controls and direction marks in a sender
// or subject show as visible stand-ins (visibleText). Plain text: the server's markup is
// the platform's business. CountOnly and Off: empty.
QString noticeBody(std::vector<NoticeMessage> fresh, DesktopNotice mode);

// What to do with the desktop's notification.
struct NoticeStep {
    enum Kind { None, Send, Close };
    Kind kind = None;
    quint32 id = 0; // Send: the notification it replaces (0 none); Close: the one to close
    QString summary;
    QString body;
};

// The notification's state: the server's id of the one shown and the messages it names.
// A step asked for while the server has not yet answered a Send waits for that answer.
class NoticeState {
public:
    // After every check: fresh are the messages marked "N"; arrival when the check found
    // new mail. An arrival with messages marked "N" sends (unless Off); otherwise the one
    // shown closes when none of its messages is still marked "N".
    NoticeStep checked(const std::vector<NoticeMessage> &fresh, bool arrival, DesktopNotice mode);
    // The list was opened: the notification has done its work.
    NoticeStep listOpened();
    // The checker ends: the notification shown, if any, closes now.
    NoticeStep leaving();
    // Another server owns the notification service: the id shown belonged to the one before,
    // and may now name another program's notification.
    void serverChanged();
    // The server's answer to a Send: the id of the notification shown.
    NoticeStep sent(quint32 id);
    // A Send that reached no server.
    NoticeStep failed();
    // The server closed notification id (expired, dismissed, or closed on our request).
    void closed(quint32 id);
    // Notification id is the one shown.
    bool ours(quint32 id) const { return id != 0 && id == id_; }

private:
    NoticeStep close();
    NoticeStep next();

    quint32 id_ = 0;
    bool sending_ = false;
    bool closeWhenSent_ = false;
    std::optional<NoticeStep> waiting_; // a Send asked for while the one before is unanswered
    std::vector<NoticeMessage> named_;
};

} // namespace lum
