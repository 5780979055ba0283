#pragma once
// System-wide key combinations: grabbed on the X root window, so they reach the checker
// whatever window has the keyboard.

#include <QObject>
#include <memory>

namespace lum {

struct KeyCombo {
    quint32 keysym = 0; // 0: no key the system knows
    bool control = false;
    bool shift = false;
};

class GlobalHotkeys : public QObject {
    Q_OBJECT
public:
    // False where the system has no global keys (no X11 display): nothing is grabbed and
    // nothing is reported as failed.
    virtual bool supported() const = 0;
    // Grabs combo as key index; false when another client holds it, another key index has
    // the same key and modifiers, or the key is unknown. A key index grabbed before is
    // released first.
    virtual bool grab(int index, const KeyCombo &combo) = 0;
    virtual void release(int index) = 0;

signals:
    void pressed(int index);
};

// X11 grabs through xcb when on an X display, else a set that supports nothing.
std::unique_ptr<GlobalHotkeys> makeGlobalHotkeys();

} // namespace lum
