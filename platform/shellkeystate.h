#pragma once

namespace vorn {

// The keyboard's lock states as the window system reports them.
struct LockKeyState
{
    bool known = false; // false where the platform offers no indicator state (no X11 display)
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

// Reads Caps Lock, Num Lock and Scroll Lock from the X server's keyboard extension (XKB) of the
// running application's X11 connection. Runs on the UI thread.
LockKeyState ReadLockKeyState();

} // namespace vorn
