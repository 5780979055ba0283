// New-mail notification driven tick by tick: LED toggles, icon blinking, the popup's
// deadline, the sound order; and the sound queue playing while the program goes on.
#include "checker/notifier.h"
#include "checker/sound_queue.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <set>

namespace lum {
namespace {

struct FakeTimers : BlinkTimers {
    std::set<BlinkTimer> running;
    void start(BlinkTimer id) override { running.insert(id); }
    void stop(BlinkTimer id) override { running.erase(id); }
    bool active(BlinkTimer id) const override { return running.count(id) > 0; }
};

struct FakeLed : ScrollLed {
    bool on = false;
    int toggles = 0;
    bool lit() const override { return on; }
    void setLit(bool v) override
    {
        toggles += v != on;
        on = v;
    }
};

struct Rig {
    Options opt;
    FakeTimers timers;
    FakeLed led;
    std::vector<int> icons;
    QStringList events;
    std::vector<QStringList> sounds;
    Notifier notifier{opt, timers, led,
                      {[this](int op) { icons.push_back(op); }, [this] { events << "show"; },
                       [this] { events << "hide"; }, [this](const QStringList &s) { sounds.push_back(s); }}};

    // Ticks id until it stops, at most limit times; returns the ticks taken.
    int runOut(BlinkTimer id, int limit = 1000)
    {
        int n = 0;
        while (timers.active(id) && n < limit) {
            notifier.tick(id);
            ++n;
        }
        return n;
    }
};

TEST(Notifier, LedTogglesTwiceTheSecondsPlusThree)
{
    for (int seconds : {1, 5}) {
        Rig r;
        r.opt.lightTimerSeconds = qint16(seconds);
        r.notifier.Lightbrink();
        EXPECT_EQ(r.runOut(BlinkTimer::Light), 2 * seconds + 2);
        // 2N + 3 toggles while blinking; the LED is then switched off, now and 300 ms later.
        EXPECT_EQ(r.led.toggles, 2 * seconds + 3 + 1);
        EXPECT_FALSE(r.led.on);
        EXPECT_TRUE(r.timers.active(BlinkTimer::Timer1));
        r.led.on = true; // the user lit it meanwhile
        r.notifier.tick(BlinkTimer::Timer1);
        EXPECT_FALSE(r.led.on);
        EXPECT_FALSE(r.timers.active(BlinkTimer::Timer1));
    }
}

TEST(Notifier, LedWithZeroBlinksUntilTurnedOff)
{
    Rig r;
    r.opt.lightTimerSeconds = 0;
    r.notifier.Lightbrink();
    EXPECT_EQ(r.runOut(BlinkTimer::Light, 500), 500);
    EXPECT_EQ(r.led.toggles, 501);
    r.notifier.turnoff();
    EXPECT_FALSE(r.timers.active(BlinkTimer::Light));
    EXPECT_FALSE(r.led.on);
    r.notifier.setScrollLed(false); // off stays off: no toggle
    EXPECT_EQ(r.led.toggles, 502);
}

TEST(Notifier, IconBlinksThenRestsOnTheChosenPicture)
{
    for (bool restore : {false, true}) {
        Rig r;
        r.opt.iconBlink = true;
        r.opt.iconRestore = restore;
        r.opt.lightTimer2Seconds = 2;
        r.opt.ledBlink = false;
        r.notifier.arrival([](int) { return true; });
        r.runOut(BlinkTimer::Light2);
        const std::vector<int> expected{5, 3, 5, 3, 5, 3, 5, restore ? 3 : 5};
        EXPECT_EQ(r.icons, expected) << restore;
    }
}

TEST(Notifier, ArrivalInOrderAndThePopupHidesAtItsDeadline)
{
    Rig r;
    r.opt.popup = true;
    r.opt.closeTimerSeconds = 3;
    r.opt.sound = true;
    r.opt.accountno = 1;
    r.opt.accounts.resize(1);
    r.notifier.arrival([](int) { return true; });
    EXPECT_TRUE(r.timers.active(BlinkTimer::Light));
    EXPECT_EQ(r.icons, std::vector<int>{5});
    EXPECT_EQ(r.events, QStringList{"show"});
    EXPECT_EQ(r.sounds, std::vector<QStringList>{QStringList{""}}); // common sound, no file: a beep
    r.notifier.tick(BlinkTimer::Close);
    r.notifier.tick(BlinkTimer::Close);
    EXPECT_EQ(r.events, QStringList{"show"});
    r.notifier.tick(BlinkTimer::Close);
    EXPECT_EQ(r.events, (QStringList{"show", "hide"}));
    EXPECT_FALSE(r.timers.active(BlinkTimer::Close));
}

TEST(Notifier, SoundsPerAccountInOrderThenTheCommonOneOnce)
{
    Options opt;
    opt.wavDir = "/s/common.wav";
    opt.accountno = 6;
    opt.accounts = {{0, 0, 1, "/s/a.wav"}, {0, 0, 0, {}}, {0, 0, 1, "/s/c.wav"},
                    {0, 0, 1, {}},         {0, 0, 2, "/s/e.wav"}, {0, 0, 0, {}}};
    const std::set<int> fresh{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Notifier::soundSequence(opt, [&](int a) { return fresh.count(a) > 0; }),
              (QStringList{"/s/a.wav", "/s/c.wav", "", "/s/common.wav"}));
    EXPECT_EQ(Notifier::soundSequence(opt, [](int a) { return a == 3; }), QStringList{"/s/c.wav"});
    EXPECT_EQ(Notifier::soundSequence(opt, [](int a) { return a == 5; }), QStringList{});
}

// Each sound lasts 100 ms of real time and ends through the event loop, as the real player
// does; a timer of the program must go on firing meanwhile.
struct TimedPlayer : SoundPlayer {
    QStringList log;
    void play(const QString &path) override
    {
        log << "start " + path;
        QTimer::singleShot(100, this, [this, path] {
            log << "end " + path;
            emit finished();
        });
    }
    void beep() override { log << "beep"; }
    void stop() override { log << "stop"; }
};

TEST(SoundQueue, PlaysOneAfterAnotherWithoutHoldingTheProgram)
{
    TimedPlayer player;
    SoundQueue queue(player);
    int ticks = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] {
        ++ticks;
        player.log << "tick";
    });
    other.start(20);
    queue.enqueue({"a.wav", "", "b.wav"});
    EXPECT_EQ(player.log, QStringList{"start a.wav"}); // returned at once
    ASSERT_TRUE(QTest::qWaitFor([&] { return !queue.playing(); }, 5000));
    player.log.removeAll("tick");
    EXPECT_EQ(player.log, (QStringList{"start a.wav", "end a.wav", "beep", "start b.wav", "end b.wav"}));
    EXPECT_GE(ticks, 5);
    queue.enqueue({"c.wav", "d.wav"});
    queue.stop();
    EXPECT_FALSE(queue.playing());
    EXPECT_EQ(player.log.last(), "stop");
}

} // namespace
} // namespace lum
