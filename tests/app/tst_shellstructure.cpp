// The shell's structure on Qt's offscreen platform: menus, accelerators, toolbar, status bar,
// window titles, menu switching and the enabled state of every command.

#include "childframe.h"
#include "mainframe.h"
#include "vornapp.h"
#include "vorndoc.h"
#include "vornview.h"

#include "apptestcase.h"
#include "modalscript.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

using namespace vorn;

namespace {

struct Entry
{
    QString text; // "-" for a separator
    int id; // 0 for a popup or separator
    std::vector<Entry> items;
};

Entry sep()
{
    return { QStringLiteral("-"), 0, {} };
}

// The File, View and Help popups as both menus have them.
const std::vector<Entry> kViewItems { { "ツール バー(&T)", 59392, {} },
    { "ステータス バー(&S)", 59393, {} } };

std::vector<Entry> expectedMainMenu()
{
    return {
        { "ファイル(&F)", 0,
            { { "新規作成(&N)\tCtrl+N", 57600, {} }, { "開く(&O)...\tCtrl+O", 57601, {} },
                { "閉じる(&C)", 57602, {} }, sep(), { "プリンターの設定...", 57606, {} }, sep(),
                { "最近使ったファイル", 57616, {} }, sep(),
                { "アプリケーションの終了(&X)", 57665, {} } } },
        { "表示(&V)", 0, kViewItems },
        { "ヘルプ(&H)", 0, { { "バージョン情報 Vorn(&A)...", 57664, {} } } },
    };
}

std::vector<Entry> expectedDocumentMenu()
{
    return {
        { "ファイル(&F)", 0,
            { { "新規作成(&N)\tCtrl+N", 57600, {} }, { "開く(&O)...\tCtrl+O", 57601, {} },
                { "閉じる(&C)", 57602, {} }, { "上書き保存(&S)\tCtrl+S", 57603, {} },
                { "名前を付けて保存(&A)...", 57604, {} }, sep(),
                { "印刷(&P)...\tCtrl+P", 57607, {} }, { "印刷プレビュー(&V)", 57609, {} },
                { "プリンターの設定...", 57606, {} }, sep(), { "最近使ったファイル", 57616, {} },
                sep(), { "アプリケーションの終了(&X)", 57665, {} } } },
        { "編集(&E)", 0,
            { { "元に戻す(&U)\tCtrl+Z", 57643, {} }, sep(), { "切り取り(&T)\tCtrl+X", 57635, {} },
                { "コピー(&C)\tCtrl+C", 57634, {} }, { "貼り付け(&P)\tCtrl+V", 57637, {} },
                { "すべて選択(&L)\tCtrl+A", 57642, {} }, sep(),
                { "検索(&F)...\tCtrl+F", 57636, {} }, { "次を検索(&I)\tF3", 57640, {} },
                { "置換(&E)\tCtrl+H", 57641, {} } } },
        { "実行(&R)", 32772, {} },
        { "停止(&T)", 32775, {} },
        { "表示(&V)", 0, kViewItems },
        { "ウィンドウ(&W)", 0,
            { { "新しいウィンドウを開く(&N)", 57648, {} }, { "重ねて表示(&C)", 57650, {} },
                { "並べて表示(&T)", 57651, {} }, { "アイコンの整列(&A)", 57649, {} } } },
        { "ヘルプ(&H)", 0, { { "バージョン情報 Vorn(&A)...", 57664, {} } } },
        { "描画(&D)", 32778, {} },
        { "設定(&S)", 32780, {} },
        { "\uFF26特(&F)", 32782, {} },
    };
}

// The visible entries of a menu (the window list is left out: it is not part of the resource).
QList<QAction*> visibleActions(const QList<QAction*>& actions)
{
    QList<QAction*> visible;
    for (QAction* action : actions) {
        if (action->isVisible() && action->data().toInt() < 0xFF00) {
            visible.append(action);
        }
    }
    return visible;
}

void compareMenu(
    const QList<QAction*>& actual, const std::vector<Entry>& expected, const QString& where)
{
    const QList<QAction*> visible = visibleActions(actual);
    QCOMPARE(visible.size(), qsizetype(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        QAction* action = visible[qsizetype(i)];
        const Entry& entry = expected[i];
        const QString context = QStringLiteral("%1 / entry %2").arg(where).arg(i);
        if (entry.text == QLatin1String("-")) {
            QVERIFY2(action->isSeparator(), qPrintable(context));
            continue;
        }
        QVERIFY2(!action->isSeparator(), qPrintable(context));
        QCOMPARE(action->text(), entry.text);
        if (entry.id == 0) {
            QVERIFY2(action->menu() != nullptr, qPrintable(context));
            compareMenu(
                action->menu()->actions(), entry.items, where + QLatin1Char('/') + entry.text);
        } else {
            QVERIFY2(action->menu() == nullptr, qPrintable(context));
            QCOMPARE(action->data().toInt(), entry.id);
        }
    }
}

} // namespace

class TestShellStructure : public AppTestCase
{
    Q_OBJECT

private:
    void closeAllWindows()
    {
        for (QMdiSubWindow* window : frame()->MdiArea()->subWindowList()) {
            window->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        frame()->UpdateCommandUI();
    }

private slots:
    void init() { QVERIFY(startApp()); }
    void cleanup() { stopApp(); }

    void startsWithOneDocumentWindow()
    {
        const QList<QMdiSubWindow*> windows = frame()->MdiArea()->subWindowList();
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.front()->windowTitle(), QStringLiteral("Vorn1"));
        QVERIFY(qobject_cast<CVornView*>(windows.front()->widget()) != nullptr);
        QCOMPARE(frame()->windowTitle(), QStringLiteral("Vorn - Vorn1"));
        QCOMPARE(frame()->CurrentMenuId(), 130);
        QCOMPARE(frame()->toolBarArea(frame()->ToolBar()), Qt::TopToolBarArea);
        QCOMPARE(frame()->MessagePane()->text(), QStringLiteral("レディ"));
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("Vorn.AppID.NoVersion"));
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.0.0.1"));
    }

