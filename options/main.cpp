// The options program: one window over the settings store. A second copy ends at once; a
// copy that can't take its lock for another reason says why and ends with status 1.
#include "options/icon_picture.h"
#include "options/option_form.h"
#include "platform/qt_translations.h"
#include "platform/single_instance.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    lum::installQtTranslations(app);
    app.setWindowIcon(QIcon(lum::builtInPicture(0)));
    lum::SingleInstance instance(lum::instanceLockPath(QStringLiteral("lumsetup")));
    if (instance.alreadyRunning())
        return 0;
    if (!instance.isFirst()) {
        QMessageBox::critical(nullptr, QStringLiteral("Lumora"), instance.failureMessage());
        return 1;
    }

    lum::SettingsStore store;
    lum::OptionForm form(store);
    QObject::connect(&form, &QDialog::finished, &app, &QCoreApplication::quit);
    form.show();
    return app.exec();
}
