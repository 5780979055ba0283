#pragma once
// The options program's view of the accounts: one working record shared by the options
// window and the account dialog, and the number of accounts. Every change is stored at once.

#include "settings/account_record.h"

namespace lum {

class AccountEditor {
public:
    // Reads "accountno" (negative counts as 0).
    explicit AccountEditor(SettingsStore &store);

    AccountRecord currentAccount;
    int accountCount() const { return accountCount_; }

    void clearAccount() { currentAccount = AccountRecord(); }
    void readAccount(int n) { lum::readAccount(store_, n, currentAccount); }
    void writeAccount(int n) { lum::writeAccount(store_, n, currentAccount); }

    // Stores currentAccount as the new last account and raises "accountno".
    void addAccount();
    // Stores currentAccount as account n (1..accountCount).
    void editAccount(int n);
    // Removes account n: every later account moves down one number (read into
    // currentAccount without clearing it, written one lower) and "accountno" falls by one.
    // The keys of the former last number stay in the store, unused.
    void deleteAccount(int n);

private:
    void storeCount();

    SettingsStore &store_;
    int accountCount_ = 0;
};

} // namespace lum
