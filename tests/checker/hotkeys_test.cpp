// The system-wide keys: every combination the options program offers maps to an X key,
// a key another program holds gets the failure dialogue, each key runs its command; and
// every command that should stops the blinking.
#include "checker_support.h"

#include "options/hotkey_choices.h"
#include "settings/hotkey_code.h"

#include <X11/keysym.h>
#include <set>
#include <xcb/xcb.h>

namespace lum::test {
namespace {

struct FakeHotkeys : GlobalHotkeys {
    std::set<int> refused; // indices another program holds
    std::map<int, KeyCombo> grabbed;
    bool supported() const override { return true; }
    bool grab(int index, const KeyCombo &combo) override
    {
        if (refused.count(index))
            return false;
        grabbed[index] = combo;
        return true;
    }
    void release(int index) override { grabbed.erase(index); }
};

struct FakeLed : ScrollLed {
    bool on = false;
    bool lit() const override { return on; }
    void setLit(bool v) override { on = v; }
};

TEST(Hotkeys, EveryOfferedChoiceMapsToAnXKey)
{
    for (const HotkeyChoice &choice : hotkeyChoices(true)) {
        const HotkeyBinding binding = decodeHotkey(choice.code);
        const KeyCombo combo = keyCombo(binding);
        const std::string what = choice.text.toStdString();
        if (choice.code == 0) {
            EXPECT_TRUE(binding.label.isEmpty()) << what;
            continue;
        }
        EXPECT_TRUE(choice.text.startsWith(binding.label)) << what << " / " << binding.label.toStdString();
        if (choice.code <= 90) {
            EXPECT_EQ(combo.keysym, quint32(XK_a + choice.code - 65)) << what;
        } else {
            const int f = choice.code >= 200 ? choice.code - 211 : choice.code - 111;
            EXPECT_EQ(combo.keysym, quint32(XK_F1 + f - 1)) << what;
        }
        EXPECT_EQ(combo.control, choice.code < 200) << what;
        EXPECT_EQ(combo.shift, choice.code >= 200) << what;
    }
    // Stored by hand: the key of the code's virtual key, none where X has no such key.
    const std::pair<qint16, quint32> byHand[] = {
        {49, XK_1}, {7, 0}, {13, XK_Return}, {27, XK_Escape}, {33, XK_Prior}, {34, XK_Next},
        {35, XK_End}, {36, XK_Home}, {37, XK_Left}, {38, XK_Up}, {39, XK_Right}, {40, XK_Down},
        {45, XK_Insert}, {46, XK_Delete}, {96, XK_KP_0}, {97, XK_KP_1}, {98, XK_KP_2}, {99, XK_KP_3},
        {100, XK_KP_4}, {101, XK_KP_5}, {102, XK_KP_6}, {103, XK_KP_7}, {104, XK_KP_8}, {105, XK_KP_9},
        {106, XK_KP_Multiply}, {107, XK_KP_Add}, {108, XK_KP_Separator}, {109, XK_KP_Subtract},
        {110, XK_KP_Decimal}, {111, XK_KP_Divide}, {186, XK_colon}, {187, XK_plus}, {188, XK_comma},
        {189, XK_minus}, {190, XK_period}, {191, XK_slash}, {192, XK_grave}, {193, 0}, {205, XK_KP_9}};
    for (const auto &[code, keysym] : byHand)
        EXPECT_EQ(keyCombo(decodeHotkey(code)).keysym, keysym) << code;
}

struct HotkeyFixture : ::testing::Test {
    TempStore temp;
    FakeHotkeys *keys = nullptr;
    FakeLed *led = nullptr;
    std::unique_ptr<Checker> checker;

