#pragma once
// Telling the user about new mail: the blinking Scroll Lock LED, the blinking or changed
// notification icon, the popup of the main window that hides itself again, and the sounds.
//
// Driven by ticks of its four timers, so the counts are exact and tests need no waiting:
//   Light   500 ms   one LED toggle
//   Light2  500 ms   one icon change
//   Close   1000 ms  one second of the popped-up window
//   Timer1  300 ms   one-shot: the LED off once more after every stop of the blinking

#include "platform/scroll_led.h"
#include "settings/options.h"

#include <QStringList>
#include <functional>

namespace lum {

enum class BlinkTimer { Light, Light2, Close, Timer1 };

class BlinkTimers {
public:
    virtual ~BlinkTimers() = default;
    virtual void start(BlinkTimer id) = 0; // (re)starts with the timer's own interval
    virtual void stop(BlinkTimer id) = 0;
    virtual bool active(BlinkTimer id) const = 0;
};

int blinkInterval(BlinkTimer id);

struct NotifierOutput {
    std::function<void(int op)> tuskicon; // the icon operations 3 (normal) and 5 (arrival)
    std::function<void()> showWindow;
    std::function<void()> hideWindow;
    std::function<void(const QStringList &)> playSounds; // in order; "" = a beep
};

class Notifier {
public:
    Notifier(const Options &options, BlinkTimers &timers, ScrollLed &led, NotifierOutput out);

    // on: toggle the LED; off: switch it off when lit.
    void setScrollLed(bool on);
    void Lightbrink();
    void Lightbrink2();
    // Stops the LED blinking: LED off now and once more shortly.
    void turnoff();
    // Stops the icon blinking; the icon keeps the picture it has.
    void stopIconBlinking();
    // The notification of a cycle that found new mail; newMail(a) for accounts 1..accountno.
    void arrival(const std::function<bool(int)> &newMail);
    void tick(BlinkTimer id);

    // The sounds of an arrival: per account with new mail, its own file ("Wavmode" 1; ""
    // for a beep when it has none), then the common "Wavdir" once if any account
    // ("Wavmode" 0) asked for it.
    static QStringList soundSequence(const Options &options, const std::function<bool(int)> &newMail);

private:
    void lightTick();
    void light2Tick();
    void closeTick();

    const Options &opt_;
    BlinkTimers &timers_;
    ScrollLed &led_;
    NotifierOutput out_;
    int ledBlinkCount_ = 0;
    int iconBlinkCount_ = 0;
    int iconBlinkState_ = 0;
    int closeCount_ = 0;
};

} // namespace lum
