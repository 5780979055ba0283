// The cycles over the accounts (check, retrieve, delete), the minute timer that starts
// periodic checks and the session time-out.
#include "pop3/engine.h"

#include "settings/setting_keys.h"

namespace lum {

namespace {

constexpr int minuteMs = 60000;
constexpr int nextAccountMs = 1000;

TimerId nextAccountTimer(SessionKind kind)
{
    switch (kind) {
    case SessionKind::Retrieve:
        return TimerId::Retr;
    case SessionKind::Delete:
        return TimerId::Del;
    case SessionKind::Check:
        break;
    }
    return TimerId::Logon;
}

} // namespace

QString Pop3Engine::captionForTotal(qint32 total)
{
    return total != 0 ? QString::number(total) + QStringLiteral("通のメールが届いています!")
                      : QStringLiteral("Lumora");
}

void Pop3Engine::growTables()
{
    const size_t n = size_t(std::max<int>(opt_.accountno, index_)) + 1;
    if (prevCount_.size() < n) {
        prevCount_.resize(n, 0);
        prevSize_.resize(n, 0);
        listed_.resize(n, 0);
        newMail_.resize(n, false);
        kept_.resize(n);
        imapBoxes_.resize(n);
    }
}

void Pop3Engine::forgetListedRows()
{
    listed_.assign(listed_.size(), 0);
    if (checking_)
        startCheckCycle();
}

qint32 Pop3Engine::listedCount(int a) const
{
    return a >= 0 && size_t(a) < listed_.size() ? listed_[size_t(a)] : 0;
}

qint32 Pop3Engine::previousCount(int a) const
{
    return a >= 0 && size_t(a) < prevCount_.size() ? prevCount_[size_t(a)] : 0;
}

qint64 Pop3Engine::previousSize(int a) const
{
    return a >= 0 && size_t(a) < prevSize_.size() ? prevSize_[size_t(a)] : 0;
}

bool Pop3Engine::newMail(int a) const
{
    return a >= 0 && size_t(a) < newMail_.size() && newMail_[size_t(a)];
}

bool Pop3Engine::anyNewMail() const
{
    for (int a = 1; a <= opt_.accountno; ++a) {
        if (newMail(a))
            return true;
    }
    return false;
}

void Pop3Engine::setCaption(const QString &text)
{
    caption_ = text;
    view_.setCaption(text);
}

void Pop3Engine::enable(TimerId id, int intervalMs)
{
    if (!timers_.active(id))
        timers_.start(id, intervalMs);
}

void Pop3Engine::restartTimeup()
{
    timers_.stop(TimerId::Timeup);
    timers_.start(TimerId::Timeup, minuteMs);
}

QString Pop3Engine::accountName(int account) const
{
    return store_.readSetting(numbered(key::aname, account), QString());
}

bool Pop3Engine::marked(int account, int message) const
{
    const MailRecord *r = table_.record(account, message);
    return r && r->mark;
}

bool Pop3Engine::wanted(int account, int message) const
{
    const MailRecord *r = table_.record(account, message);
    return r && r->mark && !r->retrieved;
}

// The lowest message number above `after` that `want` accepts, or 0.
int Pop3Engine::nextMessage(int account, int after, bool (Pop3Engine::*want)(int, int) const) const
{
    for (int m = after + 1; m <= table_.messageSlots(account); ++m) {
        if ((this->*want)(account, m))
            return m;
    }
    return 0;
}

bool Pop3Engine::moreToVisit() const
{
    for (int a = index_ + 1; a <= opt_.accountno; ++a) {
        switch (kind_) {
        case SessionKind::Check: {
            if (onlyAccount_ != 0)
                return false; // the one account was the last to visit
            AccountRecord r;
            readAccount(store_, a, r);
            if (r.check != 0)
                return true;
            break;
        }
        case SessionKind::Retrieve:
            if (nextMessage(a, 0, &Pop3Engine::wanted))
                return true;
            break;
        case SessionKind::Delete:
            if (nextMessage(a, 0, &Pop3Engine::marked))
                return true;
            break;
        }
    }
    return false;
}

// The pause after the last account is the checker's; a check of one account that its server
// told of news ends at once, so that the news shows without it.
void Pop3Engine::scheduleNext()
{
    const bool pause = (pauseAtEnd_ && onlyAccount_ == 0) || moreToVisit();
    timers_.start(nextAccountTimer(kind_), pause ? nextAccountMs : 0);
}

void Pop3Engine::CycleReset()
{
    view_.cycleStarting();
    // A next-account tick of the cycle being replaced must not run into the new one.
    timers_.stop(TimerId::Logon);
    timers_.stop(TimerId::Retr);
    timers_.stop(TimerId::Del);
    subDisConn();
    dropConnection();
    total_ = 0;
    index_ = 0;
    log_.clear();
    retrieveOrDeleteRunning_ = false;
    checking_ = false;
    onlyAccount_ = 0;
}

// A retrieve or delete, and the check that follows a delete, visit accounts the last check
// has already visited: an account without a host is told once, from one check to the next.
void Pop3Engine::checkmail()
{
    hostlessShown_ = false;
    startCheckCycle();
}

void Pop3Engine::startCheckCycle(int onlyAccount)
{
    CycleReset();
    onlyAccount_ = onlyAccount;
    checking_ = true;
    newMail_.assign(newMail_.size(), false);
    CheckNext();
}

void Pop3Engine::startupCheck()
{
    suppress_ = false;
    checkmail();
}

void Pop3Engine::CheckNext()
{
    kind_ = SessionKind::Check;
    for (;;) {
        timers_.stop(TimerId::Timeup);
        if (index_ >= opt_.accountno) {
            endCheckCycle();
            return;
        }
        ++index_;
        if (onlyAccount_ != 0 && index_ != onlyAccount_) {
            // Its rows stay, and count as they did.
            growTables();
            total_ = saturatingAdd(total_, listed_[size_t(index_)]);
            continue;
        }
        loadadata(store_, index_, opt_);
        setCaption(QStringLiteral("Lumora -チェック中:") + opt_.current.aname + QLatin1Char('-'));
        if (opt_.trayIcon)
            view_.setTrayPicture(TrayPicture::Working);
        if (opt_.current.check == 0)
            continue;
        timeoutCount_ = 1;
        lockstep_ = false;
        plainListing_ = false;
        enable(TimerId::Timeup, minuteMs);
        // An account that can't be opened needs no pause: nothing waits to be closed.
        if (logon(SessionKind::Check))
            return;
    }
}

void Pop3Engine::endCheckCycle()
{
    checking_ = false;
    onlyAccount_ = 0;
    growTables();
    setCaption(captionForTotal(total_));
    const CheckCycleResult result{total_, anyNewMail()};
    view_.checkCycleEnded(result);
    if (!result.newMail && opt_.trayIcon)
        view_.setTrayPicture(TrayPicture::Normal);
    startCheckTimer();
    busy_ = false;
    view_.setBusy(false);
    runDueCheck();
}

void Pop3Engine::startCheckTimer()
{
    if (opt_.checkTimerMinutes > 0)
        enable(TimerId::Check, minuteMs);
    else
        timers_.stop(TimerId::Check);
}

bool Pop3Engine::startAccountSession(SessionKind kind, const QString &captionLabel)
{
    setCaption(QStringLiteral("Lumora") + captionLabel + accountName(index_) + QLatin1Char('-'));
    if (opt_.trayIcon)
        view_.setTrayPicture(TrayPicture::Working);
    view_.sessionStarting(kind);
    timeoutCount_ = 1;
    enable(TimerId::Timeup, minuteMs);
    loadadata(store_, index_, opt_);
    return logon(kind);
}

void Pop3Engine::retrieveMarked()
{
    busy_ = true;
    view_.setBusy(true);
    savedCaption_ = caption_;
    CycleReset();
    retrieveOrDeleteRunning_ = true;
    RetrNext();
}

void Pop3Engine::RetrNext()
{
    kind_ = SessionKind::Retrieve;
    timers_.stop(TimerId::Timeup);
    while (index_ < opt_.accountno) {
        ++index_;
        if (nextMessage(index_, 0, &Pop3Engine::wanted)) {
            if (startAccountSession(SessionKind::Retrieve, QStringLiteral(" -メール取得中:")))
                return;
        }
    }
    view_.retrieveCycleEnded();
    setCaption(savedCaption_);
    if (opt_.trayIcon)
        view_.setTrayPicture(TrayPicture::Normal);
    busy_ = false;
    view_.setBusy(false);
    retrieveOrDeleteRunning_ = false;
    runDueCheck();
}

void Pop3Engine::deleteMarked()
{
    busy_ = true;
    view_.setBusy(true);
    CycleReset();
    retrieveOrDeleteRunning_ = true;
    DelNext();
}

void Pop3Engine::DelNext()
{
    kind_ = SessionKind::Delete;
    timers_.stop(TimerId::Timeup);
    while (index_ < opt_.accountno) {
        ++index_;
        if (nextMessage(index_, 0, &Pop3Engine::marked)) {
            if (startAccountSession(SessionKind::Delete, QStringLiteral(" -メール削除中:")))
                return;
        }
    }
    // The check that follows lists what is left; mail it finds is not news to the user.
    suppress_ = true;
    newMail_.assign(newMail_.size(), false);
    retrieveOrDeleteRunning_ = false;
    startCheckCycle();
}

void Pop3Engine::timerTick(TimerId id)
{
    switch (id) {
    case TimerId::Check:
        checkTimerTick();
        break;
    case TimerId::Logon:
        timers_.stop(id);
        CheckNext();
        break;
    case TimerId::Retr:
        timers_.stop(id);
        RetrNext();
        break;
    case TimerId::Del:
        timers_.stop(id);
        DelNext();
        break;
    case TimerId::Timeup:
        timeupTick();
        break;
    }
}

void Pop3Engine::quitSession()
{
    for (TimerId id : {TimerId::Check, TimerId::Logon, TimerId::Retr, TimerId::Del, TimerId::Timeup})
        timers_.stop(id);
    if (open_ && step_ != 6)
        subDisConn();
    dropConnection();
}

void Pop3Engine::checkTimerTick()
{
    ++minuteCount_;
    if (minuteCount_ < opt_.checkTimerMinutes)
        return;
    minuteCount_ = 0;
    if (retrieveOrDeleteRunning_) {
        // Cutting a retrieve or delete short would drop what the user asked for; the check
        // runs when that cycle has ended.
        checkDue_ = true;
        return;
    }
    periodicCheck();
}

void Pop3Engine::periodicCheck()
{
    checkDue_ = false;
    timers_.stop(TimerId::Check);
    suppress_ = false;
    checkmail();
    startCheckTimer();
}

void Pop3Engine::checkWhenFree()
{
    if (checking_ || retrieveOrDeleteRunning_)
        checkDue_ = true;
    else
        periodicCheck();
}

void Pop3Engine::checkAccountWhenFree(int account)
{
    if (checking_ || retrieveOrDeleteRunning_ || checkDue_) {
        checkDue_ = true;
        return;
    }
    suppress_ = false;
    hostlessShown_ = false;
    startCheckCycle(account);
}

// At the end of every cycle: a periodic check that came due during a retrieve or delete.
void Pop3Engine::runDueCheck()
{
    if (checkDue_ && !retrieveOrDeleteRunning_)
        periodicCheck();
}

// Every step of the dialogue restarts the minute (a complete status line, or reply data
// after one; noise does not); the count is not reset, so a session ends after "Timeupval"
// minutes without progress counted over the whole session.
void Pop3Engine::timeupTick()
{
    if (opt_.timeUpMinutes <= 0 || timeoutCount_ < opt_.timeUpMinutes) {
        ++timeoutCount_;
        return;
    }
    if (kind_ == SessionKind::Check && !lockstep_ && pipelinedGroupOut()) {
        logInAgainInLockstep();
        return;
    }
    timers_.stop(TimerId::Timeup);
    const bool quitSent = step_ == 6;
    if (!quitSent)
        subDisConn();
    dropConnection();
    // After QUIT all was done; any other silence is a failure and is said like one.
    if (!quitSent)
        ShowMsg(QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした"));
    if (kind_ != SessionKind::Check)
        setCaption(captionForTotal(total_));
    timeoutCount_ = 1;
    scheduleNext();
    busy_ = false;
    view_.setBusy(false);
}

} // namespace lum
