// The settings dialog as a user meets it: built from its template, opened modally with DoModal,
// its fields exchanged both ways, wrong numbers refused with the standard message, and closed
// by its buttons, Esc or the close box.
#include "drawdlg.h"
#include "modalscript.h"
#include "resources.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cmath>
#include <limits>

using namespace vorn;

namespace {

QRadioButton* radio(CDrawDlg* dialog, int id)
{
    return qobject_cast<QRadioButton*>(dialog->GetDlgItem(id));
}

QLineEdit* frequencyEdit(CDrawDlg* dialog)
{
    return qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_EDIT_FREQ));
}

QPushButton* button(CDrawDlg* dialog, int id)
{
    return qobject_cast<QPushButton*>(dialog->GetDlgItem(id));
}

// A step for the settings dialog: `act` looks and changes fields, then the button `id` is pressed.
ModalScript::Step onDialog(std::function<void(CDrawDlg*)> act, int id)
{
    return [act = std::move(act), id](QWidget* widget) {
        auto* dialog = qobject_cast<CDrawDlg*>(widget);
        if (dialog == nullptr) {
            return false;
        }
        act(dialog);
        ModalScript::press(button(dialog, id));
        return true;
    };
}

} // namespace

class TestDrawDlg : public QObject
{
    Q_OBJECT

private slots:
    void layoutFromTheTemplate();
    void tabOrder();
    void showsTheMembers_data();
    void showsTheMembers();
    void okTakesTheFields_data();
    void okTakesTheFields();
    void radioIndexRead_data();
    void radioIndexRead();
    void refusedText_data();
    void refusedText();
    void cancelKeepsTheMembers();
    void escapeAndCloseBoxCancel_data();
    void escapeAndCloseBoxCancel();
};

void TestDrawDlg::layoutFromTheTemplate()
{
    CDrawDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("設定Dialog"));
    QVERIFY(dialog.GetDlgItem(1001) == nullptr);
    QCOMPARE(radio(&dialog, IDC_RADIO_SINE)->text(), QStringLiteral("Sin wave"));
    QCOMPARE(radio(&dialog, IDC_RADIO_STEP)->text(), QStringLiteral("Step"));
    QCOMPARE(button(&dialog, IDOK)->text(), QStringLiteral("OK"));
    QVERIFY(button(&dialog, IDOK)->isDefault());
    QCOMPARE(button(&dialog, IDCANCEL)->text(), QStringLiteral("キャンセル"));
    QVERIFY(!button(&dialog, IDCANCEL)->isDefault());
    QVERIFY(frequencyEdit(&dialog) != nullptr);
    const QList<QGroupBox*> boxes = dialog.findChildren<QGroupBox*>();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.front()->title(), QStringLiteral("Input"));
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.front()->text(), QStringLiteral("Hz"));

    // Dialog units from the dialog font: x a quarter of the average letter width, y an eighth
    // of the line height.
    const QFontMetrics metrics(dialog.font());
    const double average = metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
        / 52.0;
    QVERIFY(std::abs(dialog.BaseUnitX() - average) <= 0.5);
    QCOMPARE(dialog.BaseUnitY(), metrics.height());
    const auto expect = [&](QWidget* widget, int x, int y, int cx, int cy) {
        const QRect g(widget->mapTo(&dialog, QPoint(0, 0)), widget->size());
        QVERIFY2(std::abs(g.x() - x * dialog.BaseUnitX() / 4.0) <= 1
                && std::abs(g.y() - y * dialog.BaseUnitY() / 8.0) <= 1
                && std::abs(g.width() - cx * dialog.BaseUnitX() / 4.0) <= 1
                && std::abs(g.height() - cy * dialog.BaseUnitY() / 8.0) <= 1,
            qPrintable(widget->metaObject()->className()));
    };
    expect(radio(&dialog, IDC_RADIO_SINE), 13, 14, 43, 10);
    expect(radio(&dialog, IDC_RADIO_STEP), 13, 27, 31, 10);
    expect(boxes.front(), 7, 3, 55, 40);
    expect(button(&dialog, IDOK), 8, 48, 50, 14);
    expect(button(&dialog, IDCANCEL), 64, 48, 50, 14);
    expect(labels.front(), 103, 15, 11, 8);
    expect(frequencyEdit(&dialog), 68, 13, 31, 14);
    QVERIFY(std::abs(dialog.width() - 121 * dialog.BaseUnitX() / 4.0) <= 1);
    QVERIFY(std::abs(dialog.height() - 68 * dialog.BaseUnitY() / 8.0) <= 1);
}

