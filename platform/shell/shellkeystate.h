#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

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

// Tells when the keyboard's lock indicators change, from the X server's own notices (XKB
// indicator events on the application's X11 connection), so nothing polls. Where the window
// system gives no indicator state (no X11 display, e.g. a native Wayland session) it never
// reports. UI thread.
class CLockKeyWatcher : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit CLockKeyWatcher(QObject* parent = nullptr);
    ~CLockKeyWatcher() override;

    // Whether the window system reports indicator changes here.
    [[nodiscard]] bool IsWatching() const { return m_nXkbEventBase >= 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // An indicator went on or off; ReadLockKeyState() tells which.
    void lockKeysChanged();

private:
    int m_nXkbEventBase = -1;
};

} // namespace vorn
