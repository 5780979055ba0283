// How the mail list scales: fills the model and its view offscreen with 2,000 and 20,000
// messages over three accounts and prints the time of a list build and of a row refresh,
// their 20k/2k ratios (linear growth gives about 10), and the memory the 20,000 records,
// the model and the view take. A benchmark, not a test: run scripts/bench_list.sh.
#include "checker/mail_list.h"
#include "checker/pictures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace {

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

struct Timing {
    double build = 0;
    double refresh = 0;
};

// Best of five, in milliseconds.
Timing measure(int messages, long *memoryKiB)
{
    const long before = residentKiB();
    const int accounts = 3;
    const int perAccount = messages / accounts + 1;
    auto table = std::make_unique<lum::MailTable>(accounts);
    table->ensureMessages(perAccount);
    for (int a = 1; a <= accounts; ++a) {
        for (int m = 1; m <= perAccount; ++m) {
            lum::MailRecord *r = table->record(a, m);
            r->from = QStringLiteral("山田太郎%1 <taro%1@example.jp>").arg(m);
            r->subject = QStringLiteral("【お知らせ】第%1回 定例会議の議事録と次回の予定について").arg(m);
            r->attach = m % 7 == 0;
            if (m % 5 == 0) {
                r->body = QStringLiteral("本文");
                r->retrieved = true;
            }
            r->identity.messageId = QByteArray("<") + QByteArray::number(m) + "@example.jp>";
        }
    }
    std::vector<lum::AccountDisplay> colours(accounts);
    lum::MailListModel model(*table, colours);
    model.setAttachPicture(lum::boundPicture());
    lum::MailList view(&model);
    view.resize(640, 400);
    view.show();
    const auto count = [&](int a) { return a == accounts ? messages - 2 * (messages / 3) : messages / 3; };

    Timing best{1e9, 1e9};
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        model.buildList(accounts, count, round % 2 == 1, false);
        QApplication::processEvents(); // the view lays out and paints what is visible
        best.build = std::min(best.build, t.nsecsElapsed() / 1e6);
        for (int r = 0; r < 50; ++r)
            model.toggleMark(r);
        t.restart();
        model.refreshRows();
        QApplication::processEvents();
        best.refresh = std::min(best.refresh, t.nsecsElapsed() / 1e6);
    }
    *memoryKiB = residentKiB() - before;
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    long memSmall = 0;
    long memLarge = 0;
    const Timing small = measure(2000, &memSmall);
    const Timing large = measure(20000, &memLarge);
    std::printf("messages  BuildList ms  RefreshRows ms\n");
    std::printf("%8d  %12.2f  %14.2f\n", 2000, small.build, small.refresh);
    std::printf("%8d  %12.2f  %14.2f\n", 20000, large.build, large.refresh);
    std::printf("ratio 20k/2k: BuildList %.1f, RefreshRows %.1f (linear: about 10, target <= 12)\n",
                large.build / small.build, large.refresh / small.refresh);
    std::printf("resident memory for 20,000 records with model and view: %.1f MiB\n", memLarge / 1024.0);
    return 0;
}
