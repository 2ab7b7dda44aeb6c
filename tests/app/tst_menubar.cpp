// The menu bar's keyboard highlight as assistive technology and an input method meet it, at the
// real keyboard of a private X server (Xvfb) with a private accessibility bus, both started by
// the wrappers: every entry the highlight moves to is announced, Tab follows the layout's reading
// order, a letter committed by an input method acts as its key, only an open popup paints its
// entry pressed, and a literal ampersand ("&&") is no mnemonic.

#include "framemenubar.h"
#include "mainframe.h"
#include "vornview.h"

#include "apptestcase.h"
#include "xinput.h"

#include <QAccessible>
#include <QInputMethodEvent>
#include <QMenu>
#include <QProxyStyle>
#include <QScopeGuard>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace vorn;

namespace {

std::vector<QString> s_announced; // the menu entries that focus events named, in order

void recordFocus(QAccessibleEvent* event)
{
    QAccessibleInterface* target = event->accessibleInterface();
    if (event->type() == QAccessible::Focus && target != nullptr
        && target->role() == QAccessible::MenuItem) {
        s_announced.push_back(target->text(QAccessible::Name));
    }
}

// The application's style, noting how it is asked to draw menu-bar entries.
class RecordingStyle : public QProxyStyle
{
public:
    RecordingStyle()
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    { }

    struct Entry
    {
        QString text;
        QStyle::State state;
    };
    mutable std::vector<Entry> entries; // drawing is const

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget) const override
    {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            item != nullptr && element == CE_MenuBarItem) {
            entries.push_back({ item->text, item->state });
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

} // namespace

class TestMenuBar : public AppTestCase
{
    Q_OBJECT

private:
    CFrameMenuBar* bar() const { return frame()->MenuBar(); }
    QAction* entry(const QString& text) const
    {
        for (QAction* action : bar()->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }
    QString highlighted() const
    {
        return bar()->HighlightedAction() ? bar()->HighlightedAction()->text() : QString();
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QAccessible::installUpdateHandler(recordFocus);
    }

    void init()
    {
        QVERIFY(startApp());
        // Every entry in one row, the screen's width.
        frame()->resize(1260, 700);
        QVERIFY(xinput::focusWindow(frame()));
        QTRY_VERIFY(frame()->GetActiveView()->hasFocus());
        QVERIFY2(QAccessible::isActive(), "needs the accessibility bus of the wrapper");
        s_announced.clear();
    }

    void cleanup() { stopApp(); }

    void movingTheHighlightAnnouncesEachEntry_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("announced");
        const QString file = QStringLiteral("ファイル(F)");
        const QString freq = QStringLiteral("Ｆ特(F)");
        QTest::newRow("shared mnemonic") << QStringList { QStringLiteral("alt+f"),
            QStringLiteral("alt+f"), QStringLiteral("alt+f") }
                                         << QStringList { file, freq, file };
        QTest::newRow("arrows") << QStringList { QStringLiteral("alt+f"), QStringLiteral("Right"),
            QStringLiteral("Right"), QStringLiteral("Left") }
                                << QStringList { file, QStringLiteral("編集(E)"),
                                       QStringLiteral("実行(R)"), QStringLiteral("編集(E)") };
        QTest::newRow("Backtab wraps round") << QStringList { QStringLiteral("alt+f"),
            QStringLiteral("shift+Tab") } << QStringList { file, freq };
        // A lone Alt is Qt's own keyboard mode; the shared letter then moves into this one.
        QTest::newRow("from Qt's keyboard mode") << QStringList { QStringLiteral("alt"),
            QStringLiteral("f") } << QStringList { file, freq };
    }

    void movingTheHighlightAnnouncesEachEntry()
    {
        QFETCH(QStringList, keys);
        QFETCH(QStringList, announced);
        for (const QString& key : keys) {
            QVERIFY(xinput::pressKeys({ key }));
        }
        QCOMPARE(QStringList(s_announced.begin(), s_announced.end()), announced);
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        QTRY_VERIFY(frame()->GetActiveView()->hasFocus());
    }

