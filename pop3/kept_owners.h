#pragma once
// Kept files belong to the accounts of the settings: once an account is deleted or moved to
// another server, port or user name, its summaries describe a mailbox nobody checks.

#include "pop3/kept_store.h"
#include "settings/options.h"

namespace lum {

// The names of the files the accounts 1..accountno own: each one's summaries and its
// remembered CAPA; none while "Option15value" is 0.
QSet<QString> ownedKeptFiles(const SettingsStore &store, const Options &options);

// Removes the files no account owns; returns why nothing can be kept, once, or empty.
QString tidyKeptFiles(KeptStore &kept, const SettingsStore &store, const Options &options);

} // namespace lum
