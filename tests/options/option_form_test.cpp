#include "options/option_form.h"
#include "options/icon_picture.h"
#include "platform/twips.h"
#include "settings/account_record.h"
#include "tests/support/file_modes.h"
#include "widget_support.h"

#include <QDir>
#include <QGroupBox>
#include <QMouseEvent>
#include <QTableWidget>
#include <QToolButton>

using namespace lum;
using namespace lum::test;

namespace {

class OptionFormTest : public testing::Test {
protected:
    std::unique_ptr<OptionForm> open()
    {
        return std::make_unique<OptionForm>(store.store(), user.hooks());
    }
    QString stored(const QString &key) { return store.store().readSetting(key, "(none)"); }
    void storeAccount(int n, const QString &name, const QString &host, qint16 check = 1)
    {
        AccountRecord r;
        r.aname = name;
        r.hname = host;
        r.uname = "u" + name;
        r.check = check;
        writeAccount(store.store(), n, r);
    }
    QImage iconOf(OptionForm &form, int i)
    {
        return child<QToolButton>(&form, QStringLiteral("IcoImg%1").arg(i))
            ->icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    }
    static QImage builtIn(int i)
    {
        return builtInPicture(i).toImage().convertToFormat(QImage::Format_ARGB32);
    }
    // A small picture file that Qt can read.
    QString pictureFile(const QString &name)
    {
        const QString path = dir.filePath(name);
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        image.save(path, "PNG");
        return path;
    }
    QString garbageFile(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("this is not a picture");
        return path;
    }

    TempStore store;
    FakeUser user;
    QTemporaryDir dir;
};

TEST_F(OptionFormTest, EmptyStoreShowsTheDefaults)
{
    auto form = open();
    EXPECT_EQ(form->windowTitle(), "OPTION");
    const std::pair<const char *, const char *> timers[] = {
        {"timerbox1", "0"}, {"timerbox2", "0"}, {"timerbox3", "1"}, {"timerbox4", "5"}, {"timerbox5", "5"}};
    for (const auto &[name, text] : timers)
        EXPECT_EQ(edit(form.get(), name)->text(), text) << name;
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(check(form.get(), QStringLiteral("option%1").arg(n))->isChecked(),
                  n == 3 || n == 4 || n == 10)
            << n;
    EXPECT_FALSE(check(form.get(), "soption11")->isChecked());
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(edit(form.get(), QStringLiteral("DirBox%1").arg(i))->text(), "内蔵");
        EXPECT_EQ(iconOf(*form, i), builtIn(i - 1)) << i;
    }
    EXPECT_EQ(edit(form.get(), "Mailerbox1")->text(), "");
    EXPECT_EQ(edit(form.get(), "Mailerbox2")->text(), "");
    EXPECT_EQ(edit(form.get(), "Wavbox")->text(), "");
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(combo(form.get(), QStringLiteral("cmb_Key%1").arg(i))->currentText(),
                  QStringLiteral("Ctrl+F%1 キー").arg(i + 2));
    EXPECT_EQ(combo(form.get(), "cmb_Notice")->currentText(), "差出人と件名");
    auto *list = child<QTableWidget>(form.get(), "accountList");
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(list->columnWidth(0), twipsToPixels(4960, form->logicalDpiX()));
    EXPECT_EQ(list->columnWidth(1), twipsToPixels(320, form->logicalDpiX()));
    EXPECT_FALSE(push(form.get(), "editbutton")->isEnabled());
    EXPECT_FALSE(push(form.get(), "delbutton")->isEnabled());
    EXPECT_TRUE(push(form.get(), "OkBt")->isEnabled());
    EXPECT_EQ(form->selectedAccount(), 0);
}

TEST_F(OptionFormTest, HotkeyListsOfferTheirEntries)
{
    auto form = open();
    for (int i = 0; i < 6; ++i) {
        QComboBox *list = combo(form.get(), QStringLiteral("cmb_Key%1").arg(i));
        EXPECT_EQ(list->count(), i == 5 ? 58 : 59) << i;
        EXPECT_EQ(list->itemText(0), "Ctrl+A");
        EXPECT_EQ(list->itemData(0).toInt(), 65);
        EXPECT_EQ(list->findText("無し") >= 0, i != 5) << i;
    }
}

struct EnablingCase {
    const char *name;
    const char *option;     // the controlling check box
    std::vector<const char *> controlled;
};

void PrintTo(const EnablingCase &c, std::ostream *os) { *os << c.name; }

class EnablingRules : public OptionFormTest, public testing::WithParamInterface<EnablingCase> {};

