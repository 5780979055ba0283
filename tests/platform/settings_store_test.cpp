#include "platform/settings_store.h"
#include "tests/support/file_modes.h"
#include "tests/support/temp_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <gtest/gtest.h>

using namespace lum;
using lum::test::modeOf;
using lum::test::ScopedUmask;
using lum::test::setMode;
using lum::test::TempStore;

namespace {

TEST(SettingsStore, MissingKeyGivesDefault)
{
    TempStore t;
    EXPECT_EQ(t.store().readSetting("Nothing", "dflt"), "dflt");
}

TEST(SettingsStore, WritesIniGroupSetting)
{
    TempStore t;
    t.store().writeSetting("Icodir1", u"内蔵"_qs);
    t.store().writeSetting("Aname1", "a, b");
    const QString file = QString::fromUtf8(t.readFile());
    EXPECT_TRUE(file.startsWith("[setting]")) << file.toStdString();
    SettingsStore other(t.path());
    EXPECT_EQ(other.readSetting("Icodir1", ""), u"内蔵"_qs);
    EXPECT_EQ(other.readSetting("Aname1", ""), "a, b");
}

TEST(SettingsStore, OddValuesRoundTrip)
{
    TempStore t;
    const QStringList values{"@Variant(x)", "=;#\"\\", "  spaced  ", "line\nbreak", "",
                             u"𠮷野家"_qs};
    for (int i = 0; i < values.size(); ++i)
        t.store().writeSetting(QString("K%1").arg(i), values[i]);
    t.store().flush();
    SettingsStore other(t.path());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(other.readSetting(QString("K%1").arg(i), "missing"), values[i]) << i;
}

TEST(SettingsStore, HandEditedFileNeverFails)
{
    TempStore t;
    t.writeFile("[setting]\nA=1, 2\nB=@Variant(\\0\\0\\0garbage\nC=\xff\xfe\x01\n"
                "D=\"unterminated\n[other]\nX=1\n");
    EXPECT_EQ(t.store().readSetting("A", "d"), "1, 2");
    t.store().readSetting("B", "d"); // any text, no crash
    t.store().readSetting("C", "d");
    EXPECT_EQ(t.store().readSetting("Missing", "d"), "d");
}

TEST(SettingsStore, WritingKeepsOtherKeys)
{
    TempStore t;
    t.writeFile("[setting]\nKeep=kept\nOther=1\n");
    t.store().writeSetting("New", "n");
    t.store().flush();
    SettingsStore other(t.path());
    EXPECT_EQ(other.readSetting("Keep", ""), "kept");
    EXPECT_EQ(other.readSetting("Other", ""), "1");
    EXPECT_EQ(other.readSetting("New", ""), "n");
}

TEST(SettingsStore, ReloadSeesAnotherProgramsWrites)
{
    TempStore t;
    SettingsStore reader(t.path());
    EXPECT_EQ(reader.readSetting("accountno", "0"), "0");
    {
        SettingsStore writer(t.path()); // the options program, until it exits
        writer.writeSetting("accountno", "2");
    }
    reader.reload();
    EXPECT_EQ(reader.readSetting("accountno", "0"), "2");
}

TEST(SettingsStore, UnreadableFileGivesDefaultsAndRefusesWrites)
{
    TempStore t;
    t.writeFile("[setting]\nKeep=kept\n");
    // A path that can't be read as a file, even by root: a folder in its place.
    const QString blocked = t.path() + ".d";
    QDir().mkpath(blocked);
    SettingsStore s(blocked);
    EXPECT_EQ(s.readSetting("Keep", "d"), "d");
    EXPECT_FALSE(s.writable());
    s.writeSetting("New", "n");
    EXPECT_FALSE(s.flush());
    EXPECT_TRUE(QFileInfo(blocked).isDir());
}

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/lumxdg");
    EXPECT_EQ(SettingsStore::defaultFilePath(), "/tmp/lumxdg/lumwatch/lumwatch.ini");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::defaultFilePath(), QDir::homePath() + "/.config/lumwatch/lumwatch.ini");
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

