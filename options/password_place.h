#pragma once
// What OK in the account dialog does with the password when it goes into the keyring, comes
// back out of it, or its item moves with the server, port or user name. The keyring is
// changed first and the record only afterwards, so that the password is always in one of
// the two places: an item written here and a record the file then refuses leave the item to
// be removed (newItem); an item the record no longer names is removed once the record is
// stored (staleItem). An OAuth account's refresh token is placed the same way.

#include "platform/keyring.h"

#include <functional>

namespace lum {

struct PasswordPlan {
    bool wasInKeyring = false;
    QString oldKey; // the item as the stored record names it
    bool toKeyring = false;
    QString newKey; // the item as the dialog's fields name it
    // The password field. For an account already in the keyring, empty keeps its password.
    QString typed;
};

struct PasswordPlaced {
    bool ok = false;
    QString message;      // the whole Japanese message, when not ok
    QString filePassword; // what the record keeps in "Passw" (empty for the keyring)
    QString newItem;
    QString staleItem;
};

// done follows once, perhaps at once.
void placePassword(Keyring &keyring, const PasswordPlan &plan,
                   std::function<void(const PasswordPlaced &)> done);

// Where OK puts an OAuth account's refresh token: a fresh one goes to newKey; a stored one
// moves from oldKey when the server, port or user name changed. Either key may be empty (the
// account did not, or no longer does, sign in with OAuth, or its stored token belongs to a
// provider, endpoint or client the account no longer uses). As for passwords, the keyring is
// written before the record is stored.
struct TokenPlan {
    QString oldKey;
    QString newKey;
    QString fresh;
};
void placeRefreshToken(Keyring &keyring, const TokenPlan &plan,
                       std::function<void(const PasswordPlaced &)> done);

} // namespace lum
