#pragma once
// System-wide key combinations: grabbed on the X root window, so they reach the checker
// whatever window has the keyboard.

#include <QObject>
#include <memory>

struct xcb_connection_t;

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
    // released first. The combination stays wanted until release(): whenever the keyboard
    // map changes it is grabbed where the new map puts it, if it can be had there.
    virtual bool grab(int index, const KeyCombo &combo) = 0;
    virtual void release(int index) = 0;

signals:
    // The key of index was pressed, exactly with its modifiers (the locks aside).
    void pressed(int index);
    // A key that was held could not be grabbed again after a change of the keyboard map.
    // Told once; the key comes back by itself when a later map allows it.
    void lost(int index);
};

// X11 grabs through xcb when on an X display, else a set that supports nothing.
std::unique_ptr<GlobalHotkeys> makeGlobalHotkeys();

// The X11 set on connection c, grabbing on root; it takes the events Qt reads from c
// through its native event filter.
std::unique_ptr<GlobalHotkeys> makeXcbHotkeys(xcb_connection_t *c, quint32 root);

// Whether a key press with the X modifier state is one of the combination grabbed with the
// modifiers wanted: Caps Lock and Num Lock (numLock, the keyboard map's bit for it) aside,
// Alt, Super, AltGr ... held on top make another combination.
bool sameCombination(quint16 state, quint16 wanted, quint16 numLock);

} // namespace lum