TEST_P(EnablingRules, ControlledExactlyWhileChecked)
{
    const EnablingCase &c = GetParam();
    for (const char *storedValue : {"0", "1"}) {
        TempStore fresh;
        const QString flagKey = QStringLiteral("O") + QString::fromLatin1(c.option).mid(1) + "value";
        fresh.store().writeSetting(flagKey, storedValue);
        OptionForm form(fresh.store(), user.hooks());
        QCheckBox *box = check(&form, c.option);
        ASSERT_EQ(box->isChecked(), QString(storedValue) == "1");
        for (int round = 0; round < 3; ++round) {
            for (const char *name : c.controlled)
                EXPECT_EQ(child<QWidget>(&form, name)->isEnabled(), box->isChecked())
                    << name << " with " << c.option << " " << box->isChecked();
            box->toggle();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    OptionForm, EnablingRules,
    testing::Values(EnablingCase{"Popup", "option1", {"timerbox2"}},
                    EnablingCase{"Sound", "option2", {"Wavbox", "Command2"}},
                    EnablingCase{"Led", "option4", {"timerbox4"}},
                    EnablingCase{"TrayIcon", "option10", {"IcoFrame", "DirBox1", "RefBt2_3"}},
                    EnablingCase{"IconBlink", "option11", {"timerbox5", "soption11"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(OptionFormTest, UncheckingPopupZeroesAndDisablesItsTime)
{
    store.store().writeSetting("Option1value", "1");
    store.store().writeSetting("Closetimerval", "30");
    auto form = open();
    EXPECT_EQ(edit(form.get(), "timerbox2")->text(), "30");
    check(form.get(), "option1")->setChecked(false);
    EXPECT_EQ(edit(form.get(), "timerbox2")->text(), "0");
    EXPECT_FALSE(edit(form.get(), "timerbox2")->isEnabled());
}

TEST_F(OptionFormTest, UncheckingLedBlinkingZeroesItsTime)
{
    auto form = open();
    check(form.get(), "option4")->setChecked(false);
    EXPECT_EQ(edit(form.get(), "timerbox4")->text(), "0");
}

TEST_F(OptionFormTest, UncheckingIconBlinkingKeepsItsTime)
{
    store.store().writeSetting("Option11value", "1");
    store.store().writeSetting("Lighttimerval2", "9");
    auto form = open();
    check(form.get(), "option11")->setChecked(false);
    EXPECT_EQ(edit(form.get(), "timerbox5")->text(), "9");
    EXPECT_FALSE(edit(form.get(), "timerbox5")->isEnabled());
}

TEST_F(OptionFormTest, OpeningKeepsAStoredTimeOfAnUncheckedOption)
{
    store.store().writeSetting("Closetimerval", "12");
    auto form = open();
    EXPECT_EQ(edit(form.get(), "timerbox2")->text(), "12");
    EXPECT_FALSE(edit(form.get(), "timerbox2")->isEnabled());
}

TEST_F(OptionFormTest, BadTimerTextDisablesOkUntilCorrected)
{
    auto form = open();
    QPushButton *ok = push(form.get(), "OkBt");
    for (int n = 1; n <= 5; ++n) {
        QLineEdit *box = edit(form.get(), QStringLiteral("timerbox%1").arg(n));
        for (const char *bad : {"-1", "abc", "", "32768", "1.5"}) {
            box->setText(bad);
            EXPECT_FALSE(ok->isEnabled()) << "timerbox" << n << " '" << bad << "'";
            box->setText("7");
            EXPECT_TRUE(ok->isEnabled()) << "timerbox" << n;
        }
    }
}

TEST_F(OptionFormTest, OkStaysDisabledWhileAnyTimerBoxIsBad)
{
    auto form = open();
    edit(form.get(), "timerbox1")->setText("x");
    edit(form.get(), "timerbox3")->setText("-2");
    edit(form.get(), "timerbox1")->setText("10");
    EXPECT_FALSE(push(form.get(), "OkBt")->isEnabled());
    edit(form.get(), "timerbox3")->setText("32767");
    EXPECT_TRUE(push(form.get(), "OkBt")->isEnabled());
}

TEST_F(OptionFormTest, DuplicateHotkeysAreRefusedAndNothingIsSaved)
{
    auto form = open();
    combo(form.get(), "cmb_Key0")->setCurrentText("Ctrl+F2 キー");
    combo(form.get(), "cmb_Key5")->setCurrentText("Ctrl+F2 キー");
    push(form.get(), "OkBt")->click();
    ASSERT_EQ(user.warnings.size(), 1u);
    EXPECT_EQ(user.warnings[0].first, "APName");
    EXPECT_EQ(user.warnings[0].second, "起動キーが重複しています");
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(stored("Hotkeynum0"), "(none)");
    EXPECT_EQ(stored("Option1value"), "(none)");
}

TEST_F(OptionFormTest, SeveralListsMayHoldNone)
{
    auto form = open();
    for (int i = 0; i < 5; ++i)
        combo(form.get(), QStringLiteral("cmb_Key%1").arg(i))->setCurrentText("無し");
    push(form.get(), "OkBt")->click();
    EXPECT_TRUE(user.warnings.empty());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(stored(QStringLiteral("Hotkeynum%1").arg(i)), "0");
    EXPECT_EQ(stored("Hotkeynum5"), "118");
}

TEST_F(OptionFormTest, StoredNoneForExitShowsCtrlAAndSaves65)
{
    store.store().writeSetting("Hotkeynum5", "0");
    store.store().writeSetting("Hotkeynum2", "212");
    auto form = open();
    EXPECT_EQ(combo(form.get(), "cmb_Key5")->currentText(), "Ctrl+A");
    EXPECT_EQ(combo(form.get(), "cmb_Key2")->currentText(), "Shift+F1 キー");
    push(form.get(), "OkBt")->click();
    EXPECT_EQ(stored("Hotkeynum5"), "65");
    EXPECT_EQ(stored("Hotkeynum2"), "212");
}

TEST_F(OptionFormTest, UnknownStoredCodeSelectsTheFirstEntry)
{
    store.store().writeSetting("Hotkeynum1", "100");
    auto form = open();
    EXPECT_EQ(combo(form.get(), "cmb_Key1")->currentIndex(), 0);
}

TEST_F(OptionFormTest, OkSavesEveryOptionFromTheControls)
{
    auto form = open();
    check(form.get(), "option1")->setChecked(true);
    edit(form.get(), "timerbox2")->setText("20");
    check(form.get(), "option2")->setChecked(true);
    edit(form.get(), "Wavbox")->setText("/snd/new.wav");
    check(form.get(), "option3")->setChecked(false);
    check(form.get(), "option11")->setChecked(true);
    check(form.get(), "soption11")->setChecked(true);
    check(form.get(), "option12")->setChecked(true);
    check(form.get(), "option13")->setChecked(true);
    check(form.get(), "option15")->setChecked(false);
    combo(form.get(), "cmb_Notice")->setCurrentText("件数のみ");
    edit(form.get(), "timerbox1")->setText("15");
    edit(form.get(), "timerbox3")->setText("3");
    edit(form.get(), "timerbox5")->setText("8");
    edit(form.get(), "Mailerbox1")->setText("/usr/bin/mutt");
    combo(form.get(), "cmb_Key3")->setCurrentText("Ctrl+Z");
    push(form.get(), "OkBt")->click();
    ASSERT_EQ(form->result(), QDialog::Accepted);

    const std::pair<const char *, const char *> expected[] = {
        {"accountno", "0"},      {"Option1value", "1"},  {"Option2value", "1"},
        {"Option3value", "0"},   {"Option4value", "1"},  {"Option5value", "0"},
        {"Option6value", "0"},   {"Option7value", "0"},  {"Option8value", "0"},
        {"Option9value", "0"},   {"Option10value", "1"}, {"Option11value", "1"},
        {"sOption11value", "1"}, {"Option12value", "1"}, {"Option13value", "1"}, {"Option14value", "2"}, {"Option15value", "0"}, {"Checktimerval", "15"},
        {"Closetimerval", "20"}, {"Timeupval", "3"},     {"Lighttimerval", "5"},
        {"Lighttimerval2", "8"}, {"Mailerdir1", "/usr/bin/mutt"}, {"Mailerdir2", ""},
        {"Icodir1", "内蔵"},     {"Icodir2", "内蔵"},    {"Icodir3", "内蔵"},
        {"Wavdir", "/snd/new.wav"}, {"Hotkeynum0", "113"}, {"Hotkeynum3", "90"},
        {"Hotkeynum5", "118"},
    };
    for (const auto &[k, v] : expected)
        EXPECT_EQ(stored(k), QString::fromUtf8(v)) << k;
    EXPECT_EQ(stored("grdWidth0"), "(none)");
}

TEST_F(OptionFormTest, CancelWritesNoOption)
{
    auto form = open();
    check(form.get(), "option1")->setChecked(true);
    edit(form.get(), "timerbox1")->setText("15");
    push(form.get(), "CancelBt")->click();
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(stored("Option1value"), "(none)");
    EXPECT_EQ(stored("Checktimerval"), "(none)");
    EXPECT_EQ(stored("accountno"), "(none)");
}

TEST_F(OptionFormTest, CloseByTheFrameWritesNoOption)
{
    auto form = open();
    form->show();
    form->close();
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(stored("Option3value"), "(none)");
}

TEST_F(OptionFormTest, AddWithOnlyHostAndUser)
{
    user.inAccountDialog = typeAccount({{"Hostname", "pop.example.jp"}, {"UserName", "taro"}});
    auto form = open();
    push(form.get(), "addbutton")->click();

    auto *list = child<QTableWidget>(form.get(), "accountList");
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->item(0, 0)->text(), "taro@pop.example.jp(pop.example.jp)");
    EXPECT_EQ(list->item(0, 1)->text(), "○");
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(list->item(0, column)->foreground().color(), QColor(0, 0, 0));
        EXPECT_EQ(list->item(0, column)->background().color(), QColor(0x80, 0xFF, 0xFF));
    }
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(form->selectedAccount(), 1);
    EXPECT_TRUE(push(form.get(), "editbutton")->isEnabled());

    EXPECT_EQ(stored("accountno"), "1");
    EXPECT_EQ(stored("Aname1"), "taro@pop.example.jp");
    EXPECT_EQ(stored("Hname1"), "pop.example.jp");
    EXPECT_EQ(stored("Portno1"), "110");
    EXPECT_EQ(stored("Uname1"), "taro");
    EXPECT_EQ(stored("Passw1"), "0");
    EXPECT_EQ(stored("Check1"), "1");
    EXPECT_EQ(stored("Scolor11"), "0");
    EXPECT_EQ(stored("Scolor21"), "16777088");
    EXPECT_EQ(stored("Wavmode1"), "0");
    EXPECT_EQ(stored("Wavdir2_1"), "");
    SettingsStore onDisk(store.path());
    EXPECT_EQ(onDisk.readSetting("accountno", ""), "1");
    EXPECT_EQ(onDisk.readSetting("Hname1", ""), "pop.example.jp");
}

TEST_F(OptionFormTest, AddThenCancelKeepsTheAccount)
{
    user.inAccountDialog = typeAccount({{"Hostname", "h"}, {"UserName", "u"}});
    auto form = open();
    push(form.get(), "addbutton")->click();
    push(form.get(), "CancelBt")->click();
    EXPECT_EQ(stored("accountno"), "1");
    EXPECT_EQ(stored("Aname1"), "u@h");
}

TEST_F(OptionFormTest, CancelledAccountDialogChangesNothing)
{
    auto form = open();
    push(form.get(), "addbutton")->click();
    EXPECT_EQ(child<QTableWidget>(form.get(), "accountList")->rowCount(), 0);
    EXPECT_EQ(stored("accountno"), "(none)");
    EXPECT_EQ(stored("Aname1"), "(none)");
}

TEST_F(OptionFormTest, EditThatClearsTheCheckBox)
{
    storeAccount(1, "one", "h1");
    storeAccount(2, "two", "h2");
    store.store().writeSetting("accountno", "2");
    user.inAccountDialog = [](AccountForm &f) {
        EXPECT_EQ(edit(&f, "Accountname")->text(), "two");
        check(&f, "Check1")->setChecked(false);
        push(&f, "Command1")->click();
    };
    auto form = open();
    auto *list = child<QTableWidget>(form.get(), "accountList");
    ASSERT_EQ(list->rowCount(), 2);
    list->setCurrentCell(1, 0);
    EXPECT_EQ(form->selectedAccount(), 2);
    push(form.get(), "editbutton")->click();
    EXPECT_EQ(list->item(1, 1)->text(), "×");
    EXPECT_EQ(list->item(1, 0)->text(), "two(h2)");
    EXPECT_EQ(list->item(0, 1)->text(), "○");
    EXPECT_EQ(stored("Check2"), "0");
    EXPECT_EQ(stored("Aname2"), "two");
    EXPECT_EQ(stored("Check1"), "1");
    EXPECT_EQ(stored("accountno"), "2");
}

TEST_F(OptionFormTest, DoubleClickEditsTheRow)
{
    storeAccount(1, "one", "h1");
    store.store().writeSetting("accountno", "1");
    int opened = 0;
    user.inAccountDialog = [&opened](AccountForm &f) {
        ++opened;
        EXPECT_EQ(edit(&f, "Hostname")->text(), "h1");
        push(&f, "Command2")->click();
    };
    auto form = open();
    auto *list = child<QTableWidget>(form.get(), "accountList");
    list->setCurrentCell(0, 0);
    emit list->cellDoubleClicked(0, 0);
    EXPECT_EQ(opened, 1);
}

TEST_F(OptionFormTest, KeyboardMovedRowIsTheOneEdited)
{
    for (int n = 1; n <= 3; ++n)
        storeAccount(n, QStringLiteral("a%1").arg(n), QStringLiteral("h%1").arg(n));
    store.store().writeSetting("accountno", "3");
    user.inAccountDialog = typeAccount({{"Accountname", "renamed"}});
    auto form = open();
    auto *list = child<QTableWidget>(form.get(), "accountList");
    list->setCurrentCell(0, 0);
    list->setFocus();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &down);
    QApplication::sendEvent(list, &down);
    ASSERT_EQ(list->currentRow(), 2);
    EXPECT_EQ(form->selectedAccount(), 3);
    push(form.get(), "editbutton")->click();
    EXPECT_EQ(stored("Aname3"), "renamed");
    EXPECT_EQ(stored("Aname1"), "a1");
    EXPECT_EQ(list->item(2, 0)->text(), "renamed(h3)");
}

TEST_F(OptionFormTest, ClickBelowTheRowsLeavesNothingToEditOrDelete)
{
    for (int n = 1; n <= 2; ++n)
        storeAccount(n, QStringLiteral("a%1").arg(n), QStringLiteral("h%1").arg(n));
    store.store().writeSetting("accountno", "2");
    auto form = open();
    form->resize(600, 500);
    form->show();
    child<QTabWidget>(form.get(), "Tab1")->setCurrentIndex(1);
    auto *list = child<QTableWidget>(form.get(), "accountList");
    list->setCurrentCell(0, 0);
    ASSERT_EQ(form->selectedAccount(), 1);
    const int below = list->rowViewportPosition(1) + list->rowHeight(1) + 10;
    ASSERT_LT(below, list->viewport()->height());
    const QPoint at(20, below);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &click);
    }
    ASSERT_TRUE(list->selectionModel()->selectedRows().isEmpty()) << "the highlight is gone";
    EXPECT_EQ(form->selectedAccount(), 0);
    EXPECT_FALSE(push(form.get(), "editbutton")->isEnabled());
    EXPECT_FALSE(push(form.get(), "delbutton")->isEnabled());
    push(form.get(), "delbutton")->click();
    EXPECT_EQ(stored("accountno"), "2");
    EXPECT_EQ(list->rowCount(), 2);
}

TEST_F(OptionFormTest, DeleteTheMiddleOfThreeThenCancel)
{
    for (int n = 1; n <= 3; ++n)
        storeAccount(n, QStringLiteral("a%1").arg(n), QStringLiteral("h%1").arg(n), n == 3 ? 0 : 1);
    store.store().writeSetting("accountno", "3");
    for (int n : {2, 3}) { // their passwords in the keyring
        store.store().writeSetting(QStringLiteral("Pwstore%1").arg(n), "1");
        user.keyring->items[QStringLiteral("password:ua%1@h%1:110").arg(n)] = "pw";
    }
    auto form = open();
    auto *list = child<QTableWidget>(form.get(), "accountList");
    list->setCurrentCell(1, 0);
    push(form.get(), "delbutton")->click();

    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(0, 0)->text(), "a1(h1)");
    EXPECT_EQ(list->item(1, 0)->text(), "a3(h3)");
    EXPECT_EQ(list->item(1, 1)->text(), "×");
    EXPECT_EQ(form->selectedAccount(), 0);
    EXPECT_FALSE(push(form.get(), "editbutton")->isEnabled());
    EXPECT_FALSE(push(form.get(), "delbutton")->isEnabled());

    push(form.get(), "CancelBt")->click();
    EXPECT_EQ(stored("accountno"), "2");
    EXPECT_EQ(stored("Aname1"), "a1");
    EXPECT_EQ(stored("Aname2"), "a3");
    EXPECT_EQ(stored("Check2"), "0");
    EXPECT_EQ(stored("Pwstore2"), "1");
    EXPECT_EQ(user.keyring->items.keys(), QStringList{"password:ua3@h3:110"}) << "the deleted account's item goes";
    EXPECT_EQ(stored("Option1value"), "(none)");
}

