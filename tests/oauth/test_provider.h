#pragma once
// The test provider (tests/support/oauth_server.py) run as a process for the tests of one
// suite, steered over HTTP; renewal locks in a folder of the suite's own.

#include "oauth/providers.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace lum {

class TestProvider : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "oauth_tests";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        runtime = new QTemporaryDir;
        qputenv("XDG_RUNTIME_DIR", runtime->path().toUtf8());
        server = new QProcess;
        server->start(QStringLiteral("python3"), {QStringLiteral(OAUTH_SERVER_PY)});
        ASSERT_TRUE(server->waitForReadyRead(10000));
        base = QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(server->readLine().trimmed());
    }
    static void TearDownTestSuite()
    {
        server->closeWriteChannel(); // the provider ends with its standard input
        server->waitForFinished(10000);
        delete server;
        delete runtime;
    }
    // The reply once it has finished; it is deleted on the next return to the event loop.
    QNetworkReply *finished(QNetworkReply *reply)
    {
        EXPECT_TRUE(QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000));
        reply->deleteLater();
        return reply;
    }
    QJsonObject control(const QString &path)
    {
        const QNetworkRequest request(QUrl(base + path));
        const bool get = path.startsWith(QLatin1String("/control/counts"));
        return QJsonDocument::fromJson(finished(get ? network.get(request) : network.post(request, QByteArray()))->readAll())
            .object();
    }

    static inline QProcess *server = nullptr;
    static inline QTemporaryDir *runtime = nullptr;
    static inline QString base;
    QNetworkAccessManager network;
    const OAuthClient client{base + QStringLiteral("/authorize"), base + QStringLiteral("/token"), QStringLiteral("pop"),
                             QStringLiteral("lumora-test"), {}};
};

} // namespace lum
