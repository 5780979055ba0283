#pragma once
// News that mail may have come unseen: the machine woke from a suspend (logind's
// PrepareForSleep(false) on the system bus), or the network became reachable again
// (Qt's network information going Online from anything else). Either source may be missing,
// as on a machine without a system bus: then it stays silent.

#include <QObject>
#include <memory>

namespace lum {

// This class itself hears nothing: a machine that never sleeps and a network that never drops.
class WakeWatch : public QObject {
    Q_OBJECT
signals:
    // The machine has resumed, or the network is back; one news may bring several in a row.
    void cameBack();
};

// Follows logind on the system bus and the platform's network information. A source that
// cannot be followed is told once on stderr.
std::unique_ptr<WakeWatch> makeWakeWatch();

} // namespace lum
