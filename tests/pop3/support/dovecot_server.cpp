#include "support/dovecot_server.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lum::test {

namespace {

constexpr uid_t mailUid = 65534; // nobody
constexpr gid_t mailGid = 65534; // nogroup

void own(const QString &path)
{
    if (::chown(QFile::encodeName(path).constData(), mailUid, mailGid) != 0) {
        // Not root: Dovecot will refuse access and start() reports it.
    }
}

} // namespace

quint16 freePort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const auto port = quint16(QRandomGenerator::global()->bounded(20000, 60000));
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, port))
            return port;
    }
    return 0;
}

DovecotServer::DovecotServer()
{
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
    QDir(dir_.path()).mkpath(QStringLiteral("run"));
    QDir(dir_.path()).mkpath(QStringLiteral("state"));
    QDir(dir_.path()).mkpath(QStringLiteral("mail"));
    own(path(QStringLiteral("mail")));
    QFile passwd(path(QStringLiteral("passwd")));
    passwd.open(QIODevice::WriteOnly);
    passwd.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

DovecotServer::~DovecotServer()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

QString DovecotServer::writeConfig()
{
    const QString conf = path(QStringLiteral("dovecot.conf"));
    QFile f(conf);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    const QString t = dir_.path();
    QString text = QStringLiteral(
                "base_dir = @DIR@/run\n"
                "state_dir = @DIR@/state\n"
                "log_path = @DIR@/dovecot.log\n"
                "protocols = pop3 imap\n"
                "listen = 127.0.0.1\n"
                "@SSL@"
                "disable_plaintext_auth = no\n"
                "auth_mechanisms = plain\n"
                "default_login_user = dovenull\n"
                "default_internal_user = dovecot\n"
                "first_valid_uid = 0\n"
                "mail_location = maildir:@DIR@/mail/%u\n"
                "pop3_uidl_format = %08Xu%08Xv\n"
                "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u @DIR@/passwd\n}\n"
                "userdb {\n  driver = static\n  args = uid=@UID@ gid=@GID@ home=@DIR@/mail/%u\n}\n"
                "service pop3-login {\n  chroot =\n  inet_listener pop3 {\n    port = @PORT@\n  }\n@POP3S@}\n"
                "service imap-login {\n  chroot =\n  inet_listener imap {\n    port = @IMAPPORT@\n  }\n"
                "@IMAPS@}\n"
                "service anvil {\n  chroot =\n}\n");
    const bool tls = !certFile_.isEmpty();
    text.replace(QStringLiteral("@SSL@"), tls ? QStringLiteral("ssl = required\nssl_cert = <%1\nssl_key = <%2\n").arg(certFile_, keyFile_)
                                              : QStringLiteral("ssl = no\n"))
        .replace(QStringLiteral("@POP3S@"),
                 tls ? QStringLiteral("  inet_listener pop3s {\n    port = %1\n    ssl = yes\n  }\n").arg(tlsPort_)
                     : QString());
    text.replace(QStringLiteral("@DIR@"), t)
        .replace(QStringLiteral("@PORT@"), QString::number(port_))
        .replace(QStringLiteral("@IMAPPORT@"), QString::number(imapPort_))
        .replace(QStringLiteral("@IMAPS@"),
                 tls ? QStringLiteral("  inet_listener imaps {\n    port = %1\n    ssl = yes\n  }\n").arg(imapTlsPort_)
                     : QString())
        .replace(QStringLiteral("@UID@"), QString::number(mailUid))
        .replace(QStringLiteral("@GID@"), QString::number(mailGid));
    f.write(text.toUtf8());
    return conf;
}

bool DovecotServer::start()
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = freePort();
        tlsPort_ = certFile_.isEmpty() ? 0 : freePort();
        imapPort_ = freePort();
        imapTlsPort_ = certFile_.isEmpty() ? 0 : freePort();
        const QSet<quint16> ports{port_, tlsPort_, imapPort_, imapTlsPort_};
        if (port_ == 0 || imapPort_ == 0 || ports.size() != (certFile_.isEmpty() ? 3 : 4))
            continue;
        const QString conf = writeConfig();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        // A test that crashes takes its server with it.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(QStringLiteral("/usr/sbin/dovecot"), {QStringLiteral("-F"), QStringLiteral("-c"), conf});
        if (!process_.waitForStarted(10000)) {
            error_ = QStringLiteral("dovecot did not start: ") + process_.errorString();
            return false;
        }
        // Ready once the port takes connections and greets.
        for (int i = 0; i < 100 && process_.state() == QProcess::Running; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            if (s.waitForConnected(200) && s.waitForReadyRead(2000) && s.readAll().startsWith("+OK"))
                return true;
            QThread::msleep(50);
        }
        error_ = QStringLiteral("dovecot did not come up on port %1: %2 %3")
                     .arg(port_)
                     .arg(QString::fromLocal8Bit(process_.readAll()))
                     .arg(log());
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            process_.waitForFinished(10000);
        }
    }
    return false;
}

void DovecotServer::useTls(const QString &certFile, const QString &keyFile)
{
    certFile_ = certFile;
    keyFile_ = keyFile;
}

void DovecotServer::addUser(const QString &user, const QString &password)
{
    QFile passwd(path(QStringLiteral("passwd")));
    passwd.open(QIODevice::Append);
    passwd.write((user + QStringLiteral(":{PLAIN}") + password + QLatin1Char('\n')).toUtf8());
    const QString home = QStringLiteral("mail/") + user;
    for (const char *sub : {"", "/cur", "/new", "/tmp"}) {
        QDir(dir_.path()).mkpath(home + QLatin1String(sub));
        own(path(home + QLatin1String(sub)));
    }
}

QString DovecotServer::deliver(const QString &user, const QByteArray &message, const QString &flags)
{
    ++delivered_;
    // Maildir names sort by their time part; Dovecot numbers new mail in that order. A
    // message with flags is one a mail client has seen: in cur, its flags after ":2,".
    const QString name = QStringLiteral("%1.M%2P1.lumtest").arg(1700000000 + delivered_).arg(delivered_);
    const QString file = path(flags.isNull() ? QStringLiteral("mail/%1/new/%2").arg(user, name)
                                             : QStringLiteral("mail/%1/cur/%2:2,%3").arg(user, name, flags));
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.write(message);
    f.close();
    own(file);
    return name;
}

bool DovecotServer::removeMessage(const QString &user, const QString &fileName)
{
    for (const char *sub : {"new", "cur"}) {
        QDir d(path(QStringLiteral("mail/%1/%2").arg(user, QLatin1String(sub))));
        for (const QString &entry : d.entryList(QDir::Files)) {
            if (entry.startsWith(fileName))
                return d.remove(entry);
        }
    }
    return false;
}

QList<QByteArray> DovecotServer::messages(const QString &user) const
{
    QList<QByteArray> list;
    for (const char *sub : {"new", "cur"}) {
        QDir d(path(QStringLiteral("mail/%1/%2").arg(user, QLatin1String(sub))));
        for (const QString &entry : d.entryList(QDir::Files, QDir::Name)) {
            QFile f(d.filePath(entry));
            f.open(QIODevice::ReadOnly);
            list.append(f.readAll());
        }
    }
    return list;
}

int DovecotServer::messageCount(const QString &user) const
{
    return int(messages(user).size());
}

QString DovecotServer::log() const
{
    QFile f(path(QStringLiteral("dovecot.log")));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

} // namespace lum::test