    void tabFollowsTheReadingOrder_data()
    {
        QTest::addColumn<Qt::LayoutDirection>("direction");
        QTest::addColumn<QString>("forward"); // the key to the next entry in reading order
        QTest::addColumn<QString>("backward");
        const QString tab = QStringLiteral("Tab");
        const QString backtab = QStringLiteral("shift+Tab");
        const QString left = QStringLiteral("Left");
        const QString right = QStringLiteral("Right");
        QTest::newRow("left to right, Tab") << Qt::LeftToRight << tab << backtab;
        QTest::newRow("left to right, arrows") << Qt::LeftToRight << right << left;
        QTest::newRow("right to left, Tab") << Qt::RightToLeft << tab << backtab;
        QTest::newRow("right to left, arrows") << Qt::RightToLeft << left << right;
    }

    void tabFollowsTheReadingOrder()
    {
        QFETCH(Qt::LayoutDirection, direction);
        QFETCH(QString, forward);
        QFETCH(QString, backward);
        frame()->setLayoutDirection(direction);
        QTRY_COMPARE(bar()->isRightToLeft(), direction == Qt::RightToLeft);
        for (QAction* action : bar()->actions()) {
            const QRect geometry = bar()->actionGeometry(action);
            QVERIFY(geometry.isEmpty()
                || geometry.top()
                    == bar()
                           ->actionGeometry(entry(QStringLiteral("ファイル(&F)")))
                           .top()); // one row
        }
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f") }));
        QCOMPARE(highlighted(), QStringLiteral("ファイル(&F)"));

        // Where the highlight is on the screen: moving in reading order is moving left in a
        // right-to-left layout.
        const int reading = direction == Qt::RightToLeft ? -1 : 1;
        const auto x
            = [this] { return bar()->actionGeometry(bar()->HighlightedAction()).center().x(); };
        for (const QString& key : { forward, forward, forward, backward, backward, backward }) {
            const int before = x();
            QVERIFY(xinput::pressKeys({ key }));
            const int step = key == forward ? reading : -reading;
            QVERIFY2((x() - before) * step > 0,
                qPrintable(
                    QStringLiteral("%1 moved from x=%2 to %3").arg(key).arg(before).arg(x())));
        }
        QCOMPARE(highlighted(), QStringLiteral("ファイル(&F)"));
    }

    void inputMethodLetterActsAsItsKey_data()
    {
        QTest::addColumn<QString>("enter"); // how the keyboard comes to the menu bar
        QTest::addColumn<QString>("committed");
        QTest::addColumn<QString>("highlighted");
        QTest::addColumn<QString>("opened");
        const QString altF = QStringLiteral("alt+f");
        const QString freq = QStringLiteral("Ｆ特(&F)");
        QTest::newRow("shared letter") << altF << QStringLiteral("f") << freq << QString();
        QTest::newRow("full-width shared letter")
            << altF << QStringLiteral("ｆ") << freq << QString();
        QTest::newRow("letter of one popup")
            << altF << QStringLiteral("e") << QString() << QStringLiteral("編集(&E)");
        QTest::newRow("shared letter in Qt's keyboard mode")
            << QStringLiteral("alt") << QStringLiteral("F") << freq << QString();
        QTest::newRow("letter of one popup in Qt's keyboard mode") << QStringLiteral(
            "alt") << QStringLiteral("w") << QString() << QStringLiteral("ウィンドウ(&W)");
        QTest::newRow("no letter")
            << altF << QStringLiteral("ふ") << QStringLiteral("ファイル(&F)") << QString();
    }

    void inputMethodLetterActsAsItsKey()
    {
        QFETCH(QString, enter);
        QFETCH(QString, committed);
        QFETCH(QString, highlighted);
        QFETCH(QString, opened);
        QVERIFY(xinput::pressKeys({ enter }));
        QTRY_VERIFY(bar()->hasFocus());
        // As an input method delivers its text: to the object with the focus.
        QInputMethodEvent event;
        event.setCommitString(committed);
        QCoreApplication::sendEvent(QGuiApplication::focusObject(), &event);
        QTest::qWait(xinput::kSettleMs);
        QCOMPARE(this->highlighted(), highlighted);
        if (!opened.isEmpty()) {
            QTRY_VERIFY(entry(opened)->menu()->isVisible());
            QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        }
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        QTRY_VERIFY(frame()->GetActiveView()->hasFocus());
        QVERIFY(xinput::pressKeys({ QStringLiteral("x") }));
        QCOMPARE(frame()->GetActiveView()->toPlainText(), QStringLiteral("x"));
    }

