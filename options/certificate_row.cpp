#include "options/certificate_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lum {

CertificateRow::CertificateRow(const DialogHooks &hooks, std::function<std::optional<CertificateQuery>()> server,
                               QWidget *parent)
    : QWidget(parent), hooks_(hooks), server_(std::move(server))
{
    pinLabel_ = new QLabel(this);
    pinLabel_->setObjectName(QStringLiteral("Sslpin"));
    look_ = new QPushButton(QStringLiteral("確認"), this);
    look_->setObjectName(QStringLiteral("LookCert"));
    look_->setToolTip(QStringLiteral("ｻｰﾊﾞｰに接続して証明書を確認します(ﾛｸﾞｲﾝはしません)"));
    look_->setAutoDefault(false);
    clear_ = new QPushButton(QStringLiteral("解除"), this);
    clear_->setObjectName(QStringLiteral("ClearPin"));
    clear_->setToolTip(QStringLiteral("登録した証明書をやめて、認証局で確認します"));
    clear_->setAutoDefault(false);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->setObjectName(QStringLiteral("CertStatus"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->hide();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout;
    row->addWidget(pinLabel_, 1);
    row->addWidget(look_);
    row->addWidget(clear_);
    column->addLayout(row);
    column->addWidget(status_);

    connect(look_, &QPushButton::clicked, this, &CertificateRow::look);
    connect(clear_, &QPushButton::clicked, this, [this] {
        pin_.clear();
        showPin();
    });
    showPin();
}

void CertificateRow::setPin(const QString &pin)
{
    pin_ = pin;
    status_->hide();
    showPin();
}

void CertificateRow::showPin()
{
    pinLabel_->setText(pin_.isEmpty() ? QStringLiteral("認証局で確認します")
                                      : QStringLiteral("登録した証明書 SHA-256:") + pin_.left(16) + u'…');
    pinLabel_->setToolTip(pin_.isEmpty() ? QString() : QStringLiteral("SHA-256:") + pin_);
    serverChanged();
}

void CertificateRow::serverChanged()
{
    look_->setEnabled(!looking_ && server_().has_value());
    clear_->setEnabled(!pin_.isEmpty());
}

void CertificateRow::say(const QString &text)
{
    status_->setText(text);
    status_->show();
}

void CertificateRow::look()
{
    std::optional<CertificateQuery> server = server_();
    if (!server || looking_)
        return;
    server->pin = pin_.toLatin1();
    looking_ = true;
    say(QStringLiteral("確認しています..."));
    serverChanged();
    hooks_.probeCertificate(window(), *server, [this](const ProbeOutcome &o) { seen(o); });
}

void CertificateRow::seen(const ProbeOutcome &o)
{
    looking_ = false;
    serverChanged();
    switch (o.kind) {
    case ProbeOutcome::Kind::Trusted:
        return say(QStringLiteral("ｻｰﾊﾞｰ証明書は信頼されています"));
    case ProbeOutcome::Kind::Failed:
        return say(QStringLiteral("証明書を確認できませんでした: ") + o.message);
    case ProbeOutcome::Kind::Refused:
        break;
    }
    const QString fingerprint = QString::fromLatin1(o.fingerprint);
    say(o.message + QStringLiteral("\nSHA-256:") + fingerprint);
    if (!hooks_.ask(window(), QStringLiteral("証明書"),
                    o.message + QStringLiteral("\n\nSHA-256:") + fingerprint
                        + QStringLiteral("\n\nこの証明書を信頼しますか？\n"
                                         "信頼すると、証明書が変わるまではこのｻｰﾊﾞｰに接続します。")))
        return;
    pin_ = fingerprint;
    showPin();
    say(QStringLiteral("この証明書を信頼します(OKで保存されます)"));
}

} // namespace lum
