#include "platform/x_selection_events.h"

#include <cstdlib>
#include <sys/uio.h>
#include <xcb/xcbext.h>

namespace lum {
namespace {

xcb_extension_t xfixes = {"XFIXES", 0};

constexpr quint8 queryVersion = 0;
constexpr quint8 selectSelectionInput = 2;
// SetSelectionOwner, SelectionWindowDestroy, SelectionClientClose.
constexpr quint32 everyOwnerChange = 1 | 2 | 4;

struct QueryVersion {
    quint8 major = 0, minor = queryVersion;
    quint16 length = 0;
    quint32 clientMajor = 5, clientMinor = 0;
};

struct SelectInput {
    quint8 major = 0, minor = selectSelectionInput;
    quint16 length = 0;
    quint32 window, selection, mask;
};

struct SelectionNotify {
    quint8 responseType, subtype;
    quint16 sequence;
    quint32 window, owner, selection, timestamp, selectionTimestamp;
};

// xcb fills in the opcodes and the length; it needs two free slots before the request.
template <typename Request>
unsigned send(xcb_connection_t *c, Request &request, bool hasReply)
{
    iovec parts[3] = {};
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    xcb_protocol_request_t about = {1, &xfixes, request.minor, quint8(!hasReply)};
    return xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &about);
}

} // namespace

quint8 selectSelectionEvents(xcb_connection_t *c, xcb_window_t root, xcb_atom_t selection)
{
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xfixes);
    if (!extension || !extension->present)
        return 0;
    // XFixes serves a client only after it has told its version.
    QueryVersion version;
    xcb_generic_error_t *error = nullptr;
    std::free(xcb_wait_for_reply(c, send(c, version, true), &error));
    if (error) {
        std::free(error);
        return 0;
    }
    SelectInput select;
    select.window = root;
    select.selection = selection;
    select.mask = everyOwnerChange;
    if (xcb_generic_error_t *e = xcb_request_check(c, {send(c, select, false)})) {
        std::free(e);
        return 0;
    }
    return extension->first_event;
}

xcb_atom_t selectionOfEvent(const xcb_generic_event_t *event)
{
    return reinterpret_cast<const SelectionNotify *>(event)->selection;
}

} // namespace lum
