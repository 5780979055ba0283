// The checker's windows and commands, offscreen: marks and buttons, the viewer, the layout
// that is stored, the menu, starting programs, the first run and the close request.
#include "checker_support.h"

#include "checker/launcher.h"
#include "decode/viewer_text.h"
#include "platform/twips.h"
#include "support/scripted_server.h"

#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QSemaphore>
#include <QTemporaryDir>

namespace lum::test {
namespace {

const QStringList twoAccounts{
    "accountno=2", "Aname1=Home", "Hname1=", "Aname2=Work", "Hname2=",
    "Checktimerval=0", "Option7value=1",
};

struct CheckerFixture : ::testing::Test {
    TempStore temp;
    std::unique_ptr<Checker> checker;
    FakeNotices *notices = nullptr;

    void open(const QStringList &lines, const QString &optionsPath = QStringLiteral("/nonexistent/lumsetup"),
              CheckerPlatform platform = {})
    {
        writeStore(temp, lines);
        auto n = std::make_unique<FakeNotices>();
        notices = n.get();
        platform.notices = std::move(n);
        platform.kept = std::make_unique<FileKeptStore>(temp.cacheDir());
        platform.wake = std::make_unique<WakeWatch>(); // the machine never wakes here
        checker = std::make_unique<Checker>(temp.store(), optionsPath, std::move(platform));
        checker->start();
    }
    // Fills the list with messages 1..count of each account.
    void list(const std::vector<int> &counts)
    {
        for (size_t a = 1; a <= counts.size(); ++a) {
            for (int m = 1; m <= counts[a - 1]; ++m) {
                checker->table().ensureMessages(int(a), m);
                MailRecord *r = checker->table().record(int(a), m);
                r->from = QStringLiteral("差出人%1").arg(m);
                r->subject = QStringLiteral("件名%1").arg(m);
            }
        }
        checker->model().buildList(int(counts.size()), [&](int a) { return counts[size_t(a - 1)]; },
                                   false, false);
    }
    MailList *grid() { return checker->form().list(); }
    void click(int row, bool twice = false)
    {
        const QRect r = grid()->visualRect(grid()->model()->index(row, MailListModel::FromCol));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
        if (twice) { // as the system delivers it: press, double click, release
            QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, r.center());
        }
    }
    void key(int row, Qt::Key k)
    {
        grid()->setCurrentIndex(grid()->model()->index(row, 0));
        QTest::keyClick(grid(), k);
    }
    QString marks()
    {
        QString s;
        for (int r = 0; r < checker->model().rowCount(); ++r)
            s += checker->model().data(checker->model().index(r, MailListModel::MarkCol), Qt::DisplayRole)
                     .toString().isEmpty() ? '.' : 'o';
        return s;
    }
    bool buttons() { return checker->form().retrBt()->isEnabled() && checker->form().delBt()->isEnabled(); }
    bool viewerShows(const QString &part)
    {
        return checker->viewer() && checker->viewer()->isVisible() && checker->viewer()->text().contains(part);
    }
};

TEST_F(CheckerFixture, ClicksSpaceAndEnterMarkAndOpenRows)
{
    open(twoAccounts);
    checker->form().show();
    list({3, 1});
    checker->table().record(1, 2)->body = QStringLiteral("二通目の本文");
    checker->table().record(1, 2)->retrieved = true;
    struct Step {
        const char *what;
        std::function<void(CheckerFixture &)> act;
        const char *marks;
        bool buttons;
        const char *viewer; // text the viewer shows afterwards, or null for none
    };
    const Step steps[] = {
        {"click row 0", [](CheckerFixture &f) { f.click(0); }, "o...", true, nullptr},
        {"click it again", [](CheckerFixture &f) { f.click(0); }, "....", false, nullptr},
        {"space on row 3", [](CheckerFixture &f) { f.key(3, Qt::Key_Space); }, "...o", true, nullptr},
        {"enter on an unretrieved row", [](CheckerFixture &f) { f.key(0, Qt::Key_Return); }, "...o", true, nullptr},
        // The double click's first click marks row 2; the double click clears that mark,
        // opens the message and disables both buttons though row 3 is still marked.
        {"double click a retrieved row", [](CheckerFixture &f) { f.click(1, true); }, "...o", false, "二通目の本文"},
        {"enter on a retrieved row", [](CheckerFixture &f) { f.key(1, Qt::Key_Enter); }, "...o", false, "二通目の本文"},
    };
    for (const Step &s : steps) {
        if (checker->viewer())
            checker->viewer()->hide();
        s.act(*this);
        EXPECT_EQ(marks(), QString::fromLatin1(s.marks)) << s.what;
        EXPECT_EQ(buttons(), s.buttons) << s.what;
        EXPECT_EQ(s.viewer ? viewerShows(QString::fromUtf8(s.viewer)) : viewerShows(QString()), s.viewer != nullptr) << s.what;
    }
    EXPECT_EQ(grid()->toolTip(), QStringLiteral("ｱｶｳﾝﾄ：Home")); // last clicked: row 1, account 1
    grid()->setCurrentIndex(grid()->model()->index(2, 0));
    QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("差出人3\t件名3"));
}

