#include "checker/sound_queue.h"

namespace lum {

SoundQueue::SoundQueue(SoundPlayer &player, QObject *parent) : QObject(parent), player_(player)
{
    connect(&player_, &SoundPlayer::finished, this, [this] {
        playing_ = false;
        next();
    });
}

void SoundQueue::enqueue(const QStringList &sounds)
{
    queue_ += sounds;
    if (!playing_)
        next();
}

void SoundQueue::stop()
{
    queue_.clear();
    if (playing_)
        player_.stop();
    playing_ = false;
}

void SoundQueue::next()
{
    while (!queue_.isEmpty()) {
        const QString path = queue_.takeFirst();
        if (path.isEmpty()) {
            player_.beep();
            continue;
        }
        playing_ = true;
        player_.play(path);
        return;
    }
}

} // namespace lum
