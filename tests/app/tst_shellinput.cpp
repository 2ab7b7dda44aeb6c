// The shell at the real keyboard and pointer of a private X server (Xvfb, started by the
// wrapper): menu mnemonics. Keys and pointer moves go through the X server (XTest), as a user's
// would.

#include "framemenubar.h"
#include "mainframe.h"
#include "resources.h"
#include "vornapp.h"
#include "vornview.h"

#include "isolatedsettings.h"
#include "modalscript.h"
#include "xinput.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QTest>

#include <memory>

using namespace vorn;

class TestShellInput : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<CVornApp> m_app;

    CMainFrame* frame() const { return m_app->GetMainWnd(); }
    QAction* action(int id) const { return frame()->CommandAction(id); }
    QAction* fileMenu() const { return frame()->menuBar()->actions().front(); }
    QString message() const { return frame()->MessagePane()->text(); }

private slots:
    void initTestCase()
    {
        m_settings = isolateSettings();
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void init()
    {
        m_app = std::make_unique<CVornApp>();
        QVERIFY(m_app->InitInstance({ QStringLiteral("vorn") }));
        QVERIFY(QTest::qWaitForWindowExposed(frame()));
        QVERIFY(xinput::focusWindow(frame()));
        // Start with the pointer away from every command.
        QVERIFY(xinput::movePointer(frame()->MdiArea(), QPoint(600, 500)));
        QTRY_COMPARE(message(), QStringLiteral("レディ"));
    }

    void cleanup()
    {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

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
};

QTEST_MAIN(TestShellInput)
#include "tst_shellinput.moc"