TEST_F(CheckerFixture, ViewerShowsTheMessageAndTheLogInTurn)
{
    open(twoAccounts);
    list({1, 0});
    MailRecord *r = checker->table().record(1, 1);
    r->body = QStringLiteral("本文\r\n");
    r->retrieved = true;
    r->attach = true;
    r->attachNames = QStringLiteral("\"a.pdf\" ");
    checker->OpenViewer(1, 1);
    ASSERT_TRUE(checker->viewer());
    EXPECT_EQ(checker->viewer()->windowTitle(), QStringLiteral("Viewer"));
    EXPECT_EQ(checker->viewer()->text(), viewerText(*r));
    EXPECT_TRUE(checker->viewer()->text().startsWith(QStringLiteral("Subject: 件名1\n   From: 差出人1\n Attach:  \"a.pdf\" \n\n本文")));
    checker->showLog();
    EXPECT_EQ(checker->viewer()->text(), QString()); // no cycle ran: an empty log
}

TEST_F(CheckerFixture, SavedLayoutKeepsConfiguredWidthsAndDropsTheScrollBarShare)
{
    for (int total : {0, 500}) {
        open(twoAccounts + QStringList{"grdWidth3=3000", "grdWidth4=4800", "frmWidth=9000", "frmHeight=6000"});
        checker->checkCycleEnded({qint16(total), true});
        const double dpi = grid()->dpiX();
        const int subjectPx = grid()->columnWidth(MailListModel::SubjectCol);
        EXPECT_EQ(subjectPx, twipsToPixels(total ? 4800 - 180 : 4800, dpi)) << total;
        grid()->setColumnWidth(MailListModel::FromCol, 100); // the user drags column 3
        ASSERT_TRUE(checker->SaveLayout());
        SettingsStore saved(temp.path());
        EXPECT_EQ(saved.readSetting("grdWidth4", ""), "4800") << total;
        EXPECT_EQ(saved.readSetting("grdWidth0", ""), "260");
        EXPECT_EQ(saved.readSetting("grdWidth3", ""), QString::number(pixelsToTwips(100, dpi)));
        EXPECT_EQ(saved.readSetting("frmWidth", ""), QString::number(pixelsToTwips(twipsToPixels(9000, dpi), dpi)));
        EXPECT_TRUE(grid()->isColumnHidden(MailListModel::MessageCol));
        checker.reset();
    }
}

TEST_F(CheckerFixture, ResizeAtOrBelowTheMinimumLeavesTheLayout)
{
    open(twoAccounts);
    MailForm &form = checker->form();
    const double dpi = form.logicalDpiY();
    form.resize(400, 300);
    const QRect laidOut = grid()->geometry();
    EXPECT_EQ(laidOut.width(), 400 - 4);
    form.resize(400, twipsToPixels(1500, dpi));
    EXPECT_EQ(grid()->geometry(), laidOut);
    form.resize(500, twipsToPixels(1500, dpi) + 2);
    EXPECT_NE(grid()->geometry(), laidOut);
    EXPECT_EQ(form.okBt()->width(), grid()->width() - 18);
    form.resize(1, 300);
    EXPECT_EQ(form.width(), 160) << "wide enough for the labelled log button";
}

