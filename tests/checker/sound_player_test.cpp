// The real sound player on files that can't be played, and on a sound with no audio
// output to play it through (the test runs with no sound server): each is skipped, none
// holds the queue. Qt Multimedia keeps a sample it could not load in its cache for the
// life of the process, so this runs outside the sanitizer build.
#include "platform/sound_player.h"
#include "platform/wav_length.h"

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
    const QString bell = dir.filePath("bell.wav"); // half a second: 4000 bytes at 8000 a second
    QFile b(bell);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("RIFF\xc4\x0f\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0data\xa0\x0f\0\0", 44);
    b.write(QByteArray(4000, '\x80'));
    b.close();
    EXPECT_EQ(wavLengthMs(bell), 500);
    for (const QString &path : {dir.filePath("missing.wav"), text, bell}) {
        std::unique_ptr<SoundPlayer> player = makeSoundPlayer();
        QSignalSpy finished(player.get(), &SoundPlayer::finished);
        player->play(path);
        EXPECT_TRUE(finished.wait(8000)) << path.toStdString();
    }
}

} // namespace
} // namespace lum
