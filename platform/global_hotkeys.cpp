#include "platform/global_hotkeys.h"

#include "platform/scroll_led.h"
#include "platform/x_keymap.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <algorithm>
#include <map>
#include <vector>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace lum {

namespace {

class NoHotkeys : public GlobalHotkeys {
public:
    bool supported() const override { return false; }
    bool grab(int, const KeyCombo &) override { return false; }
    void release(int) override {}
};

// Each combination is grabbed on every key that gives its keysym, and on each of those with
// and without Num Lock and Caps Lock, so the locks never hide a key press. A change of the
// keyboard map (another layout) grabs every wanted combination again on the keys of the new
// map, also one that the map before had no key for.
class XcbHotkeys : public GlobalHotkeys, public QAbstractNativeEventFilter {
public:
    XcbHotkeys(xcb_connection_t *c, xcb_window_t root) : conn_(c), root_(root), keymap_(c)
    {
        qGuiApp->installNativeEventFilter(this);
    }
    ~XcbHotkeys() override
    {
        for (auto &[index, grab] : grabs_)
            ungrab(grab);
        xcb_flush(conn_);
        qGuiApp->removeNativeEventFilter(this);
    }

    bool supported() const override { return true; }

    bool grab(int index, const KeyCombo &combo) override
    {
        release(index);
        wanted_[index] = combo;
        Grab g{combo, modifiersOf(combo), {}, {}};
        const bool ok = take(index, g);
        xcb_flush(conn_);
        if (ok)
            grabs_[index] = g;
        return ok;
    }

    void release(int index) override
    {
        wanted_.erase(index);
        auto it = grabs_.find(index);
        if (it == grabs_.end())
            return;
        ungrab(it->second);
        grabs_.erase(it);
        xcb_flush(conn_);
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        if (keymap_.isChange(event)) {
            regrabAll();
            return false; // Qt reads the new map too
        }
        if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
            return false;
        auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
        // Only a press our grab took: one in a window of this program has any modifiers.
        if (key->event != root_)
            return false;
        for (const auto &[index, g] : grabs_) {
            if (sameCombination(key->state, g.modifiers, keymap_.numLockMask())
                && contains(g.keycodes, key->detail)) {
                emit pressed(index);
                return true;
            }
        }
        return false;
    }

private:
    struct Grab {
        KeyCombo combo;
        quint16 modifiers;
        std::vector<xcb_keycode_t> keycodes; // grabbed
        std::vector<quint16> locks;          // lock masks each key code was grabbed with
    };

    static quint16 modifiersOf(const KeyCombo &combo)
    {
        return quint16((combo.control ? XCB_MOD_MASK_CONTROL : 0) | (combo.shift ? XCB_MOD_MASK_SHIFT : 0));
    }

    static bool contains(const std::vector<xcb_keycode_t> &codes, xcb_keycode_t code)
    {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    }

    // Grabs g's keys as the keyboard map has them now, as key index; false, with nothing
    // grabbed, when no key gives its keysym, one of our other keys has the same key and
    // modifiers, or another client holds one of them (BadAccess).
    bool take(int index, Grab &g)
    {
        g.keycodes = keymap_.keycodes(g.combo.keysym);
        const quint16 num = keymap_.numLockMask();
        g.locks = {0, XCB_MOD_MASK_LOCK};
        if (num != 0 && num != XCB_MOD_MASK_LOCK)
            g.locks.insert(g.locks.end(), {num, quint16(num | XCB_MOD_MASK_LOCK)});
        if (g.keycodes.empty() || sharedWithAnother(index, g)) {
            g.keycodes.clear(); // an ungrab would take the other key's grab away
            return false;
        }
        std::vector<xcb_void_cookie_t> cookies;
        for (xcb_keycode_t code : g.keycodes) {
            for (quint16 lock : g.locks)
                cookies.push_back(xcb_grab_key_checked(conn_, 0, root_, g.modifiers | lock, code,
                                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
        bool ok = true;
        for (xcb_void_cookie_t cookie : cookies) {
            if (xcb_generic_error_t *e = xcb_request_check(conn_, cookie)) {
                ok = false;
                free(e);
            }
        }
        if (!ok) {
            ungrab(g); // ours only: X leaves another client's grab alone
            g.keycodes.clear();
        }
        return ok;
    }

    // X lets a client grab one combination twice, the second grab silently replacing the
    // first; so one of our keys on the key and modifiers of another counts as taken, as by
    // another program. Asked before grabbing, so the other key keeps its grab.
    bool sharedWithAnother(int index, const Grab &g) const
    {
        for (const auto &[other, held] : grabs_) {
            if (other == index || held.modifiers != g.modifiers)
                continue;
            for (xcb_keycode_t code : g.keycodes) {
                if (contains(held.keycodes, code))
                    return true;
            }
        }
        return false;
    }

    void ungrab(const Grab &g)
    {
        for (xcb_keycode_t code : g.keycodes) {
            for (quint16 lock : g.locks)
                xcb_ungrab_key(conn_, code, root_, g.modifiers | lock);
        }
    }

    // After a keyboard map change: every wanted key is grabbed where the new map puts it.
    // One held until now that can't be had any more is told as lost.
    void regrabAll()
    {
        for (auto &[index, g] : grabs_)
            ungrab(g);
        keymap_.reload();
        std::map<int, Grab> held;
        held.swap(grabs_);
        std::vector<int> lostNow;
        for (const auto &[index, combo] : wanted_) {
            Grab g{combo, modifiersOf(combo), {}, {}};
            if (take(index, g))
                grabs_[index] = g;
            else if (held.count(index))
                lostNow.push_back(index);
        }
        xcb_flush(conn_);
        for (int index : lostNow)
            emit lost(index);
    }

    xcb_connection_t *conn_;
    xcb_window_t root_;
    XKeymap keymap_;
    std::map<int, KeyCombo> wanted_; // what grab() was asked for, held or not
    std::map<int, Grab> grabs_;      // what is held now
};

// The root window of the screen the program was started on (the display name's screen).
xcb_window_t defaultRoot(xcb_connection_t *c, Display *display)
{
    int screen = display ? DefaultScreen(display) : 0;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (; it.rem > 1 && screen > 0; --screen)
        xcb_screen_next(&it);
    return it.data->root;
}

} // namespace

std::unique_ptr<GlobalHotkeys> makeGlobalHotkeys()
{
    if (onX11()) {
        if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (xcb_connection_t *c = x11->connection())
                return makeXcbHotkeys(c, defaultRoot(c, x11->display()));
        }
    }
    return std::make_unique<NoHotkeys>();
}

bool sameCombination(quint16 state, quint16 wanted, quint16 numLock)
{
    // Shift, Lock, Control and Mod1..Mod5; the bits above are buttons and the XKB group.
    constexpr quint16 modifierBits = 0xFF;
    return (state & modifierBits & ~(XCB_MOD_MASK_LOCK | numLock)) == wanted;
}

std::unique_ptr<GlobalHotkeys> makeXcbHotkeys(xcb_connection_t *c, quint32 root)
{
    return std::make_unique<XcbHotkeys>(c, root);
}

} // namespace lum
