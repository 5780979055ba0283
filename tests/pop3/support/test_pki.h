#pragma once
// Certificates for TLS tests, made with the openssl program in a temporary folder that goes
// with the object: a CA of its own (trusted by a test through addCaCertificates, never by
// the system), leaves it signs, self-signed certificates and a long untrusted chain. Keys are
// EC P-256, quick to make. A failed openssl run fails the current test.

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

namespace lum::test {

class TestPki {
public:
    struct Issued {
        QString certFile; // PEM: the certificate, then any chain above it
        QString keyFile;
        QList<QSslCertificate> chain() const
        {
            return certFile.isEmpty() ? QList<QSslCertificate>() : QSslCertificate::fromPath(certFile);
        }
        QSslKey key() const;
        // SHA-256 of the certificate itself, lower-case hex, as "Sslpin" holds it.
        QByteArray fingerprint() const;
    };

    TestPki();

    QString caFile() const;
    QList<QSslCertificate> ca() const { return QSslCertificate::fromPath(caFile()); }

    // Signed by the CA for the DNS name; an expired one was valid for a day in 2020.
    Issued leaf(const QString &name, bool expired = false);
    Issued selfSigned(const QString &name);
    // A leaf for name under certificates - 1 CA certificates up to a root nobody trusts, all
    // in certFile.
    Issued longChain(const QString &name, int certificates);

private:
    QString file(const QString &name) const { return dir_.filePath(name); }
    QString next(const char *stem);
    bool openssl(const QStringList &args);

    QTemporaryDir dir_;
    int made_ = 0;
};

} // namespace lum::test
