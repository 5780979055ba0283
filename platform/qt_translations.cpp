#include "platform/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace lum {

void installQtTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    // "qt" is the catalogue that gathers Qt's modules (qtbase, qtmultimedia, ...).
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"),
                         QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
    else
        delete translator;
}

} // namespace lum
