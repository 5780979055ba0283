#include "platform/builtin_icons.h"
#include "platform/color_ref.h"
#include "platform/single_instance.h"
#include "platform/twips.h"
#include "tests/support/file_modes.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lum;

namespace {

struct ColorCase {
    const char *name;
    qint32 ref;
    QColor color;
};

void PrintTo(const ColorCase &c, std::ostream *os) { *os << c.name; }

class ColorRefs : public testing::TestWithParam<ColorCase> {};

TEST_P(ColorRefs, BothWays)
{
    EXPECT_EQ(fromColorRef(GetParam().ref), GetParam().color);
    EXPECT_EQ(toColorRef(GetParam().color), GetParam().ref);
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, ColorRefs,
    testing::Values(ColorCase{"Black", 0, QColor(0, 0, 0)},
                    ColorCase{"RedInTheLowByte", 0x0000FF, QColor(255, 0, 0)},
                    ColorCase{"Green", 0x00FF00, QColor(0, 255, 0)},
                    ColorCase{"BlueInTheThirdByte", 0xFF0000, QColor(0, 0, 255)},
                    ColorCase{"LightCyan", 16777088, QColor(0x80, 0xFF, 0xFF)},
                    ColorCase{"White", 0xFFFFFF, QColor(255, 255, 255)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ColorRef, TopByteIsIgnored)
{
    EXPECT_EQ(fromColorRef(qint32(0xFF0000FFu)), QColor(255, 0, 0));
    EXPECT_EQ(fromColorRef(-1), QColor(255, 255, 255));
}

TEST(Twips, FifteenTwipsAPixelAt96Dpi)
{
    EXPECT_EQ(twipsToPixels(4960, 96), 331);
    EXPECT_EQ(twipsToPixels(4700, 96), 313);
    EXPECT_EQ(twipsToPixels(320, 96), 21);
    EXPECT_EQ(twipsToPixels(1440, 120), 120);
    EXPECT_EQ(pixelsToTwips(100, 96), 1500);
    EXPECT_EQ(twipsToPixels(1440, 0), 96); // no usable dpi: 96
}

TEST(BuiltInIcons, ThreeDistinctPictures)
{
    const QImage normal = builtInIconImage(BuiltInIcon::Normal);
    const QImage working = builtInIconImage(BuiltInIcon::Working);
    const QImage arrival = builtInIconImage(BuiltInIcon::Arrival);
    EXPECT_EQ(normal.size(), QSize(32, 32));
    EXPECT_NE(normal, working);
    EXPECT_NE(normal, arrival);
    EXPECT_NE(working, arrival);
    EXPECT_EQ(normal.pixelColor(0, 0).alpha(), 0);  // transparent corner
    EXPECT_EQ(normal.pixelColor(16, 24).alpha(), 255); // the envelope
    EXPECT_EQ(builtInIconImage(BuiltInIcon::Normal, 16).size(), QSize(16, 16));
}

TEST(SingleInstance, SecondCopyIsRefusedUntilTheFirstEnds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/lumsetup.lock");
    {
        SingleInstance first(path);
        EXPECT_TRUE(first.isFirst());
        EXPECT_FALSE(first.alreadyRunning());
        SingleInstance second(path);
        EXPECT_FALSE(second.isFirst());
        EXPECT_TRUE(second.alreadyRunning());
        EXPECT_EQ(second.failureMessage(), "");
    }
    SingleInstance again(path);
    EXPECT_TRUE(again.isFirst());
}

TEST(SingleInstance, LockOfAProcessThatIsGoneIsTakenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("lumsetup.lock");
    QProcess gone;
    gone.start("true", {});
    ASSERT_TRUE(gone.waitForStarted(10000));
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(10000));
    QFile lock(path);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid) + "\nlumsetup\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    SingleInstance taker(path);
    EXPECT_TRUE(taker.isFirst());
}

// Not running, and no lock either: the folder can't be made (a file in its place stops
// root too).
TEST(SingleInstance, LockThatCantBeTakenIsNoRunningCopy)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("lumwatch"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SingleInstance instance(dir.filePath("lumwatch/lumsetup.lock"));
    EXPECT_FALSE(instance.isFirst());
    EXPECT_FALSE(instance.alreadyRunning());
    EXPECT_TRUE(instance.failureMessage().contains(dir.filePath("lumwatch")))
        << instance.failureMessage().toStdString();
    EXPECT_TRUE(instance.failureMessage().contains(u"ロックファイル"_qs));
}

TEST(SingleInstance, LockAndItsFolderArePrivateWhateverTheUmask)
{
    for (const int mask : {022, 0}) {
        lum::test::ScopedUmask umask(mask);
        QTemporaryDir dir;
        const QString folder = dir.filePath("config/lumwatch");
        SingleInstance instance(folder + "/lumsetup.lock");
        ASSERT_TRUE(instance.isFirst());
        EXPECT_EQ(lum::test::modeOf(folder + "/lumsetup.lock"), 0600) << "umask " << mask;
        EXPECT_EQ(lum::test::modeOf(folder), 0700) << "umask " << mask;
    }
}

TEST(SingleInstance, LockIsBesideTheStore)
{
    qputenv("XDG_CONFIG_HOME", "/tmp/lum-lock-test");
    EXPECT_EQ(instanceLockPath("lumsetup"), "/tmp/lum-lock-test/lumwatch/lumsetup.lock");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
