// The options program: one window over the settings store. A second copy ends at once.
#include "options/icon_picture.h"
#include "options/option_form.h"
#include "platform/single_instance.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(lum::builtInPicture(0)));
    lum::SingleInstance instance(lum::instanceLockPath(QStringLiteral("lumsetup")));
    if (!instance.isFirst())
        return 0;

    lum::SettingsStore store;
    lum::OptionForm form(store);
    QObject::connect(&form, &QDialog::finished, &app, &QCoreApplication::quit);
    form.show();
    return app.exec();
}
