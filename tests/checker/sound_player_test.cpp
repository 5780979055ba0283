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
#include <sys/stat.h>

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
    // Half a second (4000 bytes at 8000 a second) unless a row changes fmt's length or byte rate.
    const auto wav = [&](const char *name, int fmtLength = 16, const char *byteRate = "\x40\x1f") {
        QByteArray head("RIFF\xc4\x0f\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0data\xa0\x0f\0\0", 44);
        head[16] = char(fmtLength);
        head.replace(28, 2, QByteArray(byteRate, 2));
        QFile b(dir.filePath(name));
        EXPECT_TRUE(b.open(QIODevice::WriteOnly));
        b.write(head.remove(20 + fmtLength, 16 - fmtLength) + QByteArray(4000, '\x80'));
        return b.fileName();
    };
    const QString bell = wav("bell.wav"), fifo = dir.filePath("fifo.wav");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const std::pair<QString, qint64> lengths[] = {
        {bell, 500}, {fifo, -1}, {wav("short-fmt.wav", 14), -1}, {wav("slow.wav", 16, "\x01\0"), wavLengthCapMs}};
    for (const auto &[path, ms] : lengths)
        EXPECT_EQ(wavLengthMs(path), ms) << path.toStdString();
    for (const QString &path : {dir.filePath("missing.wav"), text, bell, fifo}) {
        std::unique_ptr<SoundPlayer> player = makeSoundPlayer();
        QSignalSpy finished(player.get(), &SoundPlayer::finished);
        player->play(path);
        EXPECT_TRUE(finished.wait(8000)) << path.toStdString();
    }
}

} // namespace
} // namespace lum
