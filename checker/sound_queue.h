#pragma once
// Sounds one after another: each file starts when the one before it has ended; "" is a
// beep. Nothing waits: the program goes on while the queue plays.

#include "platform/sound_player.h"

#include <QStringList>

namespace lum {

class SoundQueue : public QObject {
public:
    explicit SoundQueue(SoundPlayer &player, QObject *parent = nullptr);

    void enqueue(const QStringList &sounds);
    // Drops what is queued and ends the sound playing now.
    void stop();
    bool playing() const { return playing_; }

private:
    void next();

    SoundPlayer &player_;
    QStringList queue_;
    bool playing_ = false;
};

} // namespace lum
