#include "lumcheck/trust.h"

#include "lumcheck/report.h"
#include "settings/setting_keys.h"

#include <QCoreApplication>
#include <QTimer>

namespace lum {

TrustRun::TrustRun(SettingsStore &store, int account, QTextStream &answer)
    : store_(store), account_(account), answer_(answer), out_(stdout), err_(stderr),
      probe_([this](const ProbeOutcome &o) { finish(o); })
{
}

void TrustRun::start()
{
    AccountRecord a;
    readAccount(store_, account_, a);
    name_ = visibleText(a.aname);
    const auto mode = storedSslMode(store_, account_);
    const auto port = storedPort(store_, account_);
    if (!mode || *mode == SslMode::None) {
        err_ << "lumcheck: " << name_ << ": 暗号化を使わないｱｶｳﾝﾄです。先に暗号化を設定してください" << Qt::endl;
        return end(2);
    }
    if (a.hname.isEmpty() || !port) {
        err_ << "lumcheck: " << name_ << ": ｻｰﾊﾞｰかﾎﾟｰﾄ番号の設定が正しくありません" << Qt::endl;
        return end(2);
    }
    out_ << name_ << ": " << visibleText(a.hname) << ':' << *port << " のｻｰﾊﾞｰ証明書を確認しています" << Qt::endl;
    probe_.start(a.hname, *port, *mode, a.sslpin.toLatin1(), a.protocol);
}

void TrustRun::finish(const ProbeOutcome &o)
{
    if (o.kind == ProbeOutcome::Kind::Trusted) {
        out_ << name_ << ": ｻｰﾊﾞｰ証明書は信頼されています" << Qt::endl;
        return end(0);
    }
    if (o.kind == ProbeOutcome::Kind::Failed) {
        err_ << "lumcheck: " << name_ << ": " << o.message << Qt::endl;
        return end(1);
    }
    out_ << name_ << ": " << o.message << "\nSHA-256:" << QString::fromLatin1(o.fingerprint)
         << "\nこの証明書を信頼しますか? [y/N] " << Qt::flush;
    const QString reply = answer_.readLine().trimmed().toLower();
    if (reply != u"y" && reply != u"yes") {
        out_ << "登録しませんでした" << Qt::endl;
        return end(3);
    }
    store_.writeSetting(numbered(key::sslpin, account_), QString::fromLatin1(o.fingerprint));
    if (!store_.flush()) {
        err_ << "lumcheck: 設定ファイルに書き込めません: " << store_.filePath() << Qt::endl;
        return end(1);
    }
    out_ << "信頼する証明書として登録しました" << Qt::endl;
    end(0);
}

// Out of the probe's call chain, so the connection is let go first.
void TrustRun::end(int code)
{
    QTimer::singleShot(0, qApp, [code] { QCoreApplication::exit(code); });
}

} // namespace lum
