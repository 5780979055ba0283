#include "checker/notifier.h"

namespace lum {

int blinkInterval(BlinkTimer id)
{
    switch (id) {
    case BlinkTimer::Close:
        return 1000;
    case BlinkTimer::Timer1:
        return 300;
    case BlinkTimer::Light:
    case BlinkTimer::Light2:
        break;
    }
    return 500;
}

Notifier::Notifier(const Options &options, BlinkTimers &timers, ScrollLed &led, NotifierOutput out)
    : opt_(options), timers_(timers), led_(led), out_(std::move(out))
{
}

void Notifier::setScrollLed(bool on)
{
    const bool lit = led_.lit();
    if (on || lit)
        led_.setLit(!lit);
}

void Notifier::Lightbrink()
{
    setScrollLed(true);
    ledBlinkCount_ = 0;
    timers_.start(BlinkTimer::Light);
}

void Notifier::Lightbrink2()
{
    out_.tuskicon(5);
    iconBlinkCount_ = 0;
    timers_.start(BlinkTimer::Light2);
}

void Notifier::turnoff()
{
    timers_.stop(BlinkTimer::Light);
    setScrollLed(false);
    timers_.start(BlinkTimer::Timer1);
}

void Notifier::stopIconBlinking()
{
    timers_.stop(BlinkTimer::Light2);
}

void Notifier::arrival(const std::function<bool(int)> &newMail)
{
    if (opt_.ledBlink)
        Lightbrink();
    if (opt_.iconBlink)
        Lightbrink2();
    else
        out_.tuskicon(5);
    if (opt_.popup) {
        out_.showWindow();
        timers_.start(BlinkTimer::Close);
    }
    if (opt_.sound)
        out_.playSounds(soundSequence(opt_, newMail));
}

QStringList Notifier::soundSequence(const Options &opt, const std::function<bool(int)> &newMail)
{
    QStringList sounds;
    bool common = false;
    for (int a = 1; a <= opt.accountno && size_t(a) <= opt.accounts.size(); ++a) {
        if (!newMail(a))
            continue;
        const AccountDisplay &d = opt.accounts[size_t(a - 1)];
        if (d.wavmode == 1)
            sounds << d.wavdir2;
        else if (d.wavmode == 0)
            common = true;
    }
    if (common)
        sounds << opt.wavDir;
    return sounds;
}

void Notifier::tick(BlinkTimer id)
{
    switch (id) {
    case BlinkTimer::Light:
        lightTick();
        break;
    case BlinkTimer::Light2:
        light2Tick();
        break;
    case BlinkTimer::Close:
        closeTick();
        break;
    case BlinkTimer::Timer1:
        timers_.stop(BlinkTimer::Timer1);
        setScrollLed(false);
        break;
    }
}

// "Lighttimerval" N > 0 ends the blinking after 2N + 2 ticks: with the toggle of
// Lightbrink, 2N + 3 toggles in about N + 1 seconds. 0 blinks until stopped.
void Notifier::lightTick()
{
    setScrollLed(true);
    if (opt_.lightTimerSeconds == 0)
        return;
    ++ledBlinkCount_;
    if (ledBlinkCount_ / 2 > opt_.lightTimerSeconds) {
        ledBlinkCount_ = 0;
        timers_.stop(BlinkTimer::Light);
        setScrollLed(false);
        timers_.start(BlinkTimer::Timer1);
    }
}

void Notifier::light2Tick()
{
    iconBlinkState_ = iconBlinkState_ == 3 ? 5 : 3;
    out_.tuskicon(iconBlinkState_);
    if (opt_.lightTimer2Seconds == 0)
        return;
    ++iconBlinkCount_;
    if (iconBlinkCount_ / 2 > opt_.lightTimer2Seconds) {
        iconBlinkCount_ = 0;
        timers_.stop(BlinkTimer::Light2);
        out_.tuskicon(opt_.iconRestore ? 3 : 5);
    }
}

// Nothing else resets the count: a popup shown again while the timer runs hides at the
// earlier deadline.
void Notifier::closeTick()
{
    ++closeCount_;
    if (opt_.closeTimerSeconds != 0 && closeCount_ >= opt_.closeTimerSeconds) {
        timers_.stop(BlinkTimer::Close);
        closeCount_ = 0;
        out_.hideWindow();
    }
}

} // namespace lum
