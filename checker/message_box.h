#pragma once
// Message boxes that do not block: the box is shown and the call returns at once, so
// timers, sockets and menus go on while it is open; done is called with the button the
// user pressed once the box closes. Several boxes may be open at a time. Ctrl+C in a box
// copies its text.

#include <QMessageBox>
#include <functional>

namespace lum {

using BoxAnswer = std::function<void(QMessageBox::StandardButton)>;

QMessageBox *showBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                     const QString &text,
                     QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                     BoxAnswer done = {});

} // namespace lum
