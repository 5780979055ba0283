#pragma once
// The engine's timers as QTimers; each tick calls Pop3Engine::timerTick.

#include "pop3/ports.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <functional>

namespace lum {

class QtTimers : public QObject, public Timers {
public:
    using Tick = std::function<void(TimerId)>;
    explicit QtTimers(Tick tick, QObject *parent = nullptr);

    void start(TimerId id, int intervalMs) override;
    void stop(TimerId id) override;
    bool active(TimerId id) const override;

private:
    Tick tick_;
    std::array<QTimer, timerCount> timers_;
};

} // namespace lum
