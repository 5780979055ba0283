#pragma once
// The points where the options program waits for the user in a dialog of its own: the file
// and colour pickers, the warning box and the account dialog. The forms call them through
// this table so that tests can answer in place of a user; standardDialogHooks() shows the
// real dialogs.

#include "options/pickers.h"

#include <functional>

namespace lum {

class AccountForm;

struct DialogHooks {
    std::function<QString(QWidget *owner, const FileFilter &, const QString &initialDir,
                          const QString &title)>
        pickFile;
    std::function<qint32(QWidget *owner)> pickColor;
    // A message box with the warning icon and one OK button.
    std::function<void(QWidget *owner, const QString &title, const QString &text)> warn;
    // Shows the account dialog modally; QDialog::Accepted when it ended with OK.
    std::function<int(AccountForm &)> runAccountDialog;
};

DialogHooks standardDialogHooks();

} // namespace lum