TEST_F(CheckerFixture, MenuAndButtonsFollowTheMailPrograms)
{
    open(twoAccounts + QStringList{"Mailerdir1=C:\\\\Mail\\\\mailer.exe", "Option10value=0"});
    EXPECT_EQ(checker->menu().mailer[0]->text(), QStringLiteral("mailerを起動"));
    EXPECT_TRUE(checker->menu().mailer[0]->isEnabled());
    EXPECT_TRUE(checker->form().mailBt(1)->isEnabled());
    EXPECT_EQ(checker->menu().mailer[1]->text(), QStringLiteral("未登録"));
    EXPECT_FALSE(checker->menu().mailer[1]->isEnabled());
    EXPECT_FALSE(checker->form().mailBt(2)->isEnabled());
    EXPECT_FALSE(checker->menu().menu3->isEnabled()); // no icon: nothing to restore
    EXPECT_EQ(checker->form().windowTitle(), QStringLiteral("Lumora"));
    checker->setCaption(QStringLiteral("3通のメールが届いています!"));
    EXPECT_EQ(checker->tray().tip(), QStringLiteral("3通のメールが届いています!"));
    EXPECT_EQ(versionText(2, 0, 10), QStringLiteral("Lumora Ver.2.010"));
    EXPECT_EQ(versionText(1, 3, 3), QStringLiteral("Lumora Ver.1.33"));
}

TEST_F(CheckerFixture, OddStoredValuesGiveAUsableWindow)
{
    struct Row {
        QStringList lines;
        QSize min, max; // window size bounds in pixels
    };
    const Row rows[] = {
        {{"frmWidth=0", "frmHeight=0", "grdWidth3=-5", "Option12value=1"}, {160, 120}, {160, 120}},
        {{"frmWidth=99999", "frmHeight=99999", "accountno=32767"}, {160, 120}, {4096, 4096}},
        {{"frmWidth=8640", "Option12value=1"}, {160, 120}, {4096, 4096}},
    };
    for (const Row &row : rows) {
        open(twoAccounts + row.lines);
        const QSize size = checker->form().size();
        EXPECT_GE(size.width(), row.min.width());
        EXPECT_GE(size.height(), row.min.height());
        EXPECT_LE(size.width(), row.max.width());
        EXPECT_LE(size.height(), row.max.height());
        EXPECT_TRUE(QRect({}, size).contains(checker->form().logBt()->geometry())) << "cut off";
        EXPECT_GE(grid()->columnWidth(MailListModel::FromCol), 0);
        checker->checkCycleEnded({0, false});
        EXPECT_EQ(checker->model().rowCount(), 0);
        // Without a notification area the window stands in for the icon.
        EXPECT_EQ(checker->form().isVisible(), checker->trayMissing());
        EXPECT_EQ(checker->form().findChild<QWidget *>("trayNote")->isVisible(), checker->trayMissing());
        checker.reset();
    }
}

