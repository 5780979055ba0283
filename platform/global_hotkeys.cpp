#include "platform/global_hotkeys.h"

#include "platform/scroll_led.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <array>
#include <map>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace lum {

namespace {

class NoHotkeys : public GlobalHotkeys {
public:
    bool supported() const override { return false; }
    bool grab(int, const KeyCombo &) override { return false; }
    void release(int) override {}
};

// Each combination is grabbed four times, with and without Num Lock and Caps Lock, so the
// locks never hide a key press.
class XcbHotkeys : public GlobalHotkeys, public QAbstractNativeEventFilter {
public:
    explicit XcbHotkeys(xcb_connection_t *c)
        : conn_(c), root_(xcb_setup_roots_iterator(xcb_get_setup(c)).data->root),
          symbols_(xcb_key_symbols_alloc(c))
    {
        qGuiApp->installNativeEventFilter(this);
    }
    ~XcbHotkeys() override
    {
        for (auto &[index, grab] : grabs_)
            ungrab(grab);
        xcb_flush(conn_);
        qGuiApp->removeNativeEventFilter(this);
        xcb_key_symbols_free(symbols_);
    }

    bool supported() const override { return true; }

    bool grab(int index, const KeyCombo &combo) override
    {
        release(index);
        if (combo.keysym == 0)
            return false;
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols_, combo.keysym);
        if (!codes)
            return false;
        const xcb_keycode_t code = codes[0];
        free(codes);
        if (code == XCB_NO_SYMBOL)
            return false;
        Grab g{code, quint16((combo.control ? XCB_MOD_MASK_CONTROL : 0)
                             | (combo.shift ? XCB_MOD_MASK_SHIFT : 0))};
        std::vector<xcb_void_cookie_t> cookies;
        for (quint16 locks : lockVariants)
            cookies.push_back(xcb_grab_key_checked(conn_, 0, root_, g.modifiers | locks, code,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        bool ok = true;
        for (xcb_void_cookie_t cookie : cookies) {
            if (xcb_generic_error_t *e = xcb_request_check(conn_, cookie)) {
                ok = false; // BadAccess: another client holds it
                free(e);
            }
        }
        if (!ok) {
            ungrab(g);
            xcb_flush(conn_);
            return false;
        }
        grabs_[index] = g;
        return true;
    }

    void release(int index) override
    {
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
        if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
            return false;
        auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
        const quint16 mods = key->state & (XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT);
        for (const auto &[index, g] : grabs_) {
            if (g.keycode == key->detail && g.modifiers == mods) {
                emit pressed(index);
                return true;
            }
        }
        return false;
    }

private:
    struct Grab {
        xcb_keycode_t keycode;
        quint16 modifiers;
    };
    static constexpr std::array<quint16, 4> lockVariants{
        0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

    void ungrab(const Grab &g)
    {
        for (quint16 locks : lockVariants)
            xcb_ungrab_key(conn_, g.keycode, root_, g.modifiers | locks);
    }

    xcb_connection_t *conn_;
    xcb_window_t root_;
    xcb_key_symbols_t *symbols_;
    std::map<int, Grab> grabs_;
};

} // namespace

std::unique_ptr<GlobalHotkeys> makeGlobalHotkeys()
{
    if (onX11()) {
        if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (xcb_connection_t *c = x11->connection())
                return std::make_unique<XcbHotkeys>(c);
        }
    }
    return std::make_unique<NoHotkeys>();
}

} // namespace lum
