// The resident checker. Until its window exists it reports what it read from the store.
#include "settings/mailer_caption.h"
#include "settings/options.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    lum::SettingsStore store;
    lum::Options options;
    lum::loadOptions(store, options);

    QTextStream out(stdout);
    out << "Lumora lumwatchd: 設定 " << store.filePath() << "\n";
    out << "  アカウント数: " << options.accountno << "\n";
    for (int n = 1; n <= options.accountno; ++n) {
        lum::AccountRecord r;
        lum::readAccount(store, n, r);
        out << "  " << n << ": " << r.aname << " (" << r.hname << ":" << r.portno << ") "
            << (r.check ? "○" : "×") << "\n";
    }
    out << "  メーラー1: " << lum::mailerCaption(options.mailerDir[0]) << "\n";
    out << "  メーラー2: " << lum::mailerCaption(options.mailerDir[1]) << "\n";
    out << "  チェック間隔(分): " << options.checkTimerMinutes << "\n";
    return 0;
}