TEST_F(CheckerFixture, ANotificationAreaThatComesLaterTakesTheWindowsPlace)
{
    struct Row {
        bool statusNotifier;
        bool singleClickOpens; // a StatusNotifier host sends only Activate
        bool asked;            // no answer at start-up: the window waits for it, unblocked
    };
    for (const Row row : {Row{true, true, false}, Row{false, false, false}, Row{true, true, true}}) {
        CheckerPlatform platform;
        auto owned = std::make_unique<FakeTrayWatch>();
        FakeTrayWatch *watch = owned.get();
        watch->asked = row.asked;
        platform.trayWatch = std::move(owned);
        open(twoAccounts, QStringLiteral("/nonexistent/lumsetup"), std::move(platform));
        QWidget *note = checker->form().findChild<QWidget *>("trayNote");
        ASSERT_EQ(checker->form().isVisible() && note->isVisible(), !row.asked);

        watch->set(row.statusNotifier, !row.statusNotifier);
        EXPECT_FALSE(checker->form().isVisible());
        EXPECT_FALSE(note->isVisible());
        auto *icon = checker->tray().findChild<QSystemTrayIcon *>();
        ASSERT_NE(icon, nullptr);
        EXPECT_TRUE(icon->isVisible());
        emit icon->activated(QSystemTrayIcon::Trigger);
        EXPECT_EQ(checker->form().isVisible(), row.singleClickOpens);
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        EXPECT_TRUE(checker->form().isVisible());
        checker->form().close(); // hides now: the icon brings it back
        EXPECT_FALSE(checker->form().isVisible());
        EXPECT_EQ(findBox(QStringLiteral("終了しますか？")), nullptr);

        watch->set(false, false);
        EXPECT_TRUE(checker->form().isVisible() && note->isVisible());
        checker.reset();
    }
}

TEST(Launcher, MailCommandsOnRealFiles)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath("started");
    const QString prog = dir.filePath("my \\\\mail"); // the quoted path is taken as it is
    QFile f(prog);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\necho \"$@\" > '" + marker.toUtf8() + "'\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString plain = dir.filePath("plain.txt");
    QFile p(plain);
    ASSERT_TRUE(p.open(QIODevice::WriteOnly));
    p.close();

    struct Row {
        QString text;
        LaunchResult result;
        QString args; // what the program was given, when started
    };
    const Row rows[] = {
        {'"' + prog + "\" -compose 'to=a b'", LaunchResult::Started, "-compose to=a b"},
        {prog, LaunchResult::Started, ""},
        {prog + " -compose", LaunchResult::NotStarted, {}},
        {'"' + prog + " -compose", LaunchResult::NotStarted, {}},
        {dir.filePath("missing"), LaunchResult::NotStarted, {}},
        {{}, LaunchResult::NotStarted, {}},
        {plain, LaunchResult::Failed, {}},
    };
    for (const Row &row : rows) {
        QFile::remove(marker);
        EXPECT_EQ(execMailapp(row.text), row.result) << row.text.toStdString();
        if (row.result != LaunchResult::Started)
            continue;
        QFile out(marker);
        ASSERT_TRUE(QTest::qWaitFor([&] { return out.exists() && out.size() > 0; }, 10000));
        out.open(QIODevice::ReadOnly);
        EXPECT_EQ(QString::fromUtf8(out.readAll()).trimmed(), row.args) << row.text.toStdString();
    }
}

TEST(Launcher, CommandLinesSplitAsAShellWould)
{
    const std::pair<QString, QStringList> rows[] = {
        {R"("/opt/my mail/m" -a  b)", {"/opt/my mail/m", "-a", "b"}},
        {R"(m 'x "y"' "p\"q" r\ s '')", {"m", "x \"y\"", "p\"q", "r s", ""}},
        {R"(m "unclosed)", {"m", "unclosed"}},
        {"   ", {}},
    };
    for (const auto &[text, words] : rows)
        EXPECT_EQ(splitCommandLine(text), words) << text.toStdString();
}

