#pragma once
// SIGTERM and SIGINT as a Qt signal: the handler only writes a byte to a socket pair, and
// quitRequested is emitted from the event loop, where anything may be done.

#include <QObject>

class QSocketNotifier;

namespace lum {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // One instance per process; it installs the handlers for as long as it lives.
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested(int signalNumber);

private:
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace lum
