#include "settings/account_editor.h"

#include "settings/save_value.h"

#include <algorithm>

namespace lum {

AccountEditor::AccountEditor(SettingsStore &store)
    : store_(store), accountCount_(std::max<int>(0, readNumber(store, key::accountno)))
{
}

void AccountEditor::storeCount()
{
    saveValue(store_, QString::fromLatin1(key::accountno.name), accountCount_, QString());
    store_.flush();
}

void AccountEditor::addAccount()
{
    if (accountCount_ >= 32767)
        return; // "accountno" is a 16-bit number
    ++accountCount_;
    writeAccount(accountCount_);
    storeCount();
}

void AccountEditor::editAccount(int n)
{
    if (n < 1 || n > accountCount_)
        return;
    writeAccount(n);
    store_.flush();
}

void AccountEditor::deleteAccount(int n)
{
    if (n < 1 || n > accountCount_)
        return;
    for (int m = n + 1; m <= accountCount_; ++m) {
        readAccount(m);
        writeAccount(m - 1);
    }
    --accountCount_;
    storeCount();
}

} // namespace lum