    void literalAmpersandsAreNoMnemonic_data()
    {
        QTest::addColumn<QStringList>("added"); // entries added to the menu bar, each a popup
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("highlighted"); // the entry the key highlights, or none
        QTest::addColumn<QString>("opened"); // the entry whose popup the key opens, or none
        // "&&" is a plain ampersand: A&&B has no mnemonic B, so the letter is Bee's alone.
        QTest::newRow("A&&B") << QStringList { QStringLiteral("A&&B"), QStringLiteral("&Bee") }
                              << QStringLiteral("alt+b") << QString() << QStringLiteral("&Bee");
        // A&&B(&C) has the mnemonic C, which Cee shares: the key moves the highlight.
        QTest::newRow("A&&B(&C)") << QStringList { QStringLiteral("A&&B(&C)"),
            QStringLiteral("&Cee") }
                                  << QStringLiteral("alt+c") << QStringLiteral("A&&B(&C)")
                                  << QString();
    }

    void literalAmpersandsAreNoMnemonic()
    {
        QFETCH(QStringList, added);
        QFETCH(QString, key);
        QFETCH(QString, highlighted);
        QFETCH(QString, opened);
        std::vector<QMenu*> menus;
        for (const QString& text : added) {
            QMenu* menu = bar()->addMenu(text);
            menu->addAction(QStringLiteral("item"));
            menus.push_back(menu);
        }
        const auto remove = qScopeGuard([this, &menus] {
            for (QMenu* menu : menus) {
                bar()->removeAction(menu->menuAction());
                delete menu;
            }
        });
        QTRY_VERIFY(!bar()->actionGeometry(menus.back()->menuAction()).isEmpty());
        // What the menu bar counts as each entry's mnemonic.
        QCOMPARE(bar()->EntriesWithMnemonic(u'&').size(), std::size_t(0));
        QCOMPARE(bar()->EntriesWithMnemonic(u'A').size(), std::size_t(0));

        QVERIFY(xinput::pressKeys({ key }));
        QCOMPARE(this->highlighted(), highlighted);
        if (!opened.isEmpty()) {
            QTRY_VERIFY(entry(opened)->menu()->isVisible());
        }
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        if (opened.isEmpty()) {
            QTRY_VERIFY(frame()->GetActiveView()->hasFocus());
        } else {
            QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        }
    }

    void onlyAnOpenPopupLooksPressed()
    {
        RecordingStyle style;
        bar()->setStyle(&style);
        const auto restore = qScopeGuard([this] { bar()->setStyle(nullptr); });
        const QString file = QStringLiteral("ファイル(&F)");
        const auto drawn = [&style, &file](QStyle::State flag) {
            return std::any_of(style.entries.begin(), style.entries.end(),
                [&](const RecordingStyle::Entry& drawnEntry) {
                    return drawnEntry.text == file && (drawnEntry.state & flag);
                });
        };

        const QRect geometry = bar()->actionGeometry(entry(file));
        const QImage plain = bar()->grab(geometry).toImage();
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f") }));
        QTRY_VERIFY(drawn(QStyle::State_Selected));
        QVERIFY(!drawn(QStyle::State_Sunken));
        // Yet the highlight shows, even in a style that marks only pressed entries.
        QVERIFY(bar()->grab(geometry).toImage() != plain);

        // Opened, its popup is shown pressed.
        QVERIFY(xinput::pressKeys({ QStringLiteral("Return") }));
        QTRY_VERIFY(entry(file)->menu()->isVisible());
        QTRY_VERIFY(drawn(QStyle::State_Sunken));
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape"), QStringLiteral("Escape") }));
    }
};

QTEST_MAIN(TestMenuBar)
#include "tst_menubar.moc"
