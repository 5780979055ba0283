#include "support/test_pki.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace lum::test {

namespace {

// openssl's own configuration for req and ca, so that the system's doesn't matter.
constexpr const char *config = R"([req]
distinguished_name = dn
[dn]
[ca]
default_ca = test_ca
[test_ca]
database = @DIR@/index.txt
new_certs_dir = @DIR@
serial = @DIR@/serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[any]
commonName = supplied
[ca_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[leaf_ext]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
)";

const QStringList newKey{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};

QStringList altName(const QString &name)
{
    return {"-subj", "/CN=" + name, "-addext", "subjectAltName=DNS:" + name};
}

} // namespace

QSslKey TestPki::Issued::key() const
{
    QFile f(keyFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QSslKey(f.readAll(), QSsl::Ec);
}

QByteArray TestPki::Issued::fingerprint() const
{
    return chain().value(0).digest(QCryptographicHash::Sha256).toHex();
}

TestPki::TestPki()
{
    QFile cnf(file("openssl.cnf"));
    cnf.open(QIODevice::WriteOnly);
    cnf.write(QByteArray(config).replace("@DIR@", QFile::encodeName(dir_.path())));
    cnf.close();
    QFile(file("index.txt")).open(QIODevice::WriteOnly);
    QFile serial(file("serial"));
    serial.open(QIODevice::WriteOnly);
    serial.write("01\n");
    serial.close();
    openssl(QStringList{"req", "-x509"} + newKey
            + QStringList{"-days", "2", "-subj", "/CN=Lumora test CA", "-extensions", "ca_ext", "-keyout",
                          file("ca.key"), "-out", caFile()});
}

QString TestPki::caFile() const
{
    return file("ca.pem");
}

QString TestPki::next(const char *stem)
{
    return file(QStringLiteral("%1-%2").arg(QLatin1String(stem)).arg(++made_));
}

bool TestPki::openssl(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), QStringList{args.first(), "-config", file("openssl.cnf")} + args.mid(1));
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        ADD_FAILURE() << "openssl " << args.join(' ').toStdString() << ": " << p.readAll().toStdString();
    return ok;
}

TestPki::Issued TestPki::leaf(const QString &name, bool expired)
{
    const QString stem = next("leaf");
    const Issued leaf{stem + ".pem", stem + ".key"};
    openssl(QStringList{"req", "-new"} + newKey + altName(name) + QStringList{"-keyout", leaf.keyFile, "-out", stem + ".csr"});
    const QStringList dates = expired ? QStringList{"-startdate", "20200101000000Z", "-enddate", "20200102000000Z"}
                                      : QStringList{"-days", "2"};
    openssl(QStringList{"ca", "-batch", "-notext", "-cert", caFile(), "-keyfile", file("ca.key"), "-extensions",
                        "leaf_ext", "-in", stem + ".csr", "-out", leaf.certFile}
            + dates);
    return leaf;
}

TestPki::Issued TestPki::selfSigned(const QString &name)
{
    const QString stem = next("self");
    const Issued cert{stem + ".pem", stem + ".key"};
    openssl(QStringList{"req", "-x509"} + newKey + altName(name)
            + QStringList{"-days", "2", "-keyout", cert.keyFile, "-out", cert.certFile});
    return cert;
}

TestPki::Issued TestPki::longChain(const QString &name, int certificates)
{
    // One key signs them all: the chain is long, not costly.
    const QString stem = next("chain");
    const Issued leaf{stem + ".pem", stem + ".key"};
    openssl(QStringList{"req", "-x509"} + newKey
            + QStringList{"-days", "2", "-subj", "/CN=Chain 0", "-extensions", "ca_ext", "-keyout", leaf.keyFile, "-out",
                          stem + "-0.pem"});
    for (int i = 1; i < certificates; ++i) {
        const bool last = i == certificates - 1;
        QStringList args{"req", "-x509", "-key", leaf.keyFile, "-CA", stem + QStringLiteral("-%1.pem").arg(i - 1),
                         "-CAkey", leaf.keyFile, "-days", "2", "-out", stem + QStringLiteral("-%1.pem").arg(i)};
        args += last ? altName(name) + QStringList{"-extensions", "leaf_ext"}
                     : QStringList{"-subj", QStringLiteral("/CN=Chain %1").arg(i), "-extensions", "ca_ext"};
        if (!openssl(args))
            break;
    }
    QFile out(leaf.certFile);
    out.open(QIODevice::WriteOnly);
    for (int i = certificates - 1; i >= 0; --i) {
        QFile in(stem + QStringLiteral("-%1.pem").arg(i));
        in.open(QIODevice::ReadOnly);
        out.write(in.readAll());
    }
    return leaf;
}

} // namespace lum::test
