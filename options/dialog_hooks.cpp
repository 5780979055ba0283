#include "options/dialog_hooks.h"

#include "options/account_form.h"
#include "pop3/qt/qt_certificate_probe.h"

#include <QDesktopServices>
#include <QMessageBox>

namespace lum {

DialogHooks standardDialogHooks()
{
    DialogHooks hooks;
    hooks.pickFile = &pickFile;
    hooks.pickColor = &pickColor;
    hooks.warn = [](QWidget *owner, const QString &title, const QString &text) {
        // A warning may quote a server or a provider: its text is never read as markup.
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    hooks.ask = [](QWidget *owner, const QString &title, const QString &text) {
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               == QMessageBox::Yes;
    };
    hooks.probeCertificate = [](QWidget *owner, const CertificateQuery &q, CertificateProbe::Done done) {
        // Owned by the dialog, so it goes with it; else it goes once it has answered.
        auto *probe = new QtCertificateProbe({}, owner);
        probe->setDone([probe, done](const ProbeOutcome &outcome) {
            probe->deleteLater();
            done(outcome);
        });
        probe->start(q.host, q.port, q.mode, q.pin, q.protocol);
    };
    hooks.runAccountDialog = [](AccountForm &form) { return form.exec(); };
    hooks.keyring = std::make_shared<SecretServiceKeyring>();
    hooks.openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    return hooks;
}

} // namespace lum
