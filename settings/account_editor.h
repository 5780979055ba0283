#pragma once
// The options program's view of the accounts: one working record shared by the options
// window and the account dialog, and the number of accounts. Every change is stored at once;
// a change the file did not take is dropped whole, and the count stays as it was.

#include "settings/account_record.h"

namespace lum {

class AccountEditor {
public:
    // Reads "accountno" (negative counts as 0).
    explicit AccountEditor(SettingsStore &store);

    // "accountno" is a 16-bit number.
    static constexpr int maxAccounts = 32767;

    AccountRecord currentAccount;
    int accountCount() const { return accountCount_; }

    void clearAccount() { currentAccount = AccountRecord(); }
    void readAccount(int n) { lum::readAccount(store_, n, currentAccount); }
    void writeAccount(int n) { lum::writeAccount(store_, n, currentAccount); }

    // Each of the three is false, and changes nothing, when n is out of range, the count is
    // at maxAccounts (add), or the file could not be written.
    //
    // Stores currentAccount as the new last account and raises "accountno".
    bool addAccount();
    // Stores currentAccount as account n (1..accountCount).
    bool editAccount(int n);
    // Removes account n: every later account moves down one number (read into
    // currentAccount without clearing it, written one lower) and "accountno" falls by one.
    // The keys of the former last number stay in the store, unused.
    bool deleteAccount(int n);

private:
    bool storeCount(int count);
    bool stored(int countBefore);

    SettingsStore &store_;
    int accountCount_ = 0;
};

} // namespace lum
