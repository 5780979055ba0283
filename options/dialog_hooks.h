#pragma once
// The points where the options program waits for the user in a dialog of its own: the file
// and colour pickers, the warning box, the question box and the account dialog, and where
// it waits for a server: the look at a certificate. The forms call them through
// this table so that tests can answer in place of a user; standardDialogHooks() shows the
// real dialogs.

#include "options/pickers.h"
#include "platform/keyring.h"
#include "pop3/certificate_probe.h"

#include <functional>
#include <memory>

namespace lum {

class AccountForm;

// The server of an account as the certificate look sees it.
struct CertificateQuery {
    QString host;
    quint16 port = 0;
    SslMode mode = SslMode::Tls;
    QByteArray pin;
    MailProtocol protocol = MailProtocol::Pop3;
};

struct DialogHooks {
    std::function<QString(QWidget *owner, const FileFilter &, const QString &initialDir,
                          const QString &title)>
        pickFile;
    std::function<qint32(QWidget *owner)> pickColor;
    // A message box with the warning icon and one OK button.
    std::function<void(QWidget *owner, const QString &title, const QString &text)> warn;
    // A question with Yes and No (No the default); true for Yes.
    std::function<bool(QWidget *owner, const QString &title, const QString &text)> ask;
    // Looks at the certificate of the server; done follows once, unless owner goes first.
    std::function<void(QWidget *owner, const CertificateQuery &, CertificateProbe::Done done)> probeCertificate;
    // Shows the account dialog modally; QDialog::Accepted when it ended with OK.
    std::function<int(AccountForm &)> runAccountDialog;
    // Where passwords go when an account keeps them in the keyring.
    std::shared_ptr<Keyring> keyring;
    // Opens an OAuth 2.0 sign-in page in the user's browser.
    std::function<void(const QUrl &)> openUrl;
};

DialogHooks standardDialogHooks();

} // namespace lum