// A stand-in for lumsetup: edits the store as the user would, once the file "hold" beside
// it is gone.
QString fakeOptionsProgram(QTemporaryDir &dir, const QString &storePath,
                           const QByteArray &edit = "printf '[setting]\\naccountno=1\\nAname1=New\\n"
                                                    "Option7value=1\\n' > \"$store\"")
{
    const QString path = dir.filePath("lumsetup");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\nstore='" + storePath.toUtf8() + "'\nwhile [ -e '" + dir.filePath("hold").toUtf8()
            + "' ]; do sleep 0.05; done\n" + edit + "\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

TEST_F(CheckerFixture, FirstRunAsksForAnAccountUntilOneExists)
{
    QTemporaryDir dir;
    open({}, fakeOptionsProgram(dir, temp.path()));
    EXPECT_EQ(checker->options().accountno, 0);
    // An OK while "終了しますか？" is open waits for that answer; a No goes on with the first run.
    checker->requestClose();
    ASSERT_TRUE(QTest::qWaitFor([] { return findBox(QStringLiteral("終了しますか？")); }, 10000));
    ASSERT_TRUE(answerBox(QStringLiteral("最初に設定をしてください"), QMessageBox::Ok));
    ASSERT_TRUE(answerBox(QStringLiteral("終了しますか？"), QMessageBox::No));
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker->options().accountno == 1; }, 10000));
    EXPECT_EQ(checker->form().windowTitle(), QStringLiteral("Lumora"));
    EXPECT_EQ(checker->table().accountCount(), 1);
}

// lumsetup already open (from the menu, or the question after a taken exit key): an OK in
// the first run waits for its end instead of asking again and starting another.
TEST_F(CheckerFixture, FirstRunWaitsForTheOptionsProgramThatRuns)
{
    QTemporaryDir dir;
    QFile(dir.filePath("hold")).open(QIODevice::WriteOnly);
    open({}, fakeOptionsProgram(dir, temp.path()));
    checker->mnu_opt();
    ASSERT_TRUE(answerBox(QStringLiteral("最初に設定をしてください"), QMessageBox::Ok));
    EXPECT_EQ(findBox(QStringLiteral("最初に設定をしてください")), nullptr);
    QFile::remove(dir.filePath("hold"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return checker->table().accountCount() == 1; }, 10000));
}

TEST_F(CheckerFixture, AnOptionsProgramThatCannotStartOffersToQuit)
{
    open({});
    QSignalSpy ended(checker.get(), &Checker::ended);
    // No: the loop goes on and asks again; Yes: the program ends.
    ASSERT_TRUE(answerBox(QStringLiteral("最初に設定をしてください"), QMessageBox::Ok));
    ASSERT_TRUE(answerBox(QStringLiteral("設定プログラムを起動できません"), QMessageBox::No));
    ASSERT_TRUE(answerBox(QStringLiteral("最初に設定をしてください"), QMessageBox::Ok));
    EXPECT_TRUE(ended.isEmpty());
    ASSERT_TRUE(answerBox(QStringLiteral("設定プログラムを起動できません"), QMessageBox::Yes));
    EXPECT_EQ(ended.size(), 1);
}

TEST_F(CheckerFixture, OptionsProgramReloadsAndResetsTheListWhenAccountsChange)
{
    QTemporaryDir dir;
    open(twoAccounts, fakeOptionsProgram(dir, temp.path()));
    list({2, 1});
    ASSERT_EQ(checker->model().rowCount(), 3);
    checker->mnu_opt();
    checker->mnu_opt(); // while it runs: nothing more
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker->options().accountno == 1; }, 10000));
    EXPECT_EQ(checker->model().rowCount(), 0);
    EXPECT_EQ(checker->table().accountCount(), 1);
}

// With "Option6value" an added account makes the mail table anew: the next check fills
// the rows again, the buttons follow the empty list, and no old message is "N" again. That
// check, under way when another account is added, starts again and leaves no blank row.
TEST_F(CheckerFixture, AnAddedAccountKeepsTheListWhole)
{
    QSemaphore release;
    ScriptedServer server({"Subject: a\r\n\r\n", "Subject: b\r\n\r\n"}, ScriptedServer::Style::Whole,
                          [&, tops = 0](const QByteArray &command) mutable {
                              if (command == "TOP 2 5" && ++tops == 2) // the second check, row 1 filed
                                  release.tryAcquire(1, 10000);
                              return ScriptedServer::Action{};
                          });
    QTemporaryDir dir;
    open({"accountno=1", "Hname1=127.0.0.1", QStringLiteral("Portno1=%1").arg(server.port()), "Option6value=1",
          "Option15value=0"},
         fakeOptionsProgram(dir, temp.path(), "sed -i 's/^accountno=2/accountno=3/; s/^accountno=1/accountno=2/' \"$store\""));
    const auto shows = [&](const QString &rows) { // "N" and subject of each row
        return QTest::qWaitFor([&] {
            QString s;
            for (int r = 0; r < checker->model().rowCount(); ++r)
                s += checker->model().index(r, MailListModel::NewCol).data().toString()
                    + checker->model().index(r, MailListModel::SubjectCol).data().toString();
            return s == rows;
        }, 10000);
    };
    checker->engine().checkmail();
    ASSERT_TRUE(shows("NaNb"));
    click(0);
    checker->mnu_opt();
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker->options().accountno == 2; }, 10000));
    EXPECT_FALSE(buttons());
    checker->engine().checkmail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.commands().count("TOP 2 5") == 2; }, 10000));
    checker->mnu_opt();
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker->options().accountno == 3; }, 10000));
    release.release();
    EXPECT_TRUE(shows("ab"));
}

