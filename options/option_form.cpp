#include "options/option_form.h"

#include "options/account_form.h"
#include "options/form_values.h"
#include "options/hotkey_choices.h"
#include "options/icon_picture.h"
#include "platform/color_ref.h"
#include "platform/twips.h"
#include "settings/column_widths.h"
#include "settings/save_value.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace lum {
namespace {

// The keys of flags_, in the order they are stored.
constexpr std::array<NumberKey, 15> flagKeys{
    key::option1, key::option2, key::option3,  key::option4,  key::option5,
    key::option6, key::option7, key::option8,  key::option9,  key::option10,
    key::option11, key::soption11, key::option12, key::option13, key::option15};

// The keys of timer boxes 1..5.
constexpr std::array<NumberKey, 5> timerKeys{key::checkTimer, key::closeTimer, key::timeUp,
                                             key::lightTimer, key::lightTimer2};

QString keyName(NumberKey k) { return QString::fromLatin1(k.name); }
QString keyName(TextKey k) { return QString::fromLatin1(k.name); }

const QString notWritable = QStringLiteral("設定ファイルに書き込めません。\n%1");

} // namespace

OptionForm::OptionForm(SettingsStore &store, DialogHooks hooks, QWidget *parent)
    : QDialog(parent), store_(store), editor_(store), hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("optionform"));
    setWindowTitle(QStringLiteral("OPTION"));
    layout_ = new QVBoxLayout(this);
    createTabs();
    createButtons();

    for (int n = 1; n <= 5; ++n)
        connect(timerBox_[n - 1], &QLineEdit::textChanged, this, [this, n] { validateTimerBox(n); });
    // Unchecking the popup or the LED blinking also zeroes its time; the icon blinking
    // keeps its time.
    connect(flag(1), &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            timerBox_[1]->setText(QStringLiteral("0"));
        applyEnablingRules();
    });
    connect(flag(4), &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            timerBox_[3]->setText(QStringLiteral("0"));
        applyEnablingRules();
    });
    for (int n : {2, 10, 11})
        connect(flag(n), &QCheckBox::toggled, this, &OptionForm::applyEnablingRules);

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    fillHotkeyLists();
    loadOptionsWindow();
    QGuiApplication::restoreOverrideCursor();
}

QCheckBox *OptionForm::flag(int n) const
{
    return n == 12 ? flags_[12] : flags_[n - 1];
}

void OptionForm::applyEnablingRules()
{
    timerBox_[1]->setEnabled(flag(1)->isChecked());
    timerBox_[3]->setEnabled(flag(4)->isChecked());
    timerBox_[4]->setEnabled(flag(11)->isChecked());
    flags_[11]->setEnabled(flag(11)->isChecked());
    wavBox_->setEnabled(flag(2)->isChecked());
    wavRef_->setEnabled(flag(2)->isChecked());
    icoFrame_->setEnabled(flag(10)->isChecked());
}

void OptionForm::fillHotkeyLists()
{
    for (int i = 0; i < 6; ++i) {
        for (const HotkeyChoice &c : hotkeyChoices(hotkeyListHasNone(i)))
            hotkeyList_[i]->addItem(c.text, int(c.code));
        hotkeyList_[i]->setCurrentIndex(0);
    }
}

void OptionForm::loadOptionsWindow()
{
    fillAccountList();

    for (size_t i = 0; i < flagKeys.size(); ++i)
        flags_[i]->setChecked(readNumber(store_, flagKeys[i]) != 0);
    applyEnablingRules();
    // A value the list does not offer shows as the default, as the checker takes it.
    const int notice = noticeList_->findData(int(readNumber(store_, key::option14)));
    noticeList_->setCurrentIndex(notice >= 0 ? notice : noticeList_->findData(int(key::option14.def)));

    for (int i = 0; i < 5; ++i)
        timerBox_[i]->setText(QString::number(readNumber(store_, timerKeys[i])));
    for (int i = 0; i < 2; ++i)
        mailerBox_[i]->setText(readText(store_, key::mailerDirs[i]));
    for (int i = 0; i < 3; ++i)
        showIcon(i, readText(store_, key::icoDirs[i]));
    wavBox_->setText(readText(store_, key::wavDir));

    for (int i = 0; i < 6; ++i) {
        const qint16 code = readNumber(store_, numbered(key::hotkeyNum, i), key::hotkeyDefault(i));
        hotkeyList_[i]->setCurrentIndex(qMax(0, hotkeyList_[i]->findData(int(code))));
    }
}

