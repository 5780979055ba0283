#include "pop3/qt/qt_timers.h"

namespace lum {

QtTimers::QtTimers(Tick tick, QObject *parent) : QObject(parent), tick_(std::move(tick))
{
    for (int i = 0; i < timerCount; ++i) {
        timers_[size_t(i)].setTimerType(Qt::CoarseTimer);
        connect(&timers_[size_t(i)], &QTimer::timeout, this, [this, i] { tick_(TimerId(i)); });
    }
}

void QtTimers::start(TimerId id, int intervalMs)
{
    timers_[size_t(id)].start(intervalMs);
}

void QtTimers::stop(TimerId id)
{
    timers_[size_t(id)].stop();
}

bool QtTimers::active(TimerId id) const
{
    return timers_[size_t(id)].isActive();
}

} // namespace lum
