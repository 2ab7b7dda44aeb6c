// The document windows in the main frame, on Qt's offscreen platform: the caption, file names
// with ampersands in the menus, the Window popup beyond nine windows and its list of all windows,
// tiling, where new windows go, and the prompts of a window's system menu.

#include "childframe.h"
#include "mainframe.h"
#include "resources.h"
#include "vornapp.h"
#include "vorndoc.h"
#include "vornview.h"

#include "apptestcase.h"
#include "modalscript.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace vorn;

namespace {

// A menu text as the menu shows it: "&&" is an ampersand, a single "&" marks the mnemonic.
QString shownText(const QString& text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
        }
        shown.append(text[i]);
    }
    return shown;
}

// Whether two windows overlap by more than their shared edge.
bool overlap(const QRect& a, const QRect& b)
{
    return a.intersected(b).width() > 0 && a.intersected(b).height() > 0;
}

} // namespace

class TestDocumentWindows : public AppTestCase
{
    Q_OBJECT

private:
    QMdiArea* area() const { return frame()->MdiArea(); }
    QString caption() const { return frame()->windowTitle(); }
    QString message() const { return frame()->MessagePane()->text(); }

    QMenu* windowMenu() const
    {
        for (QAction* entry : frame()->menuBar()->actions()) {
            if (entry->text() == QStringLiteral("ウィンドウ(&W)")) {
                return entry->menu();
            }
        }
        return nullptr;
    }

    // The entries that the Window popup adds after its own items, as they are when it opens.
    QList<QAction*> windowListEntries() const
    {
        QMenu* menu = windowMenu();
        emit menu->aboutToShow();
        QList<QAction*> entries;
        for (QAction* entry : menu->actions()) {
            if (entry->data().toInt() >= AFX_IDM_FIRST_MDICHILD) {
                entries.append(entry);
            }
        }
        return entries;
    }

    void openNewDocuments(int count)
    {
        for (int i = 0; i < count; ++i) {
            QVERIFY(frame()->SendCommand(ID_FILE_NEW));
            QCoreApplication::processEvents();
        }
    }

private slots:
    void init() { QVERIFY(startApp()); }
    void cleanup() { stopApp(); }

    // Every window's view plays through a device whose thread the application owns (a view
    // without the application's factory opens none), and Exit shuts those threads down.
    void windowsPlayThroughTheApplicationsDevicesAndExitEndsTheirThreads()
    {
        QVERIFY(frame()->SendCommand(ID_RUN));
        QCOMPARE(frame()->GetActiveView()->m_bRunning, 1);
        QVERIFY(frame()->SendCommand(ID_WINDOW_NEW));
        QCoreApplication::processEvents();
        QVERIFY(frame()->SendCommand(ID_RUN));
        QCOMPARE(frame()->GetActiveView()->m_bRunning, 1);
        QCOMPARE(windows().size(), 2);

        m_app->ExitInstance();
        QVERIFY(m_app->WaveOutOwner().IsShutDown());
        QCOMPARE(m_app->WaveOutOwner().RunningThreads(), 0);
    }

    void captionNamesTheActiveDocument()
    {
        QCOMPARE(caption(), QStringLiteral("Vorn - Vorn1"));
        QMdiSubWindow* first = windows().front();
        first->showMaximized();
        QCoreApplication::processEvents();
        // Maximized, the window's buttons join the menu bar, and the caption stays as it is.
        QVERIFY(first->isMaximized());
        QVERIFY(frame()->menuBar()->cornerWidget(Qt::TopRightCorner) != nullptr);
        QCOMPARE(caption(), QStringLiteral("Vorn - Vorn1"));

        // Typing changes the text, never the caption.
        QSignalSpy changes(frame(), &QWidget::windowTitleChanged);
        CVornView* view = frame()->GetActiveView();
        view->setFocus();
        QTest::keyClicks(view, QStringLiteral("several keystrokes"));
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);

