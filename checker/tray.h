#pragma once
// The notification-area icon and the three pictures it shows: normal, working (a session
// runs) and arrival (new mail). Its tip is always the main window's caption.
//
// The icon is made once a notification area is there, so one that comes after the checker
// still gets it; the kind of area present then (StatusNotifier or XEmbed) is the one it
// lives in, and whose coming and going is followed from then on.

#include "platform/tray_watch.h"

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <array>
#include <memory>

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
    Tray(QWidget *window, QMenu *menu, TrayWatch &watch, QObject *parent = nullptr);
    ~Tray() override;

    // Loads the pictures from the three icon paths; a path that names no readable picture
    // falls back to the built-in one and is set to the built-in marker (for this run).
    void loadPictures(std::array<QString, 3> &paths);
    void tuskicon(int op);
    // Adds the icon again, showing picture.
    void restore(Picture picture);
    void setTip(const QString &caption);

    bool present() const { return shown_; }
    QString tip() const { return tip_; }
    // The picture the icon (and the window) shows now.
    Picture picture() const { return current_; }
    // A notification area is there to show the icon.
    bool available() const;

signals:
    // The user asked for the list from the icon: a double click, or the single click
    // (Activate) that is all a StatusNotifier host sends.
    void opened();
    void availabilityChanged(bool available);

private:
    void watchChanged();
    void makeIcon();
    void showPicture();

    QWidget *window_;
    QMenu *menu_;
    TrayWatch &watch_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool statusNotifier_ = false; // the icon is a StatusNotifierItem
    bool available_ = false;
    std::array<QIcon, 3> pictures_;
    Picture current_ = Normal;
    bool shown_ = false;
    QString tip_;
};

} // namespace lum