TEST_F(OptionFormTest, IdenticalAccountsShareTheirItemUntilTheLastGoes)
{
    for (int n : {1, 2}) {
        storeAccount(n, "a", "h");
        store.store().writeSetting(QStringLiteral("Pwstore%1").arg(n), "1");
    }
    store.store().writeSetting("accountno", "2");
    user.keyring->items["password:ua@h:110"] = "pw";
    auto form = open();
    for (const int left : {1, 0}) {
        child<QTableWidget>(form.get(), "accountList")->setCurrentCell(0, 0);
        push(form.get(), "delbutton")->click();
        EXPECT_EQ(user.keyring->items.size(), left);
    }
}

TEST_F(OptionFormTest, TwentyAccountsNarrowTheNameColumn)
{
    for (int count : {19, 20}) {
        TempStore fresh;
        for (int n = 1; n <= count; ++n) {
            AccountRecord r;
            r.hname = "h";
            writeAccount(fresh.store(), n, r);
        }
        fresh.store().writeSetting("accountno", QString::number(count));
        OptionForm form(fresh.store(), user.hooks());
        auto *list = child<QTableWidget>(&form, "accountList");
        EXPECT_EQ(list->rowCount(), count);
        EXPECT_EQ(list->columnWidth(0), twipsToPixels(count < 20 ? 4960 : 4700, form.logicalDpiX()))
            << count;
    }
}

