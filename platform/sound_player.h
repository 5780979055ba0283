#pragma once
// Plays one WAV file at a time without blocking: finished() follows when the sound has
// ended, or at once when the file can't be played (missing, not a WAV, no audio device).

#include <QObject>
#include <memory>

namespace lum {

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    virtual void play(const QString &path) = 0;
    virtual void beep() = 0;
    // Ends the sound playing now; no finished() follows.
    virtual void stop() = 0;

signals:
    void finished();
};

std::unique_ptr<SoundPlayer> makeSoundPlayer();

} // namespace lum
