#pragma once
// Where the checker of one settings store listens for `lumwatchd --command`. Each store has
// its own socket, as it has its own single-instance lock, so two checkers on two stores never
// meet: lumwatchd-<16 hex digits of the store's path>.sock in the user's runtime folder.

#include <QString>

namespace lum {

struct CommandSocketPlace {
    QString path;    // empty when there is no private folder for it
    QString failure; // then a message for the user that names the folder tried
};

// The socket of the store at storePath in runtimeFolder. Without a runtime folder (empty),
// the socket goes in a folder of mode 700 under tempFolder; when that folder can't be made,
// or is another user's or open to others, there is no socket and failure says why.
CommandSocketPlace commandSocketPlace(const QString &runtimeFolder, const QString &storePath,
                                      const QString &tempFolder);

// The place for the default settings store, in the runtime folder Qt finds for the user
// ($XDG_RUNTIME_DIR when it is usable).
CommandSocketPlace commandSocketPlace();

} // namespace lum
