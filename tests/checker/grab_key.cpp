// Holds Ctrl+F7 on the X root window until killed, as another program that took the key
// would. Prints "grabbed" once it holds it.
#include <X11/keysym.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

int main()
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, XK_F7);
    if (!codes)
        return 1;
    const uint16_t lockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
    for (uint16_t locks : lockVariants) {
        xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 0, root, XCB_MOD_MASK_CONTROL | locks, codes[0],
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *e = xcb_request_check(c, cookie)) {
            std::free(e);
            return 1;
        }
    }
    std::printf("grabbed\n");
    std::fflush(stdout);
    pause();
    return 0;
}
