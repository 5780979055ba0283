// The real sound player on files that can't be played: each is skipped, none holds the
// queue. Qt Multimedia keeps a sample it could not load in its cache for the life of the
// process, so this runs outside the sanitizer build.
#include "platform/sound_player.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(SoundPlayer, AFileThatCannotPlayIsSkipped)
{
    QTemporaryDir dir;
    const QString text = dir.filePath("notes.wav");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a sound");
    f.close();
    for (const QString &path : {dir.filePath("missing.wav"), text}) {
        std::unique_ptr<SoundPlayer> player = makeSoundPlayer();
        QSignalSpy finished(player.get(), &SoundPlayer::finished);
        player->play(path);
        EXPECT_TRUE(finished.wait(8000)) << path.toStdString();
    }
}

} // namespace
} // namespace lum
