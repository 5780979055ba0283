#pragma once
// Finding the controls of a form by their names, and answering its dialogs in tests.

#include "options/account_form.h"
#include "options/dialog_hooks.h"
#include "tests/support/temp_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace lum::test {

template <typename T> T *child(const QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        throw std::runtime_error("no control " + name.toStdString());
    return found;
}

inline QLineEdit *edit(const QObject *p, const QString &name) { return child<QLineEdit>(p, name); }
inline QCheckBox *check(const QObject *p, const QString &name) { return child<QCheckBox>(p, name); }
inline QPushButton *push(const QObject *p, const QString &name) { return child<QPushButton>(p, name); }
inline QComboBox *combo(const QObject *p, const QString &name) { return child<QComboBox>(p, name); }

struct FileRequest {
    FileFilter filter;
    QString initialDir;
    QString title;
};

// A keyring in memory that answers at once; failWith makes every operation fail.
struct FakeKeyring : Keyring {
    QMap<QString, QString> items;
    QString unavailable, failWith;
    QString unavailableReason() const override { return unavailable; }
    void read(const QString &k, Done done) override { answer(items.contains(k), {}, done, items.value(k)); }
    void write(const QString &k, const QString &pw, Done d) override { answer(true, [&] { items[k] = pw; }, d); }
    void remove(const QString &k, Done d) override { answer(true, [&] { items.remove(k); }, d); }
    void answer(bool found, const std::function<void()> &change, const Done &done, const QString &pw = {})
    {
        if (failWith.isEmpty() && change)
            change();
        done({found && failWith.isEmpty(), pw, failWith});
    }
};

// Stands in for the user at every dialog of the options program.
struct FakeUser {
    std::vector<std::pair<QString, QString>> warnings; // title, text
    std::vector<FileRequest> fileRequests;
    QString fileAnswer;             // "" = cancelled
    std::vector<qint32> colorAnswers; // taken in order; -1 = cancelled
    std::vector<std::pair<QString, QString>> questions; // title, text
    bool answerYes = false;
    std::vector<CertificateQuery> looks; // at server certificates
    CertificateProbe::Done pendingLook;  // answered by the test
    // Acts in the account dialog; the dialog's result is returned to the window.
    std::shared_ptr<FakeKeyring> keyring = std::make_shared<FakeKeyring>();
    std::function<void(AccountForm &)> inAccountDialog = [](AccountForm &f) {
        push(&f, QStringLiteral("Command2"))->click();
    };

    DialogHooks hooks()
    {
        DialogHooks h;
        h.pickFile = [this](QWidget *, const FileFilter &filter, const QString &dir,
                            const QString &title) {
            fileRequests.push_back({filter, dir, title});
            return fileAnswer;
        };
        h.pickColor = [this](QWidget *) {
            if (colorAnswers.empty())
                return qint32(-1);
            const qint32 c = colorAnswers.front();
            colorAnswers.erase(colorAnswers.begin());
            return c;
        };
        h.warn = [this](QWidget *, const QString &title, const QString &text) {
            warnings.emplace_back(title, text);
        };
        h.ask = [this](QWidget *, const QString &title, const QString &text) {
            questions.emplace_back(title, text);
            return answerYes;
        };
        h.probeCertificate = [this](QWidget *, const CertificateQuery &q, CertificateProbe::Done done) {
            looks.push_back(q);
            pendingLook = std::move(done);
        };
        h.keyring = keyring;
        h.runAccountDialog = [this](AccountForm &form) {
            inAccountDialog(form);
            return form.result();
        };
        return h;
    }
};

// Fills the account dialog's text boxes that are named in fields and presses OK.
inline std::function<void(AccountForm &)>
typeAccount(std::vector<std::pair<QString, QString>> fields)
{
    return [fields](AccountForm &form) {
        for (const auto &[name, text] : fields)
            edit(&form, name)->setText(text);
        push(&form, QStringLiteral("Command1"))->click();
    };
}

} // namespace lum::test
