#pragma once
// The resident checker: owns the options, the mail table, the POP3 engine and every window
// of lumwatchd, and carries out the commands of the menu, the buttons and the list.
//
// Nothing here waits: the options program, message boxes and the pause of a close request
// are steps that continue on a signal, so timers, sockets and menus stay served meanwhile,
// and the engine is never entered from inside one of its own view calls.

#include "checker/desktop_notice.h"
#include "checker/launcher.h"
#include "checker/mail_form.h"
#include "checker/menu.h"
#include "checker/notifier.h"
#include "checker/qt_blink_timers.h"
#include "checker/sound_queue.h"
#include "checker/tray.h"
#include "checker/view_form.h"
#include "pop3/engine.h"
#include "pop3/qt/file_kept_store.h"
#include "pop3/qt/keyring_passwords.h"
#include "checker/push_watches.h"
#include "pop3/qt/oauth_tokens.h"
#include "pop3/qt/qt_timers.h"
#include "pop3/qt/qt_transport.h"
#include "platform/desktop_notifications.h"
#include "platform/global_hotkeys.h"
#include "platform/scroll_led.h"
#include "platform/sound_player.h"
#include "platform/tray_watch.h"
#include "platform/wake_watch.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

namespace lum {

struct HotkeyBinding;
// The X key combination of a stored hotkey.
KeyCombo keyCombo(const HotkeyBinding &binding);

// What the checker uses of the desktop; a piece left empty is the real one.
struct CheckerPlatform {
    std::unique_ptr<ScrollLed> led;
    std::unique_ptr<GlobalHotkeys> hotkeys;
    std::unique_ptr<SoundPlayer> sound;
    std::unique_ptr<TrayWatch> trayWatch;
    std::unique_ptr<DesktopNotifications> notices;
    std::unique_ptr<KeptStore> kept; // the summaries the checks keep between runs
    std::unique_ptr<Keyring> keyring; // the passwords of accounts that keep them there
    std::unique_ptr<WakeWatch> wake;  // the machine woke up, the network came back
};

// The desktop notification's one action, key and label: a click on it shows the list.
inline const QStringList noticeActions{QStringLiteral("default"), QStringLiteral("表示")};

class Checker : public QObject, public EngineView {
    Q_OBJECT
public:
    // store must outlive the checker; optionsPath is the options program to start.
    explicit Checker(SettingsStore &store, QString optionsPath = OptionsProgram::defaultPath(),
                     CheckerPlatform platform = {});
    ~Checker() override;

    // Start-up: once the notification area has answered whether it is there (trayAnswerMs
    // at most), options, the first-run loop while no account exists, then the icon and,
    // when asked for, the first check.
    void start();
    static constexpr int trayAnswerMs = 2000;
    // After the machine wakes or the network returns, the network is given this long to settle
    // before every account is checked; news meanwhile joins the same check.
    static constexpr int wakeSettleMs = 2000;

    // Commands.
    void mnu_pop();
    void mnu_opt();
    void mnu_end();
    void menu3Clicked();
    void versionBox();
    void mailerClicked(int n); // tool button and menu item: hides the window first
    void ExecMailapp(int n);
    void retrieveClicked();
    void deleteClicked();
    void showLog();
    void okClicked();
    void OpenViewer(int account, int message);

    // Settings.
    void loadoption();
    void OpenOption();
    void SetupColumns();
    bool SaveLayout();

    // The command of system-wide key index (0..5), also when lumwatchd --command asks for it.
    void hotkeyPressed(int index);

    // Ending.
    void requestClose(); // every close of the main window that is not a mere hide
    void exitNow();      // SIGTERM, SIGINT, end of the desktop session: no question

    MailForm &form() { return *form_; }
    ViewForm *viewer() { return viewer_.get(); }
    Tray &tray() { return tray_; }
    CheckerMenu &menu() { return menu_; }
    Pop3Engine &engine() { return engine_; }
    Options &options() { return opt_; }
    MailTable &table() { return table_; }
    MailListModel &model() { return model_; }
    Notifier &notifier() { return notifier_; }
    const BlinkTimers &blinkTimers() const { return blinkTimers_; }
    SoundQueue &sounds() { return sounds_; }
    bool trayMissing() const { return trayMissing_; }

    // EngineView.
    void setCaption(const QString &text) override;
    void setTrayPicture(TrayPicture picture) override;
    void showMsg(const QString &text) override;
    void cycleStarting() override;
    void sessionStarting(SessionKind kind) override;
    void checkCycleEnded(const CheckCycleResult &result) override;
    void retrieveCycleEnded() override;
    void setBusy(bool busy) override;

signals:
    // The program is to end with this exit code.
    void ended(int code);

private:
    void connectCommands();
    void startWithTray();
    void firstRunPass();
    void firstRunOptions();
    void trayAvailabilityChanged(bool available);
    void cameBack();
    void offerToQuit();
    void finishStartup();
    void optionsEnded(bool started, qint16 accountsBefore);
    void resetMailTable();
    void askToClose();
    void hideWindow();
    void arrival();
    // The desktop notification after a check; arrival when it found new mail.
    void updateDesktopNotice(bool arrival);
    void runNoticeStep(const NoticeStep &step);
    void noticeActivated(quint32 id, const QString &key);
    void rowToggled(int row);
    void rowDoubleClicked(int row);
    void updateMarkButtons();
    QString accountName(int account) const;
    void turnoff();
    void stopIconBlinking();
    // Registers (on) or releases (off) the six system-wide keys.
    void setHotkeys(bool on);
    void hotkeyFailed(int index, const QString &label);
    void hotkeyLost(int index);

    SettingsStore &store_;
    CheckerPlatform platform_;
    Options opt_;
    MailTable table_;
    MailListModel model_;
    CheckerMenu menu_;
    std::unique_ptr<MailForm> form_;
    std::unique_ptr<ViewForm> viewer_;
    Tray tray_;
    OptionsProgram optionsProgram_;
    QtTransport transport_;
    QtTimers timers_;
    Pop3Engine engine_;
    KeyringPasswords passwords_;
    QNetworkAccessManager network_;
    TokenBroker broker_;
    OAuthTokens tokens_;
    PushWatches pushes_;
    QtBlinkTimers blinkTimers_;
    QTimer wakeSettle_;
    Notifier notifier_;
    SoundQueue sounds_;
    NoticeState notice_;
    int listTotal_ = 0;  // messages in the list, for the scroll bar test
    bool trayMissing_ = false;
    bool closing_ = false;
    bool startedUp_ = false;          // the first-run loop is over
    bool firstRunAfterClose_ = false; // the first run waits for the answer to "終了しますか？"
    QPointer<QMessageBox> firstRunBox_;
    std::optional<Tray::Picture> iconBeforeEnd_; // the exit command took the icon away
    bool permissionWarned_ = false; // the store others can read: said once
    bool ended_ = false;
};

} // namespace lum
