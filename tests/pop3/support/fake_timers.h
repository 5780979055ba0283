#pragma once
// A clock that only moves when told: advance(ms) fires every timer that falls due, in time
// order, as if that much time had passed.

#include "pop3/ports.h"

#include <array>
#include <functional>

namespace lum::test {

class FakeTimers : public Timers {
public:
    std::function<void(TimerId)> onTick;

    void start(TimerId id, int intervalMs) override
    {
        Slot &s = slots_[size_t(id)];
        s.active = true;
        s.interval = intervalMs;
        s.due = now_ + intervalMs;
        ++s.starts;
    }
    void stop(TimerId id) override { slots_[size_t(id)].active = false; }
    bool active(TimerId id) const override { return slots_[size_t(id)].active; }

    int interval(TimerId id) const { return slots_[size_t(id)].interval; }
    int starts(TimerId id) const { return slots_[size_t(id)].starts; }
    qint64 now() const { return now_; }

    // Moves the clock forward by ms, firing due timers on the way. A timer of period 0 is
    // fired once per call at most per round, so a tick that fails to stop it can't spin.
    void advance(qint64 ms)
    {
        const qint64 target = now_ + ms;
        for (int guard = 0; guard < 100000; ++guard) {
            int best = -1;
            for (int i = 0; i < timerCount; ++i) {
                const Slot &s = slots_[size_t(i)];
                if (s.active && s.due <= target && (best < 0 || s.due < slots_[size_t(best)].due))
                    best = i;
            }
            if (best < 0)
                break;
            Slot &s = slots_[size_t(best)];
            now_ = s.due;
            s.due = now_ + std::max(s.interval, 1);
            if (onTick)
                onTick(TimerId(best));
        }
        now_ = target;
    }

private:
    struct Slot {
        bool active = false;
        int interval = 0;
        qint64 due = 0;
        int starts = 0;
    };
    std::array<Slot, timerCount> slots_{};
    qint64 now_ = 0;
};

} // namespace lum::test