    void documentMenuMatchesTheResource()
    {
        compareMenu(
            frame()->menuBar()->actions(), expectedDocumentMenu(), QStringLiteral("menu 130"));
        // The full-width F of the frequency-response command.
        QCOMPARE(action(32782)->text().front().unicode(), char16_t(0xFF26));
    }

    void mainMenuWhenNoDocumentIsOpen()
    {
        closeAllWindows();
        QCOMPARE(frame()->CurrentMenuId(), 128);
        QCOMPARE(frame()->windowTitle(), QStringLiteral("Vorn"));
        compareMenu(frame()->menuBar()->actions(), expectedMainMenu(), QStringLiteral("menu 128"));
        // A new document brings menu 130 back.
        QTest::keyClick(frame(), Qt::Key_N, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(frame()->CurrentMenuId(), 130);
        QCOMPARE(frame()->windowTitle(), QStringLiteral("Vorn - Vorn2"));
    }

    void enabledStatesWithoutDocument_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("New") << 57600 << true;
        QTest::newRow("Open") << 57601 << true;
        QTest::newRow("Close") << 57602 << false;
        QTest::newRow("Save") << 57603 << false;
        QTest::newRow("Print setup") << 57606 << true;
        QTest::newRow("Print") << 57607 << false;
        QTest::newRow("Recent file placeholder") << 57616 << false;
        QTest::newRow("Exit") << 57665 << true;
        QTest::newRow("Cut") << 57635 << false;
        QTest::newRow("Copy") << 57634 << false;
        QTest::newRow("Paste") << 57637 << false;
        QTest::newRow("Toolbar") << 59392 << true;
        QTest::newRow("Status bar") << 59393 << true;
        QTest::newRow("About") << 57664 << true;
        QTest::newRow("New window") << 57648 << false;
    }

    void enabledStatesWithoutDocument()
    {
        QFETCH(int, id);
        QFETCH(bool, enabled);
        QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
        closeAllWindows();
        QCOMPARE(this->enabled(id), enabled);
    }

