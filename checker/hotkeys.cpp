// The six system-wide keys: registering them from the stored codes, the failure dialogue,
// and what each key does.
#include "checker/checker.h"

#include "checker/message_box.h"
#include "platform/virtual_keys.h"
#include "settings/hotkey_code.h"

namespace lum {

namespace {

// Command names as the failure messages show them, by key index.
const std::array<QString, 6> commandNames{
    QStringLiteral("設定"),      QStringLiteral("メールチェック"), QStringLiteral("ポップアップ"),
    QStringLiteral("メーラー1"), QStringLiteral("メーラー2"),      QStringLiteral("終了"),
};

constexpr int exitKey = 5;

} // namespace

KeyCombo keyCombo(const HotkeyBinding &binding)
{
    return {keysymForVirtualKey(binding.virtualKey), binding.modifier == HotkeyModifier::Control,
            binding.modifier == HotkeyModifier::Shift};
}

void Checker::setHotkeys(bool on)
{
    GlobalHotkeys &keys = *platform_.hotkeys;
    if (!keys.supported())
        return;
    for (int index = 0; index < key::hotkeyCount; ++index) {
        if (!on) {
            keys.release(index);
            continue;
        }
        const HotkeyBinding binding = decodeHotkey(opt_.hotkeyCodes[size_t(index)]);
        if (binding.label.isEmpty())
            continue; // no key for this command; an earlier grab stays
        if (!keys.grab(index, keyCombo(binding)))
            hotkeyFailed(index, binding.label);
    }
}

// A key the keyboard layout took away gets the box of a key that could not be set.
void Checker::hotkeyLost(int index)
{
    if (!ended_ && index >= 0 && index < key::hotkeyCount)
        hotkeyFailed(index, decodeHotkey(opt_.hotkeyCodes[size_t(index)]).label);
}

// The first box names the command and the key. Without its exit key the checker could be
// left with no way out from the keyboard, so that failure also asks: set the keys again
// (the options program) or end.
void Checker::hotkeyFailed(int index, const QString &label)
{
    const QString text = commandNames[size_t(index)] + QStringLiteral("の起動キー") + label
        + QStringLiteral("の設定に失敗しました");
    BoxAnswer then;
    if (index == exitKey) {
        then = [this](QMessageBox::StandardButton) {
            if (ended_)
                return;
            showBox(form_.get(), QMessageBox::Information, QString(),
                    QStringLiteral("起動キーを設定し直してください\n「いいえ」で終了します。"),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                    [this](QMessageBox::StandardButton answer) {
                        if (answer == QMessageBox::Yes) {
                            OpenOption();
                            return;
                        }
                        if (opt_.trayIcon)
                            tray_.tuskicon(Tray::Remove);
                        exitNow();
                    });
        };
    }
    showBox(form_.get(), QMessageBox::NoIcon, QStringLiteral("Lumora"), text, QMessageBox::Ok,
            QMessageBox::Ok, then);
}

void Checker::hotkeyPressed(int index)
{
    switch (index) {
    case 0:
        mnu_opt();
        break;
    case 1:
        engine_.checkmail();
        break;
    case 2:
        mnu_pop();
        break;
    case 3:
    case 4:
        ExecMailapp(index - 2);
        break;
    case exitKey:
        mnu_end();
        break;
    default:
        break;
    }
}

} // namespace lum
