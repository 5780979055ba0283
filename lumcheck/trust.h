#pragma once
// lumcheck --trust A: shows the certificate of account A's server as the checker would
// judge it and, when it is refused and the user says yes, stores it as the account's one
// trusted certificate ("Sslpin"). Quits the application with the exit code at the end:
// 0 trusted already or now stored, 1 no answer to be had or the store not written,
// 2 no such encrypted account, 3 the user did not trust it.

#include "platform/settings_store.h"
#include "pop3/qt/qt_certificate_probe.h"

#include <QTextStream>

namespace lum {

class TrustRun {
public:
    // answer reads the user's reply to the question.
    TrustRun(SettingsStore &store, int account, QTextStream &answer);
    void start();

private:
    void finish(const ProbeOutcome &outcome);
    void end(int code);

    SettingsStore &store_;
    int account_;
    QString name_;
    QTextStream &answer_;
    QTextStream out_;
    QTextStream err_;
    QtCertificateProbe probe_;
};

} // namespace lum
