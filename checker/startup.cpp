// Start-up, reading the settings, and the options program with the reload after it.
#include "checker/checker.h"

#include "checker/message_box.h"
#include "pop3/kept_owners.h"
#include "settings/mailer_caption.h"

#include <QTimer>

namespace lum {

void Checker::start()
{
    form_->hide();
    TrayWatch &watch = *platform_.trayWatch;
    if (watch.answered()) {
        startWithTray();
        return;
    }
    // Whether the window stays open depends on the notification area: its answer is
    // awaited without blocking, for trayAnswerMs at most.
    auto *wait = new QTimer(this);
    wait->setSingleShot(true);
    const auto go = [this, wait, &watch] {
        QObject::disconnect(&watch, nullptr, wait, nullptr);
        wait->stop();
        wait->deleteLater();
        startWithTray();
    };
    connect(&watch, &TrayWatch::changed, wait, go);
    connect(wait, &QTimer::timeout, wait, go);
    wait->start(trayAnswerMs);
}

void Checker::startWithTray()
{
    if (ended_)
        return;
    trayMissing_ = !tray_.available();
    firstRunPass();
}

// One pass of the first-run loop: read everything; without an account ask for one in the
// options program and come back here when it has ended.
void Checker::firstRunPass()
{
    loadoption();
    resetMailTable();
    setHotkeys(true);
    if (opt_.accountno != 0) {
        finishStartup();
        return;
    }
    if (firstRunBox_)
        return; // still open from the pass before: one question is enough
    firstRunBox_ = showBox(form_.get(), QMessageBox::Information, QStringLiteral("Lumora"),
                           QStringLiteral("最初に設定をしてください"), QMessageBox::Ok,
                           QMessageBox::Ok, [this](QMessageBox::StandardButton) {
                               firstRunBox_ = nullptr;
                               firstRunOptions();
                           });
}

// The answer to "最初に設定をしてください".
void Checker::firstRunOptions()
{
    if (ended_ || startedUp_)
        return;
    if (closing_) {
        // "終了しますか？" is open: a No there comes back here.
        firstRunAfterClose_ = true;
        return;
    }
    // Started already (the question after a failed exit key): its end runs the next pass.
    if (!optionsProgram_.running())
        OpenOption();
}

// A program that can never start must not hold the user in a loop of boxes.
void Checker::offerToQuit()
{
    showBox(form_.get(), QMessageBox::Warning, QStringLiteral("Lumora"),
            QStringLiteral("設定プログラムを起動できません。\n%1\n\n終了しますか？").arg(optionsProgram_.path()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
            [this](QMessageBox::StandardButton answer) {
                if (answer == QMessageBox::Yes)
                    exitNow();
                else if (!ended_)
                    firstRunPass();
            });
}

void Checker::finishStartup()
{
    startedUp_ = true;
    if (firstRunBox_)
        firstRunBox_->close(); // an account came through another way in
    setCaption(QStringLiteral("Lumora"));
    SetupColumns();
    notifier_.setScrollLed(false);
    if (opt_.trayIcon)
        tray_.tuskicon(Tray::Add);
    if (trayMissing_) {
        form_->setTrayMissing(true);
        form_->showNormal();
    }
    if (opt_.checkAtStart)
        engine_.startupCheck();
}

// A notification area that comes later, or goes, is taken as if it had been so from the
// start: the window stands in for the icon only while there is none.
void Checker::trayAvailabilityChanged(bool available)
{
    trayMissing_ = !available;
    if (!startedUp_ || ended_)
        return; // the end of start-up looks at it
    form_->setTrayMissing(trayMissing_);
    if (trayMissing_)
        form_->showNormal();
    else
        form_->hide();
}

// The machine woke up or the network came back: every account is checked as the check
// timer would, after the cycle under way if there is one, and every push connection, which
// may be dead without knowing it, is opened again.
void Checker::cameBack()
{
    if (!startedUp_ || ended_)
        return;
    engine_.checkWhenFree();
    pushes_.reopenAll();
}

void Checker::resetMailTable()
{
    listTotal_ = 0;
    table_.reset(opt_.accountno);
    model_.clearRows();
    // What each account had in the list stays, so its messages don't come back as "N".
    model_.resizeAccounts(opt_.accountno);
    // Last: a check under way starts again over the new table, and may end at once.
    engine_.forgetListedRows();
}

// Reads every option and account and applies them to the windows, the icon and the timer.
void Checker::loadoption()
{
    store_.reload();
    loadOptions(store_, opt_);
    if (const QString problem = tidyKeptFiles(*platform_.kept, store_, opt_); !problem.isEmpty())
        showBox(form_.get(), QMessageBox::Warning, QStringLiteral("Lumora"), problem);

    for (int n = 1; n <= 2; ++n) {
        const QString &path = opt_.mailerDir[size_t(n - 1)];
        QAction *item = menu_.mailer[size_t(n - 1)];
        item->setText(mailerCaption(path));
        item->setEnabled(mailerEnabled(path));
        form_->mailBt(n)->setEnabled(mailerEnabled(path));
    }
    engine_.startCheckTimer();
    pushes_.restart(opt_);
    if (opt_.desktopNotice != DesktopNotice::Off)
        platform_.notices->start(); // learns early which server shows notifications, and how
    form_->logBt()->setVisible(opt_.keepLog);
    tray_.loadPictures(opt_.icoDir);
    menu_.menu3->setEnabled(opt_.trayIcon);
    tray_.tuskicon(Tray::Remove);
    if (opt_.trayIcon)
        tray_.tuskicon(Tray::Add);
    form_->list()->setupColumns(opt_.grdWidth, listTotal_);
    form_->layoutButtons(opt_.textButtons);
    form_->setSizeTwips(opt_.frmWidth, opt_.frmHeight);
}

void Checker::mnu_opt()
{
    turnoff();
    OpenOption();
}

// Starts the options program; the reload follows when it ends (or at once when it can't
// be started). While it is open a second request has nothing to add: one options program
// at a time, and the first run goes on from its end.
void Checker::OpenOption()
{
    const qint16 before = opt_.accountno;
    optionsProgram_.start([this, before](bool started) { optionsEnded(started, before); });
}

void Checker::optionsEnded(bool started, qint16 accountsBefore)
{
    if (ended_)
        return;
    if (!startedUp_) {
        if (started)
            firstRunPass();
        else
            offerToQuit();
        return;
    }
    loadoption();
    if (opt_.accountno != accountsBefore) {
        resetMailTable();
        SetupColumns();
    }
    setHotkeys(false);
    setHotkeys(true);
}

} // namespace lum
