#include "platform/sound_player.h"

#include "platform/wav_length.h"

#include <QApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <climits>

namespace lum {

namespace {

// QSoundEffect plays through the desktop's sound server. It reports the end of a sound
// through playingChanged, but not always: a file that is no sound at all can stay
// "loading" for good, and with no sound server (or one that has stopped taking sound) a
// sound stays "playing" for good. So a sound still going at its own length plus a margin
// counts as over, and with no audio output at all, or a path that is no regular file (a
// FIFO would block the opening), it is over at once: the next sound always follows.
class EffectPlayer : public SoundPlayer {
public:
    EffectPlayer()
    {
        end_.setSingleShot(true);
        connect(&end_, &QTimer::timeout, this, [this] {
            stop();
            emit finished();
        });
    }
    ~EffectPlayer() override { stop(); }

    void play(const QString &path) override
    {
        stop();
        if (!isRegularFile(path) || QMediaDevices::defaultAudioOutput().isNull()) {
            end_.start(0);
            return;
        }
        effect_ = new QSoundEffect(this);
        connect(effect_, &QSoundEffect::statusChanged, this, [this] {
            if (effect_ && effect_->status() == QSoundEffect::Ready && !started_) {
                started_ = true;
                effect_->play();
            }
            check();
        });
        connect(effect_, &QSoundEffect::playingChanged, this, [this] { check(); });
        started_ = false;
        const qint64 length = qBound(qint64(0), wavLengthMs(path), qint64(INT_MAX - margin));
        end_.start(int(length + margin));
        effect_->setSource(QUrl::fromLocalFile(path));
        if (effect_ && effect_->status() == QSoundEffect::Ready && !started_) {
            started_ = true;
            effect_->play();
        }
    }

    void beep() override { QApplication::beep(); }

    void stop() override
    {
        end_.stop();
        if (effect_) {
            effect_->disconnect(this);
            effect_->stop();
            effect_->deleteLater();
            effect_ = nullptr;
        }
    }

private:
    void check()
    {
        if (!effect_)
            return;
        const QSoundEffect::Status s = effect_->status();
        const bool over = s == QSoundEffect::Error || s == QSoundEffect::Null
            || (s == QSoundEffect::Ready && started_ && !effect_->isPlaying());
        if (!over)
            return;
        // Finish on the next turn of the event loop, never inside the effect's own signal.
        stop();
        end_.start(0);
    }

    // Time a sound server takes beyond the sound itself: opening the stream, its buffer.
    static constexpr int margin = 3000;
    QSoundEffect *effect_ = nullptr;
    QTimer end_; // finished() when it fires
    bool started_ = false;
};

} // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer()
{
    return std::make_unique<EffectPlayer>();
}

} // namespace lum
