#include "options/dialog_hooks.h"

#include "options/account_form.h"

#include <QMessageBox>

namespace lum {

DialogHooks standardDialogHooks()
{
    DialogHooks hooks;
    hooks.pickFile = &pickFile;
    hooks.pickColor = &pickColor;
    hooks.warn = [](QWidget *owner, const QString &title, const QString &text) {
        QMessageBox::warning(owner, title, text, QMessageBox::Ok);
    };
    hooks.runAccountDialog = [](AccountForm &form) { return form.exec(); };
    return hooks;
}

} // namespace lum
