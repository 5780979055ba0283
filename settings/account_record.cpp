#include "settings/account_record.h"

#include "settings/numbers.h"
#include "settings/password.h"
#include "settings/save_value.h"
#include "settings/setting_keys.h"

#include <QUrl>

namespace lum {
namespace {

// Reads a number field; keeps its value when the stored text is not a number in range.
template <typename T, typename Convert>
void readInto(const SettingsStore &store, const QString &k, T def, T &field, Convert convert)
{
    if (const auto v = convert(store.readSetting(k, QString::number(def))))
        field = *v;
}

// A choice stored as "0".."count - 1" (blanks around it allowed), "0" when the key is missing;
// anything else is no choice at all.
template <typename E>
std::optional<E> storedChoice(const SettingsStore &store, const char *prefix, int n, int count)
{
    const QString text = store.readSetting(numbered(prefix, n), QStringLiteral("0")).trimmed();
    for (int v = 0; v < count; ++v) {
        if (text == QString::number(v))
            return E(v);
    }
    return std::nullopt;
}

} // namespace

void readAccount(const SettingsStore &store, int n, AccountRecord &r)
{
    const auto k = [n](const char *prefix) { return numbered(prefix, n); };
    const AccountRecord defaults;
    r.aname = store.readSetting(k(key::aname), QString());
    r.hname = store.readSetting(k(key::hname), QString());
    readInto(store, k(key::portno), defaults.portno, r.portno, toUInt16);
    r.uname = store.readSetting(k(key::uname), QString());
    const QString stored = store.readSetting(k(key::passw), QString());
    if (!stored.isEmpty())
        r.passw = storedPassword(stored);
    readInto(store, k(key::check), defaults.check, r.check, toInt16);
    readInto(store, k(key::scolor1), defaults.display.scolor1, r.display.scolor1, toInt32);
    readInto(store, k(key::scolor2), defaults.display.scolor2, r.display.scolor2, toInt32);
    readInto(store, k(key::wavmode), defaults.display.wavmode, r.display.wavmode, toInt16);
    // A path: stored empty when empty; a "0" of older writers names no file.
    r.display.wavdir2 = store.readSetting(k(key::wavdir2), QString());
    if (r.display.wavdir2 == QStringLiteral("0"))
        r.display.wavdir2.clear();
    if (const auto mode = storedSslMode(store, n))
        r.sslmode = *mode;
    r.sslpin = store.readSetting(k(key::sslpin), QString());
    if (const auto where = storedPasswordStore(store, n))
        r.pwstore = *where;
    if (const auto mode = storedAuthMode(store, n))
        r.authmode = *mode;
    r.oauth.provider = store.readSetting(k(key::oauthprov), QString());
    r.oauth.authUrl = store.readSetting(k(key::oauthauth), QString());
    r.oauth.tokenUrl = store.readSetting(k(key::oauthtoken), QString());
    r.oauth.scope = store.readSetting(k(key::oauthscope), QString());
    r.oauth.clientId = store.readSetting(k(key::oauthclient), QString());
    const QString secret = store.readSetting(k(key::oauthsecret), QString());
    r.oauth.clientSecret = secret.isEmpty() ? QString() : storedPassword(secret);
    if (const auto protocol = storedProtocol(store, n))
        r.protocol = *protocol;
    r.imapbox = store.readSetting(k(key::imapbox), QString());
    if (r.imapbox.isEmpty())
        r.imapbox = inboxName;
}

QString connectionHost(const QString &hname)
{
    qsizetype b = 0, e = hname.size();
    while (b < e && hname[b] == QLatin1Char(' '))
        ++b;
    while (e > b && hname[e - 1] == QLatin1Char(' '))
        --e;
    return hname.mid(b, e - b);
}

std::optional<quint16> storedPort(const SettingsStore &store, int n)
{
    const QString text = store.readSetting(numbered(key::portno, n), QStringLiteral("110")).trimmed();
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        port = port * 10 + (c.unicode() - u'0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

std::optional<SslMode> storedSslMode(const SettingsStore &store, int n)
{
    return storedChoice<SslMode>(store, key::sslmode, n, 3);
}

std::optional<PasswordStore> storedPasswordStore(const SettingsStore &store, int n)
{
    return storedChoice<PasswordStore>(store, key::pwstore, n, 2);
}

namespace {

// The user name percent-encoded, so that it holds no '@' and the name is read back unambiguously.
QString itemName(const char *kind, const QString &host, quint16 port, const QString &user)
{
    return QLatin1String(kind) + QString::fromLatin1(QUrl::toPercentEncoding(user)) + u'@' + host + u':'
        + QString::number(port);
}

} // namespace

QString keyringKey(const QString &host, quint16 port, const QString &user)
{
    return itemName("password:", host, port, user);
}

QString formerKeyringKey(const QString &key)
{
    const qsizetype colon = key.indexOf(u':');
    const qsizetype at = key.indexOf(u'@');
    if (colon < 0 || at < colon)
        return {};
    const QString kind = key.left(colon);
    const QString rest = QUrl::fromPercentEncoding(key.mid(colon + 1, at - colon - 1).toUtf8()) + key.mid(at);
    // A password user "oauth:x" had the item of the OAuth account x: that one stays the token's.
    if (kind == QLatin1String("password"))
        return rest.startsWith(QLatin1String("oauth:")) ? QString() : rest;
    return kind == QLatin1String("oauth") ? QStringLiteral("oauth:") + rest : QString();
}

std::optional<AuthMode> storedAuthMode(const SettingsStore &store, int n)
{
    return storedChoice<AuthMode>(store, key::authmode, n, 2);
}

std::optional<MailProtocol> storedProtocol(const SettingsStore &store, int n)
{
    return storedChoice<MailProtocol>(store, key::protocol, n, 2);
}

quint16 defaultPort(MailProtocol protocol, SslMode mode)
{
    const bool tls = mode == SslMode::Tls;
    if (protocol == MailProtocol::Imap)
        return tls ? 993 : 143;
    return tls ? 995 : 110;
}

QString protocolProblem(const QString &value)
{
    return QStringLiteral("受信方式の設定が正しくありません:") + value;
}

QString oauthNeedsEncryption(const QString &accountName)
{
    return QStringLiteral("OAuth 2.0 には暗号化(SSL/TLS か STARTTLS)が必要です (") + accountName + u')';
}

QString oauthKeyringKey(const QString &host, quint16 port, const QString &user)
{
    return itemName("oauth:", host, port, user);
}

void writeAccount(SettingsStore &store, int n, const AccountRecord &r)
{
    const auto k = [n](const char *prefix) { return numbered(prefix, n); };
    saveValue(store, k(key::aname), 0, r.aname);
    saveValue(store, k(key::hname), 0, r.hname);
    saveValue(store, k(key::portno), r.portno, QString());
    saveValue(store, k(key::uname), 0, r.uname);
    const bool inFile = r.pwstore == PasswordStore::File;
    saveValue(store, k(key::passw), 0, scramblePassword(inFile ? r.passw : QString()));
    saveValue(store, k(key::check), r.check, QString());
    store.writeSetting(k(key::scolor1), QString::number(r.display.scolor1));
    store.writeSetting(k(key::scolor2), QString::number(r.display.scolor2));
    saveValue(store, k(key::wavmode), r.display.wavmode, QString());
    saveValue(store, k(key::wavdir2), 0, r.display.wavdir2);
    saveValue(store, k(key::sslmode), qint32(r.sslmode), QString());
    store.writeSetting(k(key::sslpin), r.sslpin);
    saveValue(store, k(key::pwstore), qint32(r.pwstore), QString());
    saveValue(store, k(key::authmode), qint32(r.authmode), QString());
    // Written as they are: an empty endpoint stays empty.
    store.writeSetting(k(key::oauthprov), r.oauth.provider);
    store.writeSetting(k(key::oauthauth), r.oauth.authUrl);
    store.writeSetting(k(key::oauthtoken), r.oauth.tokenUrl);
    store.writeSetting(k(key::oauthscope), r.oauth.scope);
    store.writeSetting(k(key::oauthclient), r.oauth.clientId);
    store.writeSetting(k(key::oauthsecret),
                       r.oauth.clientSecret.isEmpty() ? QString() : scramblePassword(r.oauth.clientSecret));
    saveValue(store, k(key::protocol), qint32(r.protocol), QString());
    store.writeSetting(k(key::imapbox), r.imapbox.isEmpty() ? inboxName : r.imapbox);
}

} // namespace lum
