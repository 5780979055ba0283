#pragma once
// The certificate row of the account dialog: which certificate the account trusts (the
// certificate authorities, or one certificate pinned by its SHA-256), a button that looks
// at the server's certificate, and one that drops the pin. A certificate the checker would
// refuse is shown with its reason and fingerprint, and the user may trust exactly that one.
// The pin is kept here until the dialog stores it.

#include "options/dialog_hooks.h"

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;

namespace lum {

class CertificateRow : public QWidget {
public:
    // server tells the server as the dialog now has it; empty when it is incomplete or the
    // account is not encrypted.
    CertificateRow(const DialogHooks &hooks, std::function<std::optional<CertificateQuery>()> server,
                   QWidget *parent = nullptr);

    QString pin() const { return pin_; }
    // Shows a stored pin, and forgets what an earlier look said.
    void setPin(const QString &pin);
    // The dialog's fields changed.
    void serverChanged();

private:
    void showPin();
    void look();
    void seen(const ProbeOutcome &outcome);
    void say(const QString &text);

    DialogHooks hooks_;
    std::function<std::optional<CertificateQuery>()> server_;
    QLabel *pinLabel_ = nullptr;
    QPushButton *look_ = nullptr;
    QPushButton *clear_ = nullptr;
    QLabel *status_ = nullptr;
    QString pin_;
    bool looking_ = false;
};

} // namespace lum
