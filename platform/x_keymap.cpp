#include "platform/x_keymap.h"

#include <X11/keysym.h>
#include <algorithm>
#include <cstdlib>
// xkb.h names a struct member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace lum {

XKeymap::XKeymap(xcb_connection_t *c) : conn_(c), symbols_(xcb_key_symbols_alloc(c))
{
    const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(c, &xcb_xkb_id);
    if (xkb && xkb->present)
        xkbFirstEvent_ = xkb->first_event;
    numLock_ = findNumLock();
}

XKeymap::~XKeymap()
{
    xcb_key_symbols_free(symbols_);
}

std::vector<xcb_keycode_t> XKeymap::keycodes(quint32 keysym)
{
    std::vector<xcb_keycode_t> found;
    if (keysym == 0)
        return found;
    if (xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols_, keysym)) {
        for (xcb_keycode_t *c = codes; *c != XCB_NO_SYMBOL; ++c) {
            if (std::find(found.begin(), found.end(), *c) == found.end())
                found.push_back(*c);
        }
        free(codes);
    }
    return found;
}

void XKeymap::reload()
{
    // Freeing the tables is what xcb_refresh_keyboard_mapping() does; the XKB notifications
    // have no core event to hand it.
    xcb_key_symbols_free(symbols_);
    symbols_ = xcb_key_symbols_alloc(conn_);
    numLock_ = findNumLock();
}

bool XKeymap::isChange(const xcb_generic_event_t *event) const
{
    const quint8 type = event->response_type & ~0x80;
    if (type == XCB_MAPPING_NOTIFY) {
        const quint8 request = reinterpret_cast<const xcb_mapping_notify_event_t *>(event)->request;
        return request == XCB_MAPPING_KEYBOARD || request == XCB_MAPPING_MODIFIER;
    }
    // An XKB event carries its own kind in the byte after the response type.
    return xkbFirstEvent_ != 0 && type == xkbFirstEvent_
        && (event->pad0 == XCB_XKB_NEW_KEYBOARD_NOTIFY || event->pad0 == XCB_XKB_MAP_NOTIFY);
}

quint16 XKeymap::findNumLock()
{
    const std::vector<xcb_keycode_t> numLock = keycodes(XK_Num_Lock);
    xcb_get_modifier_mapping_reply_t *reply
        = xcb_get_modifier_mapping_reply(conn_, xcb_get_modifier_mapping(conn_), nullptr);
    if (!reply)
        return 0;
    const xcb_keycode_t *map = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    quint16 mask = 0;
    for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = map[modifier * perModifier + i];
            if (code != 0 && std::count(numLock.begin(), numLock.end(), code)) {
                mask = quint16(1u << modifier);
                break;
            }
        }
    }
    free(reply);
    return mask;
}

} // namespace lum
