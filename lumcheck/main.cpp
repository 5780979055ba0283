// lumcheck: runs one check cycle over the enabled accounts of the checker's settings and
// prints the mail list; optionally retrieves or deletes messages afterwards.
#include "lumcheck/runner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumcheck"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Checks the accounts of Lumora once and prints one line per message:\n"
        "account, message number, attachment (0/1), From, Subject, TAB-separated.\n"
        "The list is printed after every check cycle. Exit status: 0 when the cycle ran,\n"
        "1 when the settings can't be read or hold no account, 2 for bad arguments."));
    parser.addHelpOption();
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print each list as one JSON array."));
    const QCommandLineOption retrieve(QStringLiteral("retrieve"),
                                      QStringLiteral("Retrieve and print these messages after the check."),
                                      QStringLiteral("A:M,..."));
    const QCommandLineOption remove(QStringLiteral("delete"),
                                    QStringLiteral("Delete these messages after the check, then check again."),
                                    QStringLiteral("A:M,..."));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Print the protocol log at the end (passwords masked)."));
    parser.addOptions({json, retrieve, remove, log});
    parser.process(app);

    QTextStream err(stderr);
    lum::RunRequest request;
    request.json = parser.isSet(json);
    request.log = parser.isSet(log);
    const auto refs = [&](const QCommandLineOption &o, QList<lum::MessageRef> &into) {
        if (!parser.isSet(o))
            return true;
        const auto parsed = lum::parseMessageRefs(parser.value(o));
        if (!parsed) {
            err << "lumcheck: " << parser.value(o) << ": A:M[,A:M...] の形で指定してください\n";
            return false;
        }
        into = *parsed;
        return true;
    };
    if (!refs(retrieve, request.retrieve) || !refs(remove, request.remove))
        return 2;
    if (!parser.positionalArguments().isEmpty()) {
        err << "lumcheck: 余分な引数があります: " << parser.positionalArguments().join(' ') << '\n';
        return 2;
    }

    lum::SettingsStore store;
    if (!store.writable()) {
        err << "lumcheck: 設定ファイルを読み込めません: " << store.filePath() << '\n';
        return 1;
    }
    lum::Options options;
    lum::loadOptions(store, options);
    if (options.accountno <= 0) {
        err << "lumcheck: ｱｶｳﾝﾄが設定されていません: " << store.filePath() << '\n';
        return 1;
    }
    lum::Runner runner(options, store, request);
    runner.start();
    return app.exec();
}
