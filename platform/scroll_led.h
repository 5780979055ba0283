#pragma once
// The Scroll Lock indicator of the keyboard, used as a new-mail light.

#include <memory>

namespace lum {

class ScrollLed {
public:
    virtual ~ScrollLed() = default;
    virtual bool lit() const = 0;
    virtual void setLit(bool on) = 0;
};

// The X11 indicator through XKB when the program runs on an X display; otherwise an
// indicator that is never lit and ignores every change.
std::unique_ptr<ScrollLed> makeScrollLed();

// True when the program talks to an X server (global keys and the LED work only there).
bool onX11();

} // namespace lum
