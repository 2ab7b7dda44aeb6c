// An idle view wakes nothing: its text cursor, never seen (the viewport shows the plot), does not
// blink while the view has the focus, and the other text fields blink as before once it has
// lost it, or gone with it.
#include "vornview.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QStyleHints>
#include <QTest>

#include <memory>

using namespace vorn;

namespace {

void sendFocus(QWidget& widget, QEvent::Type type)
{
    QFocusEvent event(type, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(&widget, &event);
}

} // namespace

class TestViewIdle : public QObject
{
    Q_OBJECT

private slots:
    void cursorRestsWhileTheViewHasTheFocus_data()
    {
        QTest::addColumn<bool>("destroyedWithFocus");
        QTest::newRow("focus moves on") << false;
        QTest::newRow("view closed while focused") << true;
    }
    void cursorRestsWhileTheViewHasTheFocus()
    {
        QFETCH(bool, destroyedWithFocus);
        QStyleHints* hints = QGuiApplication::styleHints();
        const int desktop = hints->cursorFlashTime();
        QVERIFY(desktop > 0);
        auto view = std::make_unique<CVornView>();
        view->show();
        sendFocus(*view, QEvent::FocusIn);
        QCOMPARE(hints->cursorFlashTime(), 0);
        if (destroyedWithFocus) {
            view.reset();
        } else {
            sendFocus(*view, QEvent::FocusOut);
        }
        QCOMPARE(hints->cursorFlashTime(), desktop);
    }
};

QTEST_MAIN(TestViewIdle)
#include "tst_viewidle.moc"
