#pragma once
// Every key of the settings store, with its default. Both programs name keys only through
// this header, so they always agree on spelling and defaults.
//
// Numbered keys are the fixed name followed by the decimal number without padding:
// "Hotkeynum0", "grdWidth5", "Aname12", "Scolor112", "Wavdir2_12".

#include <QString>
#include <array>

namespace lum {

// A number stored as decimal text, read as a signed 16-bit value. Flags are numbers too:
// "0" off, "1" on; the checker takes any non-zero value as on.
struct NumberKey {
    const char *name;
    qint16 def;
};

// Text stored as entered.
struct TextKey {
    const char *name;
    const char *def;
};

// Stands for the built-in picture under the three icon keys.
inline const QString builtInIconMarker = QStringLiteral("内蔵");

namespace key {

inline constexpr NumberKey accountno{"accountno", 0};

// Check-box options.
inline constexpr NumberKey option1{"Option1value", 0};   // popup on new mail
inline constexpr NumberKey option2{"Option2value", 0};   // sound on new mail
inline constexpr NumberKey option3{"Option3value", 1};   // suppress error message boxes
inline constexpr NumberKey option4{"Option4value", 1};   // blink the Scroll Lock LED
inline constexpr NumberKey option5{"Option5value", 0};   // check once right after start
inline constexpr NumberKey option6{"Option6value", 0};   // report only mail newer than last check
inline constexpr NumberKey option7{"Option7value", 0};   // close without asking
inline constexpr NumberKey option8{"Option8value", 0};   // keep the protocol log
inline constexpr NumberKey option9{"Option9value", 0};   // newest first in the list
inline constexpr NumberKey option10{"Option10value", 1}; // notification-area icon
inline constexpr NumberKey option11{"Option11value", 0}; // blink the icon on new mail
inline constexpr NumberKey soption11{"sOption11value", 0}; // normal icon again after blinking
inline constexpr NumberKey option12{"Option12value", 0}; // text labels on the tool buttons
inline constexpr NumberKey option13{"Option13value", 0}; // read every charset (UTF-8, Q words, MIME)
// Desktop notification on new mail: 0 none, 1 senders and subjects, 2 the count only.
inline constexpr NumberKey option14{"Option14value", 1};
// Checks ask the server what it can do and use UIDL-kept rows and pipelined TOP (0: plain).
inline constexpr NumberKey option15{"Option15value", 1};

// Timers.
inline constexpr NumberKey checkTimer{"Checktimerval", 0};     // minutes, 0 = no automatic check
inline constexpr NumberKey closeTimer{"Closetimerval", 0};     // seconds, 0 = popup stays
inline constexpr NumberKey timeUp{"Timeupval", 1};             // minutes, 0 = no session limit
inline constexpr NumberKey lightTimer{"Lighttimerval", 5};     // seconds of LED blinking
inline constexpr NumberKey lightTimer2{"Lighttimerval2", 5};   // seconds of icon blinking

// Paths.
inline constexpr TextKey mailerDir1{"Mailerdir1", ""};
inline constexpr TextKey mailerDir2{"Mailerdir2", ""};
inline constexpr TextKey wavDir{"Wavdir", ""};
inline constexpr TextKey icoDir1{"Icodir1", "内蔵"};
inline constexpr TextKey icoDir2{"Icodir2", "内蔵"};
inline constexpr TextKey icoDir3{"Icodir3", "内蔵"};

inline constexpr std::array<TextKey, 2> mailerDirs{mailerDir1, mailerDir2};
inline constexpr std::array<TextKey, 3> icoDirs{icoDir1, icoDir2, icoDir3};

// Hotkeys "Hotkeynum0".."Hotkeynum5", default 113 + n (Ctrl+F2..Ctrl+F7).
inline constexpr const char *hotkeyNum = "Hotkeynum";
inline constexpr int hotkeyCount = 6;
inline constexpr qint16 hotkeyDefault(int n) { return qint16(113 + n); }

// Mail list layout, in twips. The checker writes these when its window closes.
inline constexpr const char *grdWidth = "grdWidth";
inline constexpr std::array<qint16, 6> grdWidthDefaults{260, 260, 130, 2740, 4770, 300};
inline constexpr NumberKey frmWidth{"frmWidth", 8730};
inline constexpr NumberKey frmHeight{"frmHeight", 4710};

// Account keys: prefix followed by the account number.
inline constexpr const char *aname = "Aname";
inline constexpr const char *hname = "Hname";
inline constexpr const char *portno = "Portno";
inline constexpr const char *uname = "Uname";
inline constexpr const char *passw = "Passw";
inline constexpr const char *check = "Check";
inline constexpr const char *scolor1 = "Scolor1";
inline constexpr const char *scolor2 = "Scolor2";
inline constexpr const char *wavmode = "Wavmode";
inline constexpr const char *wavdir2 = "Wavdir2_";
// Our own key beside the ten: the account's encryption, see SslMode.
inline constexpr const char *sslmode = "Sslmode";
// The one certificate trusted for the account whatever its issuer: SHA-256, lower-case hex.
inline constexpr const char *sslpin = "Sslpin";
// Where the account's password lives, see PasswordStore.
inline constexpr const char *pwstore = "Pwstore";
// How the account signs in, see AuthMode; with OAuth 2.0, the provider and its endpoints.
inline constexpr const char *authmode = "Authmode";
inline constexpr const char *oauthprov = "Oauthprov";
inline constexpr const char *oauthauth = "Oauthauth";
inline constexpr const char *oauthtoken = "Oauthtoken";
inline constexpr const char *oauthscope = "Oauthscope";
inline constexpr const char *oauthclient = "Oauthclient";
inline constexpr const char *oauthsecret = "Oauthsecret"; // scrambled like "Passw"
// How the account reads its mail, see MailProtocol; for IMAP, the mailbox it watches.
inline constexpr const char *protocol = "Protocol";
inline constexpr const char *imapbox = "Imapbox";

} // namespace key

// "Hotkeynum" + 3 -> "Hotkeynum3".
inline QString numbered(const char *prefix, int n)
{
    return QString::fromLatin1(prefix) + QString::number(n);
}

} // namespace lum
