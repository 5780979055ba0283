#pragma once
// XFixes selection events: they tell every change of a selection's owner, also one that
// gives the selection up and keeps its window.

#include <QtGlobal>

#include <xcb/xcb.h>

namespace lum {

// Asks for an event on connection c whenever selection gets a new owner (or none), its
// owner's window is destroyed or its owner's client ends. Returns the response type these
// events come with; 0 when the display has no XFixes.
quint8 selectSelectionEvents(xcb_connection_t *c, xcb_window_t root, xcb_atom_t selection);

// The selection an event of that type is about.
xcb_atom_t selectionOfEvent(const xcb_generic_event_t *event);

} // namespace lum