TEST_F(OptionFormTest, AccountRowsTakeTheirColours)
{
    AccountRecord r;
    r.aname = "c";
    r.hname = "h";
    r.display.scolor1 = 0x0000FF; // red
    r.display.scolor2 = 0xFF0000; // blue
    writeAccount(store.store(), 1, r);
    store.store().writeSetting("accountno", "1");
    auto form = open();
    auto *list = child<QTableWidget>(form.get(), "accountList");
    EXPECT_EQ(list->item(0, 1)->foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(list->item(0, 1)->background().color(), QColor(0, 0, 255));
}

TEST_F(OptionFormTest, RestoringColumnWidthsOutlivesCancel)
{
    store.store().writeSetting("grdWidth3", "9999");
    auto form = open();
    push(form.get(), "Command3")->click();
    push(form.get(), "CancelBt")->click();
    const char *expected[] = {"260", "260", "130", "2740", "4770", "300"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(stored(QStringLiteral("grdWidth%1").arg(i)), expected[i]) << i;
    SettingsStore onDisk(store.path()); // written at once, not only in memory
    EXPECT_EQ(onDisk.readSetting("grdWidth3", ""), "2740");
}

TEST_F(OptionFormTest, IconPathsAtOpening)
{
    const QString good = pictureFile("good.png");
    store.store().writeSetting("Icodir1", good);
    store.store().writeSetting("Icodir2", dir.filePath("missing.ico"));
    store.store().writeSetting("Icodir3", garbageFile("bad.ico"));
    auto form = open();
    EXPECT_EQ(edit(form.get(), "DirBox1")->text(), good);
    EXPECT_NE(iconOf(*form, 1), builtIn(0));
    EXPECT_EQ(edit(form.get(), "DirBox2")->text(), "内蔵");
    EXPECT_EQ(iconOf(*form, 2), builtIn(1));
    EXPECT_EQ(edit(form.get(), "DirBox3")->text(), "内蔵");
    EXPECT_EQ(iconOf(*form, 3), builtIn(2));
    EXPECT_EQ(stored("Icodir2"), dir.filePath("missing.ico")); // opening stores nothing
}

TEST_F(OptionFormTest, ClickingAnIconRestoresTheBuiltInOne)
{
    store.store().writeSetting("Icodir2", pictureFile("good.png"));
    auto form = open();
    child<QToolButton>(form.get(), "IcoImg2")->click();
    EXPECT_EQ(edit(form.get(), "DirBox2")->text(), "内蔵");
    EXPECT_EQ(iconOf(*form, 2), builtIn(1));
}

struct IconPickCase {
    const char *name;
    const char *answer; // "good", "bad" or "" (cancelled)
    const char *expectedBox;  // "path", "内蔵" or "old"
};

void PrintTo(const IconPickCase &c, std::ostream *os) { *os << c.name; }

class IconPicker : public OptionFormTest, public testing::WithParamInterface<IconPickCase> {};

TEST_P(IconPicker, ChosenIconIsShownOrFallsBack)
{
    const IconPickCase &c = GetParam();
    const QString old = pictureFile("old.png");
    store.store().writeSetting("Icodir3", old);
    const QString answer = QString(c.answer) == "good" ? pictureFile("new.png")
                           : QString(c.answer) == "bad" ? garbageFile("new.ico")
                                                        : QString();
    user.fileAnswer = answer;
    auto form = open();
    push(form.get(), "RefBt2_3")->click();

    ASSERT_EQ(user.fileRequests.size(), 1u);
    EXPECT_EQ(user.fileRequests[0].filter.description, "ｱｲｺﾝ");
    EXPECT_EQ(user.fileRequests[0].filter.pattern, "*.ico");
    EXPECT_EQ(user.fileRequests[0].title, "ｱｲｺﾝの選択");
    EXPECT_EQ(user.fileRequests[0].initialDir, old);

    const QString box = edit(form.get(), "DirBox3")->text();
    const QString expected = QString(c.expectedBox) == "path" ? answer
                             : QString(c.expectedBox) == "old" ? old
                                                                : QStringLiteral("内蔵");
    EXPECT_EQ(box, expected);
    EXPECT_EQ(iconOf(*form, 3) == builtIn(2), expected == "内蔵");
}

INSTANTIATE_TEST_SUITE_P(OptionForm, IconPicker,
                         testing::Values(IconPickCase{"Loadable", "good", "path"},
                                         IconPickCase{"NotAPicture", "bad", "内蔵"},
                                         IconPickCase{"Cancelled", "", "old"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(OptionFormTest, IconPickerStartsInTheHomeFolderForBuiltIn)
{
    auto form = open();
    push(form.get(), "RefBt2_1")->click();
    ASSERT_EQ(user.fileRequests.size(), 1u);
    EXPECT_EQ(user.fileRequests[0].initialDir, QDir::homePath());
}

struct PathPickCase {
    const char *name;
    const char *button;
    const char *box;
    const char *description;
    const char *pattern;
    const char *title;
};

void PrintTo(const PathPickCase &c, std::ostream *os) { *os << c.name; }

class PathPicker : public OptionFormTest, public testing::WithParamInterface<PathPickCase> {};

TEST_P(PathPicker, ChosenPathGoesIntoItsBoxAndCancelKeepsIt)
{
    const PathPickCase &c = GetParam();
    store.store().writeSetting("Option2value", "1");
    auto form = open();
    edit(form.get(), c.box)->setText("before");
    user.fileAnswer = "";
    push(form.get(), c.button)->click();
    EXPECT_EQ(edit(form.get(), c.box)->text(), "before");
    user.fileAnswer = "/chosen/file";
    push(form.get(), c.button)->click();
    EXPECT_EQ(edit(form.get(), c.box)->text(), "/chosen/file");

    ASSERT_EQ(user.fileRequests.size(), 2u);
    EXPECT_EQ(user.fileRequests[0].filter.description, QString::fromUtf8(c.description));
    EXPECT_EQ(user.fileRequests[0].filter.pattern, c.pattern);
    EXPECT_EQ(user.fileRequests[0].title, QString::fromUtf8(c.title));
}

// The picker starts where the box's path is: the file itself (its folder opens with it
// selected), its folder, or the home folder when the path has no folder.
TEST_P(PathPicker, StartsInTheFolderOfTheCurrentPath)
{
    const PathPickCase &c = GetParam();
    store.store().writeSetting("Option2value", "1");
    const QString file = garbageFile("current.bin");
    const std::pair<QString, QString> starts[] = {
        {"", QDir::homePath()},
        {"mailer.exe", QDir::homePath()},
        {file, file},
        {dir.filePath("gone.wav"), dir.path()},
        {dir.filePath("gone/x.wav"), QDir::homePath()},
    };
    auto form = open();
    for (const auto &[current, start] : starts) {
        edit(form.get(), c.box)->setText(current);
        user.fileRequests.clear();
        push(form.get(), c.button)->click();
        ASSERT_EQ(user.fileRequests.size(), 1u);
        EXPECT_EQ(user.fileRequests[0].initialDir, start) << current.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    OptionForm, PathPicker,
    testing::Values(PathPickCase{"Mailer1", "RefBt1", "Mailerbox1", "ｱﾌﾟﾘｹｰｼｮﾝ", "*", "ﾒｰﾗｰの選択"},
                    PathPickCase{"Mailer2", "RefBt2", "Mailerbox2", "ｱﾌﾟﾘｹｰｼｮﾝ", "*", "ﾒｰﾗｰの選択"},
                    PathPickCase{"Wav", "Command2", "Wavbox", "WAVﾌｧｲﾙ", "*.wav", "WAVﾌｧｲﾙの選択"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

// A folder where the settings file should be: nothing can be read or written.
TEST(OptionFormBrokenStore, EveryWriteIsRefusedWithAMessage)
{
    QTemporaryDir dir;
    const QString blocked = dir.filePath("lumwatch.ini");
    QDir().mkpath(blocked);
    SettingsStore store(blocked);
    FakeUser user;
    int dialogs = 0;
    user.inAccountDialog = [&dialogs](AccountForm &) { ++dialogs; };
    OptionForm form(store, user.hooks());

    push(&form, "addbutton")->click();
    EXPECT_EQ(dialogs, 0);
    push(&form, "Command3")->click();
    push(&form, "OkBt")->click();
    EXPECT_EQ(form.result(), QDialog::Rejected); // the window stays open
    ASSERT_EQ(user.warnings.size(), 3u);
    for (const auto &[title, text] : user.warnings) {
        EXPECT_EQ(title, "Lumora");
        EXPECT_TRUE(text.startsWith("設定ファイルに書き込めません。")) << text.toStdString();
        EXPECT_TRUE(text.contains(blocked));
    }
}

} // namespace

namespace {

// Each writer of the options window, on a store that may not exist yet.
struct WriterCase {
    const char *name;
    std::function<void(OptionForm &, FakeUser &)> write;
};

void PrintTo(const WriterCase &c, std::ostream *os) { *os << c.name; }

const WriterCase writers[] = {
    {"OptionsOk", [](OptionForm &f, FakeUser &) { push(&f, "OkBt")->click(); }},
    {"AccountAdd",
     [](OptionForm &f, FakeUser &u) {
         u.inAccountDialog = typeAccount({{"Hostname", "h"}, {"UserName", "u"}});
         push(&f, "addbutton")->click();
     }},
    {"ColumnWidths", [](OptionForm &f, FakeUser &) { push(&f, "Command3")->click(); }},
};

class StoreWriters : public testing::TestWithParam<WriterCase> {
protected:
    QTemporaryDir dir;
    FakeUser user;
};

TEST_P(StoreWriters, NewStoreIsPrivateWhateverTheUmask)
{
    for (const int mask : {022, 0}) {
        ScopedUmask umask(mask);
        const QString folder = dir.filePath(QStringLiteral("umask%1/lumwatch").arg(mask));
        SettingsStore store(folder + "/lumwatch.ini");
        OptionForm form(store, user.hooks());
        GetParam().write(form, user);
        ASSERT_TRUE(user.warnings.empty());
        EXPECT_EQ(modeOf(folder + "/lumwatch.ini"), 0600) << "umask " << mask;
        EXPECT_EQ(modeOf(folder), 0700) << "umask " << mask;
    }
}

TEST_P(StoreWriters, StoreOpenToOthersIsTightened)
{
    TempStore store;
    store.writeFile("[setting]\naccountno=0\n");
    setMode(store.path(), 0644);
    OptionForm form(store.store(), user.hooks());
    GetParam().write(form, user);
    EXPECT_TRUE(user.warnings.empty()) << "nothing is said when it works";
    EXPECT_EQ(modeOf(store.path()), 0600);
}

TEST_P(StoreWriters, StoreThatStaysOpenIsWarnedAboutOnce)
{
    TempStore store;
    store.store().setTightening([](const QString &) { return false; });
    OptionForm form(store.store(), user.hooks());
    GetParam().write(form, user);
    push(&form, "Command3")->click(); // a second write
    ASSERT_EQ(user.warnings.size(), 1u);
    EXPECT_EQ(user.warnings[0].first, "Lumora");
    EXPECT_TRUE(user.warnings[0].second.contains(u"パスワード"_qs));
    EXPECT_TRUE(user.warnings[0].second.contains(store.path()));
}

INSTANTIATE_TEST_SUITE_P(OptionForm, StoreWriters, testing::ValuesIn(writers),
                         [](const auto &info) { return std::string(info.param.name); });

// Account changes the file did not take: one message, and the list shows what the store
// still holds.
struct FailedChange {
    const char *name;
    const char *button;
};

void PrintTo(const FailedChange &c, std::ostream *os) { *os << c.name; }

class FailedAccountChange : public OptionFormTest,
                            public testing::WithParamInterface<FailedChange> {};

TEST_P(FailedAccountChange, IsReportedAndTheListFollowsTheStore)
{
    for (int n = 1; n <= 3; ++n)
        storeAccount(n, QStringLiteral("a%1").arg(n), QStringLiteral("h%1").arg(n));
    store.store().writeSetting("accountno", "3");
    ASSERT_TRUE(store.store().flush());
    user.inAccountDialog = typeAccount({{"Accountname", "changed"}, {"Hostname", "hx"}});
    auto form = open();
    auto *list = child<QTableWidget>(form.get(), "accountList");
    list->setCurrentCell(1, 0);
    {
        StoreFolderBlocked blocked(store.path());
        push(form.get(), GetParam().button)->click();
        ASSERT_EQ(user.warnings.size(), 1u);
        EXPECT_EQ(user.warnings[0].first, "Lumora");
        EXPECT_TRUE(user.warnings[0].second.startsWith(u"設定ファイルに書き込めません。"_qs));
        SettingsStore onDisk(blocked.movedPath());
        EXPECT_EQ(onDisk.readSetting("accountno", ""), "3");
        ASSERT_EQ(list->rowCount(), 3);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(list->item(row, 0)->text(), QStringLiteral("a%1(h%1)").arg(row + 1)) << row;
            EXPECT_EQ(onDisk.readSetting(QStringLiteral("Aname%1").arg(row + 1), ""),
                      QStringLiteral("a%1").arg(row + 1));
        }
    }
    // What the window holds matches the store: a later change takes the numbers it shows.
    store.store().reload();
    user.inAccountDialog = typeAccount({{"Hostname", "h4"}, {"UserName", "u4"}});
    push(form.get(), "addbutton")->click();
    EXPECT_EQ(user.warnings.size(), 1u);
    EXPECT_EQ(list->rowCount(), 4);
    SettingsStore onDisk(store.path());
    EXPECT_EQ(onDisk.readSetting("accountno", ""), "4");
    EXPECT_EQ(onDisk.readSetting("Aname4", ""), "u4@h4");
    EXPECT_EQ(onDisk.readSetting("Aname2", ""), "a2");
}

INSTANTIATE_TEST_SUITE_P(OptionForm, FailedAccountChange,
                         testing::Values(FailedChange{"Add", "addbutton"},
                                         FailedChange{"Edit", "editbutton"},
                                         FailedChange{"Delete", "delbutton"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
