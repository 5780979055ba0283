#pragma once
// Qt's own texts (the buttons and labels of the file and colour dialogs, the context menus
// of text boxes) in Japanese, like every other text of the programs.

class QCoreApplication;

namespace lum {

// Installs Qt's Japanese translations from Qt's translations folder into app, whatever
// the user's locale. Without them installed (package qt6-translations-l10n) Qt stays English.
void installQtTranslations(QCoreApplication &app);

} // namespace lum
