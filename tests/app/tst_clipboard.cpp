// Paste's state follows the clipboard of a real X server (Xvfb, started by the wrapper) held by
// another X client, and typing never waits for that client: one that has stopped answering
// requests must not stall the window, while one that answers decides Paste at once.

#include "mainframe.h"
#include "resources.h"
#include "vornview.h"

#include "apptestcase.h"
#include "xinput.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace vorn;

class TestClipboard : public AppTestCase
{
    Q_OBJECT

private:
    std::unique_ptr<QProcess> m_owner;

    QAction* paste() const { return action(ID_EDIT_PASTE); }

    // Another X client takes the clipboard with these offers (see clipboardowner.cpp).
    [[nodiscard]] bool takeClipboard(const QStringList& offers)
    {
        auto owner = std::make_unique<QProcess>();
        owner->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        owner->start(QStringLiteral(VORN_CLIPBOARD_OWNER), offers);
        // The line comes once the server has made it the owner.
        QElapsedTimer waited;
        waited.start();
        while (!owner->canReadLine() && waited.elapsed() < 10000) {
            if (!owner->waitForReadyRead(100) && owner->state() == QProcess::NotRunning) {
                return false;
            }
        }
        const bool owned = owner->readLine().trimmed() == "owned";
        m_owner = std::move(owner);
        return owned;
    }

    // Types the keys at the real keyboard and returns the longest time, in ms, that the UI thread
    // went without running its timers meanwhile; -1 if the keys never all arrived.
    qint64 typeMeasuringStalls(const QString& keys)
    {
        qint64 longest = 0;
        QElapsedTimer sinceTick;
        QTimer tick;
        tick.setInterval(10);
        connect(&tick, &QTimer::timeout, this,
            [&] { longest = std::max(longest, sinceTick.restart()); });
        QProcess xdotool;
        sinceTick.start();
        tick.start();
        xdotool.start(QStringLiteral("xdotool"),
            { QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("80"), keys });
        CVornView* view = frame()->GetActiveView();
        if (!QTest::qWaitFor(
                [&] {
                    return xdotool.state() == QProcess::NotRunning
                        && view->toPlainText().size() >= keys.size();
                },
                60000)) {
            return -1;
        }
        QTest::qWait(200); // the refresh after the last key
        return std::max(longest, sinceTick.elapsed());
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    void init()
    {
        QVERIFY(startApp());
        QVERIFY(xinput::focusWindow(frame()));
        QTRY_VERIFY(frame()->GetActiveView()->hasFocus());
    }

    void cleanup()
    {
        if (m_owner) {
            m_owner->kill();
            m_owner->waitForFinished();
            m_owner.reset();
        }
        stopApp();
    }

    void pasteFollowsTheOwner_data()
    {
        QTest::addColumn<QStringList>("offers");
        QTest::addColumn<QString>("pasted"); // empty: Paste is disabled
        QTest::newRow("UTF-8 text")
            << QStringList { QStringLiteral("UTF8_STRING=hello"), QStringLiteral("STRING=hello") }
            << QStringLiteral("hello");
        QTest::newRow("Latin-1 text only")
            << QStringList { QStringLiteral("STRING=plain") } << QStringLiteral("plain");
        QTest::newRow("UTF-8 text by its mime type")
            << QStringList { QStringLiteral("text/plain;charset=utf-8=mime") }
            << QStringLiteral("mime");
        QTest::newRow("empty text")
            << QStringList { QStringLiteral("UTF8_STRING="), QStringLiteral("STRING=") }
            << QString();
        QTest::newRow("no text") << QStringList { QStringLiteral("image/png=PNG") } << QString();
    }

    void pasteFollowsTheOwner()
    {
        QFETCH(QStringList, offers);
        QFETCH(QString, pasted);
        const bool hasText = !pasted.isEmpty();
        // Start from the other state, so that the change has to be noticed.
        if (hasText) {
            QGuiApplication::clipboard()->clear();
            QTRY_VERIFY(!paste()->isEnabled());
        } else {
            QGuiApplication::clipboard()->setText(QStringLiteral("before"));
            QVERIFY(enabled(ID_EDIT_PASTE)); // this process's own text is known at once
        }

        QVERIFY(takeClipboard(offers));
        // The frame updates the command by itself when the clipboard changes.
        QTRY_COMPARE(paste()->isEnabled(), hasText);
        if (hasText) {
            QVERIFY(frame()->SendCommand(ID_EDIT_PASTE));
            QCOMPARE(frame()->GetActiveView()->toPlainText(), pasted);
        }
        // The owner goes away, and the clipboard is empty with it.
        m_owner->kill();
        m_owner->waitForFinished();
        QTRY_VERIFY(!paste()->isEnabled());
    }

    void typingNeverWaitsForAHungOwner()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QVERIFY(enabled(ID_EDIT_PASTE));
        QVERIFY(takeClipboard({ QStringLiteral("hang") }));

        const QString keys = QStringLiteral("abcdefgh");
        const qint64 longest = typeMeasuringStalls(keys);
        QCOMPARE(frame()->GetActiveView()->toPlainText(), keys);
        QVERIFY(longest >= 0);
        QVERIFY2(
            longest < 1000, qPrintable(QStringLiteral("the window stalled %1 ms").arg(longest)));
        // Unanswered, Paste keeps the state it had.
        QVERIFY(paste()->isEnabled());

        // An owner that answers, taking over from the hung one, is heard at once.
        std::unique_ptr<QProcess> hung = std::move(m_owner);
        QVERIFY(takeClipboard({ QStringLiteral("image/png=PNG") }));
        QTRY_VERIFY_WITH_TIMEOUT(!paste()->isEnabled(), 1000);
        hung->kill();
        hung->waitForFinished();
    }
};

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