// An arrival sends the notification though the popup is off; its actions show the list,
// which closes it.
TEST_F(CheckerFixture, DesktopNoticeOfAnArrivalShowsTheListOnItsActions)
{
    ScriptedServer server({"From: <a@x>\r\nSubject: a\r\n\r\n", "Subject: b&c\r\n\r\n"},
                          ScriptedServer::Style::Whole);
    open({"accountno=1", "Hname1=127.0.0.1", QStringLiteral("Portno1=%1").arg(server.port()),
          "Option7value=1", "Option9value=1"});
    checker->engine().checkmail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notices->sends.size() == 1; }, 10000));
    EXPECT_EQ(notices->sends[0], std::make_tuple(0u, QStringLiteral("Lumora: 新着メール 2通"),
                                                 QStringLiteral(" — b&c\n<a@x> — a"), noticeActions));
    struct Row {
        quint32 id;
        const char *key;
        bool shown;
    };
    const Row rows[] = {{6, "default", false}, {5, "other", false}, {5, "default", true}};
    for (const Row &row : rows) {
        checker->form().hide();
        notices->closes.clear();
        emit notices->sent(5);
        emit notices->activated(row.id, QString::fromLatin1(row.key));
        EXPECT_EQ(checker->form().isVisible(), row.shown) << row.id << row.key;
        EXPECT_EQ(notices->closes, row.shown ? std::vector<quint32>{5} : std::vector<quint32>{}) << row.key;
    }
}

TEST_F(CheckerFixture, CloseRequestAsksUnlessToldNotTo)
{
    open(twoAccounts + QStringList{"Option7value=0"});
    QSignalSpy ended(checker.get(), &Checker::ended);
    checker->form().show();
    checker->requestClose();
    ASSERT_TRUE(answerBox(QStringLiteral("終了しますか？"), QMessageBox::No));
    EXPECT_TRUE(ended.isEmpty());
    // Hidden, or minimised where no notification area could bring it back.
    EXPECT_TRUE(checker->trayMissing() ? checker->form().isMinimized() : !checker->form().isVisible());
    // The exit command takes the icon away; a No puts it back as it was.
    checker->tray().tuskicon(Tray::ShowArrival);
    checker->mnu_end();
    ASSERT_TRUE(answerBox(QStringLiteral("終了しますか？"), QMessageBox::No));
    EXPECT_TRUE(checker->tray().present() && checker->tray().picture() == Tray::Arrival);
    checker->mnu_end();
    ASSERT_TRUE(answerBox(QStringLiteral("終了しますか？"), QMessageBox::Yes));
    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(SettingsStore(temp.path()).readSetting("grdWidth4", ""), "4770"); // layout saved

    checker.reset();
    open(twoAccounts); // "Option7value" 1: no question
    QSignalSpy ended2(checker.get(), &Checker::ended);
    checker->requestClose();
    EXPECT_TRUE(ended2.wait(5000));
    EXPECT_EQ(findBox(QStringLiteral("終了しますか？")), nullptr);
}

} // namespace
} // namespace lum::test
