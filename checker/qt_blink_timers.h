#pragma once
// The notifier's timers as QTimers; each tick calls Notifier::tick.

#include "checker/notifier.h"

#include <QTimer>
#include <array>

namespace lum {

class QtBlinkTimers : public BlinkTimers {
public:
    explicit QtBlinkTimers(std::function<void(BlinkTimer)> tick)
    {
        for (int i = 0; i < int(timers_.size()); ++i) {
            const auto id = BlinkTimer(i);
            timers_[size_t(i)].setInterval(blinkInterval(id));
            QObject::connect(&timers_[size_t(i)], &QTimer::timeout, [tick, id] { tick(id); });
        }
    }
    void start(BlinkTimer id) override { timers_[size_t(id)].start(); }
    void stop(BlinkTimer id) override { timers_[size_t(id)].stop(); }
    bool active(BlinkTimer id) const override { return timers_[size_t(id)].isActive(); }

private:
    std::array<QTimer, 4> timers_;
};

} // namespace lum
