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
    const auto wav = [&](const char *name, const QByteArray &head) {
        QFile b(dir.filePath(name));
        EXPECT_TRUE(b.open(QIODevice::WriteOnly));
        b.write(head);
        b.write(QByteArray(4000, '\x80'));
        return b.fileName();
    };
    const QByteArray riff("RIFF\xc4\x0f\0\0", 8);
    const QByteArray fmt("WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0", 20);
    const QByteArray rest("\x01\0\x08\0data\xa0\x0f\0\0", 12);
    const QString bell = wav("bell.wav", riff + fmt + QByteArray("\x40\x1f\0\0", 4) + rest);
    const QString fifo = dir.filePath("fifo.wav");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        qint64 ms;
    } lengths[] = {
        {bell, 500}, // 4000 bytes at 8000 a second
        {fifo, -1},
        {wav("short-fmt.wav", riff + QByteArray("WAVEfmt \x0e\0\0\0\x01\0\x01\0\x40\x1f\0\0", 16)
                                  + QByteArray("\x40\x1f\0\0\x01\0data\xa0\x0f\0\0", 14)), -1},
        {wav("slow.wav", riff + fmt + QByteArray("\x01\0\0\0", 4) + rest), wavLengthCapMs},
    };
    for (const auto &row : lengths)
        EXPECT_EQ(wavLengthMs(row.path), row.ms) << row.path.toStdString();
    for (const QString &path : {dir.filePath("missing.wav"), text, bell, fifo}) {
        std::unique_ptr<SoundPlayer> player = makeSoundPlayer();
        QSignalSpy finished(player.get(), &SoundPlayer::finished);
        player->play(path);
        EXPECT_TRUE(finished.wait(8000)) << path.toStdString();
    }
}

} // namespace
} // namespace lum