    void open(const QStringList &lines, std::set<int> refused = {})
    {
        writeStore(temp, QStringList{"accountno=1", "Aname1=Home", "Hname1=", "Option7value=1",
                                     "Lighttimerval=0", "Lighttimerval2=0"} + lines);
        CheckerPlatform platform;
        auto k = std::make_unique<FakeHotkeys>();
        k->refused = std::move(refused);
        keys = k.get();
        auto l = std::make_unique<FakeLed>();
        led = l.get();
        platform.hotkeys = std::move(k);
        platform.led = std::move(l);
        platform.kept = std::make_unique<FileKeptStore>(temp.cacheDir());
        platform.wake = std::make_unique<WakeWatch>(); // the machine never wakes here
        checker = std::make_unique<Checker>(temp.store(), QStringLiteral("/nonexistent/lumsetup"),
                                            std::move(platform));
        checker->start();
    }
};

TEST_F(HotkeyFixture, StoredCodesAreGrabbedZeroIsNoneAndALostKeyIsTold)
{
    open({"Hotkeynum3=0", "Hotkeynum5=212"});
    EXPECT_EQ(keys->grabbed.size(), 5u);
    EXPECT_EQ(keys->grabbed.count(3), 0u);
    EXPECT_EQ(keys->grabbed[5].keysym, quint32(XK_F1));
    EXPECT_TRUE(keys->grabbed[5].shift);
    EXPECT_EQ(keys->grabbed[0].keysym, quint32(XK_F2));
    EXPECT_TRUE(keys->grabbed[0].control);
    emit keys->lost(1); // to a later keyboard layout
    EXPECT_NE(findBox(QStringLiteral("メールチェックの起動キーCtrl+F3の設定に失敗しました")), nullptr);
    checker->exitNow();
    EXPECT_TRUE(keys->grabbed.empty());
}

TEST_F(HotkeyFixture, ATakenKeyIsReportedAndATakenExitKeyAsksToSetThemAgain)
{
    open({}, {1, 5});
    QSignalSpy ended(checker.get(), &Checker::ended);
    EXPECT_NE(findBox(QStringLiteral("メールチェックの起動キーCtrl+F3の設定に失敗しました")), nullptr);
    ASSERT_TRUE(answerBox(QStringLiteral("終了の起動キーCtrl+F7の設定に失敗しました"), QMessageBox::Ok));
    QMessageBox *question = findBox(QStringLiteral("起動キーを設定し直してください"));
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->windowTitle().trimmed(), QString());
    EXPECT_TRUE(question->text().contains(QStringLiteral("「いいえ」で終了します。")));
    ASSERT_TRUE(answerBox(QStringLiteral("起動キーを設定し直してください"), QMessageBox::No));
    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(keys->grabbed.size(), 0u); // released on the way out
}

TEST_F(HotkeyFixture, KeysRunTheirCommands)
{
    open({});
    QSignalSpy ended(checker.get(), &Checker::ended);
    emit keys->pressed(2);
    EXPECT_TRUE(checker->form().isVisible());
    QSignalSpy captions(&checker->form(), &QWidget::windowTitleChanged);
    emit keys->pressed(1);
    ASSERT_FALSE(captions.isEmpty());
    EXPECT_EQ(captions.first().first().toString(), QStringLiteral("Lumora -チェック中:Home-"));
    emit keys->pressed(5);
    EXPECT_TRUE(ended.wait(5000));
}

TEST_F(HotkeyFixture, CommandsStopTheBlinking)
{
    struct Row {
        const char *command;
        std::function<void(Checker &)> run;
        bool iconStops;
    };
    const Row rows[] = {
        {"popup", [](Checker &c) { c.mnu_pop(); }, false},
        {"options", [](Checker &c) { c.mnu_opt(); }, false},
        {"OK", [](Checker &c) { c.okClicked(); }, true},
        {"mail program button", [](Checker &c) { c.mailerClicked(1); }, true},
        {"mail program key", [](Checker &c) { c.ExecMailapp(2); }, true},
        {"check (its session shows the working icon)", [](Checker &c) { c.engine().checkmail(); }, true},
        {"exit", [](Checker &c) { c.exitNow(); }, true},
    };
    for (const Row &row : rows) {
        open({});
        checker->notifier().Lightbrink();
        checker->notifier().Lightbrink2();
        ASSERT_TRUE(led->on);
        row.run(*checker);
        EXPECT_FALSE(checker->blinkTimers().active(BlinkTimer::Light)) << row.command;
        EXPECT_FALSE(led->on) << row.command;
        EXPECT_EQ(checker->blinkTimers().active(BlinkTimer::Light2), !row.iconStops) << row.command;
        checker.reset();
    }
}

// A global key fires only for its own modifiers: the locks aside, nothing held on top.
TEST(SameCombination, OnlyTheLocksMayBeHeldOnTop)
{
    const quint16 ctrl = XCB_MOD_MASK_CONTROL, numLock = XCB_MOD_MASK_2;
    const std::pair<int, bool> rows[] = {{ctrl, true}, {ctrl | XCB_MOD_MASK_LOCK | numLock, true},
        {ctrl | XCB_MOD_MASK_SHIFT, false}, {ctrl | XCB_MOD_MASK_1, false}, {ctrl | XCB_MOD_MASK_4, false},
        {ctrl | XCB_MOD_MASK_5, false}, {ctrl | 0x2000, true}, {0, false}}; // Alt, Super, AltGr; XKB group 2
    for (const auto &[state, fires] : rows)
        EXPECT_EQ(sameCombination(quint16(state), ctrl, numLock), fires) << state;
}

} // namespace
} // namespace lum::test
