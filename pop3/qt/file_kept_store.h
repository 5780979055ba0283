#pragma once
// Kept summaries in $XDG_CACHE_HOME/lumwatch/: the folder only its owner may enter (700),
// the files only its owner may read (600), each replaced by a rename so that a reader never
// sees half of one.

#include "pop3/kept_store.h"

namespace lum {

class FileKeptStore : public KeptStore {
public:
    // folder: where the files are; by default the user's cache folder for lumwatch.
    explicit FileKeptStore(QString folder = defaultFolder());
    static QString defaultFolder();

    QByteArray load(const QString &name) override;
    void save(const QString &name, const QByteArray &bytes) override;
    // Only files of our own naming are removed, and only from a folder of the user's own.
    void keepOnly(const QSet<QString> &keep) override;
    // Makes the folder, or narrows it to 700, to find out.
    QString problem() override;

private:
    bool privateFolder() const;
    QString folder_;
    bool told_ = false;
};

} // namespace lum
