#include "options/pickers.h"
#include "platform/qt_translations.h"

#include <QApplication>
#include <algorithm>
#include <QColorDialog>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lum;

namespace {

// Answers the next modal dialog the way a user would, once it is open.
void whenDialogOpens(std::function<void(QDialog &)> act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

TEST(FilePicker, OneFilterExistingFilesOnly)
{
    QTemporaryDir dir;
    QFileDialog dialog;
    configureFileDialog(dialog, {"WAVﾌｧｲﾙ", "*.wav"}, dir.path(), "WAVﾌｧｲﾙの選択");
    EXPECT_EQ(dialog.nameFilters(), QStringList{"WAVﾌｧｲﾙ (*.wav)"});
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.windowTitle(), "WAVﾌｧｲﾙの選択");
    EXPECT_EQ(dialog.directory().absolutePath(), QDir(dir.path()).absolutePath());
}

TEST(FilePicker, StartingAtAFileOpensItsFolder)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("a.ico"));
    f.open(QIODevice::WriteOnly);
    f.close();
    QFileDialog dialog;
    configureFileDialog(dialog, {"ｱｲｺﾝ", "*.ico"}, f.fileName(), "ｱｲｺﾝの選択");
    EXPECT_EQ(dialog.directory().absolutePath(), QDir(dir.path()).absolutePath());
}

TEST(FilePicker, CancelGivesEmptyText)
{
    QTemporaryDir dir;
    whenDialogOpens([](QDialog &d) { d.reject(); });
    EXPECT_EQ(pickFile(nullptr, {"WAVﾌｧｲﾙ", "*.wav"}, dir.path(), "t"), "");
}

TEST(FilePicker, ChosenFileGivesItsFullPath)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bell.wav");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.close();
    whenDialogOpens([](QDialog &d) {
        auto &files = static_cast<QFileDialog &>(d);
        files.selectFile("bell.wav");
        d.accept(); // QFileDialog's own accept, through the public base
    });
    EXPECT_EQ(pickFile(nullptr, {"WAVﾌｧｲﾙ", "*.wav"}, dir.path(), "t"), path);
}

TEST(ColorPicker, CustomColoursAreClearedEveryTime)
{
    QColorDialog::setCustomColor(3, QColor(Qt::red));
    QColorDialog::setCustomColor(15, QColor(Qt::green));
    whenDialogOpens([](QDialog &d) {
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            EXPECT_EQ(QColorDialog::customColor(i), QColor(Qt::black)) << i;
        d.reject();
    });
    EXPECT_EQ(pickColor(nullptr), -1);
}

TEST(ColorPicker, ChoosingBlackGivesZeroNotCancel)
{
    whenDialogOpens([](QDialog &d) {
        auto &colors = static_cast<QColorDialog &>(d);
        colors.setCurrentColor(QColor(Qt::black));
        colors.accept();
    });
    EXPECT_EQ(pickColor(nullptr), 0);
}

TEST(ColorPicker, ChosenColourIsBlueGreenRed)
{
    whenDialogOpens([](QDialog &d) {
        auto &colors = static_cast<QColorDialog &>(d);
        colors.setCurrentColor(QColor(0x80, 0xFF, 0xFF));
        colors.accept();
    });
    EXPECT_EQ(pickColor(nullptr), 0xFFFF80);
}

// Qt's own texts in the pickers and message boxes come out in Japanese.
struct QtText {
    const char *context;
    const char *source;
};

void PrintTo(const QtText &t, std::ostream *os) { *os << t.context << " " << t.source; }

class QtTranslations : public testing::TestWithParam<QtText> {};

TEST_P(QtTranslations, AreJapanese)
{
    installQtTranslations(*QCoreApplication::instance());
    const QString text = QCoreApplication::translate(GetParam().context, GetParam().source);
    EXPECT_NE(text, QString::fromLatin1(GetParam().source));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; }))
        << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Pickers, QtTranslations,
                         testing::Values(QtText{"QFileDialog", "Look in:"},
                                         QtText{"QFileDialog", "&Open"},
                                         QtText{"QPlatformTheme", "Cancel"},
                                         QtText{"QColorDialog", "Select Color"},
                                         QtText{"QColorDialog", "&Basic colors"}));

TEST(QtTranslationsInDialogs, ColourDialogTitleIsJapanese)
{
    installQtTranslations(*QCoreApplication::instance());
    QColorDialog dialog;
    configureColorDialog(dialog);
    EXPECT_NE(dialog.windowTitle(), "Select Color");
    EXPECT_FALSE(dialog.windowTitle().isEmpty());
}

} // namespace
