// The resident checker lumwatchd: one copy per user, living in the notification area.
#include "checker/checker.h"
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

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
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
    lum::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &lum::QuitSignals::quitRequested, &checker, &lum::Checker::exitNow);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &checker, &lum::Checker::exitNow);
    QObject::connect(&checker, &lum::Checker::ended, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &checker, &lum::Checker::start);
    return app.exec();
}
