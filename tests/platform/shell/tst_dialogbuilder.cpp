// Dialogs built from their templates: every control where the template puts it, inside the
// dialog; the icon of a static icon control; the default button; and how DoModal ends.
#include "dialog.h"
#include "modalscript.h"
#include "resources.h"

#include <QLabel>
#include <QPushButton>
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
    const QList<QWidget*> controls = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(qsizetype(controls.size()), qsizetype(dialogTemplate->items.size()));
    for (const DialogItemTemplate& item : dialogTemplate->items) {
        // The dialog-unit position, whatever the font: x in quarters of the average character
        // width, y in eighths of the line height, to within the rounding of one unit.
        const QRect expected(item.x * dialog.BaseUnitX() / 4, item.y * dialog.BaseUnitY() / 8,
            item.cx * dialog.BaseUnitX() / 4, item.cy * dialog.BaseUnitY() / 8);
        const auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
        bool found = false;
        for (QWidget* control : controls) {
            const QRect at = control->geometry();
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

QTEST_MAIN(TestDialogBuilder)
#include "tst_dialogbuilder.moc"
