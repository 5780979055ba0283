// The resident checker lumwatchd: one copy per user, living in the notification area.
#include "checker/checker.h"
#include "checker/command_client.h"
#include "checker/command_server.h"
#include "checker/command_socket.h"
#include "platform/builtin_icons.h"
#include "platform/qt_translations.h"
#include "platform/quit_signals.h"
#include "platform/scroll_led.h"
#include "platform/single_instance.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

const char helpText[] =
    "使い方: lumwatchd [--help | --version | --command 名前]\n"
    "Lumoraの常駐チェッカーです。通知領域に常駐し、設定したPOP3アカウントを\n"
    "一定の間隔でチェックして、新着メールの差出人と件名を一覧に表示します。\n"
    "アカウントとオプションは lumsetup で設定します(設定ファイル:\n"
    "$XDG_CONFIG_HOME/lumwatch/lumwatch.ini)。引数なしで起動します。\n"
    "\n"
    "  -h, --help     この説明を表示します。\n"
    "  -v, --version  バージョンを表示します。\n"
    "  --command 名前 起動しているチェッカーに、起動キーと同じコマンドを送ります。\n"
    "                 名前は options(設定)、check(メールチェック)、show(ポップアップ)、\n"
    "                 mailer1(メーラー1)、mailer2(メーラー2)、exit(終了)のどれかです。\n"
    "                 X11 でないデスクトップでは、これをショートカットキーに割り当てます。\n"
    "                 チェッカーがなければ 1、名前が違えば 2、チェッカーが 5 秒以内に\n"
    "                 応答しなければ 3 で終わります。\n";

// --help, --version and --command are answered before the window system starts, so they
// need no display. Returns the exit status, or -1 when none was asked for.
int answerInfo(int argc, char *argv[])
{
    if (argc > 1 && !std::strcmp(argv[1], "--command")) {
        QCoreApplication app(argc, argv);
        return lum::sendCommand(argc - 2, argv + 2);
    }
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            std::fputs(helpText, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "-v") || !std::strcmp(argv[i], "--version")) {
            std::puts("lumwatchd (Lumora) " LUM_VERSION_TEXT);
            return 0;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const int status = answerInfo(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    // The window system has taken its own options (-display, -platform, ...) out of argv;
    // anything left is refused, as the settings store is the whole configuration.
    if (argc > 1) {
        std::fprintf(stderr, "lumwatchd: 引数は使いません: %s\n"
                             "lumwatchd --help で使い方を表示します\n", argv[1]);
        return 2;
    }
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(QPixmap::fromImage(lum::builtInIconImage(lum::BuiltInIcon::Normal)));

    lum::installQtTranslations(app);

    lum::SingleInstance instance(lum::instanceLockPath(QStringLiteral("lumwatchd")));
    if (instance.alreadyRunning()) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Lumora"),
                        QStringLiteral("既に起動しています"), QMessageBox::Ok);
        box.exec();
        return 0;
    }
    if (!instance.isFirst()) {
        QMessageBox::critical(nullptr, QStringLiteral("Lumora"), instance.failureMessage());
        return 1;
    }

    if (!lum::onX11()) {
        std::fprintf(stderr, "lumwatchd: X11 のディスプレイではないため、システム全体の起動キーと"
                             "キーボードのLEDは使えません。通知領域、音、ポップアップは使えます。\n");
    }

    lum::SettingsStore store;
    lum::Checker checker(store);
    // Only this copy holds the lock of its store, and the socket is named after the store.
    lum::CommandServer commands;
    const lum::CommandSocketPlace place = lum::commandSocketPlace();
    if (place.path.isEmpty()) {
        std::fprintf(stderr, "lumwatchd: %s\n", qPrintable(place.failure));
    } else if (!commands.listen(place.path)) {
        std::fprintf(stderr, "lumwatchd: --command の受け口 %s を開けません: %s\n",
                     qPrintable(place.path), qPrintable(commands.errorString()));
    }
    QObject::connect(&commands, &lum::CommandServer::commandReceived, &checker,
                     &lum::Checker::hotkeyPressed);
    lum::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &lum::QuitSignals::quitRequested, &checker, &lum::Checker::exitNow);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &checker, &lum::Checker::exitNow);
    QObject::connect(&checker, &lum::Checker::ended, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &checker, &lum::Checker::start);
    return app.exec();
}
