#include "platform/x_selection_events.h"

#include <cstdlib>
#include <xcb/xfixes.h>

namespace lum {

quint8 selectSelectionEvents(xcb_connection_t *c, xcb_window_t root, xcb_atom_t selection)
{
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!extension || !extension->present)
        return 0;
    // XFixes serves a client only after it has told its version.
    xcb_generic_error_t *error = nullptr;
    std::free(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), &error));
    if (error) {
        std::free(error);
        return 0;
    }
    const quint32 everyOwnerChange = XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                     | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                     | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE;
    if (xcb_generic_error_t *e = xcb_request_check(
            c, xcb_xfixes_select_selection_input_checked(c, root, selection, everyOwnerChange))) {
        std::free(e);
        return 0;
    }
    return extension->first_event + XCB_XFIXES_SELECTION_NOTIFY;
}

xcb_atom_t selectionOfEvent(const xcb_generic_event_t *event)
{
    return reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event)->selection;
}

} // namespace lum