// The checker's layout save: writeSetting and flush(), in folders that do not exist yet.
TEST(SettingsStoreModes, NewStoreIsPrivateWhateverTheUmask)
{
    for (const int mask : {022, 0}) {
        ScopedUmask umask(mask);
        QTemporaryDir dir;
        const QString folder = dir.filePath("config/lumwatch");
        SettingsStore s(folder + "/lumwatch.ini");
        s.writeSetting("grdWidth0", "300");
        ASSERT_TRUE(s.flush());
        EXPECT_EQ(modeOf(folder + "/lumwatch.ini"), 0600) << "umask " << mask;
        EXPECT_EQ(modeOf(folder), 0700) << "umask " << mask;
        EXPECT_EQ(modeOf(dir.filePath("config")), 0700) << "umask " << mask;
        EXPECT_TRUE(s.permissionWarning().isEmpty());
        s.writeSetting("grdWidth1", "400");
        ASSERT_TRUE(s.flush());
        EXPECT_EQ(modeOf(folder + "/lumwatch.ini"), 0600) << "every write keeps it";
    }
}

TEST(SettingsStoreModes, StoreOpenToOthersIsTightenedByTheNextWrite)
{
    for (const int oldMode : {0644, 0666, 0640}) {
        TempStore t;
        t.writeFile("[setting]\nKeep=kept\n");
        setMode(t.path(), oldMode);
        EXPECT_TRUE(t.store().openToOthers());
        ASSERT_TRUE(t.store().flush()); // nothing written: left as it is
        EXPECT_EQ(modeOf(t.path()), oldMode);
        t.store().writeSetting("frmWidth", "9000");
        ASSERT_TRUE(t.store().flush());
        EXPECT_EQ(modeOf(t.path()), 0600) << oldMode;
        EXPECT_FALSE(t.store().openToOthers());
        EXPECT_TRUE(t.store().permissionWarning().isEmpty());
        EXPECT_EQ(SettingsStore(t.path()).readSetting("Keep", ""), "kept");
    }
}

TEST(SettingsStoreModes, StoreThatStaysOpenGivesAWarningNamingIt)
{
    TempStore t;
    t.writeFile("[setting]\n");
    setMode(t.path(), 0644);
    QStringList tightened;
    t.store().setTightening([&tightened](const QString &file) {
        tightened << file;
        return false; // a file system that keeps the mode
    });
    t.store().writeSetting("frmWidth", "9000");
    EXPECT_TRUE(t.store().flush()) << "the value is written all the same";
    EXPECT_EQ(tightened, QStringList{t.path()});
    const QString warning = t.store().permissionWarning();
    EXPECT_TRUE(warning.contains(u"他のユーザー"_qs)) << warning.toStdString();
    EXPECT_TRUE(warning.contains(u"パスワード"_qs));
    EXPECT_TRUE(warning.contains(t.path()));
}

TEST(SettingsStore, FailedWriteIsDroppedAndReadsAsTheFile)
{
    TempStore t;
    t.store().writeSetting("accountno", "2");
    ASSERT_TRUE(t.store().flush());
    t.store().writeSetting("accountno", "3");
    t.store().writeSetting("Aname3", "new");
    {
        lum::test::StoreFolderBlocked blocked(t.path());
        EXPECT_FALSE(t.store().flush());
        EXPECT_EQ(t.store().readSetting("Aname3", "missing"), "missing") << "dropped";
        EXPECT_EQ(SettingsStore(blocked.movedPath()).readSetting("accountno", ""), "2");
    }
    t.store().reload();
    EXPECT_EQ(t.store().readSetting("accountno", ""), "2");
    EXPECT_EQ(t.store().readSetting("Aname3", "missing"), "missing");
    t.store().writeSetting("accountno", "4");
    EXPECT_TRUE(t.store().flush()) << "a later write that can, does";
    EXPECT_EQ(SettingsStore(t.path()).readSetting("accountno", ""), "4");
}

} // namespace
