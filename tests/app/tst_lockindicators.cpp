// The CAP, NUM and SCRL panes follow the X server's keyboard indicators, as it reports them.
// Runs against a real X server (Xvfb, started by the wrapper), on Qt's xcb platform.

#include "mainframe.h"
#include "shellkeystate.h"
#include "vornapp.h"

#include "isolatedsettings.h"
#include "modalscript.h"

#include <QGuiApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <memory>

using namespace vorn;

namespace {

Display* x11Display()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// Locks or unlocks the modifiers in mask, as pressing the lock keys would.
void lockModifiers(unsigned mask, bool on)
{
    Display* display = x11Display();
    XkbLockModifiers(display, XkbUseCoreKbd, mask, on ? mask : 0);
    XSync(display, False);
}

unsigned numLockMask()
{
    Display* display = x11Display();
    return XkbKeysymToModifiers(display, XK_Num_Lock);
}

} // namespace

class TestLockIndicators : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_settings;

private slots:
    void initTestCase()
    {
        m_settings = isolateSettings();
        QVERIFY2(x11Display() != nullptr, "needs the xcb platform on an X server");
        lockModifiers(LockMask | numLockMask(), false);
    }

    void readsTheIndicators()
    {
        LockKeyState state = ReadLockKeyState();
        QVERIFY(state.known);
        QVERIFY(!state.capsLock);
        QVERIFY(!state.numLock);

        lockModifiers(LockMask, true);
        state = ReadLockKeyState();
        QVERIFY(state.capsLock);
        QVERIFY(!state.numLock);

        QVERIFY(numLockMask() != 0);
        lockModifiers(numLockMask(), true);
        state = ReadLockKeyState();
        QVERIFY(state.capsLock);
        QVERIFY(state.numLock);

        lockModifiers(LockMask | numLockMask(), false);
        state = ReadLockKeyState();
        QVERIFY(!state.capsLock);
        QVERIFY(!state.numLock);
    }

    void watcherReportsChangesOnly()
    {
        CLockKeyWatcher watcher;
        QVERIFY(watcher.IsWatching());
        QSignalSpy changes(&watcher, &CLockKeyWatcher::lockKeysChanged);
        // Nothing changes, nothing is reported: the watcher does not poll.
        QTest::qWait(600);
        QCOMPARE(changes.count(), 0);
        lockModifiers(LockMask, true);
        QVERIFY(changes.wait(2000));
        QVERIFY(ReadLockKeyState().capsLock);
        lockModifiers(LockMask, false);
        QTRY_VERIFY(changes.count() >= 2);
        QVERIFY(!ReadLockKeyState().capsLock);
        const int seen = changes.count();
        QTest::qWait(600);
        QCOMPARE(changes.count(), seen);
    }

    void panesFollowTheLocks()
    {
        CVornApp app;
        QVERIFY(app.InitInstance({ QStringLiteral("vorn") }));
        CMainFrame* frame = app.GetMainWnd();
        QLabel* caps = frame->IndicatorPane(59137);
        QLabel* num = frame->IndicatorPane(59138);
        QCOMPARE(caps->text(), QString());
        lockModifiers(LockMask, true);
        QTRY_COMPARE(caps->text(), QStringLiteral("CAP"));
        QCOMPARE(num->text(), QString());
        lockModifiers(numLockMask(), true);
        QTRY_COMPARE(num->text(), QStringLiteral("NUM"));
        lockModifiers(LockMask | numLockMask(), false);
        QTRY_COMPARE(caps->text(), QString());
        QTRY_COMPARE(num->text(), QString());
    }
};

QTEST_MAIN(TestLockIndicators)
#include "tst_lockindicators.moc"