        // A second window on the document: the caption names the document, the window is ":2".
        QVERIFY(frame()->SendCommand(ID_WINDOW_NEW));
        QCoreApplication::processEvents();
        QCOMPARE(frame()->MDIGetActive()->windowTitle(), QStringLiteral("Vorn1:2"));
        QVERIFY(frame()->MDIGetActive()->isMaximized());
        QCOMPARE(caption(), QStringLiteral("Vorn - Vorn1"));

        // Another document, then back to the first one.
        openNewDocuments(1);
        QCOMPARE(caption(), QStringLiteral("Vorn - Vorn2"));
        area()->setActiveSubWindow(first);
        QCoreApplication::processEvents();
        QCOMPARE(caption(), QStringLiteral("Vorn - Vorn1"));
        // A new name for the document (as Save As gives it) shows at once.
        CVornDoc::FromView(frame()->GetActiveView())->SetTitle(QStringLiteral("notes.txt"));
        QCOMPARE(caption(), QStringLiteral("Vorn - notes.txt"));
        first->showNormal();
        QCoreApplication::processEvents();
        QCOMPARE(caption(), QStringLiteral("Vorn - notes.txt"));

        // Typing in a window that is not maximized leaves the caption alone, too.
        changes.clear();
        QTest::keyClicks(frame()->GetActiveView(), QStringLiteral("more"));
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);
    }

    void ampersandsInFileNamesShowAsTheyAre()
    {
        QTemporaryDir files;
        const QString path = QDir(files.path()).absoluteFilePath(QStringLiteral("a&b.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("text\n");
        file.close();
        QVERIFY(m_app->OpenDocumentFile(path));

        QAction* recent = frame()->CommandAction(ID_FILE_MRU_FILE1);
        QCOMPARE(shownText(recent->text()), QStringLiteral("1 ") + QDir::toNativeSeparators(path));
        QCOMPARE(QKeySequence::mnemonic(recent->text()), QKeySequence(QStringLiteral("Alt+1")));

        const QList<QAction*> entries = windowListEntries();
        QCOMPARE(entries.size(), 2); // Vorn1, a&b.txt
        QCOMPARE(shownText(entries[1]->text()), QStringLiteral("2 a&b.txt"));
        QCOMPARE(QKeySequence::mnemonic(entries[1]->text()), QKeySequence(QStringLiteral("Alt+2")));
        QCOMPARE(windows().back()->windowTitle(), QStringLiteral("a&b.txt"));
        QCOMPARE(caption(), QStringLiteral("Vorn - a&b.txt"));
    }

    void windowListBeyondNine()
    {
        openNewDocuments(10); // Vorn1 ... Vorn11, the last one active
        const QList<QAction*> entries = windowListEntries();
        QStringList shown;
        for (QAction* entry : entries) {
            if (!entry->isSeparator()) {
                shown.append(shownText(entry->text())
                    + (entry->isChecked() ? QStringLiteral(" *") : QString()));
            }
        }
        // The first eight, the active one in the ninth place, and the way to all of them.
        QCOMPARE(shown,
            QStringList({ "1 Vorn1", "2 Vorn2", "3 Vorn3", "4 Vorn4", "5 Vorn5", "6 Vorn6",
                "7 Vorn7", "8 Vorn8", "9 Vorn11 *", "その他のウィンドウ(M)..." }));

        // An entry activates the window it names; the ninth place then names the ninth window.
        entries[1]->trigger();
        QCOMPARE(frame()->MDIGetActive()->windowTitle(), QStringLiteral("Vorn2"));
        QCOMPARE(shownText(windowListEntries()[8]->text()), QStringLiteral("9 Vorn9"));

        // The list of all windows: every title, the active one selected; the one picked comes up.
        QStringList listed;
        int selected = -1;
        QString title;
        ModalScript script({ [&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            if (dialog == nullptr) {
                return false;
            }
            title = dialog->windowTitle();
            auto* list = dialog->findChild<QListView*>();
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                listed.append(list->model()->index(row, 0).data().toString());
            }
            selected = list->currentIndex().row();
            list->setCurrentIndex(list->model()->index(9, 0));
            QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
            return true;
        } });
        windowListEntries().back()->trigger();
        QVERIFY(script.finished());
        QCOMPARE(title, QStringLiteral("ウィンドウの選択"));
        QCOMPARE(listed.size(), 11);
        QCOMPARE(listed.front(), QStringLiteral("Vorn1"));
        QCOMPARE(listed.back(), QStringLiteral("Vorn11"));
        QCOMPARE(selected, 1);
        QCOMPARE(frame()->MDIGetActive()->windowTitle(), QStringLiteral("Vorn10"));
    }

    void tileStacksTheWindows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("maximizedFirst");
        QTest::addColumn<bool>("oneMinimized");
        QTest::newRow("2") << 2 << false << false;
        QTest::newRow("3, one maximized") << 3 << true << false;
        QTest::newRow("4, one minimized") << 4 << false << true;
        QTest::newRow("40") << 40 << false << false;
    }

    void tileStacksTheWindows()
    {
        QFETCH(int, count);
        QFETCH(bool, maximizedFirst);
        QFETCH(bool, oneMinimized);
        openNewDocuments(count - 1);
        if (maximizedFirst) {
            frame()->MDIGetActive()->showMaximized();
        }
        if (oneMinimized) {
            windows().front()->showMinimized();
        }
        QCoreApplication::processEvents();
        QVERIFY(frame()->SendCommand(ID_WINDOW_TILE_HORZ));
        QCoreApplication::processEvents();

        const QRect viewport = area()->viewport()->rect();
        QList<QRect> tiled;
        for (QMdiSubWindow* window : windows()) {
            if (window->isMinimized()) {
                continue;
            }
            QVERIFY(!window->isMaximized());
            QVERIFY2(viewport.contains(window->geometry()), qPrintable(window->windowTitle()));
            for (const QRect& other : tiled) {
                QVERIFY(!overlap(window->geometry(), other));
            }
            tiled.append(window->geometry());
        }
        QCOMPARE(tiled.size(), count - (oneMinimized ? 1 : 0));
        if (count <= 4) {
            // One above the other, each as wide as the area, the active one at the top, and
            // together as high as the area (above the row of minimized windows).
            int height = 0;
            for (const QRect& rect : tiled) {
                QCOMPARE(rect.left(), 0);
                QCOMPARE(rect.width(), viewport.width());
                height += rect.height();
            }
            const int iconRow = oneMinimized ? windows().front()->height() : 0;
            QCOMPARE(height, viewport.height() - iconRow);
            const QList<QMdiSubWindow*> stacking = area()->subWindowList(QMdiArea::StackingOrder);
            const auto topmost = std::find_if(stacking.rbegin(), stacking.rend(),
                [](QMdiSubWindow* window) { return !window->isMinimized(); });
            QCOMPARE((*topmost)->geometry().top(), 0);
        } else {
            // Too many to be stacked in one column: several columns, still inside the area.
            QVERIFY(std::any_of(
                tiled.begin(), tiled.end(), [](const QRect& rect) { return rect.left() > 0; }));
        }
        QVERIFY(!area()->horizontalScrollBar()->isVisible());
        QVERIFY(!area()->verticalScrollBar()->isVisible());
    }

    void newWindowsStayInView()
    {
        openNewDocuments(14);
        const QRect viewport = area()->viewport()->rect();
        QCOMPARE(windows().size(), 15);
        int atTopLeft = 0;
        for (QMdiSubWindow* window : windows()) {
            QVERIFY2(viewport.contains(window->geometry()), qPrintable(window->windowTitle()));
            atTopLeft += window->pos() == QPoint(0, 0) ? 1 : 0;
        }
        // The cascade went back to the top left at least once.
        QVERIFY(atTopLeft >= 2);
        // Each window cascades from the one before, down and to the right.
        const QList<QMdiSubWindow*> list = windows();
        QVERIFY(list[1]->pos().x() > list[0]->pos().x());
        QVERIFY(list[1]->pos().y() > list[0]->pos().y());
        QVERIFY(!area()->horizontalScrollBar()->isVisible());
        QVERIFY(!area()->verticalScrollBar()->isVisible());
    }

    void systemMenuPrompts_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("prompt");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("restore") << "元に戻す(&R)" << 61202 << true;
        QTest::newRow("move") << "移動(&M)" << 61185 << false;
        QTest::newRow("size") << "サイズ(&S)" << 61184 << false;
        QTest::newRow("minimize") << "最小化(&N)" << 61186 << false;
        QTest::newRow("maximize") << "最大化(&X)" << 61187 << false;
        QTest::newRow("close") << "閉じる(&C)" << 61190 << false;
        QTest::newRow("next window") << "次のウィンドウ(&T)" << 61188 << false;
        QTest::newRow("previous window") << "前のウィンドウ(&P)" << 61189 << false;
        QTest::newRow("window list") << "ウィンドウの一覧(&W)..." << 61203 << true;
    }

    void systemMenuPrompts()
    {
        QFETCH(QString, item);
        QFETCH(int, prompt);
        QFETCH(bool, maximized);
        auto* window = qobject_cast<CChildFrame*>(windows().front());
        if (maximized) {
            window->showMaximized();
            QCoreApplication::processEvents();
        }
        window->showSystemMenu();
        QMenu* menu = window->systemMenu();
        QTRY_VERIFY(menu->isVisible());
        QAction* action = nullptr;
        QStringList items;
        for (QAction* candidate : menu->actions()) {
            if (candidate->isVisible() && !candidate->isSeparator()) {
                items.append(candidate->text());
            }
            if (candidate->text() == item) {
                action = candidate;
            }
        }
        QVERIFY2(action, qPrintable(items.join(u' ')));
        QTest::mouseMove(menu, menu->actionGeometry(action).center());
        QTRY_COMPARE(message(), LoadStringResource(prompt));
        menu->hide();
        QTRY_COMPARE(message(), QStringLiteral("レディ"));
        // No item of a document window's system menu lacks a prompt.
        QVERIFY2(items.size() == 9, qPrintable(items.join(u' ')));
    }

    void systemMenuSwitchesWindows()
    {
        openNewDocuments(2); // Vorn3 active
        auto* window = qobject_cast<CChildFrame*>(frame()->MDIGetActive());
        const auto itemNamed = [](CChildFrame* owner, const QString& text) {
            for (QAction* candidate : owner->systemMenu()->actions()) {
                if (candidate->text() == text) {
                    return candidate;
                }
            }
            return static_cast<QAction*>(nullptr);
        };
        itemNamed(window, QStringLiteral("次のウィンドウ(&T)"))->trigger();
        QCoreApplication::processEvents();
        auto* next = qobject_cast<CChildFrame*>(frame()->MDIGetActive());
        QVERIFY(next != window);
        itemNamed(next, QStringLiteral("前のウィンドウ(&P)"))->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(frame()->MDIGetActive(), window);
        // The window list item opens the list of all windows.
        QString title;
        auto seen = onNextModal([&title](QWidget* modal) {
            title = modal->windowTitle();
            qobject_cast<QDialog*>(modal)->reject();
        });
        itemNamed(window, QStringLiteral("ウィンドウの一覧(&W)..."))->trigger();
        QVERIFY(seen->finished());
        QCOMPARE(title, QStringLiteral("ウィンドウの選択"));
    }
};

QTEST_MAIN(TestDocumentWindows)
#include "tst_documentwindows.moc"
