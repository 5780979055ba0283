#include "lumcheck/set_password.h"

#include "lumcheck/report.h"
#include "settings/account_record.h"
#include "settings/password.h"
#include "settings/save_value.h"
#include "settings/setting_keys.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace lum {

namespace {

// One line of standard input without its line end; on a terminal the typing is not shown.
std::optional<QString> readSecretLine()
{
    termios saved{};
    const bool tty = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (tty) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::fputs("パスワード: ", stderr);
    }
    std::string line;
    bool any = false;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(char(c));
    }
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!any)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    QString password = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    std::fill(line.begin(), line.end(), '\0');
    return password;
}

} // namespace

SetPasswordRun::SetPasswordRun(SettingsStore &store, Keyring &keyring, int account)
    : store_(store), keyring_(keyring), account_(account), out_(stdout), err_(stderr)
{
}

void SetPasswordRun::start()
{
    AccountRecord a;
    readAccount(store_, account_, a);
    name_ = visibleText(a.aname);
    const auto where = storedPasswordStore(store_, account_);
    if (!where)
        return fail(QStringLiteral("ﾊﾟｽﾜｰﾄﾞの保存先の設定が正しくありません:")
                    + store_.readSetting(numbered(key::pwstore, account_), QString()));
    const std::optional<QString> password = readSecretLine();
    if (!password)
        return fail(QStringLiteral("ﾊﾟｽﾜｰﾄﾞが入力されませんでした"));
    if (*where == PasswordStore::File) {
        saveValue(store_, numbered(key::passw, account_), 0, scramblePassword(*password));
        if (!store_.flush())
            return fail(QStringLiteral("設定ファイルに書き込めません: ") + store_.filePath());
        return stored(QStringLiteral("設定ファイル"));
    }
    const auto port = storedPort(store_, account_);
    if (!port)
        return fail(QStringLiteral("ﾎﾟｰﾄ番号が正しくありません"));
    keyring_.write(keyringKey(a.hname, *port, a.uname), *password, [this](const KeyringAnswer &r) {
        if (r.ok)
            stored(QStringLiteral("キーリング"));
        else
            fail(QStringLiteral("キーリングに保存できませんでした: ") + r.reason);
    });
}

void SetPasswordRun::stored(const QString &where)
{
    out_ << name_ << ": パスワードを" << where << "に保存しました" << Qt::endl;
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

void SetPasswordRun::fail(const QString &reason)
{
    err_ << "lumcheck: " << name_ << ": " << reason << Qt::endl;
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
}

} // namespace lum
