#pragma once
// The options window "OPTION": every option of the store on three pages ("全般", "ｱｶｳﾝﾄ",
// "ﾄﾚｲｱｲｺﾝ"), and the account list. OK stores every option and accepts; Cancel, Escape
// and the frame's close reject without storing an option. Account changes and the column
// width reset are stored at once, so they outlive a Cancel.

#include "options/dialog_hooks.h"
#include "settings/account_editor.h"

#include <QDialog>
#include <QPixmap>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QVBoxLayout;

namespace lum {

class OptionForm : public QDialog {
    Q_OBJECT
public:
    // Builds the window and fills it from store.
    explicit OptionForm(SettingsStore &store, DialogHooks hooks = standardDialogHooks(),
                        QWidget *parent = nullptr);

    // Fills every control from the store.
    void loadOptionsWindow();
    // Writes every option from the controls (no account keys, no column widths) and
    // flushes; false when the store could not be written.
    bool saveOptionsWindow();
    // Re-checks timer box n (1..5); OK is enabled exactly while all five are valid.
    void validateTimerBox(int n);

    // The account of the list's highlighted row, 0 when none is highlighted.
    int selectedAccount() const { return selectedAccount_; }

private:
    void createTabs();
    QWidget *createGeneralPage();
    QWidget *createAccountPage();
    QWidget *createIconPage();
    void createButtons();

    QCheckBox *flag(int n) const;  // "option1".."option12"
    void applyEnablingRules();
    void fillHotkeyLists();

    void fillAccountList();
    void appendAccountRow(const AccountRecord &account);
    void showAccountRow(int row, const AccountRecord &account);
    void currentRowChanged(int row);
    void followHighlight();
    void addAccount();
    void editAccount();
    void deleteAccount();
    bool itemInUse(const QString &key) const;
    void removeItem(const QString &key);
    void removeItems(const QStringList &keys);
    bool storeWritable();
    void warnNotWritable();
    void written();

    void showIcon(int i, const QString &path);
    void resetIcon(int i);
    void chooseIcon(int i);
    void chooseMailer(int i);
    void chooseWav();
    void restoreColumnWidths();
    void okClicked();

    SettingsStore &store_;
    AccountEditor editor_;
    DialogHooks hooks_;
    int selectedAccount_ = 0;
    bool permissionWarned_ = false;
    std::array<bool, 5> timerInvalid_{};

    QVBoxLayout *layout_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    std::array<QLineEdit *, 5> timerBox_{};
    // option1..option11, soption11, option12, option13, option15: the order in which they
    // are stored.
    std::array<QCheckBox *, 15> flags_{};
    std::array<QLineEdit *, 2> mailerBox_{};
    QLineEdit *wavBox_ = nullptr;
    QPushButton *wavRef_ = nullptr;
    std::array<QComboBox *, 6> hotkeyList_{};
    QComboBox *noticeList_ = nullptr; // "Option14value": the item's data is the stored value
    QTableWidget *accountList_ = nullptr;
    QPushButton *addButton_ = nullptr;
    QPushButton *editButton_ = nullptr;
    QPushButton *delButton_ = nullptr;
    QGroupBox *icoFrame_ = nullptr;
    std::array<QToolButton *, 3> icoImg_{};
    std::array<QLineEdit *, 3> dirBox_{};
    QPushButton *command3_ = nullptr;
    QPushButton *ok_ = nullptr;
    QPushButton *cancel_ = nullptr;
};

} // namespace lum
