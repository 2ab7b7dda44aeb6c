// The shell at the real keyboard and pointer of a private X server (Xvfb, started by the
// wrapper): menu mnemonics, the prompts of a floating toolbar and of a document window's system
// menu. Keys and pointer moves go through the X server (XTest), as a user's would.

#include "childframe.h"
#include "framemenubar.h"
#include "mainframe.h"
#include "resources.h"
#include "vornapp.h"
#include "vornview.h"

#include "apptestcase.h"
#include "modalscript.h"
#include "xinput.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QStyleOptionToolBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

using namespace vorn;

class TestShellInput : public AppTestCase
{
    Q_OBJECT

private:
    QAction* fileMenu() const { return frame()->menuBar()->actions().front(); }
    QString message() const { return frame()->MessagePane()->text(); }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    void init()
    {
        QVERIFY(startApp());
        QVERIFY(xinput::focusWindow(frame()));
        // Start with the pointer away from every command.
        QVERIFY(xinput::movePointer(frame()->MdiArea(), QPoint(600, 500)));
        QTRY_COMPARE(message(), QStringLiteral("レディ"));
    }

    void cleanup() { stopApp(); }

    void sharedMnemonicOnlyMovesTheHighlight()
    {
        CVornView* view = frame()->GetActiveView();
        QVERIFY(view->hasFocus());
        CFrameMenuBar* bar = frame()->MenuBar();

        // "ファイル(&F)" and "Ｆ特(&F)" share F: each Alt+F moves to the next of them, and back,
        // running nothing: no message box (one that came would be closed and noted here).
        bool boxShown = false;
        auto watcher = onNextModal([&boxShown](QWidget* modal) {
            boxShown = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
        });
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f") }));
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f") }));
        QTest::qWait(300);
        QVERIFY(!boxShown);
        QCOMPARE(view->m_bFreqMode, 0);
        QVERIFY(view->m_points.empty());
        // The highlight is on the frequency-response command, whose prompt is blank.
        QCOMPARE(bar->HighlightedAction(), action(ID_FREQ_RESPONSE));
        QCOMPARE(message(), QString());
        QVERIFY(!fileMenu()->menu()->isVisible());
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f") }));
        QCOMPARE(bar->HighlightedAction(), fileMenu());
        QVERIFY(!fileMenu()->menu()->isVisible());
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f") }));
        QCOMPARE(bar->HighlightedAction(), action(ID_FREQ_RESPONSE));

        // Escape leaves the menu bar; the text has the keyboard again.
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        QVERIFY(bar->HighlightedAction() == nullptr);
        QTRY_VERIFY(view->hasFocus());
        QCOMPARE(message(), QStringLiteral("レディ"));
        QVERIFY(xinput::pressKeys({ QStringLiteral("x") }));
        QCOMPARE(view->toPlainText(), QStringLiteral("x"));
        // A lone Alt leaves it as well.
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f") }));
        QCOMPARE(bar->HighlightedAction(), fileMenu());
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt") }));
        QVERIFY(bar->HighlightedAction() == nullptr);
        QTRY_VERIFY(view->hasFocus());
    }

    void enterRunsTheHighlightedCommand()
    {
        CVornView* view = frame()->GetActiveView();
        QString text;
        ModalScript script(
            { ModalScript::acceptMessageBox([&text](QMessageBox* box) { text = box->text(); }) });
        QVERIFY(xinput::pressKeys(
            { QStringLiteral("alt+f"), QStringLiteral("alt+f"), QStringLiteral("Return") }));
        QTRY_VERIFY(script.finished());
        QVERIFY(text.startsWith(QStringLiteral("1KHz 6th Butterworth LPF")));
        QTRY_COMPARE(view->m_bFreqMode, 1);
        QCOMPARE(view->m_points.size(), std::size_t { 2000 });
        QVERIFY(frame()->MenuBar()->HighlightedAction() == nullptr);
    }

    void enterOpensTheHighlightedPopup()
    {
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f"), QStringLiteral("Return") }));
        QMenu* file = fileMenu()->menu();
        QTRY_VERIFY(file->isVisible());
        QCOMPARE(file->activeAction(), action(ID_FILE_NEW));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        // Down and Enter in the popup run its second item, Open.
        QString opened;
        auto seen = onNextModal([&opened](QWidget* modal) {
            opened = QString::fromLatin1(modal->metaObject()->className());
            qobject_cast<QDialog*>(modal)->reject();
        });
        QVERIFY(xinput::pressKeys({ QStringLiteral("Down"), QStringLiteral("Return") }));
        QTRY_VERIFY(seen->finished());
        QCOMPARE(opened, QStringLiteral("QFileDialog"));
    }

    void uniqueMnemonicsActAtOnce()
    {
        // A popup of its own letter opens; a command of its own letter runs.
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+e") }));
        QMenu* edit = frame()->menuBar()->actions().at(1)->menu();
        QTRY_VERIFY(edit->isVisible());
        // Escape closes the popup, a second one leaves the menu bar.
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        QTRY_VERIFY(!edit->isVisible());
        CVornView* view = frame()->GetActiveView();
        QTRY_VERIFY(view->hasFocus());
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+d") }));
        QTRY_COMPARE(view->m_points.size(), std::size_t { 3998 });
        // While a shared letter is highlighted, a letter of its own acts at once, too.
        QVERIFY(xinput::pressKeys({ QStringLiteral("alt+f"), QStringLiteral("alt+w") }));
        QMenu* window = nullptr;
        for (QAction* entry : frame()->menuBar()->actions()) {
            if (entry->text() == QStringLiteral("ウィンドウ(&W)")) {
                window = entry->menu();
            }
        }
        QVERIFY(window);
        QTRY_VERIFY(window->isVisible());
        QVERIFY(frame()->MenuBar()->HighlightedAction() == nullptr);
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
    }

