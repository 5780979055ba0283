#include "settings/options.h"

#include "settings/numbers.h"
#include "settings/save_value.h"

namespace lum {

void loadadata(const SettingsStore &store, int n, Options &o)
{
    if (n < 1 || n > int(o.accounts.size()))
        return;
    // Every account starts from the defaults: a field missing from the store must never
    // carry the previous account's host, user or password over to this one.
    AccountRecord r;
    r.display = o.accounts[size_t(n - 1)];
    readAccount(store, n, r);
    o.accounts[size_t(n - 1)] = r.display;
    r.display = AccountDisplay();
    o.current = r;
}

namespace {

qint16 readClamped(const SettingsStore &store, NumberKey k)
{
    const QString text = store.readSetting(QString::fromLatin1(k.name), QString::number(k.def));
    return toInt16Clamped(text).value_or(k.def);
}

} // namespace

void loadOptions(const SettingsStore &store, Options &o)
{
    o.accountno = readNumber(store, key::accountno);
    if (o.accountno > 0)
        o.accounts.resize(size_t(o.accountno));
    for (int n = 1; n <= o.accountno; ++n) {
        o.current.hname.clear();
        o.current.uname.clear();
        o.current.passw.clear();
        o.current.portno = 110;
        o.current.sslmode = SslMode::None;
        loadadata(store, n, o);
    }

    const auto flag = [&store](NumberKey k) { return readNumber(store, k) != 0; };
    o.popup = flag(key::option1);
    o.sound = flag(key::option2);
    o.suppressErrors = flag(key::option3);
    o.ledBlink = flag(key::option4);
    o.checkAtStart = flag(key::option5);
    o.onlyNewer = flag(key::option6);
    o.closeWithoutAsking = flag(key::option7);
    o.keepLog = flag(key::option8);
    o.newestFirst = flag(key::option9);
    o.trayIcon = flag(key::option10);
    o.iconBlink = flag(key::option11);
    o.iconRestore = flag(key::soption11);
    o.textButtons = flag(key::option12);
    o.modernDecoding = flag(key::option13);
    o.fastCheck = flag(key::option15);
    const qint16 notice = readNumber(store, key::option14);
    o.desktopNotice = notice == 0   ? DesktopNotice::Off
                      : notice == 2 ? DesktopNotice::CountOnly
                                    : DesktopNotice::SendersAndSubjects;

    o.checkTimerMinutes = readNumber(store, key::checkTimer);
    o.closeTimerSeconds = readNumber(store, key::closeTimer);
    o.timeUpMinutes = readNumber(store, key::timeUp);
    o.lightTimerSeconds = readNumber(store, key::lightTimer);
    o.lightTimer2Seconds = readNumber(store, key::lightTimer2);

    for (size_t i = 0; i < o.mailerDir.size(); ++i)
        o.mailerDir[i] = readText(store, key::mailerDirs[i]);
    o.wavDir = readText(store, key::wavDir);
    for (size_t i = 0; i < o.icoDir.size(); ++i)
        o.icoDir[i] = readText(store, key::icoDirs[i]);

    for (int n = 0; n < key::hotkeyCount; ++n)
        o.hotkeyCodes[size_t(n)] = readNumber(store, numbered(key::hotkeyNum, n), key::hotkeyDefault(n));
    for (size_t n = 0; n < o.grdWidth.size(); ++n)
        o.grdWidth[n] = readNumber(store, numbered(key::grdWidth, int(n)), key::grdWidthDefaults[n]);
    o.frmWidth = readClamped(store, key::frmWidth);
    o.frmHeight = readClamped(store, key::frmHeight);
}

} // namespace lum