void TestDrawDlg::tabOrder()
{
    CDrawDlg dialog;
    dialog.m_dFreq = 1000.0;
    QList<QWidget*> visited;
    bool radiosTakeTab = true;
    ModalScript script({ [&](QWidget* widget) {
        auto* shown = qobject_cast<CDrawDlg*>(widget);
        if (shown == nullptr) {
            return false;
        }
        shown->activateWindow();
        // The first tab stop has the focus when the dialog opens.
        visited << shown->focusWidget();
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(shown->focusWidget(), Qt::Key_Tab);
            visited << shown->focusWidget();
        }
        radiosTakeTab = (radio(shown, IDC_RADIO_SINE)->focusPolicy() & Qt::TabFocus) != 0
            || (radio(shown, IDC_RADIO_STEP)->focusPolicy() & Qt::TabFocus) != 0;
        ModalScript::press(button(shown, IDCANCEL));
        return true;
    } });
    QCOMPARE(dialog.DoModal(), IDCANCEL);
    QVERIFY(script.finished());
    QVERIFY(!radiosTakeTab);
    QCOMPARE(visited,
        (QList<QWidget*> { button(&dialog, IDOK), button(&dialog, IDCANCEL), frequencyEdit(&dialog),
            button(&dialog, IDOK) }));
}

void TestDrawDlg::showsTheMembers_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<double>("frequency");
    QTest::addColumn<QString>("text");
    QTest::newRow("default") << 0 << 1000.0 << "1000";
    QTest::newRow("step, a tenth") << 1 << 0.1 << "0.1";
    QTest::newRow("largest") << 0 << 1e308 << "1e+308";
    QTest::newRow("negative") << 1 << -5.0 << "-5";
    QTest::newRow("zero") << 0 << 0.0 << "0";
    QTest::newRow("fifteen digits") << 0 << 1.0 / 3.0 << "0.333333333333333";
    QTest::newRow("tiny") << 0 << 1.5e-7 << "1.5e-07";
}

void TestDrawDlg::showsTheMembers()
{
    QFETCH(int, input);
    QFETCH(double, frequency);
    QFETCH(QString, text);
    CDrawDlg dialog;
    dialog.m_nInput = input;
    dialog.m_dFreq = frequency;
    ModalScript script({ onDialog(
        [&](CDrawDlg* shown) {
            QCOMPARE(frequencyEdit(shown)->text(), text);
            QCOMPARE(radio(shown, IDC_RADIO_SINE)->isChecked(), input == 0);
            QCOMPARE(radio(shown, IDC_RADIO_STEP)->isChecked(), input == 1);
        },
        IDCANCEL) });
    QCOMPARE(dialog.DoModal(), IDCANCEL);
    QVERIFY(script.finished());
}

void TestDrawDlg::okTakesTheFields_data()
{
    QTest::addColumn<bool>("clickStep");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("input");
    QTest::addColumn<double>("frequency");
    QTest::newRow("unchanged") << false << QString() << 0 << 1000.0;
    QTest::newRow("step") << true << QString() << 1 << 1000.0;
    QTest::newRow("blanks around") << false << " 12.5 " << 0 << 12.5;
    QTest::newRow("zero") << false << "0" << 0 << 0.0;
    QTest::newRow("negative") << true << "-3" << 1 << -3.0;
    QTest::newRow("largest") << false << "1e308" << 0 << 1e308;
    QTest::newRow("exponent") << false << "4.4E2" << 0 << 440.0;
    QTest::newRow("plus sign") << false << "+5" << 0 << 5.0;
}

void TestDrawDlg::okTakesTheFields()
{
    QFETCH(bool, clickStep);
    QFETCH(QString, typed);
    QFETCH(int, input);
    QFETCH(double, frequency);
    CDrawDlg dialog;
    dialog.m_nInput = 0;
    dialog.m_dFreq = 1000.0;
    ModalScript script({ onDialog(
        [&](CDrawDlg* shown) {
            if (clickStep) {
                QTest::mouseClick(radio(shown, IDC_RADIO_STEP), Qt::LeftButton);
                QVERIFY(!radio(shown, IDC_RADIO_SINE)->isChecked());
            }
            if (!typed.isNull()) {
                frequencyEdit(shown)->selectAll();
                QTest::keyClicks(frequencyEdit(shown), typed);
            }
        },
        IDOK) });
    QCOMPARE(dialog.DoModal(), IDOK);
    QVERIFY(script.finished());
    QCOMPARE(dialog.m_nInput, input);
    QCOMPARE(dialog.m_dFreq, frequency);
}

void TestDrawDlg::radioIndexRead_data()
{
    QTest::addColumn<int>("checked"); // the control checked before the exchange, 0 for none
    QTest::addColumn<int>("input");
    QTest::newRow("none checked") << 0 << -1;
    QTest::newRow("Sin wave") << IDC_RADIO_SINE << 0;
    QTest::newRow("Step") << IDC_RADIO_STEP << 1;
}

