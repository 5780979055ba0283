#pragma once
// The notification-area icon and the three pictures it shows: normal, working (a session
// runs) and arrival (new mail). Its tip is always the main window's caption.

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <array>

class QMenu;
class QWidget;

namespace lum {

class Tray : public QObject {
    Q_OBJECT
public:
    // The pictures the icon can show, in the numbering of the icon operations.
    enum Picture { Normal = 1, Working = 2, Arrival = 3 };
    // Operations: add, remove, and show one of the three pictures.
    enum Op { Add = 1, Remove = 2, ShowNormal = 3, ShowWorking = 4, ShowArrival = 5 };

    // window gets the chosen picture as its own icon with every operation.
    Tray(QWidget *window, QMenu *menu, QObject *parent = nullptr);

    // Loads the pictures from the three icon paths; a path that names no readable picture
    // falls back to the built-in one and is set to the built-in marker (for this run).
    void loadPictures(std::array<QString, 3> &paths);
    void tuskicon(int op);
    // Adds the icon again, showing picture.
    void restore(Picture picture);
    void setTip(const QString &caption);

    bool present() const { return icon_.isVisible(); }
    QString tip() const { return icon_.toolTip(); }
    // The picture the icon (and the window) shows now.
    Picture picture() const { return current_; }
    static bool available();

signals:
    void doubleClicked();

private:
    QWidget *window_;
    QSystemTrayIcon icon_;
    std::array<QIcon, 3> pictures_;
    Picture current_ = Normal;
};

} // namespace lum
