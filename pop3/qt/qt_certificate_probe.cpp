#include "pop3/qt/qt_certificate_probe.h"

namespace lum {

QtCertificateProbe::QtCertificateProbe(CertificateProbe::Done done, QObject *parent)
    : QObject(parent),
      done_(std::move(done)),
      probe_(transport_,
             [this](const ProbeOutcome &outcome) {
                 limit_.stop();
                 if (done_)
                     done_(outcome);
             }),
      transport_(&probe_)
{
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] { probe_.timeUp(); });
}

void QtCertificateProbe::start(const QString &host, quint16 port, SslMode mode, const QByteArray &pin,
                               MailProtocol protocol, int limitMs)
{
    limit_.start(limitMs);
    probe_.start(host, port, mode, pin, protocol);
}

} // namespace lum