void TestDrawDlg::radioIndexRead()
{
    QFETCH(int, checked);
    QFETCH(int, input);
    CDrawDlg dialog;
    // Neither index of the group, so that an exchange that leaves the member alone shows.
    dialog.m_nInput = 7;
    dialog.m_dFreq = 1000.0;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // No index of the group clears both buttons.
    QVERIFY(dialog.UpdateData(false));
    QVERIFY(!radio(&dialog, IDC_RADIO_SINE)->isChecked());
    QVERIFY(!radio(&dialog, IDC_RADIO_STEP)->isChecked());
    if (checked != 0) {
        QTest::mouseClick(radio(&dialog, checked), Qt::LeftButton);
    }
    QVERIFY(dialog.UpdateData(true));
    QCOMPARE(dialog.m_nInput, input);
}

void TestDrawDlg::refusedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("letters after digits") << "12abc";
    QTest::newRow("empty") << "";
    QTest::newRow("inf") << "inf";
    QTest::newRow("nan") << "nan";
    QTest::newRow("hexadecimal") << "0x10";
    QTest::newRow("overflow") << "1e999";
    QTest::newRow("decimal comma") << "1,5";
    QTest::newRow("only blanks") << "   ";
}

void TestDrawDlg::refusedText()
{
    QFETCH(QString, typed);
    CDrawDlg dialog;
    dialog.m_nInput = 0;
    dialog.m_dFreq = 1000.0;
    bool stillOpen = false;
    QString selected;
    bool editFocused = false;
    ModalScript script({
        onDialog(
            [&](CDrawDlg* shown) {
                QTest::mouseClick(radio(shown, IDC_RADIO_STEP), Qt::LeftButton);
                frequencyEdit(shown)->setText(typed);
                frequencyEdit(shown)->setCursorPosition(0);
            },
            IDOK),
        ModalScript::acceptMessageBox([](QMessageBox* box) {
            QCOMPARE(box->text(), QStringLiteral("数値を入力してください。"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Vorn"));
            QCOMPARE(box->buttons().size(), 1);
        }),
        onDialog(
            [&](CDrawDlg* shown) {
                stillOpen = shown->isVisible();
                selected = frequencyEdit(shown)->selectedText();
                editFocused = shown->focusWidget() == frequencyEdit(shown);
            },
            IDCANCEL),
    });
    QCOMPARE(dialog.DoModal(), IDCANCEL);
    QVERIFY(script.finished());
    QVERIFY(stillOpen);
    QVERIFY(editFocused);
    QCOMPARE(selected, typed);
    // The refused field keeps its member; the exchange ran in order, so the radio index before
    // it was taken (the view takes nothing, since the dialog was cancelled).
    QCOMPARE(dialog.m_dFreq, 1000.0);
    QCOMPARE(dialog.m_nInput, 1);
}

void TestDrawDlg::cancelKeepsTheMembers()
{
    CDrawDlg dialog;
    dialog.m_nInput = 1;
    dialog.m_dFreq = 250.0;
    ModalScript script({ onDialog(
        [](CDrawDlg* shown) {
            QTest::mouseClick(radio(shown, IDC_RADIO_SINE), Qt::LeftButton);
            frequencyEdit(shown)->setText(QStringLiteral("99"));
        },
        IDCANCEL) });
    QCOMPARE(dialog.DoModal(), IDCANCEL);
    QVERIFY(script.finished());
    QCOMPARE(dialog.m_nInput, 1);
    QCOMPARE(dialog.m_dFreq, 250.0);
}

void TestDrawDlg::escapeAndCloseBoxCancel_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Esc") << false;
    QTest::newRow("close box") << true;
}

void TestDrawDlg::escapeAndCloseBoxCancel()
{
    QFETCH(bool, closeBox);
    CDrawDlg dialog;
    dialog.m_nInput = 0;
    dialog.m_dFreq = 1000.0;
    ModalScript script({ [&](QWidget* widget) {
        auto* shown = qobject_cast<CDrawDlg*>(widget);
        if (shown == nullptr) {
            return false;
        }
        frequencyEdit(shown)->setText(QStringLiteral("5"));
        if (closeBox) {
            QMetaObject::invokeMethod(shown, &QWidget::close, Qt::QueuedConnection);
        } else {
            QTest::keyClick(frequencyEdit(shown), Qt::Key_Escape);
        }
        return true;
    } });
    QCOMPARE(dialog.DoModal(), IDCANCEL);
    QVERIFY(script.finished());
    QCOMPARE(dialog.m_dFreq, 1000.0);
}

QTEST_MAIN(TestDrawDlg)
#include "tst_drawdlg.moc"
