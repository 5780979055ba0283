// lumcheck: runs one check cycle over the enabled accounts of the checker's settings and
// prints the mail list; optionally retrieves or deletes messages afterwards.
#include "lumcheck/runner.h"
#include "lumcheck/set_password.h"
#include "lumcheck/sign_in.h"
#include "lumcheck/trust.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char *argv[])
{
#ifdef __GLIBC__
    // lumcheck runs once and ends: a retrieved message of many megabytes passes through
    // several buffers in turn, and a heap that keeps its pages serves each of them without
    // mapping (and faulting in) fresh memory every time.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumcheck"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lumoraのアカウントを一度チェックし、メール1通につき1行を表示します:\n"
        "アカウント番号、メール番号、添付(0/1)、From、Subject (TAB区切り)。\n"
        "一覧はチェックのたびに表示されます。終了コード: 0 チェックを実行した、\n"
        "1 設定を読めない・アカウントが無い、2 引数の誤り。\n"
        "--trust A はアカウントAのサーバー証明書を表示し、信頼されていなければ\n"
        "登録するか尋ねます(終了コード 3: 登録しなかった)。\n"
        "--set-password A は標準入力の1行をアカウントAのパスワードとして、\n"
        "キーリングか設定ファイルの、そのアカウントの保存先に保存します。\n"
        "--signin A はアカウントAをブラウザーで OAuth 2.0 のプロバイダーにサインインさせ、\n"
        "リフレッシュトークンをキーリングに保存します。"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("この説明を表示します。"));
    parser.addOption(help);
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("バージョンを表示します。"));
    parser.addOption(version);
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("一覧をJSON配列で表示します。"));
    const QCommandLineOption retrieve(QStringLiteral("retrieve"),
                                      QStringLiteral("チェックの後でこれらのメールを取得して表示します。"),
                                      QStringLiteral("A:M,..."));
    const QCommandLineOption remove(QStringLiteral("delete"),
                                    QStringLiteral("チェックの後でこれらのメールを削除し、もう一度チェックします。"),
                                    QStringLiteral("A:M,..."));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("最後に通信ログを表示します(パスワードは伏せ字)。"));
    const QCommandLineOption trust(QStringLiteral("trust"),
                                   QStringLiteral("アカウントAのサーバー証明書を確認し、信頼する証明書として登録します。"),
                                   QStringLiteral("A"));
    const QCommandLineOption setPassword(QStringLiteral("set-password"),
                                         QStringLiteral("アカウントAのパスワードを標準入力から読み、その保存先に保存します。"),
                                         QStringLiteral("A"));
    const QCommandLineOption signIn(QStringLiteral("signin"),
                                    QStringLiteral("アカウントAをブラウザーでサインインさせ、リフレッシュトークンをキーリングに保存します。"),
                                    QStringLiteral("A"));
    parser.addOptions({json, retrieve, remove, log, trust, setPassword, signIn});
    QTextStream err(stderr);
    if (!parser.parse(app.arguments())) {
        err << "lumcheck: 指定が正しくありません: " << app.arguments().mid(1).join(' ')
            << "\n" << "lumcheck --help で使い方を表示します\n";
        return 2;
    }
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (parser.isSet(version)) {
        QTextStream(stdout) << "lumcheck (Lumora) " LUM_VERSION_TEXT "\n";
        return 0;
    }
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
    // lumcheck only reads: the programs that write the store make it private again.
    if (store.openToOthers())
        err << "lumcheck: 警告: 設定ファイルは他のユーザーも読めるため、パスワードを読まれるおそれがあります: "
            << store.filePath() << '\n' << Qt::flush;
    lum::Options options;
    lum::loadOptions(store, options);
    if (options.accountno <= 0) {
        err << "lumcheck: ｱｶｳﾝﾄが設定されていません: " << store.filePath() << '\n';
        return 1;
    }
    // --trust A, --set-password A and --signin A work on one account and do nothing else.
    const auto single = [&](const QCommandLineOption &o, const char *name) -> int {
        if (request.json || request.log || !request.retrieve.isEmpty() || !request.remove.isEmpty()
            || int(parser.isSet(trust)) + int(parser.isSet(setPassword)) + int(parser.isSet(signIn)) > 1) {
            err << "lumcheck: " << name << " は他の指定と一緒には使えません\n";
            return 0;
        }
        bool number = false;
        const int account = parser.value(o).toInt(&number);
        if (!number || account < 1 || account > options.accountno) {
            err << "lumcheck: " << name << ' ' << parser.value(o) << ": ｱｶｳﾝﾄ番号は1から" << options.accountno
                << "で指定してください\n";
            return 0;
        }
        return account;
    };
    if (parser.isSet(setPassword)) {
        const int account = single(setPassword, "--set-password");
        if (account == 0)
            return 2;
        lum::SecretServiceKeyring keyring;
        lum::SetPasswordRun run(store, keyring, account);
        run.start();
        return app.exec();
    }
    if (parser.isSet(signIn)) {
        const int account = single(signIn, "--signin");
        if (account == 0)
            return 2;
        lum::SecretServiceKeyring keyring;
        lum::SignInRun run(store, keyring, account);
        run.start();
        return app.exec();
    }
    if (parser.isSet(trust)) {
        const int account = single(trust, "--trust");
        if (account == 0)
            return 2;
        QTextStream answer(stdin);
        lum::TrustRun run(store, account, answer);
        run.start();
        return app.exec();
    }
    lum::Runner runner(options, store, request);
    runner.start();
    const int code = app.exec();
    // Everything is printed and every file written by now. The lists of a large mailbox are
    // left to the system rather than freed piece by piece.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
