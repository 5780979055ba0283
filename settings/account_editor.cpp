#include "settings/account_editor.h"

#include "settings/save_value.h"

#include <algorithm>

namespace lum {

AccountEditor::AccountEditor(SettingsStore &store)
    : store_(store), accountCount_(std::max<int>(0, readNumber(store, key::accountno)))
{
}

// Flushes the change; when the file did not take it, the store has dropped it and the count
// goes back to before.
bool AccountEditor::stored(int countBefore)
{
    if (store_.flush())
        return true;
    accountCount_ = countBefore;
    return false;
}

bool AccountEditor::storeCount(int count)
{
    const int before = accountCount_;
    saveValue(store_, QString::fromLatin1(key::accountno.name), count, QString());
    accountCount_ = count;
    return stored(before);
}

bool AccountEditor::addAccount()
{
    if (accountCount_ >= maxAccounts)
        return false;
    writeAccount(accountCount_ + 1);
    return storeCount(accountCount_ + 1);
}

bool AccountEditor::editAccount(int n)
{
    if (n < 1 || n > accountCount_)
        return false;
    writeAccount(n);
    return stored(accountCount_);
}

bool AccountEditor::deleteAccount(int n)
{
    if (n < 1 || n > accountCount_)
        return false;
    for (int m = n + 1; m <= accountCount_; ++m) {
        readAccount(m);
        writeAccount(m - 1);
    }
    return storeCount(accountCount_ - 1);
}

} // namespace lum
