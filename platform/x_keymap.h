#pragma once
// The X keyboard map as the global keys need it: which key codes produce a keysym, which
// modifier bit Num Lock sets, and whether an event tells that the map has changed.

#include <QtGlobal>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace lum {

class XKeymap {
public:
    explicit XKeymap(xcb_connection_t *c);
    ~XKeymap();
    XKeymap(const XKeymap &) = delete;
    XKeymap &operator=(const XKeymap &) = delete;

    // Every key code with keysym in any of its columns (a keysym may sit on several keys).
    std::vector<xcb_keycode_t> keycodes(quint32 keysym);
    // The modifier mask of Num Lock as the modifier map has it; 0 when no modifier holds it.
    quint16 numLockMask() const { return numLock_; }
    // Reads the map again; call it after isChange() reported an event.
    void reload();
    // A core MappingNotify for the keyboard or the modifiers, or XKB's new-keyboard or map
    // notification (a client that uses XKB, as Qt does, gets those instead).
    bool isChange(const xcb_generic_event_t *event) const;

private:
    quint16 findNumLock();

    xcb_connection_t *conn_;
    xcb_key_symbols_t *symbols_;
    quint16 numLock_ = 0;
    quint8 xkbFirstEvent_ = 0; // 0: no XKB on this display
};

} // namespace lum
