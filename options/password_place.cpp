#include "options/password_place.h"

#include "settings/account_record.h"

namespace lum {

namespace {

using Done = std::function<void(const PasswordPlaced &)>;

PasswordPlaced failed(const QString &message)
{
    PasswordPlaced p;
    p.message = message;
    return p;
}

void writeItem(Keyring &keyring, const PasswordPlan &plan, const QString &password, Done done)
{
    keyring.write(plan.newKey, password, [plan, done](const KeyringAnswer &a) {
        if (!a.ok)
            return done(failed(QStringLiteral("キーリングに保存できませんでした: ") + a.reason));
        PasswordPlaced p;
        p.ok = true;
        const bool moved = plan.wasInKeyring && plan.oldKey != plan.newKey;
        if (!plan.wasInKeyring || moved)
            p.newItem = plan.newKey;
        if (moved)
            p.staleItem = plan.oldKey;
        done(p);
    });
}

// The password of the stored item, then next with it.
void readItem(Keyring &keyring, const QString &key, std::function<void(const QString &)> next, Done done)
{
    readMoving(keyring, key, formerKeyringKey(key), [next, done](const KeyringAnswer &a) {
        if (!a.ok)
            return done(failed(QStringLiteral("キーリングから読めませんでした: ") + a.reason));
        next(a.password);
    });
}

} // namespace

void placePassword(Keyring &keyring, const PasswordPlan &plan, Done done)
{
    const bool keep = plan.wasInKeyring && plan.typed.isEmpty();
    if (plan.toKeyring) {
        if (!keep)
            return writeItem(keyring, plan, plan.typed, done);
        if (plan.oldKey == plan.newKey) {
            PasswordPlaced p;
            p.ok = true;
            return done(p);
        }
        return readItem(keyring, plan.oldKey,
                        [&keyring, plan, done](const QString &pw) { writeItem(keyring, plan, pw, done); }, done);
    }
    const auto toFile = [plan, done](const QString &pw) {
        PasswordPlaced p;
        p.ok = true;
        p.filePassword = pw;
        if (plan.wasInKeyring)
            p.staleItem = plan.oldKey;
        done(p);
    };
    if (!keep)
        return toFile(plan.typed);
    readItem(keyring, plan.oldKey, toFile, done);
}

void placeRefreshToken(Keyring &keyring, const TokenPlan &plan, Done done)
{
    PasswordPlaced placed;
    placed.ok = true;
    placed.staleItem = plan.oldKey != plan.newKey ? plan.oldKey : QString();
    const auto write = [&keyring, plan, placed, done](const QString &token) {
        keyring.write(plan.newKey, token, [plan, placed, done](const KeyringAnswer &a) mutable {
            if (!a.ok)
                return done(failed(QStringLiteral("キーリングに保存できませんでした: ") + a.reason));
            if (plan.oldKey != plan.newKey)
                placed.newItem = plan.newKey;
            done(placed);
        });
    };
    if (!plan.newKey.isEmpty() && !plan.fresh.isEmpty())
        return write(plan.fresh);
    if (plan.newKey.isEmpty() || placed.staleItem.isEmpty())
        return done(placed); // nothing to move; a token no account uses goes
    readMoving(keyring, plan.oldKey, formerKeyringKey(plan.oldKey), [write, done](const KeyringAnswer &a) {
        if (a.ok)
            return write(a.password);
        if (a.missing)
            return done({true, {}, {}, {}, {}}); // never signed in: nothing to move
        done(failed(QStringLiteral("キーリングから読めませんでした: ") + a.reason));
    });
}

} // namespace lum
