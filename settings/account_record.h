#pragma once
// One mail account (a POP3 or IMAP mailbox) as kept in the settings store: ten keys, each a
// prefix of setting_keys.h followed by the account number, and "Sslmode", "Sslpin", "Pwstore",
// "Authmode", the OAuth 2.0 keys, "Protocol" and "Imapbox" beside them. Accounts are numbered
// 1.."accountno" without gaps.

#include "platform/settings_store.h"

#include <QString>
#include <optional>

namespace lum {

// The fields the checker keeps per account, for every account at once (list colours and
// new-mail sound).
struct AccountDisplay {
    qint32 scolor1 = 0;        // text colour, 0x00BBGGRR
    qint32 scolor2 = 0xFFFF80; // background colour, light cyan
    qint16 wavmode = 0;        // 0 common WAV "Wavdir", 1 own WAV "Wavdir2_", else no sound
    QString wavdir2;           // the account's own WAV file

    bool operator==(const AccountDisplay &) const = default;
};

// How a connection of the account is encrypted ("Sslmode"). A store without the key means
// None: such accounts behave as before the key existed.
enum class SslMode : qint16 {
    None = 0, // plain POP3
    Tls = 1,  // TLS from the first byte (POP3S, usually port 995)
    Stls = 2, // STLS after the greeting (RFC 2595 §4, usually port 110)
};

// Where the account's password lives ("Pwstore"). A store without the key means File.
enum class PasswordStore : qint16 {
    File = 0,    // scrambled in "Passw"
    Keyring = 1, // in the desktop's keyring under keyringKey(); "Passw" holds the empty one
};

// How the account signs in ("Authmode"). A store without the key means Password.
enum class AuthMode : qint16 {
    Password = 0, // USER and PASS
    OAuth = 1,    // SASL XOAUTH2 or OAUTHBEARER with an OAuth 2.0 access token
};

// How the account reads its mailbox ("Protocol"). A store without the key means Pop3: such
// accounts behave as before the key existed.
enum class MailProtocol : qint16 {
    Pop3 = 0,
    Imap = 1,
};

// The IMAP mailbox watched when "Imapbox" is missing or empty.
inline const QString inboxName = QStringLiteral("INBOX");

// The usual port of a protocol with an encryption: 995 and 993 for TLS from the first byte,
// 110 and 143 for a plain connection and for STLS / STARTTLS.
quint16 defaultPort(MailProtocol protocol, SslMode mode);

// Why an account with a stored "Protocol" other than 0 or 1 is not visited; value is the
// stored text as it stands.
QString protocolProblem(const QString &value);

// Why an OAuth account without encryption ("Sslmode" 0) is neither checked nor signed in:
// its access token would cross the network in clear. One text for every program.
QString oauthNeedsEncryption(const QString &accountName);

// The OAuth 2.0 client of an account. None of it is a token: the refresh token lives in the
// keyring only, under oauthKeyringKey().
struct OAuthSettings {
    QString provider;     // "Oauthprov": microsoft, google or custom
    QString authUrl;      // "Oauthauth": the authorization endpoint
    QString tokenUrl;     // "Oauthtoken": the token endpoint
    QString scope;        // "Oauthscope"
    QString clientId;     // "Oauthclient"
    QString clientSecret; // "Oauthsecret", scrambled in the store; empty for public clients

    bool operator==(const OAuthSettings &) const = default;
};

struct AccountRecord {
    QString aname;       // display name
    QString hname;       // POP3 server: host name or dotted IPv4 address
    quint16 portno = 110; // a TCP port; a connection takes only 1..65535 (storedPort)
    QString uname;
    QString passw;       // plain in memory, scrambled in the store
    qint16 check = 1;    // non-zero: the account takes part in checking
    AccountDisplay display;
    SslMode sslmode = SslMode::None;
    QString sslpin; // "Sslpin": SHA-256 of the one certificate trusted as it is, hex
    PasswordStore pwstore = PasswordStore::File;
    AuthMode authmode = AuthMode::Password;
    OAuthSettings oauth;
    MailProtocol protocol = MailProtocol::Pop3;
    QString imapbox = inboxName; // "Imapbox": the IMAP mailbox watched, as the server names it

    bool operator==(const AccountRecord &) const = default;
};

// Reads the keys of account n into record. A missing key gives the field's default; a
// value that is not a number in range (or not one of the choices) leaves that field as it
// was. The password is taken only when its stored text is not empty (else the field is left
// as it was), read by storedPassword(). A stored "Wavdir2_" of "0" reads as no file; an
// empty "Imapbox" as INBOX.
void readAccount(const SettingsStore &store, int n, AccountRecord &record);

// The server a connection of the account goes to: the host name without the blanks around
// it, as the account dialog stores it; other whitespace stays part of the name and makes
// the lookup fail with its own message.
QString connectionHost(const QString &hname);

// The TCP port of account n as a connection uses it: 110 when "Portno" is missing, the
// stored number when it is one of 1..65535, else empty: a port that can't be used as
// stored is never replaced by another.
std::optional<quint16> storedPort(const SettingsStore &store, int n);

// The encryption of account n as a connection uses it: None when "Sslmode" is missing, the
// stored mode when it is 0, 1 or 2, else empty: an account whose stored mode can't be read
// is never visited in the clear by mistake.
std::optional<SslMode> storedSslMode(const SettingsStore &store, int n);

// How account n reads its mailbox: Pop3 when "Protocol" is missing, the stored protocol when
// it is 0 or 1, else empty: such an account is never visited (see protocolProblem).
std::optional<MailProtocol> storedProtocol(const SettingsStore &store, int n);

// Where account n keeps its password: File when "Pwstore" is missing, the stored choice
// when it is 0 or 1, else empty: such an account's password is looked for nowhere.
std::optional<PasswordStore> storedPasswordStore(const SettingsStore &store, int n);

// The name of an account's keyring item: "password:user@host:port", the user name
// percent-encoded, so that no two different accounts share an item. It names the account by
// what it connects to, not by its number, so renumbering keeps it; identical accounts share it.
QString keyringKey(const QString &host, quint16 port, const QString &user);

// The name the item of key had before items were named by kind: "user@host:port" for a password,
// "oauth:user@host:port" for a refresh token, the user name as it is; empty for a password
// whose former name was that of a refresh token.
QString formerKeyringKey(const QString &key);

// How account n signs in: Password when "Authmode" is missing, the stored mode when it is
// 0 or 1, else empty: such an account is never visited.
std::optional<AuthMode> storedAuthMode(const SettingsStore &store, int n);

// The keyring item of an OAuth account's refresh token: "oauth:user@host:port", the user
// name percent-encoded as for keyringKey.
QString oauthKeyringKey(const QString &host, quint16 port, const QString &user);

// "Sslpin" is read as stored, written as is (empty stays empty).
// Writes record as account n, in key order, through saveValue: empty texts are stored as
// "0" (the WAV path, a path, as ""), the password scrambled (empty when it lives in the
// keyring, so it never reaches the file), colours as decimal 32-bit
// numbers. Does not flush.
void writeAccount(SettingsStore &store, int n, const AccountRecord &record);

} // namespace lum
