// The program as assistive technology reads it, on a private X server (Xvfb) with a private
// accessibility bus: menu items named as they read without their shortcut, which comes as the key
// binding; the toolbar's buttons by their tooltips; the plot as a chart named by the command that
// drew it; and the focus moving through the settings dialog.

#include "mainframe.h"
#include "resources.h"
#include "vornview.h"

#include "apptestcase.h"
#include "modalscript.h"

#include <QAccessible>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <map>
#include <vector>

using namespace vorn;

namespace {

struct Announced
{
    QAccessible::Role role;
    QString name;
};
std::vector<Announced> s_focused; // what focus events named, in order

void recordFocus(QAccessibleEvent* event)
{
    if (event->type() == QAccessible::Focus && event->accessibleInterface() != nullptr) {
        s_focused.push_back({ event->accessibleInterface()->role(),
            event->accessibleInterface()->text(QAccessible::Name) });
    }
}

// Every menu item below the interface, as a reader walks the tree: name to interface. Children
// that do not name the one they were reached from as their parent are noted in strays.
void collectItems(QAccessibleInterface* iface, std::multimap<QString, QAccessibleInterface*>& items,
    QStringList& strays)
{
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (child == nullptr) {
            strays << QStringLiteral("(none)");
            continue;
        }
        if (child->parent() != iface) {
            strays << child->text(QAccessible::Name);
        }
        if (child->role() == QAccessible::MenuItem) {
            items.emplace(child->text(QAccessible::Name), child);
        }
        collectItems(child, items, strays);
    }
}

QAccessibleInterface* findChart(QAccessibleInterface* iface)
{
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (child->role() == QAccessible::Chart) {
            return child;
        }
        if (QAccessibleInterface* found = findChart(child)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

class TestAccessibility : public AppTestCase
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QAccessible::installUpdateHandler(recordFocus);
    }

    void init()
    {
        QVERIFY(startApp());
        QVERIFY2(QAccessible::isActive(), "needs the accessibility bus of the wrapper");
        s_focused.clear();
    }

    void cleanup() { stopApp(); }

    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("binding");
        QTest::newRow("New") << "新規作成(N)"
                             << "Ctrl+N";
        QTest::newRow("Open, with its dots") << "開く(O)..."
                                             << "Ctrl+O";
        QTest::newRow("Close, no shortcut") << "閉じる(C)"
                                            << "";
        QTest::newRow("Undo, the first of two") << "元に戻す(U)"
                                                << "Ctrl+Z";
        QTest::newRow("Find next, a function key") << "次を検索(I)"
                                                   << "F3";
        QTest::newRow("Replace") << "置換(E)"
                                 << "Ctrl+H";
        QTest::newRow("Run, on the menu bar") << "実行(R)"
                                              << "";
        QTest::newRow("Frequency response") << "Ｆ特(F)"
                                            << "";
        QTest::newRow("Window popup") << "ウィンドウ(W)"
                                      << "";
    }

    void menuItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, binding);
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(frame()->menuBar());
        QCOMPARE(bar->role(), QAccessible::MenuBar);
        std::multimap<QString, QAccessibleInterface*> items;
        QStringList strays;
        collectItems(bar, items, strays);
        QCOMPARE(strays, QStringList());
        for (const auto& [itemName, item] : items) {
            QVERIFY2(!itemName.contains(u'\t') && !itemName.contains(u'&'), qPrintable(itemName));
        }
        QVERIFY2(items.count(name) == 1,
            qPrintable(QStringList([&] {
                QStringList all;
                for (const auto& entry : items) {
                    all << entry.first;
                }
                return all;
            }())
                           .join(u' ')));
        QAccessibleInterface* item = items.find(name)->second;
        QAccessibleActionInterface* actions = item->actionInterface();
        QVERIFY(actions != nullptr);
        const bool popup = item->childCount() == 1;
        const QString action = popup ? QAccessibleActionInterface::showMenuAction()
                                     : QAccessibleActionInterface::pressAction();
        QCOMPARE(actions->actionNames(), QStringList { action });
        QCOMPARE(actions->keyBindingsForAction(action),
            binding.isEmpty() ? QStringList() : QStringList { binding });
        QCOMPARE(item->text(QAccessible::Accelerator), binding);
        // The menu shows its text as before, shortcut and mnemonic included.
        if (!binding.isEmpty()) {
            auto* qaction = qobject_cast<QAction*>(item->object());
            QVERIFY(qaction->text().endsWith(u'\t' + binding));
        }
    }

    void toolbarButtons()
    {
        auto* toolbar = frame()->findChild<QToolBar*>(QStringLiteral("m_wndToolBar"));
        QVERIFY(toolbar != nullptr);
        QStringList names;
        for (QAction* action : toolbar->actions()) {
            if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action))) {
                QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
                QCOMPARE(iface->role(), QAccessible::Button);
                names << iface->text(QAccessible::Name);
            }
        }
        QCOMPARE(names,
            (QStringList { "新規ファイル", "開く", "保存", "切り取り", "コピー", "貼り付け", "印刷",
                "バージョン情報" }));
    }

    void plotIsAChartNamedByItsCommand()
    {
        CVornView* view = frame()->GetActiveView();
        QAccessibleInterface* chart = findChart(QAccessible::queryAccessibleInterface(view));
        QVERIFY2(chart != nullptr, "the plot is not in the view's tree");
        QCOMPARE(chart->object(), view->viewport());
        QCOMPARE(chart->text(QAccessible::Name), QStringLiteral("描画"));
        QCOMPARE(chart->rect().size(), view->viewport()->size());

        ModalScript script({ ModalScript::acceptMessageBox([](QMessageBox*) {}) });
        QVERIFY(frame()->SendCommand(ID_FREQ_RESPONSE));
        QVERIFY(script.finished());
        QCOMPARE(chart->text(QAccessible::Name), QStringLiteral("Ｆ特"));

        ModalScript settings({ [](QWidget* widget) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (dialog == nullptr) {
                return false;
            }
            ModalScript::press(
                dialog->findChild<QPushButton*>(QString(), Qt::FindDirectChildrenOnly));
            return true;
        } });
        QVERIFY(frame()->SendCommand(ID_SETTINGS));
        QVERIFY(settings.finished());
        QVERIFY(frame()->SendCommand(ID_DRAW));
        QCOMPARE(chart->text(QAccessible::Name), QStringLiteral("描画"));
    }

    void settingsDialogFocus()
    {
        std::vector<Announced> focused;
        ModalScript script({ [&](QWidget* widget) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (dialog == nullptr) {
                return false;
            }
            dialog->activateWindow();
            QTest::qWait(50);
            for (int i = 0; i < 2; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            focused = s_focused;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            return true;
        } });
        QVERIFY(frame()->SendCommand(ID_SETTINGS));
        QVERIFY(script.finished());
        // The dialog's own, after whatever focus the frame had before it.
        std::vector<std::pair<int, QString>> seen;
        bool inDialog = false;
        for (const Announced& a : focused) {
            inDialog
                = inDialog || (a.role == QAccessible::Button && a.name == QStringLiteral("OK"));
            if (inDialog && (seen.empty() || seen.back().second != a.name)) {
                seen.emplace_back(int(a.role), a.name);
            }
        }
        const std::vector<std::pair<int, QString>> expected { { int(QAccessible::Button), "OK" },
            { int(QAccessible::Button), "キャンセル" }, { int(QAccessible::EditableText), "Hz" } };
        QCOMPARE(seen, expected);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
