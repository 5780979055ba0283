#include "pop3/kept_owners.h"

#include "pop3/kept_summaries.h"

namespace lum {

QSet<QString> ownedKeptFiles(const SettingsStore &store, const Options &options)
{
    QSet<QString> owned;
    if (!options.fastCheck)
        return owned;
    for (int n = 1; n <= options.accountno; ++n) {
        AccountRecord r;
        readAccount(store, n, r);
        const QString host = connectionHost(r.hname);
        const std::optional<quint16> port = storedPort(store, n);
        if (host.isEmpty() || !port)
            continue; // never checked, so nothing kept
        const QString name = KeptOwner{host, *port, r.uname}.fileName();
        owned << name << name + QStringLiteral(".capa");
    }
    return owned;
}

QString tidyKeptFiles(KeptStore &kept, const SettingsStore &store, const Options &options)
{
    kept.keepOnly(ownedKeptFiles(store, options));
    return options.fastCheck ? kept.problem() : QString();
}

} // namespace lum
