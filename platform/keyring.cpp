#include "platform/keyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <qt6keychain/keychain.h>

namespace lum {

namespace {

const QString service = QStringLiteral("Lumora");
const QString secretsName = QStringLiteral("org.freedesktop.secrets");

QString reasonOf(const QKeychain::Job &job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return {};
    case QKeychain::EntryNotFound:
        return QStringLiteral("キーリングにこのアカウントの項目がありません");
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return QStringLiteral("キーリングへのアクセスが拒否されました");
    case QKeychain::NoBackendAvailable:
        return QStringLiteral("キーリング(Secret Service)が見つかりません");
    default:
        break;
    }
    return QStringLiteral("キーリングのエラー: ") + job.errorString();
}

// A locked keyring that could not be unlocked (no prompt, or the prompt dismissed) reads as
// having no item: the default collection's "Locked" tells the two apart, so that the user
// is not told to store a password that is there.
void lockedOrMissing(KeyringAnswer a, Keyring::Done done)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        secretsName, QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    auto *watch = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get));
    QObject::connect(watch, &QDBusPendingCallWatcher::finished, watch,
                     [a, done = std::move(done)](QDBusPendingCallWatcher *w) mutable {
                         w->deleteLater();
                         const QDBusPendingReply<QDBusVariant> locked = *w;
                         if (locked.isValid() && locked.value().variant().toBool()) {
                             a.missing = false;
                             a.reason = QStringLiteral("キーリングがロックされていて開けません");
                         }
                         done(a);
                     });
}

// Starts job; done gets its answer once it has finished. The job deletes itself.
void run(QKeychain::Job *job, const QString &key, Keyring::Done done)
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, job, [done = std::move(done)](QKeychain::Job *j) {
        KeyringAnswer a;
        const bool missing = j->error() == QKeychain::EntryNotFound;
        a.ok = j->error() == QKeychain::NoError
            || (missing && qobject_cast<QKeychain::DeletePasswordJob *>(j));
        if (!a.ok)
            a.reason = reasonOf(*j);
        a.missing = missing && qobject_cast<QKeychain::ReadPasswordJob *>(j);
        if (auto *r = qobject_cast<QKeychain::ReadPasswordJob *>(j); r && a.ok)
            a.password = r->textData();
        if (a.missing)
            return lockedOrMissing(a, done);
        done(a);
    });
    job->start();
}

} // namespace

void readMoving(Keyring &keyring, const QString &key, const QString &formerKey, Keyring::Done done)
{
    keyring.read(key, [&keyring, key, formerKey, done](const KeyringAnswer &a) {
        if (!a.missing || formerKey.isEmpty())
            return done(a);
        keyring.read(formerKey, [&keyring, key, formerKey, done](const KeyringAnswer &former) {
            if (!former.ok)
                return done(former);
            keyring.write(key, former.password, [&keyring, formerKey, former, done](const KeyringAnswer &w) {
                if (!w.ok)
                    return done(former); // used under its old name until it can be moved
                keyring.remove(formerKey, [former, done](const KeyringAnswer &) { done(former); });
            });
        });
    });
}

QString SecretServiceKeyring::unavailableReason() const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QStringLiteral("セッションバス(D-Bus)に接続できません");
    QDBusConnectionInterface *names = bus.interface();
    if (names->isServiceRegistered(secretsName).value()
        || names->activatableServiceNames().value().contains(secretsName))
        return {};
    return QStringLiteral("キーリング(Secret Service)が動いていません");
}

void SecretServiceKeyring::read(const QString &key, Done done)
{
    run(new QKeychain::ReadPasswordJob(service), key, std::move(done));
}

void SecretServiceKeyring::write(const QString &key, const QString &password, Done done)
{
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setTextData(password);
    run(job, key, std::move(done));
}

void SecretServiceKeyring::remove(const QString &key, Done done)
{
    run(new QKeychain::DeletePasswordJob(service), key, std::move(done));
}

} // namespace lum
