// Dialogs built from their templates: every control where the template puts it, inside the
// dialog; the icon of a static icon control; the default button; how DoModal ends; and how
// assistive technology reads the controls.
#include "dialog.h"
#include "modalscript.h"
#include "resources.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace vorn;

class TestDialogBuilder : public QObject
{
    Q_OBJECT

private slots:
    void controlsFollowTheTemplate_data();
    void controlsFollowTheTemplate();
    void aboutBoxShowsTheProgramIcon();
    void endings_data();
    void endings();
    void accessibleControls_data();
    void accessibleControls();
};

void TestDialogBuilder::controlsFollowTheTemplate_data()
{
    QTest::addColumn<int>("templateId");
    QTest::newRow("About box") << IDD_ABOUTBOX;
    QTest::newRow("settings") << IDD_DRAW;
}

void TestDialogBuilder::controlsFollowTheTemplate()
{
    QFETCH(int, templateId);
    const DialogTemplate* dialogTemplate = FindDialogTemplate(templateId);
    QVERIFY(dialogTemplate != nullptr);
    CDialogEx dialog(templateId);
    QCOMPARE(dialog.windowTitle(), dialogTemplate->caption);
    QVERIFY(dialog.BaseUnitX() > 0 && dialog.BaseUnitY() > 0);

    const QRect inside(QPoint(0, 0), dialog.size());
    // A group box holds the radio buttons it frames; positions are the dialog's.
    const QList<QWidget*> controls = dialog.findChildren<QWidget*>();
    QCOMPARE(qsizetype(controls.size()), qsizetype(dialogTemplate->items.size()));
    for (const DialogItemTemplate& item : dialogTemplate->items) {
        // The dialog-unit position, whatever the font: x in quarters of the average character
        // width, y in eighths of the line height, to within the rounding of one unit.
        const QRect expected(item.x * dialog.BaseUnitX() / 4, item.y * dialog.BaseUnitY() / 8,
            item.cx * dialog.BaseUnitX() / 4, item.cy * dialog.BaseUnitY() / 8);
        const auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
        bool found = false;
        for (QWidget* control : controls) {
            const QRect at(control->mapTo(&dialog, QPoint(0, 0)), control->size());
            if (near(at.x(), expected.x()) && near(at.y(), expected.y())) {
                found = true;
                QVERIFY2(inside.contains(at), qPrintable(item.text));
                if ((item.style & 0x1F) != SS_ICON || item.className != QLatin1String("static")) {
                    QVERIFY(near(at.width(), expected.width()));
                    QVERIFY(near(at.height(), expected.height()));
                }
            }
        }
        QVERIFY2(found, qPrintable(item.text));
    }
}

void TestDialogBuilder::aboutBoxShowsTheProgramIcon()
{
    CDialogEx dialog(IDD_ABOUTBOX);
    QStringList texts;
    const QLabel* icon = nullptr;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            icon = label;
        } else {
            texts << label->text();
        }
    }
    QVERIFY(icon != nullptr);
    QCOMPARE(icon->pixmap().size(), QSize(32, 32));
    QVERIFY(texts.contains(QStringLiteral("Vorn, Version 1.0")));
    auto* ok = qobject_cast<QPushButton*>(dialog.GetDlgItem(IDOK));
    QVERIFY(ok != nullptr);
    QVERIFY(ok->isDefault());
}

void TestDialogBuilder::endings_data()
{
    QTest::addColumn<int>("how"); // 0: OK pressed, 1: Esc, 2: closed
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << 0 << IDOK;
    QTest::newRow("Esc") << 1 << IDCANCEL;
    QTest::newRow("close box") << 2 << IDCANCEL;
}

void TestDialogBuilder::endings()
{
    QFETCH(int, how);
    QFETCH(int, result);
    CDialogEx dialog(IDD_ABOUTBOX);
    ModalScript script({ [&](QWidget* widget) {
        if (widget != &dialog) {
            return false;
        }
        if (how == 0) {
            ModalScript::press(qobject_cast<QPushButton*>(dialog.GetDlgItem(IDOK)));
        } else if (how == 1) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else {
            QMetaObject::invokeMethod(&dialog, &QWidget::close, Qt::QueuedConnection);
        }
        return true;
    } });
    QCOMPARE(dialog.DoModal(), result);
    QVERIFY(script.finished());
}

void TestDialogBuilder::accessibleControls_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    // The parent that assistive technology reads the control in, and that parent's name.
    QTest::addColumn<int>("parentRole");
    QTest::addColumn<QString>("parentName");
    const int dialog = QAccessible::Dialog;
    const QString caption = QStringLiteral("設定Dialog");
    QTest::newRow("Sin wave") << IDC_RADIO_SINE << int(QAccessible::RadioButton) << "Sin wave"
                              << int(QAccessible::Grouping) << "Input";
    QTest::newRow("Step") << IDC_RADIO_STEP << int(QAccessible::RadioButton) << "Step"
                          << int(QAccessible::Grouping) << "Input";
    QTest::newRow("frequency, named by the text before it")
        << IDC_EDIT_FREQ << int(QAccessible::EditableText) << "Hz" << dialog << caption;
    QTest::newRow("OK") << IDOK << int(QAccessible::Button) << "OK" << dialog << caption;
    QTest::newRow("Cancel") << IDCANCEL << int(QAccessible::Button) << "キャンセル" << dialog
                            << caption;
}

void TestDialogBuilder::accessibleControls()
{
    QFETCH(int, id);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(int, parentRole);
    QFETCH(QString, parentName);
    CDialogEx dialog(IDD_DRAW);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(dialog.GetDlgItem(id));
    QVERIFY(control != nullptr);
    QCOMPARE(int(control->role()), role);
    QCOMPARE(control->text(QAccessible::Name), name);
    QAccessibleInterface* parent = control->parent();
    QVERIFY(parent != nullptr);
    QCOMPARE(int(parent->role()), parentRole);
    QCOMPARE(parent->text(QAccessible::Name), parentName);
    // Reachable from that parent, as a reader walks the tree.
    QVERIFY(parent->indexOfChild(control) >= 0);
    QCOMPARE(parent->child(parent->indexOfChild(control)), control);

    if (role == QAccessible::RadioButton) {
        // Checking one clears the other, and both report it.
        const std::vector<QAbstractButton*> group = dialog.RadioGroup(IDC_RADIO_SINE);
        QCOMPARE(group.size(), std::size_t(2));
        QTest::mouseClick(dialog.GetDlgItem(id), Qt::LeftButton);
        for (QAbstractButton* button : group) {
            const QAccessible::State state = QAccessible::queryAccessibleInterface(button)->state();
            QVERIFY(state.checkable);
            QCOMPARE(bool(state.checked), button == dialog.GetDlgItem(id));
        }
    }
    if (role == QAccessible::EditableText) {
        // The label is the edit's, both ways.
        const auto labels = control->relations(QAccessible::Label);
        QCOMPARE(labels.size(), qsizetype(1));
        QCOMPARE(labels.front().first->text(QAccessible::Name), name);
        QCOMPARE(labels.front().first->role(), QAccessible::StaticText);
        const auto labelled = labels.front().first->relations(QAccessible::Labelled);
        QCOMPARE(labelled.size(), qsizetype(1));
        QCOMPARE(labelled.front().first, control);
    }
}

QTEST_MAIN(TestDialogBuilder)
#include "tst_dialogbuilder.moc"