// The account list as the store has it, no row highlighted.
void OptionForm::fillAccountList()
{
    accountList_->setRowCount(0);
    if (editor_.accountCount() > 0) {
        accountList_->setUpdatesEnabled(false);
        for (int n = 1; n <= editor_.accountCount(); ++n) {
            editor_.clearAccount();
            editor_.readAccount(n);
            appendAccountRow(editor_.currentAccount);
        }
        accountList_->setUpdatesEnabled(true);
    }
    accountList_->setColumnWidth(
        0, twipsToPixels(accountNameColumnTwips(editor_.accountCount()), logicalDpiX()));
    // No row is chosen until the user chooses one.
    accountList_->setCurrentCell(-1, -1);
    accountList_->clearSelection();
    followHighlight();
}

bool OptionForm::saveOptionsWindow()
{
    saveValue(store_, keyName(key::accountno), editor_.accountCount(), QString());
    for (size_t i = 0; i < flagKeys.size(); ++i)
        saveValue(store_, keyName(flagKeys[i]), flags_[i]->isChecked() ? 1 : 0, QString());
    saveValue(store_, keyName(key::option14), noticeList_->currentData().toInt(), QString());
    for (int i = 0; i < 5; ++i)
        saveValue(store_, keyName(timerKeys[i]), timerValue(timerBox_[i]->text()).value_or(0),
                  QString());
    for (int i = 0; i < 2; ++i)
        saveValue(store_, keyName(key::mailerDirs[i]), 0, mailerBox_[i]->text());
    for (int i = 0; i < 3; ++i)
        saveValue(store_, keyName(key::icoDirs[i]), 0, dirBox_[i]->text());
    saveValue(store_, keyName(key::wavDir), 0, wavBox_->text());
    for (int i = 0; i < 6; ++i)
        saveValue(store_, numbered(key::hotkeyNum, i), hotkeyList_[i]->currentData().toInt(),
                  QString());
    return store_.flush();
}

void OptionForm::validateTimerBox(int n)
{
    if (n < 1 || n > 5)
        return;
    timerInvalid_[n - 1] = !timerTextValid(timerBox_[n - 1]->text());
    ok_->setEnabled(std::none_of(timerInvalid_.begin(), timerInvalid_.end(),
                                 [](bool invalid) { return invalid; }));
}

void OptionForm::appendAccountRow(const AccountRecord &account)
{
    const int row = accountList_->rowCount();
    accountList_->insertRow(row);
    accountList_->setItem(row, 0, new QTableWidgetItem);
    accountList_->setItem(row, 1, new QTableWidgetItem);
    showAccountRow(row, account);
}

void OptionForm::showAccountRow(int row, const AccountRecord &account)
{
    const QString texts[2] = {accountRowText(account), accountMark(account)};
    for (int column = 0; column < 2; ++column) {
        QTableWidgetItem *item = accountList_->item(row, column);
        item->setText(texts[column]);
        item->setForeground(fromColorRef(account.display.scolor1));
        item->setBackground(fromColorRef(account.display.scolor2));
    }
}

// Mouse or keyboard, the row made current is highlighted.
void OptionForm::currentRowChanged(int row)
{
    if (row >= 0)
        accountList_->selectRow(row);
    followHighlight();
}

// Edit and Delete act on the highlighted row. A click below the last row takes the highlight
// away but leaves the current row: then no account is chosen.
void OptionForm::followHighlight()
{
    const QModelIndexList rows = accountList_->selectionModel()->selectedRows();
    selectedAccount_ = rows.isEmpty() ? 0 : rows.first().row() + 1;
    editButton_->setEnabled(selectedAccount_ != 0);
    delButton_->setEnabled(selectedAccount_ != 0);
}

void OptionForm::warnNotWritable()
{
    hooks_.warn(this, QStringLiteral("Lumora"), notWritable.arg(store_.filePath()));
}

bool OptionForm::storeWritable()
{
    if (store_.writable())
        return true;
    warnNotWritable();
    return false;
}

// After every write that reached the file: the one warning when the file stays readable
// by other users.
void OptionForm::written()
{
    if (permissionWarned_ || store_.permissionWarning().isEmpty())
        return;
    permissionWarned_ = true;
    hooks_.warn(this, QStringLiteral("Lumora"), store_.permissionWarning());
}

void OptionForm::removeItems(const QStringList &keys)
{
    for (const QString &key : keys)
        removeItem(key);
}

// Whether a stored account names the keyring item key: identical accounts share one.
bool OptionForm::itemInUse(const QString &key) const
{
    for (int n = 1; n <= editor_.accountCount(); ++n) {
        AccountRecord a;
        readAccount(store_, n, a);
        if ((a.pwstore == PasswordStore::Keyring && key == keyringKey(a.hname, a.portno, a.uname))
            || (a.authmode == AuthMode::OAuth && key == oauthKeyringKey(a.hname, a.portno, a.uname)))
            return true;
    }
    return false;
}

