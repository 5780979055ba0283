#pragma once
// The column widths of the checker's mail list, "grdWidth0".."grdWidth5" (twips).

#include "platform/settings_store.h"

namespace lum {

// Writes the six default widths (260, 260, 130, 2740, 4770, 300) and flushes, so the checker
// lays its list out afresh at its next start. False when the store could not be written.
bool restoreColumnWidths(SettingsStore &store);

} // namespace lum