    void enabledStatesFollowTheText()
    {
        auto* view = frame()->GetActiveView();
        QVERIFY(view);
        QGuiApplication::clipboard()->clear();
        QCoreApplication::processEvents();
        for (const int id :
            { 32772, 32775, 32778, 32780, 32782, 57602, 57603, 57604, 57607, 57609, 57648 }) {
            QVERIFY2(enabled(id), qPrintable(QString::number(id)));
        }
        for (const int id : { 57643, 57635, 57634, 57637, 57642, 57636, 57640, 57641 }) {
            QVERIFY2(!enabled(id), qPrintable(QString::number(id)));
        }
        view->setFocus();
        QTest::keyClicks(view, QStringLiteral("alpha beta"));
        QVERIFY(enabled(57643)); // Undo
        QVERIFY(enabled(57642)); // Select all
        QVERIFY(enabled(57636)); // Find
        QVERIFY(!enabled(57634)); // Copy needs a selection
        QVERIFY(frame()->SendCommand(57642));
        QVERIFY(enabled(57634));
        QVERIFY(enabled(57635));
        QVERIFY(frame()->SendCommand(57634)); // Copy
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("alpha beta"));
        QVERIFY(enabled(57637)); // Paste, now that the clipboard holds text
        QVERIFY(frame()->SendCommand(57635)); // Cut
        QCOMPARE(view->toPlainText(), QString());
        QVERIFY(frame()->SendCommand(57637)); // Paste
        QVERIFY(frame()->SendCommand(57637));
        QCOMPARE(view->toPlainText(), QStringLiteral("alpha betaalpha beta"));
        QVERIFY(frame()->SendCommand(57643)); // Undo
        QCOMPARE(view->toPlainText(), QStringLiteral("alpha beta"));
        // The document is modified by typing, never by the simulation commands.
        CVornDoc* doc = CVornDoc::FromView(view);
        doc->SetModifiedFlag(false);
        QVERIFY(frame()->SendCommand(32778));
        QVERIFY(!doc->IsModified());
    }

    void findNextAndReplace()
    {
        auto* view = frame()->GetActiveView();
        view->setPlainText(QStringLiteral("one two One two"));
        view->moveCursor(QTextCursor::Start);
        QVERIFY(view->FindText(QStringLiteral("one"), false, true));
        QCOMPARE(view->textCursor().selectionStart(), 0);
        QVERIFY(view->FindText(QStringLiteral("one"), false, true));
        QCOMPARE(view->textCursor().selectionStart(), 8);
        QVERIFY(!view->FindText(QStringLiteral("one"), true, true));

        frame()->SendCommand(57641); // Replace: the modeless dialog
        auto* dialog = frame()->findChild<QDialog*>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        const QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
        QCOMPARE(edits.size(), 2);
        edits[0]->setText(QStringLiteral("two"));
        edits[1]->setText(QStringLiteral("2"));
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("すべて置換(&A)")) {
                button->click();
            }
        }
        QCOMPARE(view->toPlainText(), QStringLiteral("one 2 One 2"));
        dialog->close();

        // Find next (F3) repeats the last search from the cursor.
        view->setPlainText(QStringLiteral("x two y two"));
        view->moveCursor(QTextCursor::Start);
        QVERIFY(enabled(57640));
        QVERIFY(frame()->SendCommand(57640));
        QCOMPARE(view->textCursor().selectionStart(), 2);
        QVERIFY(frame()->SendCommand(57640));
        QCOMPARE(view->textCursor().selectionStart(), 8);
        // Nothing more to find: the message says so.
        QString message;
        auto seen = pressOnNextMessageBox(QMessageBox::Ok, &message);
        QVERIFY(frame()->SendCommand(57640));
        QVERIFY(seen->finished());
        QCOMPARE(message, QStringLiteral("文字列 'two' が見つかりません。"));
    }

    void acceleratorsAreBound_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("id");
        QTest::newRow("Ctrl+N") << "Ctrl+N" << 57600;
        QTest::newRow("Ctrl+O") << "Ctrl+O" << 57601;
        QTest::newRow("Ctrl+S") << "Ctrl+S" << 57603;
        QTest::newRow("Ctrl+P") << "Ctrl+P" << 57607;
        QTest::newRow("Ctrl+Z") << "Ctrl+Z" << 57643;
        QTest::newRow("Ctrl+X") << "Ctrl+X" << 57635;
        QTest::newRow("Ctrl+C") << "Ctrl+C" << 57634;
        QTest::newRow("Ctrl+V") << "Ctrl+V" << 57637;
        QTest::newRow("Ctrl+A") << "Ctrl+A" << 57642;
        QTest::newRow("Ctrl+F") << "Ctrl+F" << 57636;
        QTest::newRow("F3") << "F3" << 57640;
        QTest::newRow("Ctrl+H") << "Ctrl+H" << 57641;
        QTest::newRow("Alt+Backspace") << "Alt+Backspace" << 57643;
        QTest::newRow("Shift+Del") << "Shift+Del" << 57635;
        QTest::newRow("Ctrl+Ins") << "Ctrl+Ins" << 57634;
        QTest::newRow("Shift+Ins") << "Shift+Ins" << 57637;
        QTest::newRow("F6") << "F6" << 57680;
        QTest::newRow("Shift+F6") << "Shift+F6" << 57681;
    }

    void acceleratorsAreBound()
    {
        QFETCH(QString, key);
        QFETCH(int, id);
        const QKeySequence sequence(key, QKeySequence::PortableText);
        QList<QAction*> bound;
        for (QAction* candidate : frame()->actions()) {
            if (candidate->shortcuts().contains(sequence)) {
                bound.append(candidate);
            }
        }
        QCOMPARE(bound.size(), 1);
        QCOMPARE(bound.front()->data().toInt(), id);
    }

    void acceleratorRunsItsCommand()
    {
        // Ctrl+N from the keyboard opens the next untitled document.
        QTest::keyClick(frame(), Qt::Key_N, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(frame()->MdiArea()->subWindowList().size(), 2);
        QCOMPARE(frame()->windowTitle(), QStringLiteral("Vorn - Vorn2"));
    }

    void toolbarOrderTooltipsAndPrompts()
    {
        QToolBar* bar = frame()->ToolBar();
        const QList<int> expected { 57600, 57601, 57603, 0, 57635, 57634, 57637, 0, 57607, 57664 };
        const QList<QAction*> actions = bar->actions();
        QCOMPARE(actions.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            if (expected[i] == 0) {
                QVERIFY(actions[i]->isSeparator());
            } else {
                QCOMPARE(actions[i]->data().toInt(), expected[i]);
                QVERIFY(!actions[i]->icon().isNull());
            }
        }
        QVERIFY(bar->isMovable());
        QVERIFY(bar->isFloatable());
        QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);

        struct Button
        {
            int id;
            const char16_t* prompt;
            const char16_t* tip;
        };
        const Button buttons[] {
            { 57600, u"新規にファイルを作成", u"新規ファイル" },
            { 57601, u"既存のファイルを開く", u"開く" },
            { 57603, u"作業中のファイルを上書きして保存", u"保存" },
            { 57635, u"選択範囲を切り取ってクリップボードに保存", u"切り取り" },
            { 57634, u"選択範囲をコピーしてクリップボードに保存", u"コピー" },
            { 57637, u"クリップボードの内容を貼り付け", u"貼り付け" },
            { 57607, u"作業中のファイルを印刷", u"印刷" },
            { 57664, u"プログラム情報、バージョン、著作権を表示します。", u"バージョン情報" },
        };
        for (const Button& b : buttons) {
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action(b.id)));
            QVERIFY(button);
            QCOMPARE(button->toolTip(), QString::fromUtf16(b.tip));
            // Hovering the button shows its prompt; leaving it brings back the idle text.
            QTest::mouseMove(button);
            QTRY_COMPARE(frame()->MessagePane()->text(), QString::fromUtf16(b.prompt));
            QTest::mouseMove(frame()->MdiArea(), QPoint(300, 300));
            QTRY_COMPARE(frame()->MessagePane()->text(), QStringLiteral("レディ"));
        }
    }

    void menuPromptsInTheStatusBar()
    {
        QMenuBar* bar = frame()->menuBar();
        QAction* fileMenu = bar->actions().front();
        bar->setActiveAction(fileMenu);
        QTRY_VERIFY(fileMenu->menu()->isVisible());
        fileMenu->menu()->setActiveAction(action(57601));
        QTRY_COMPARE(frame()->MessagePane()->text(), QStringLiteral("既存のファイルを開く"));
        fileMenu->menu()->setActiveAction(action(57665));
        QTRY_COMPARE(frame()->MessagePane()->text(),
            QStringLiteral("アプリケーションを終了し、ファイルの保存を指示"));
        fileMenu->menu()->hide();
        QTRY_COMPARE(frame()->MessagePane()->text(), QStringLiteral("レディ"));
    }

    void simulationCommandsShowNoPrompt_data()
    {
        QTest::addColumn<int>("id");
        QTest::newRow("Run") << 32772;
        QTest::newRow("Stop") << 32775;
        QTest::newRow("Draw") << 32778;
        QTest::newRow("Settings") << 32780;
        QTest::newRow("Frequency response") << 32782;
    }

    void simulationCommandsShowNoPrompt()
    {
        QFETCH(int, id);
        QCOMPARE(frame()->MessagePane()->text(), QStringLiteral("レディ"));
        frame()->menuBar()->setActiveAction(action(id));
        QTRY_COMPARE(frame()->MessagePane()->text(), QString());
    }

    void statusBarPanes()
    {
        QStatusBar* bar = frame()->statusBar();
        QLabel* message = frame()->MessagePane();
        QLabel* caps = frame()->IndicatorPane(59137);
        QLabel* num = frame()->IndicatorPane(59138);
        QLabel* scrl = frame()->IndicatorPane(59139);
        QVERIFY(message && caps && num && scrl);
        for (QWidget* pane : std::initializer_list<QWidget*> { message, caps, num, scrl }) {
            QCOMPARE(pane->parentWidget(), bar);
        }
        // Left to right: the stretching message pane, then CAP, NUM and SCRL.
        QVERIFY(message->geometry().right() < caps->geometry().left());
        QVERIFY(caps->geometry().right() < num->geometry().left());
        QVERIFY(num->geometry().right() < scrl->geometry().left());
        QVERIFY(message->width() > caps->width() * 4);
        // Offscreen there is no keyboard indicator state: the panes stay blank.
        QCOMPARE(caps->text(), QString());
    }

    void barTogglesCarryCheckMarks()
    {
        QVERIFY(action(59392)->isCheckable());
        frame()->UpdateCommandUI();
        QVERIFY(action(59392)->isChecked());
        QVERIFY(frame()->SendCommand(59392));
        frame()->UpdateCommandUI();
        QVERIFY(frame()->ToolBar()->isHidden());
        QVERIFY(!action(59392)->isChecked());
        QVERIFY(frame()->SendCommand(59393));
        frame()->UpdateCommandUI();
        QVERIFY(frame()->statusBar()->isHidden());
        QVERIFY(!action(59393)->isChecked());
        QVERIFY(frame()->SendCommand(59392));
        QVERIFY(frame()->SendCommand(59393));
        frame()->UpdateCommandUI();
        QVERIFY(!frame()->ToolBar()->isHidden());
        QVERIFY(action(59393)->isChecked());
    }

    void newWindowTitlesAndWindowList()
    {
        QVERIFY(frame()->SendCommand(57648));
        QCoreApplication::processEvents();
        QList<QMdiSubWindow*> windows = frame()->MdiArea()->subWindowList();
        QCOMPARE(windows.size(), 2);
        QCOMPARE(windows[0]->windowTitle(), QStringLiteral("Vorn1:1"));
        QCOMPARE(windows[1]->windowTitle(), QStringLiteral("Vorn1:2"));
        // The caption names the document; the window keeps its own title "Vorn1:2".
        QCOMPARE(frame()->windowTitle(), QStringLiteral("Vorn - Vorn1"));
        auto* first = qobject_cast<CVornView*>(windows[0]->widget());
        auto* second = qobject_cast<CVornView*>(windows[1]->widget());
        QVERIFY(first != second);
        QCOMPARE(first->GetDocument(), second->GetDocument());
        QCOMPARE(first->document(), second->document());

        // The Window popup lists both windows, the active one checked.
        QMenu* windowMenu = nullptr;
        for (QAction* entry : frame()->menuBar()->actions()) {
            if (entry->text() == QStringLiteral("ウィンドウ(&W)")) {
                windowMenu = entry->menu();
            }
        }
        QVERIFY(windowMenu);
        emit windowMenu->aboutToShow();
        QStringList listed;
        for (QAction* entry : windowMenu->actions()) {
            if (entry->data().toInt() >= 0xFF00) {
                listed << entry->text() + (entry->isChecked() ? QStringLiteral(" *") : QString());
            }
        }
        QCOMPARE(
            listed, QStringList({ QStringLiteral("&1 Vorn1:1"), QStringLiteral("&2 Vorn1:2 *") }));

        // Closing one window brings the plain title back; the document stays.
        windows[1]->close();
        QCoreApplication::processEvents();
        QCOMPARE(windows[0]->windowTitle(), QStringLiteral("Vorn1"));
        QCOMPARE(m_app->Documents().size(), size_t(1));
    }

    void newWindowHasItsOwnSimulation()
    {
        CVornView* first = frame()->GetActiveView();
        QVERIFY(frame()->SendCommand(57648));
        CVornView* second = frame()->GetActiveView();
        QVERIFY(second != first);
        // Draw on the second window advances its filter only.
        QVERIFY(frame()->SendCommand(32778));
        QVERIFY(second->m_filter[7] != 0.0);
        for (double v : first->m_filter) {
            QCOMPARE(v, 0.0);
        }
        second->GenerateBlock(1);
        QCOMPARE(first->m_filter[7], 0.0);
    }

    void aboutBox()
    {
        QString title;
        QStringList labels;
        auto seen = onNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            for (QLabel* label : modal->findChildren<QLabel*>()) {
                labels << label->text();
            }
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QVERIFY(frame()->SendCommand(57664));
        QVERIFY(seen->finished());
        QCOMPARE(title, QStringLiteral("バージョン情報 Vorn"));
        QVERIFY(labels.contains(QStringLiteral("Vorn, Version 1.0")));
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        // OK ends it as well.
        seen = onNextModal([](QWidget* modal) {
            for (QPushButton* button : modal->findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("OK")) {
                    button->click();
                }
            }
        });
        QVERIFY(frame()->SendCommand(57664));
        QVERIFY(seen->finished());
    }

    void commandsOpenTheirDialogs_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("dialogClass");
        QTest::newRow("Print") << 57607 << "QPrintDialog";
        QTest::newRow("Print preview") << 57609 << "QPrintPreviewDialog";
        QTest::newRow("Printer setup") << 57606 << "QPrintDialog";
        QTest::newRow("Open") << 57601 << "QFileDialog";
        QTest::newRow("Save as") << 57604 << "QFileDialog";
    }

    void commandsOpenTheirDialogs()
    {
        QFETCH(int, id);
        QFETCH(QString, dialogClass);
        QString opened;
        auto seen = onNextModal([&opened](QWidget* modal) {
            opened = QString::fromLatin1(modal->metaObject()->className());
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
        });
        QVERIFY(frame()->SendCommand(id));
        QVERIFY(seen->finished());
        QCOMPARE(opened, dialogClass);
    }

    void standardButtonsSpeakJapanese()
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Vorn"), QStringLiteral("?"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("はい(&Y)"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("いいえ(&N)"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
    }

    void closingTheLastWindowClosesTheDocument()
    {
        QPointer<CVornDoc> doc = frame()->GetActiveDocument();
        QVERIFY(doc);
        QVERIFY(frame()->SendCommand(57602));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QVERIFY(doc.isNull());
        QVERIFY(m_app->Documents().empty());
        frame()->UpdateCommandUI();
        QCOMPARE(frame()->CurrentMenuId(), 128);
    }
};

QTEST_MAIN(TestShellStructure)
#include "tst_shellstructure.moc"