    void captionOfAMaximizedWindow()
    {
        // Maximized with a double click on its title bar, the window's buttons join the menu bar;
        // the caption on the X server still names the document once.
        QMdiSubWindow* window = frame()->MdiArea()->subWindowList().front();
        QVERIFY(xinput::movePointer(window, QPoint(window->width() / 2, 8)));
        QVERIFY(xinput::xdotool({ QStringLiteral("click"), QStringLiteral("--repeat"),
            QStringLiteral("2"), QStringLiteral("1") }));
        QTRY_VERIFY(window->isMaximized());
        QTRY_COMPARE(xinput::windowName(frame()), QStringLiteral("Vorn - Vorn1"));
        QVERIFY(frame()->SendCommand(ID_WINDOW_NEW));
        QTRY_COMPARE(
            frame()->MdiArea()->activeSubWindow()->windowTitle(), QStringLiteral("Vorn1:2"));
        QVERIFY(frame()->MdiArea()->activeSubWindow()->isMaximized());
        QTRY_COMPARE(xinput::windowName(frame()), QStringLiteral("Vorn - Vorn1"));
    }

    void floatingToolbarShowsPrompts()
    {
        QToolBar* bar = frame()->ToolBar();
        QVERIFY(!bar->isFloating());
        // Drag the toolbar by its handle well below the frame's top edge, into the document area:
        // it floats there as a window of its own.
        QStyleOptionToolBar option;
        option.initFrom(bar);
        option.features = QStyleOptionToolBar::Movable;
        option.state |= QStyle::State_Horizontal;
        const QRect handle = bar->style()->subElementRect(QStyle::SE_ToolBarHandle, &option, bar);
        QVERIFY(handle.isValid());
        const QPoint target = frame()->MdiArea()->mapToGlobal(QPoint(400, 350));
        QVERIFY(xinput::drag(bar, handle.center(), target));
        QTRY_VERIFY(bar->isFloating());
        QVERIFY(bar->isWindow());

        auto* save = qobject_cast<QToolButton*>(bar->widgetForAction(action(ID_FILE_SAVE)));
        QVERIFY(save);
        QVERIFY(xinput::movePointer(save, save->rect().center()));
        QTRY_COMPARE(message(), QStringLiteral("作業中のファイルを上書きして保存"));
        auto* about = qobject_cast<QToolButton*>(bar->widgetForAction(action(ID_APP_ABOUT)));
        QVERIFY(xinput::movePointer(about, about->rect().center()));
        QTRY_COMPARE(message(), QStringLiteral("プログラム情報、バージョン、著作権を表示します。"));
        QVERIFY(xinput::movePointer(frame()->MdiArea(), QPoint(20, 20)));
        QTRY_COMPARE(message(), QStringLiteral("レディ"));
    }

    void systemMenuShowsPrompts()
    {
        auto* window = qobject_cast<CChildFrame*>(frame()->MdiArea()->subWindowList().front());
        QVERIFY(window);
        QMenu* menu = window->systemMenu();
        // Opened with the pointer on the window's menu button at the left of its title bar.
        QStyleOptionTitleBar option;
        option.initFrom(window);
        option.titleBarFlags = window->windowFlags();
        option.subControls = QStyle::SC_All;
        option.rect = QRect(0, 0, window->width(),
            window->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, window));
        const QRect button = window->style()->subControlRect(
            QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarSysMenu, window);
        QVERIFY(button.isValid());
        QVERIFY(xinput::movePointer(window, button.center()));
        QVERIFY(xinput::pressButton());
        QVERIFY(xinput::releaseButton());
        QTRY_VERIFY(menu->isVisible());

        const auto itemNamed = [menu](const QString& text) -> QAction* {
            for (QAction* item : menu->actions()) {
                if (item->text() == text) {
                    return item;
                }
            }
            return nullptr;
        };
        const std::pair<QString, QString> items[] {
            { QStringLiteral("移動(&M)"), QStringLiteral("ウィンドウの位置を変更") },
            { QStringLiteral("最大化(&X)"), QStringLiteral("ウィンドウを最大化する") },
            { QStringLiteral("次のウィンドウ(&T)"), QStringLiteral("次のウィンドウに切り替える") },
            { QStringLiteral("閉じる(&C)"),
                QStringLiteral("作業中のウィンドウを閉じ、変更したファイルの保存を指示") },
        };
        for (const auto& [text, prompt] : items) {
            QAction* item = itemNamed(text);
            QVERIFY2(item, qPrintable(text));
            QVERIFY(xinput::movePointer(menu, menu->actionGeometry(item).center()));
            QTRY_COMPARE(message(), prompt);
        }
        QVERIFY(xinput::pressKeys({ QStringLiteral("Escape") }));
        QTRY_VERIFY(!menu->isVisible());
        QTRY_COMPARE(message(), QStringLiteral("レディ"));
    }
};

QTEST_MAIN(TestShellInput)
#include "tst_shellinput.moc"
