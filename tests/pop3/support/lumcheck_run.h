#pragma once
// Runs the lumcheck program on a store and a cache of its own (XDG_CONFIG_HOME), with what it reads
// from standard input.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace lum::test {

struct LumcheckRun {
    int exitCode = -1; // -1: crashed or hung
    QString out;
    QString err;
};

inline LumcheckRun runLumcheck(const QString &configHome, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), configHome + QStringLiteral("/cache"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LUMCHECK_PATH), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        p.kill();
    p.waitForFinished(5000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace lum::test
