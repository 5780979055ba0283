#pragma once
// A private Dovecot POP3 and IMAP server for one test: its own configuration, passwd file and
// maildirs in a temporary folder, listening on 127.0.0.1 at a free port. Needs root (it
// runs the mail processes as nobody) and /usr/sbin/dovecot.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace lum::test {

class DovecotServer {
public:
    DovecotServer();
    ~DovecotServer();
    DovecotServer(const DovecotServer &) = delete;
    DovecotServer &operator=(const DovecotServer &) = delete;

    // Starts the server; false (with error()) when it could not be started.
    bool start();
    QString error() const { return error_; }
    quint16 port() const { return port_; }

    // Before start(): TLS with this certificate and key (PEM files; the certificate file may
    // hold its chain after it), as STLS on port() and POP3S on tlsPort(). "ssl = required":
    // no login in the clear, except that Dovecot counts a client on its own address as
    // secured, so a plain login from 127.0.0.1 still works.
    void useTls(const QString &certFile, const QString &keyFile);
    quint16 tlsPort() const { return tlsPort_; }
    // IMAP, plain (and STARTTLS with TLS), and IMAPS with TLS.
    quint16 imapPort() const { return imapPort_; }
    quint16 imapTlsPort() const { return imapTlsPort_; }

    void addUser(const QString &user, const QString &password);
    // Files one message in the user's maildir ("new"); returns its file name. Messages are
    // numbered by the server in the order of delivery. With flags (maildir letters: "S" seen,
    // "T" deleted), as a mail client left it in "cur".
    QString deliver(const QString &user, const QByteArray &message, const QString &flags = QString());
    // Removes a message file as another mail client would have done.
    bool removeMessage(const QString &user, const QString &fileName);
    // The messages now in the user's maildir (new and cur).
    int messageCount(const QString &user) const;
    QList<QByteArray> messages(const QString &user) const;
    QString log() const;
    QString mailDir(const QString &user) const { return path(QStringLiteral("mail/") + user); }

private:
    QString path(const QString &rel) const { return dir_.filePath(rel); }
    QString writeConfig();

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    quint16 tlsPort_ = 0;
    quint16 imapPort_ = 0;
    quint16 imapTlsPort_ = 0;
    QString certFile_, keyFile_;
    QString error_;
    int delivered_ = 0;
};

// A free TCP port on 127.0.0.1 at the time of the call (0 when none was found).
quint16 freePort();

} // namespace lum::test