// A keyring item no stored account names any more; its failure is told, nothing else.
void OptionForm::removeItem(const QString &key)
{
    if (key.isEmpty() || !hooks_.keyring || itemInUse(key))
        return;
    QPointer<OptionForm> alive(this);
    hooks_.keyring->remove(key, [alive](const KeyringAnswer &a) {
        if (alive && !a.ok)
            alive->hooks_.warn(alive, QStringLiteral("Lumora"),
                               QStringLiteral("キーリングから削除できませんでした: ") + a.reason);
    });
}

void OptionForm::addAccount()
{
    if (!storeWritable())
        return;
    AccountForm form(editor_, hooks_, this);
    if (hooks_.runAccountDialog(form) != QDialog::Accepted)
        return;
    if (editor_.accountCount() >= AccountEditor::maxAccounts) {
        hooks_.warn(this, QStringLiteral("Lumora"), QStringLiteral("これ以上ｱｶｳﾝﾄを追加できません。"));
        return;
    }
    if (!editor_.addAccount()) {
        removeItems(form.newItems());
        return warnNotWritable(); // the store dropped it; the list stays as stored
    }
    written();
    removeItems(form.staleItems());
    appendAccountRow(editor_.currentAccount);
    accountList_->setCurrentCell(accountList_->rowCount() - 1, 0);
}

void OptionForm::editAccount()
{
    const int n = selectedAccount_;
    if (n == 0 || !storeWritable())
        return;
    AccountForm form(editor_, hooks_, this);
    form.intoform(n);
    if (hooks_.runAccountDialog(form) != QDialog::Accepted)
        return;
    if (!editor_.editAccount(n)) {
        removeItems(form.newItems());
        return warnNotWritable(); // the store dropped it; the list stays as stored
    }
    written();
    removeItems(form.staleItems());
    showAccountRow(n - 1, editor_.currentAccount);
}

void OptionForm::deleteAccount()
{
    const int n = selectedAccount_;
    if (n == 0 || !storeWritable())
        return;
    AccountRecord gone;
    readAccount(store_, n, gone);
    if (!editor_.deleteAccount(n))
        return warnNotWritable(); // the store dropped it; the list stays as stored
    written();
    if (gone.pwstore == PasswordStore::Keyring)
        removeItem(keyringKey(gone.hname, gone.portno, gone.uname));
    if (gone.authmode == AuthMode::OAuth)
        removeItem(oauthKeyringKey(gone.hname, gone.portno, gone.uname));
    accountList_->removeRow(n - 1);
    accountList_->setCurrentCell(-1, -1);
    accountList_->clearSelection();
    followHighlight();
}

void OptionForm::showIcon(int i, const QString &path)
{
    if (const auto picture = loadIconPicture(path)) {
        dirBox_[i]->setText(path);
        icoImg_[i]->setIcon(QIcon(*picture));
    } else {
        resetIcon(i);
    }
}

void OptionForm::resetIcon(int i)
{
    dirBox_[i]->setText(builtInIconMarker);
    icoImg_[i]->setIcon(QIcon(builtInPicture(i)));
}

void OptionForm::chooseIcon(int i)
{
    const QString path = hooks_.pickFile(this, {QStringLiteral("ｱｲｺﾝ"), QStringLiteral("*.ico")},
                                         pickerStart(dirBox_[i]->text()),
                                         QStringLiteral("ｱｲｺﾝの選択"));
    if (!path.isEmpty())
        showIcon(i, path);
}

void OptionForm::chooseMailer(int i)
{
    // Programs on this desktop carry no ".exe"; the filter offers every file.
    const QString path = hooks_.pickFile(this, {QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ"), QStringLiteral("*")},
                                         pickerStart(mailerBox_[i]->text()),
                                         QStringLiteral("ﾒｰﾗｰの選択"));
    if (!path.isEmpty())
        mailerBox_[i]->setText(path);
}

void OptionForm::chooseWav()
{
    const QString path = hooks_.pickFile(this, {QStringLiteral("WAVﾌｧｲﾙ"), QStringLiteral("*.wav")},
                                         pickerStart(wavBox_->text()),
                                         QStringLiteral("WAVﾌｧｲﾙの選択"));
    if (!path.isEmpty())
        wavBox_->setText(path);
}

void OptionForm::restoreColumnWidths()
{
    if (!lum::restoreColumnWidths(store_))
        warnNotWritable();
    else
        written();
}

void OptionForm::okClicked()
{
    std::array<qint16, 6> codes{};
    for (int i = 0; i < 6; ++i)
        codes[i] = qint16(hotkeyList_[i]->currentData().toInt());
    if (hotkeysConflict(codes)) {
        hooks_.warn(this, QStringLiteral("APName"), QStringLiteral("起動キーが重複しています"));
        return;
    }
    if (!saveOptionsWindow()) {
        warnNotWritable();
        return;
    }
    written();
    accept();
}

} // namespace lum
