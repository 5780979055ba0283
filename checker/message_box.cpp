#include "checker/message_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QShortcut>

namespace lum {

QMessageBox *showBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                     const QString &text, QMessageBox::StandardButtons buttons,
                     QMessageBox::StandardButton defaultButton, BoxAnswer done)
{
    // An empty title would not stay empty: Qt hands the window system the program's name
    // instead, and window managers show a truly empty one as "Untitled" or the like.
    auto *box = new QMessageBox(icon, title.isEmpty() ? QStringLiteral(" ") : title, text,
                                buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText); // a server's or a provider's words, never markup
    box->setWindowModality(Qt::NonModal);
    // Ctrl+C copies the text, so a message can be passed on as it stands.
    auto *copy = new QShortcut(QKeySequence::Copy, box);
    QObject::connect(copy, &QShortcut::activated, box,
                     [box] { QGuiApplication::clipboard()->setText(box->text()); });
    if (defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(defaultButton);
    if (done) {
        QObject::connect(box, &QDialog::finished, box, [box, done] {
            done(box->standardButton(box->clickedButton()));
        });
    }
    box->show();
    box->raise();
    return box;
}

} // namespace lum
