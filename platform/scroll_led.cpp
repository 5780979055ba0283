#include "platform/scroll_led.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace lum {

namespace {

class NoLed : public ScrollLed {
public:
    bool lit() const override { return false; }
    void setLit(bool) override {}
};

// The named indicator "Scroll Lock" of the core keyboard.
class XkbLed : public ScrollLed {
public:
    explicit XkbLed(Display *display)
        : display_(display), name_(XInternAtom(display, "Scroll Lock", False))
    {
    }
    bool lit() const override
    {
        Bool state = False;
        if (!XkbGetNamedIndicator(display_, name_, nullptr, &state, nullptr, nullptr))
            return false;
        return state;
    }
    void setLit(bool on) override
    {
        XkbSetNamedIndicator(display_, name_, True, on ? True : False, False, nullptr);
        XFlush(display_);
    }

private:
    Display *display_;
    Atom name_;
};

} // namespace

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

std::unique_ptr<ScrollLed> makeScrollLed()
{
    if (onX11()) {
        if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (Display *d = x11->display())
                return std::make_unique<XkbLed>(d);
        }
    }
    return std::make_unique<NoLed>();
}

} // namespace lum
