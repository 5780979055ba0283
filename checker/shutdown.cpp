// Ending the checker: the exit command, the close request with its question, and the
// immediate exit on a signal or at the end of the desktop session.
#include "checker/checker.h"

#include "checker/message_box.h"

#include <cstdio>
#include <memory>

namespace lum {

namespace {
// A close request waits this long for the LED's last switch-off.
constexpr int ledSettleMs = 300;
// The end waits at most this long for the notification server to take the close.
constexpr int noticeCloseWaitMs = 1000;
} // namespace

void Checker::mnu_end()
{
    turnoff();
    if (opt_.trayIcon && !closing_) {
        iconBeforeEnd_ = tray_.picture();
        tray_.tuskicon(Tray::Remove);
    }
    requestClose();
}

void Checker::requestClose()
{
    if (closing_ || ended_)
        return;
    closing_ = true;
    turnoff();
    QTimer::singleShot(ledSettleMs, this, &Checker::askToClose);
}

void Checker::askToClose()
{
    if (ended_)
        return;
    if (opt_.closeWithoutAsking) {
        exitNow();
        return;
    }
    showBox(form_.get(), QMessageBox::Information, QStringLiteral("Lumora"),
            QStringLiteral("終了しますか？"), QMessageBox::Yes | QMessageBox::No,
            QMessageBox::Yes, [this](QMessageBox::StandardButton answer) {
                if (answer == QMessageBox::Yes) {
                    exitNow();
                    return;
                }
                closing_ = false;
                hideWindow();
                // The program goes on, so it must stay within reach.
                if (const auto picture = std::exchange(iconBeforeEnd_, std::nullopt))
                    tray_.restore(*picture);
                if (std::exchange(firstRunAfterClose_, false))
                    firstRunOptions();
            });
}

// Layout saved, LED off, keys released, the open session ended with QUIT, icon gone, and
// the notification of new mail closed.
void Checker::exitNow()
{
    if (ended_)
        return;
    ended_ = true;
    turnoff();
    setHotkeys(false);
    if (!SaveLayout()) {
        std::fprintf(stderr, "lumwatchd: 設定ファイルに書き込めません: %s\n",
                     qPrintable(store_.filePath()));
    } else if (!store_.permissionWarning().isEmpty()) {
        std::fprintf(stderr, "lumwatchd: %s\n", qPrintable(store_.permissionWarning()));
    }
    engine_.quitSession();
    pushes_.stopAll();
    sounds_.stop();
    for (BlinkTimer id : {BlinkTimer::Light, BlinkTimer::Light2, BlinkTimer::Close})
        blinkTimers_.stop(id);
    tray_.tuskicon(Tray::Remove);
    if (viewer_)
        viewer_->close();
    form_->hide();
    const NoticeStep step = notice_.leaving();
    if (step.kind != NoticeStep::Close) {
        emit ended(0);
        return;
    }
    // The close is a message on its way: the program ends once the server has taken it.
    auto once = std::make_shared<bool>(false);
    const auto end = [this, once] {
        if (!std::exchange(*once, true))
            emit ended(0);
    };
    connect(platform_.notices.get(), &DesktopNotifications::closeAnswered, this,
            [end, id = step.id](quint32 closed) {
                if (closed == id)
                    end();
            });
    QTimer::singleShot(noticeCloseWaitMs, this, end);
    runNoticeStep(step);
}

} // namespace lum
