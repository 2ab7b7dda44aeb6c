#include "shellkeystate.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace vorn {

namespace {

// Whether the named indicator (its XKB name, e.g. "Caps Lock") is lit.
bool IndicatorOn(Display* display, const char* name)
{
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) {
        return false;
    }
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
        return false;
    }
    return on != False;
}

} // namespace

LockKeyState ReadLockKeyState()
{
    LockKeyState state;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (display == nullptr) {
        return state;
    }
    state.known = true;
    state.capsLock = IndicatorOn(display, "Caps Lock");
    state.numLock = IndicatorOn(display, "Num Lock");
    state.scrollLock = IndicatorOn(display, "Scroll Lock");
    return state;
}

} // namespace vorn
