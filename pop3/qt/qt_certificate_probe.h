#pragma once
// A CertificateProbe over the network (QtTransport) with its time limit.

#include "pop3/certificate_probe.h"
#include "pop3/qt/qt_transport.h"

#include <QTimer>

namespace lum {

class QtCertificateProbe : public QObject {
public:
    explicit QtCertificateProbe(CertificateProbe::Done done, QObject *parent = nullptr);
    void setDone(CertificateProbe::Done done) { done_ = std::move(done); }

    // done follows within limitMs, once.
    void start(const QString &host, quint16 port, SslMode mode, const QByteArray &pin,
               MailProtocol protocol = MailProtocol::Pop3, int limitMs = 60000);
    QtTransport &transport() { return transport_; }

private:
    CertificateProbe::Done done_;
    CertificateProbe probe_;
    QtTransport transport_;
    QTimer limit_;
};

} // namespace lum
