#include "shellkeystate.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstdint>

namespace vorn {

namespace {

Display* X11Display()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

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
    Display* display = X11Display();
    if (display == nullptr) {
        return state;
    }
    state.known = true;
    state.capsLock = IndicatorOn(display, "Caps Lock");
    state.numLock = IndicatorOn(display, "Num Lock");
    state.scrollLock = IndicatorOn(display, "Scroll Lock");
    return state;
}

CLockKeyWatcher::CLockKeyWatcher(QObject* parent)
    : QObject(parent)
{
    Display* display = X11Display();
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (display == nullptr
        || !XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        return;
    }
    // Only the indicator notices are asked for; the toolkit's own XKB selections stay as
    // they are.
    if (!XkbSelectEventDetails(display, XkbUseCoreKbd, XkbIndicatorStateNotify,
            XkbAllIndicatorsMask, XkbAllIndicatorsMask)) {
        return;
    }
    XFlush(display);
    m_nXkbEventBase = eventBase;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

CLockKeyWatcher::~CLockKeyWatcher()
{
    if (IsWatching() && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool CLockKeyWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || message == nullptr) {
        return false;
    }
    // Every XKB event shares the extension's event code; its second byte says which it is.
    const auto* bytes = static_cast<const std::uint8_t*>(message);
    if ((bytes[0] & 0x7f) == m_nXkbEventBase && bytes[1] == XkbIndicatorStateNotify) {
        emit lockKeysChanged();
    }
    return false; // the toolkit sees every event as before
}

} // namespace vorn

#include "moc_shellkeystate.cpp"
