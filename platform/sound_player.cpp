#include "platform/sound_player.h"

#include <QApplication>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace lum {

namespace {

// QSoundEffect plays through the desktop's sound server. It reports the end of a sound
// through playingChanged, but stays silent when there is no audio device, so a watch
// checks twice a second that something still loads (for three seconds at most) or plays.
class EffectPlayer : public SoundPlayer {
public:
    EffectPlayer()
    {
        watch_.setInterval(500);
        connect(&watch_, &QTimer::timeout, this, [this] {
            ++watchTicks_;
            check();
        });
    }
    ~EffectPlayer() override { stop(); }

    void play(const QString &path) override
    {
        stop();
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
        watchTicks_ = 0;
        effect_->setSource(QUrl::fromLocalFile(path));
        watch_.start();
        if (effect_->status() == QSoundEffect::Ready && !started_) {
            started_ = true;
            effect_->play();
        }
    }

    void beep() override { QApplication::beep(); }

    void stop() override
    {
        watch_.stop();
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
        // A file that is no sound at all can stay "loading" for good.
        const bool stuck = s == QSoundEffect::Loading && watchTicks_ > maxLoadingTicks;
        const bool over = s == QSoundEffect::Error || s == QSoundEffect::Null || stuck
            || (s == QSoundEffect::Ready && started_ && !effect_->isPlaying());
        if (!over)
            return;
        // Finish on the next turn of the event loop, never inside the effect's own signal.
        stop();
        QTimer::singleShot(0, this, [this] { emit finished(); });
    }

    QSoundEffect *effect_ = nullptr;
    static constexpr int maxLoadingTicks = 6;
    QTimer watch_;
    int watchTicks_ = 0;
    bool started_ = false;
};

} // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer()
{
    return std::make_unique<EffectPlayer>();
}

} // namespace lum
