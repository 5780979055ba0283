#include "settings/hotkey_code.h"
#include "settings/mailer_caption.h"

#include <gtest/gtest.h>

using namespace lum;

namespace {

struct HotkeyRow {
    qint16 code;
    HotkeyModifier modifier;
    int virtualKey;
    const char *label;
};

class Hotkey : public testing::TestWithParam<HotkeyRow> {};

TEST_P(Hotkey, Decodes)
{
    const auto &row = GetParam();
    const HotkeyBinding b = decodeHotkey(row.code);
    EXPECT_EQ(b.modifier, row.modifier);
    EXPECT_EQ(b.virtualKey, row.virtualKey);
    EXPECT_EQ(b.label, QString::fromUtf8(row.label));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Hotkey,
    testing::Values(HotkeyRow{0, HotkeyModifier::None, 0, ""},
                    HotkeyRow{-5, HotkeyModifier::None, 0, ""},
                    HotkeyRow{65, HotkeyModifier::Control, 65, "Ctrl+A"},
                    HotkeyRow{90, HotkeyModifier::Control, 90, "Ctrl+Z"},
                    HotkeyRow{112, HotkeyModifier::Control, 112, "Ctrl+F1"},
                    HotkeyRow{113, HotkeyModifier::Control, 113, "Ctrl+F2"},
                    HotkeyRow{127, HotkeyModifier::Control, 127, "Ctrl+F16"},
                    HotkeyRow{199, HotkeyModifier::Control, 199, "Ctrl+F88"},
                    HotkeyRow{200, HotkeyModifier::Shift, 100, "Shift+F-11"},
                    HotkeyRow{212, HotkeyModifier::Shift, 112, "Shift+F1"},
                    HotkeyRow{227, HotkeyModifier::Shift, 127, "Shift+F16"}),
    [](const auto &info) { return "code_" + std::to_string(info.index); });

struct CaptionRow {
    const char *path;
    const char *caption;
};

class Caption : public testing::TestWithParam<CaptionRow> {};

TEST_P(Caption, Derives)
{
    EXPECT_EQ(mailerCaption(QString::fromUtf8(GetParam().path)), QString::fromUtf8(GetParam().caption));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Caption,
    testing::Values(CaptionRow{"", "未登録"},
                    CaptionRow{"C:\\Program Files\\Mail\\mail.exe", "mailを起動"},
                    CaptionRow{"C:\\Mail\\mailer.exe", "mailerを起動"},
                    CaptionRow{"mailer.exe", "mailer.exeを起動"},
                    CaptionRow{"/usr/bin/thunderbird", "thunderbirdを起動"},
                    CaptionRow{"/opt/m/mail.sh", "mailを起動"},
                    CaptionRow{"\"/usr/bin/thunderbird\" -P /home/x/profile", "thunderbirdを起動"},
                    CaptionRow{"\"/usr/bin/thunderbird\" -compose", "thunderbirdを起動"},
                    CaptionRow{"\"C:\\Mail\\mail.exe\" /compose", "mailを起動"},
                    CaptionRow{"/home/u/.local/bin/sylpheed", "sylpheedを起動"},
                    CaptionRow{"/opt/m/.mailer", ".mailerを起動"},
                    CaptionRow{"/opt/v1.2/mutt", "muttを起動"},
                    CaptionRow{".exe", ".exeを起動"},
                    CaptionRow{"\\a.exe", "\\a.exeを起動"},
                    CaptionRow{"C:\\dir.v2\\mailer", "dirを起動"}),
    [](const auto &info) { return "path_" + std::to_string(info.index); });

TEST(Caption, EnabledExactlyWithAPath)
{
    EXPECT_FALSE(mailerEnabled(""));
    EXPECT_TRUE(mailerEnabled("/missing/file"));
}

} // namespace
