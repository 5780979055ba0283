#include "checker/checker.h"

#include "checker/message_box.h"
#include "checker/pictures.h"
#include "decode/viewer_text.h"
#include "platform/codepage.h"

#include <QApplication>
#include <QGuiApplication>

namespace lum {

namespace {

CheckerPlatform completed(CheckerPlatform p)
{
    if (!p.led)
        p.led = makeScrollLed();
    if (!p.hotkeys)
        p.hotkeys = makeGlobalHotkeys();
    if (!p.sound)
        p.sound = makeSoundPlayer();
    if (!p.trayWatch)
        p.trayWatch = makeTrayWatch();
    if (!p.notices)
        p.notices = makeDesktopNotifications();
    if (!p.kept)
        p.kept = std::make_unique<FileKeptStore>();
    if (!p.keyring)
        p.keyring = std::make_unique<SecretServiceKeyring>();
    if (!p.wake)
        p.wake = makeWakeWatch();
    return p;
}

} // namespace

Checker::Checker(SettingsStore &store, QString optionsPath, CheckerPlatform platform)
    : store_(store), platform_(completed(std::move(platform))), model_(table_, opt_.accounts),
      form_(std::make_unique<MailForm>(&model_)), tray_(form_.get(), menu_.mfile.get(), *platform_.trayWatch),
      optionsProgram_(std::move(optionsPath)), transport_(&engine_),
      timers_([this](TimerId id) { engine_.timerTick(id); }),
      engine_(opt_, store_, table_, transport_, timers_, *this),
      passwords_(*platform_.keyring, engine_), broker_(*platform_.keyring, network_),
      tokens_(broker_, engine_, opt_,
              [this](const QString &message) {
                  showBox(form_.get(), QMessageBox::Warning, QStringLiteral("Lumora"), message);
              }),
      pushes_(engine_, store_, *platform_.keyring, broker_),
      blinkTimers_([this](BlinkTimer id) { notifier_.tick(id); }),
      notifier_(opt_, blinkTimers_, *platform_.led,
                {[this](int op) { tray_.tuskicon(op); }, [this] { form_->showNormal(); form_->raise(); },
                 [this] { hideWindow(); }, [this](const QStringList &s) { sounds_.enqueue(s); }}),
      sounds_(*platform_.sound)
{
    engine_.setKeptStore(platform_.kept.get());
    engine_.setPasswordSource(&passwords_);
    engine_.setTokenSource(&tokens_);
    model_.setAttachPicture(boundPicture());
    connect(platform_.hotkeys.get(), &GlobalHotkeys::pressed, this, &Checker::hotkeyPressed);
    connect(platform_.hotkeys.get(), &GlobalHotkeys::lost, this, &Checker::hotkeyLost);
    DesktopNotifications *notices = platform_.notices.get();
    connect(notices, &DesktopNotifications::sent, this, [this](quint32 id) { runNoticeStep(notice_.sent(id)); });
    connect(notices, &DesktopNotifications::failed, this, [this] { runNoticeStep(notice_.failed()); });
    connect(notices, &DesktopNotifications::closed, this, [this](quint32 id) { notice_.closed(id); });
    connect(notices, &DesktopNotifications::activated, this, &Checker::noticeActivated);
    connect(notices, &DesktopNotifications::serverChanged, this, [this] { notice_.serverChanged(); });
    wakeSettle_.setSingleShot(true);
    wakeSettle_.setInterval(wakeSettleMs);
    connect(&wakeSettle_, &QTimer::timeout, this, &Checker::cameBack);
    connect(platform_.wake.get(), &WakeWatch::cameBack, this, [this] {
        if (!wakeSettle_.isActive())
            wakeSettle_.start();
    });
    connectCommands();
}

Checker::~Checker() = default;

void Checker::connectCommands()
{
    MailForm *f = form_.get();
    for (int n = 1; n <= 2; ++n) {
        connect(f->mailBt(n), &QPushButton::clicked, this, [this, n] { mailerClicked(n); });
        connect(menu_.mailer[size_t(n - 1)], &QAction::triggered, this, [this, n] { mailerClicked(n); });
    }
    connect(f->retrBt(), &QPushButton::clicked, this, &Checker::retrieveClicked);
    connect(f->delBt(), &QPushButton::clicked, this, &Checker::deleteClicked);
    connect(f->logBt(), &QPushButton::clicked, this, &Checker::showLog);
    connect(f->okBt(), &QPushButton::clicked, this, &Checker::okClicked);
    connect(f, &MailForm::closeRequested, this, [this] {
        // Without a notification area a hidden window could not be reached again.
        if (trayMissing_)
            requestClose();
        else
            form_->hide();
    });
    // Whenever the rows are made anew, the buttons follow the marks that are left.
    connect(&model_, &QAbstractItemModel::modelReset, this, &Checker::updateMarkButtons);
    connect(f->list(), &MailList::rowToggled, this, &Checker::rowToggled);
    connect(f->list(), &MailList::rowDoubleClicked, this, &Checker::rowDoubleClicked);
    connect(f->list(), &MailList::rowOpened, this,
            [this](int row) { OpenViewer(model_.account(row), model_.message(row)); });

    connect(menu_.menu1, &QAction::triggered, this, [this] { engine_.checkmail(); });
    connect(menu_.menu3, &QAction::triggered, this, &Checker::menu3Clicked);
    connect(menu_.menu02, &QAction::triggered, this, &Checker::mnu_pop);
    connect(menu_.menu4, &QAction::triggered, this, &Checker::mnu_opt);
    connect(menu_.menu5, &QAction::triggered, this, &Checker::versionBox);
    connect(menu_.mend, &QAction::triggered, this, &Checker::mnu_end);
    connect(&tray_, &Tray::opened, this, &Checker::mnu_pop);
    connect(&tray_, &Tray::availabilityChanged, this, &Checker::trayAvailabilityChanged);
}

QString Checker::accountName(int account) const
{
    return store_.readSetting(numbered(key::aname, account), QString());
}

void Checker::turnoff()
{
    notifier_.turnoff();
}

void Checker::stopIconBlinking()
{
    notifier_.stopIconBlinking();
}

void Checker::hideWindow()
{
    if (trayMissing_)
        form_->showMinimized();
    else
        form_->hide();
}

void Checker::mnu_pop()
{
    turnoff();
    runNoticeStep(notice_.listOpened());
    form_->showNormal();
    form_->raise();
    form_->activateWindow();
}

void Checker::menu3Clicked()
{
    if (!opt_.trayIcon)
        return;
    stopIconBlinking();
    tray_.tuskicon(Tray::ShowNormal);
}

void Checker::versionBox()
{
    showBox(form_.get(), QMessageBox::NoIcon, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"),
            versionText(LUM_VERSION_MAJOR, LUM_VERSION_MINOR, LUM_VERSION_PATCH));
}

void Checker::mailerClicked(int n)
{
    turnoff();
    hideWindow();
    ExecMailapp(n);
}

void Checker::ExecMailapp(int n)
{
    turnoff();
    stopIconBlinking();
    const QString &text = opt_.mailerDir[size_t(n - 1)];
    if (execMailapp(text) == LaunchResult::Failed) {
        showBox(form_.get(), QMessageBox::Warning, QStringLiteral("Lumora"),
                QStringLiteral("メーラーを起動できません。\n") + text);
    }
}

void Checker::retrieveClicked()
{
    engine_.retrieveMarked();
}

void Checker::deleteClicked()
{
    showBox(form_.get(), QMessageBox::NoIcon, QStringLiteral("Lumora"),
            QStringLiteral("○の付いたメールを削除します\nよろしいですか？"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
            [this](QMessageBox::StandardButton answer) {
                if (answer == QMessageBox::Yes)
                    engine_.deleteMarked();
            });
}

void Checker::showLog()
{
    if (!viewer_)
        viewer_ = std::make_unique<ViewForm>();
    viewer_->showText(decodeCp932(engine_.log()));
}

void Checker::okClicked()
{
    turnoff();
    stopIconBlinking();
    if (!SaveLayout()) {
        showBox(form_.get(), QMessageBox::Warning, QStringLiteral("Lumora"),
                QStringLiteral("設定ファイルに書き込めません。\n") + store_.filePath());
    } else if (const QString warning = store_.permissionWarning(); !warning.isEmpty() && !permissionWarned_) {
        permissionWarned_ = true;
        showBox(form_.get(), QMessageBox::Warning, QStringLiteral("Lumora"), warning);
    }
    hideWindow();
}

void Checker::OpenViewer(int account, int message)
{
    const MailRecord *r = table_.record(account, message);
    if (!r || !isRetrieved(*r))
        return;
    if (!viewer_)
        viewer_ = std::make_unique<ViewForm>();
    viewer_->showText(viewerText(*r));
}

void Checker::rowToggled(int row)
{
    if (model_.rowCount() > 0 && row >= 0) {
        model_.toggleMark(row);
        form_->list()->setToolTip(QStringLiteral("ｱｶｳﾝﾄ：") + accountName(model_.account(row)));
    }
    updateMarkButtons();
}

void Checker::updateMarkButtons()
{
    const bool any = model_.anyMarked();
    form_->retrBt()->setEnabled(any);
    form_->delBt()->setEnabled(any);
}

// The click of the same double click has already toggled the mark.
void Checker::rowDoubleClicked(int row)
{
    if (!form_->retrBt()->isEnabled())
        return;
    if (model_.rowCount() > 0 && row >= 0) {
        model_.setMark(row, false);
        const int a = model_.account(row);
        const int m = model_.message(row);
        if (a != 0 && m != 0)
            OpenViewer(a, m);
    }
    form_->retrBt()->setEnabled(false);
    form_->delBt()->setEnabled(false);
}

void Checker::SetupColumns()
{
    form_->list()->setupColumns(opt_.grdWidth, listTotal_);
}

bool Checker::SaveLayout()
{
    const std::array<qint16, 6> widths = form_->list()->layoutWidths();
    for (size_t i = 0; i < widths.size(); ++i)
        store_.writeSetting(numbered(key::grdWidth, int(i)), QString::number(widths[i]));
    const QSize size = form_->sizeTwips();
    store_.writeSetting(QString::fromLatin1(key::frmWidth.name), QString::number(size.width()));
    store_.writeSetting(QString::fromLatin1(key::frmHeight.name), QString::number(size.height()));
    return store_.flush();
}

// EngineView.

void Checker::setCaption(const QString &text)
{
    form_->setWindowTitle(text);
    tray_.setTip(text);
}

void Checker::setTrayPicture(TrayPicture picture)
{
    if (picture == TrayPicture::Working)
        stopIconBlinking();
    tray_.tuskicon(int(picture));
}

void Checker::showMsg(const QString &text)
{
    showBox(form_.get(), QMessageBox::Critical, QStringLiteral("Lumora"), text);
}

void Checker::cycleStarting()
{
    turnoff();
}

void Checker::sessionStarting(SessionKind)
{
    form_->retrBt()->setEnabled(false);
    form_->delBt()->setEnabled(false);
    form_->setListEnabled(false);
}

void Checker::checkCycleEnded(const CheckCycleResult &result)
{
    // The marks go and the rows are made anew: the buttons follow (modelReset).
    form_->setListEnabled(true);
    model_.refreshRows();
    listTotal_ = result.total;
    if (result.total != 0) {
        model_.buildList(
            opt_.accountno, [this](int a) { return int(engine_.listedCount(a)); },
            opt_.newestFirst, engine_.suppress());
    } else {
        model_.clearRows();
    }
    if (result.newMail) {
        arrival();
        SetupColumns();
    } else {
        updateDesktopNotice(false);
    }
}

void Checker::arrival()
{
    notifier_.arrival([this](int a) { return engine_.newMail(a); });
    updateDesktopNotice(true);
}

void Checker::updateDesktopNotice(bool arrival)
{
    std::vector<NoticeMessage> fresh;
    for (int row = 0; row < model_.rowCount(); ++row) {
        const int a = model_.account(row);
        const int m = model_.message(row);
        const MailRecord *r = table_.record(a, m);
        if (model_.fresh(row) && r)
            fresh.push_back({a, m, r->identity, r->from, r->subject});
    }
    runNoticeStep(notice_.checked(fresh, arrival, opt_.desktopNotice));
}

void Checker::runNoticeStep(const NoticeStep &step)
{
    if (step.kind == NoticeStep::Send)
        platform_.notices->notify(step.id, step.summary, step.body, noticeActions);
    else if (step.kind == NoticeStep::Close)
        platform_.notices->close(step.id);
}

void Checker::noticeActivated(quint32 id, const QString &key)
{
    if (notice_.ours(id) && key == noticeActions[0])
        mnu_pop();
}

void Checker::retrieveCycleEnded()
{
    model_.refreshRows();
    form_->setListEnabled(true);
    form_->retrBt()->setEnabled(false);
    form_->delBt()->setEnabled(false);
}

void Checker::setBusy(bool busy)
{
    if (busy)
        form_->setCursor(Qt::BusyCursor);
    else
        form_->unsetCursor();
}

} // namespace lum
