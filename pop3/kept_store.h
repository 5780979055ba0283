#pragma once
// Where kept summaries live between runs, one file per owner (KeptOwner::fileName). The
// engine reads and writes them only through this, so its tests keep them in memory.

#include <QByteArray>
#include <QSet>
#include <QString>

namespace lum {

class KeptStore {
public:
    virtual ~KeptStore() = default;
    // The bytes stored under name; empty when there are none or they can't be read.
    virtual QByteArray load(const QString &name) = 0;
    // Replaces what is stored under name, whole or not at all.
    virtual void save(const QString &name, const QByteArray &bytes) = 0;
    // Removes everything stored except the names in keep.
    virtual void keepOnly(const QSet<QString> &keep) = 0;
    // Why nothing can be stored, in words for the user: told once, empty afterwards and
    // whenever the store can be used.
    virtual QString problem() = 0;
};

} // namespace lum
