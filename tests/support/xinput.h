#pragma once

// Drives the real keyboard and pointer of the private X server that with-xvfb.sh starts, as a
// user at the machine would: xdotool sends them through XTest, so keys reach the window with the
// input focus and the pointer moves in screen coordinates, through the X server and Qt's xcb
// platform like real input. Every step then lets Qt process what arrived. There is no window
// manager on that server: focusWindow() gives a window the input focus itself.
#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>

namespace xinput {

// How long Qt gets to take in the input of one step.
inline constexpr int kSettleMs = 150;

// Runs xdotool with these arguments; true when it succeeded.
inline bool xdotool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit) {
        return false;
    }
    return process.exitCode() == 0;
}

// The title that the X server holds for a top-level window of this process (what a window
// manager or a task bar shows).
inline QString windowName(const QWidget* window)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"),
        { QStringLiteral("getwindowname"), QString::number(window->winId()) });
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        return QStringLiteral("<no name>");
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Gives a top-level window of this process the input focus and waits until Qt sees it active.
inline bool focusWindow(QWidget* window)
{
    window->raise();
    if (!xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"),
            QString::number(window->winId()) })) {
        return false;
    }
    return QTest::qWaitFor([window] { return window->isActiveWindow(); }, 5000);
}

// Presses key chords one after the other, in xdotool's names: "alt+f", "Return", "Escape".
inline bool pressKeys(const QStringList& chords)
{
    QStringList arguments { QStringLiteral("key"), QStringLiteral("--clearmodifiers"),
        QStringLiteral("--delay"), QStringLiteral("60") };
    arguments.append(chords);
    const bool sent = xdotool(arguments);
    QTest::qWait(kSettleMs);
    return sent;
}

// Moves the pointer to a point of a widget (in its coordinates).
inline bool movePointer(const QWidget* widget, QPoint local)
{
    const QPoint global = widget->mapToGlobal(local);
    const bool sent = xdotool(
        { QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()) });
    QTest::qWait(kSettleMs);
    return sent;
}

// Presses or releases the left button where the pointer is.
inline bool pressButton()
{
    const bool sent = xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") });
    QTest::qWait(kSettleMs);
    return sent;
}

inline bool releaseButton()
{
    const bool sent = xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });
    QTest::qWait(kSettleMs);
    return sent;
}

// Drags with the left button from one point of a widget to a point of the screen, in steps, as
// a hand would.
inline bool drag(const QWidget* widget, QPoint from, QPoint toGlobal, int steps = 8)
{
    if (!movePointer(widget, from) || !pressButton()) {
        return false;
    }
    const QPoint start = widget->mapToGlobal(from);
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = start + (toGlobal - start) * i / steps;
        if (!xdotool({ QStringLiteral("mousemove"), QString::number(at.x()),
                QString::number(at.y()) })) {
            return false;
        }
        QTest::qWait(40);
    }
    return releaseButton();
}

} // namespace xinput
