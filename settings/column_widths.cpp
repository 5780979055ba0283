#include "settings/column_widths.h"

#include "settings/save_value.h"

namespace lum {

bool restoreColumnWidths(SettingsStore &store)
{
    for (int i = 0; i < int(key::grdWidthDefaults.size()); ++i)
        saveValue(store, numbered(key::grdWidth, i), key::grdWidthDefaults[i], QString());
    return store.flush();
}

} // namespace lum
