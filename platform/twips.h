#pragma once
// Stored window and column sizes are in twips, 1/1440 inch. One pixel is 1440 / dpi twips,
// with dpi the screen's logical dots per inch (15 twips at 96 dpi).

#include <cmath>

namespace lum {

inline int twipsToPixels(int twips, double logicalDpi)
{
    if (!(logicalDpi > 0))
        logicalDpi = 96;
    return int(std::lround(twips * logicalDpi / 1440.0));
}

inline int pixelsToTwips(int pixels, double logicalDpi)
{
    if (!(logicalDpi > 0))
        logicalDpi = 96;
    return int(std::lround(pixels * 1440.0 / logicalDpi));
}

} // namespace lum
