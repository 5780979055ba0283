#pragma once
// Plays one WAV file at a time without blocking: finished() follows when the sound has
// ended, at once when it can't be played (missing, not a WAV, no audio output), and at the
// latest a few seconds after the sound's own length, whatever the sound server says.

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
