#pragma once
// Everything the checker reads from the settings store at start and after every return from
// the options program, as one plain value. The checker applies it to its window.

#include "settings/account_record.h"
#include "settings/setting_keys.h"

#include <array>
#include <vector>

namespace lum {

// What the desktop notification of an arrival shows ("Option14value"); a stored value
// other than 0 and 2 counts as SendersAndSubjects, as a store without the key does.
enum class DesktopNotice { Off = 0, SendersAndSubjects = 1, CountOnly = 2 };

struct Options {
    qint16 accountno = 0;

    // Check-box options; any non-zero stored value is on.
    bool popup = false;             // "Option1value"
    bool sound = false;             // "Option2value"
    bool suppressErrors = true;     // "Option3value"
    bool ledBlink = true;           // "Option4value"
    bool checkAtStart = false;      // "Option5value"
    bool onlyNewer = false;         // "Option6value"
    bool closeWithoutAsking = false;// "Option7value"
    bool keepLog = false;           // "Option8value"
    bool newestFirst = false;       // "Option9value"
    bool trayIcon = true;           // "Option10value"
    bool iconBlink = false;         // "Option11value"
    bool iconRestore = false;       // "sOption11value"
    bool textButtons = false;       // "Option12value"
    bool modernDecoding = false;    // "Option13value"
    DesktopNotice desktopNotice = DesktopNotice::SendersAndSubjects; // "Option14value"
    bool fastCheck = true;          // "Option15value"

    qint16 checkTimerMinutes = 0;   // "Checktimerval"
    qint16 closeTimerSeconds = 0;   // "Closetimerval"
    qint16 timeUpMinutes = 1;       // "Timeupval"
    qint16 lightTimerSeconds = 5;   // "Lighttimerval"
    qint16 lightTimer2Seconds = 5;  // "Lighttimerval2"

    std::array<QString, 2> mailerDir;  // "Mailerdir1", "Mailerdir2"
    QString wavDir;                    // "Wavdir"
    std::array<QString, 3> icoDir{builtInIconMarker, builtInIconMarker, builtInIconMarker};

    std::array<qint16, key::hotkeyCount> hotkeyCodes{113, 114, 115, 116, 117, 118};
    std::array<qint16, 6> grdWidth = key::grdWidthDefaults;
    qint16 frmWidth = 8730;   // twips
    qint16 frmHeight = 4710;  // twips

    // The current account's connection fields (after loading: the last account).
    AccountRecord current;
    // Display fields of accounts 1..accountno at index 0..accountno-1.
    std::vector<AccountDisplay> accounts;
};

// Reads account n as the checker does: host, port, user, password, name and flag into
// options.current, the display fields into options.accounts[n - 1]; a value that can't be
// converted leaves its field as it was.
void loadadata(const SettingsStore &store, int n, Options &options);

// Reads every option and account. Per-account entries that already exist are kept when the
// table is resized; with "accountno" 0 the table stays as it is. Values that are missing or
// not numbers in range take their defaults; "frmWidth"/"frmHeight" are clamped into 16 bits.
void loadOptions(const SettingsStore &store, Options &options);

} // namespace lum
