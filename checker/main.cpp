// The resident checker lumwatchd: one copy per user, living in the notification area.
#include "checker/checker.h"
#include "platform/builtin_icons.h"
#include "platform/quit_signals.h"
#include "platform/single_instance.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(QPixmap::fromImage(lum::builtInIconImage(lum::BuiltInIcon::Normal)));

    lum::SingleInstance instance(lum::instanceLockPath(QStringLiteral("lumwatchd")));
    if (!instance.isFirst()) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Lumora"),
                        QStringLiteral("既に起動しています"), QMessageBox::Ok);
        box.exec();
        return 0;
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
