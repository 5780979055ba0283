#pragma once
// A Checker over a temporary store, and answering its message boxes in tests.

#include "checker/checker.h"
#include "tests/support/temp_store.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <tuple>
#include <gtest/gtest.h>

namespace lum::test {

// The open message box whose text contains part, or null.
inline QMessageBox *findBox(const QString &part)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible() && box->text().contains(part))
            return box;
    }
    return nullptr;
}

// Waits (the event loop runs) for the box and presses button in it.
inline bool answerBox(const QString &part, QMessageBox::StandardButton button)
{
    QMessageBox *box = nullptr;
    if (!QTest::qWaitFor([&] { return (box = findBox(part)) != nullptr; }, 10000))
        return false;
    box->button(button)->click();
    QApplication::processEvents();
    return true;
}

// A notification area of either kind that the test brings and takes away.
struct FakeTrayWatch : TrayWatch {
    bool sni = false, xembed = false, asked = false; // asked: no answer yet
    bool statusNotifierHost() const override { return sni; }
    bool xembedManager() const override { return xembed; }
    bool answered() const override { return !asked; }
    void set(bool statusNotifier, bool xEmbed)
    {
        sni = statusNotifier;
        xembed = xEmbed;
        asked = false;
        emit changed();
    }
};

// Records what the checker asks of the desktop's notification server; the test answers.
struct FakeNotices : DesktopNotifications {
    std::vector<std::tuple<quint32, QString, QString, QStringList>> sends; // replaced id, texts, actions
    std::vector<quint32> closes;
    void start() override {}
    void notify(quint32 id, const QString &summary, const QString &body, const QStringList &actions) override
    {
        sends.emplace_back(id, summary, body, actions);
    }
    void close(quint32 id) override { closes.push_back(id); emit closeAnswered(id); }
};

// Store lines as QSettings writes them, below [setting].
inline void writeStore(TempStore &store, const QStringList &lines)
{
    store.writeFile("[setting]\n" + lines.join('\n').toUtf8() + '\n');
}

} // namespace lum::test
