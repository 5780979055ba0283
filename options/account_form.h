#pragma once
// The account dialog "ｱｶｳﾝﾄ": edits one mail account, read over POP3 or IMAP (「受信方式」;
// an IMAP account names its mailbox in 「フォルダ」). It starts empty (POP3, port 110, no
// encryption, no trusted certificate, checked, black on light cyan, common sound) or filled
// from a stored account by intoform(). The port follows the protocol and the encryption
// while it holds one of their usual ports; one the user typed stays. On OK it leaves the fields in the editor's
// currentAccount and accepts; the options window then stores the record and updates its
// list. Cancel leaves currentAccount as it was.
//
// For an encrypted account the user may look at the server's certificate; one the checker
// would refuse is shown with its fingerprint, and the user may trust exactly that one.
//
// The password may live in the desktop's keyring instead of the file. OK then writes the
// keyring first and accepts only once it has taken the password (or, unticked, once the
// password is read back for the file); a failure says why and keeps the dialog open.
//
// An account may sign in with OAuth 2.0 instead ("認証"): the provider's preset fills in
// the server, and a sign-in in the browser gives the refresh token that OK stores in the
// keyring, in the same order as a password.

#include "options/dialog_hooks.h"
#include "settings/account_editor.h"

#include <QDialog>
#include <array>
#include <optional>

class QBoxLayout;
class QCheckBox;
class QFormLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace lum {

class CertificateRow;
class SignInGroup;
struct OAuthPreset;
struct PasswordPlaced;
class ColorField;

class AccountForm : public QDialog {
    Q_OBJECT
public:
    AccountForm(AccountEditor &editor, const DialogHooks &hooks, QWidget *parent = nullptr);

    // Reads account n into currentAccount (fresh record first) and shows its fields.
    void intoform(int n);
    // After OK: keyring items for the window to remove once the record is stored
    // (staleItems), or when the file refuses it (newItems).
    QStringList staleItems() const { return staleItems_; }
    QStringList newItems() const { return newItems_; }

private:
    void createFields();
    void createColorGroup(QBoxLayout *groups);
    void createSoundGroup(QBoxLayout *groups);
    void createButtons();
    void showColor(int which);
    void updateOk();
    MailProtocol protocol() const;
    void protocolChanged();
    void showProtocol();
    void proposePort();
    std::optional<CertificateQuery> server() const;
    void chooseColor(int which);
    void chooseWav();
    void commit();
    void createKeyringBox(QFormLayout *form);
    void passwordPlaced(const AccountRecord &next, const PasswordPlaced &placed);
    void createAuthChoice(QFormLayout *form);
    void showAuthMode();
    void takePreset(const OAuthPreset &preset);
    void tokenPlaced(const AccountRecord &next, const PasswordPlaced &token);

    AccountEditor &editor_;
    DialogHooks hooks_;
    QVBoxLayout *layout_ = nullptr;
    QFormLayout *fields_ = nullptr;

    QLineEdit *accountName_ = nullptr;
    QComboBox *protocol_ = nullptr; // index = MailProtocol
    QLineEdit *imapbox_ = nullptr;
    QLineEdit *hostName_ = nullptr;
    QLineEdit *portBox_ = nullptr;
    QLabel *portHint_ = nullptr;
    QLineEdit *userName_ = nullptr;
    QLineEdit *password_ = nullptr;
    QComboBox *sslmode_ = nullptr; // index = SslMode
    CertificateRow *certificate_ = nullptr;
    QCheckBox *pwstore_ = nullptr;
    QLabel *pwstoreReason_ = nullptr;
    bool wasInKeyring_ = false;
    QString oldKey_;
    QStringList staleItems_;
    QStringList newItems_;
    QComboBox *authmode_ = nullptr; // index = AuthMode
    SignInGroup *signIn_ = nullptr;
    QCheckBox *check1_ = nullptr;
    std::array<ColorField *, 2> colorBox_{};
    std::array<qint32, 2> colors_{0, 0xFFFF80};
    std::array<QRadioButton *, 3> wavMode_{};
    QLineEdit *wavBox_ = nullptr;
    QPushButton *browse_ = nullptr;
    QPushButton *ok_ = nullptr;
    QPushButton *cancel_ = nullptr;
};

} // namespace lum
