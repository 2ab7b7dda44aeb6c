// The one message box of the program: its button sets, what each answer returns, Esc, the icon
// of each kind of message, the caption, the line break of the text and the owner.
#include "messagebox.h"
#include "modalscript.h"
#include "resources.h"

#include <QMainWindow>
#include <QPushButton>
#include <QTest>

using namespace vorn;

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void answers_data();
    void answers();
    void icons_data();
    void icons();
    void captionTextAndOwner();

private:
    QMainWindow m_mainWindow;
};

void TestMessageBox::initTestCase()
{
    m_mainWindow.show();
    AfxSetMainWnd(&m_mainWindow);
}

void TestMessageBox::cleanupTestCase()
{
    AfxSetMainWnd(nullptr);
}

void TestMessageBox::answers_data()
{
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<QList<int>>("shown");
    QTest::addColumn<int>("pressed"); // a QMessageBox::StandardButton, or 0 for the Esc key
    QTest::addColumn<int>("result");
    const QList<int> yesNoCancel { QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel };
    QTest::newRow("OK") << MB_OK << QList<int> { QMessageBox::Ok } << int(QMessageBox::Ok) << IDOK;
    QTest::newRow("OK, Esc") << MB_OK << QList<int> { QMessageBox::Ok } << 0 << IDOK;
    QTest::newRow("OK/Cancel, Cancel")
        << MB_OKCANCEL << QList<int> { QMessageBox::Ok, QMessageBox::Cancel }
        << int(QMessageBox::Cancel) << IDCANCEL;
    QTest::newRow("Yes/No/Cancel, Yes")
        << MB_YESNOCANCEL << yesNoCancel << int(QMessageBox::Yes) << IDYES;
    QTest::newRow("Yes/No/Cancel, No")
        << MB_YESNOCANCEL << yesNoCancel << int(QMessageBox::No) << IDNO;
    QTest::newRow("Yes/No/Cancel, Esc") << MB_YESNOCANCEL << yesNoCancel << 0 << IDCANCEL;
    QTest::newRow("Yes/No, Esc means No")
        << MB_YESNO << QList<int> { QMessageBox::Yes, QMessageBox::No } << 0 << IDNO;
    QTest::newRow("Yes/Cancel, Yes")
        << MB_YESCANCEL << QList<int> { QMessageBox::Yes, QMessageBox::Cancel }
        << int(QMessageBox::Yes) << IDYES;
    QTest::newRow("Yes/Cancel, Esc")
        << MB_YESCANCEL << QList<int> { QMessageBox::Yes, QMessageBox::Cancel } << 0 << IDCANCEL;
}

void TestMessageBox::answers()
{
    QFETCH(unsigned, type);
    QFETCH(QList<int>, shown);
    QFETCH(int, pressed);
    QFETCH(int, result);
    QList<int> buttons;
    QString caption;
    bool firstIsDefault = false;
    ModalScript script({ [&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box == nullptr) {
            return false;
        }
        caption = box->windowTitle();
        for (QAbstractButton* button : box->buttons()) {
            buttons << box->standardButton(button);
        }
        firstIsDefault = static_cast<QAbstractButton*>(box->defaultButton())
            == box->button(QMessageBox::StandardButton(shown[0]));
        if (pressed == 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            ModalScript::press(box->button(QMessageBox::StandardButton(pressed)));
        }
        return true;
    } });
    QCOMPARE(AfxMessageBox(QStringLiteral("?"), type | MB_ICONQUESTION), result);
    QVERIFY(script.finished());
    std::sort(buttons.begin(), buttons.end());
    std::sort(shown.begin(), shown.end());
    QCOMPARE(buttons, shown);
    QVERIFY(firstIsDefault);
    QCOMPARE(caption, LoadStringResource(AFX_IDS_APP_TITLE));
}

void TestMessageBox::icons_data()
{
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<int>("icon");
    QTest::newRow("none") << MB_OK << int(QMessageBox::NoIcon);
    QTest::newRow("stop") << (MB_OK | MB_ICONSTOP) << int(QMessageBox::Critical);
    QTest::newRow("question") << (MB_YESNOCANCEL | MB_ICONQUESTION) << int(QMessageBox::Question);
    QTest::newRow("exclamation") << (MB_OK | MB_ICONEXCLAMATION) << int(QMessageBox::Warning);
    QTest::newRow("information") << (MB_OK | MB_ICONINFORMATION) << int(QMessageBox::Information);
}

void TestMessageBox::icons()
{
    QFETCH(unsigned, type);
    QFETCH(int, icon);
    int shownIcon = -1;
    ModalScript script({ [&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box == nullptr) {
            return false;
        }
        shownIcon = box->icon();
        QTest::keyClick(box, Qt::Key_Escape);
        return true;
    } });
    AfxMessageBox(QStringLiteral("!"), type);
    QVERIFY(script.finished());
    QCOMPARE(shownIcon, icon);
}

void TestMessageBox::captionTextAndOwner()
{
    QWidget* owner = nullptr;
    ModalScript script({ ModalScript::acceptMessageBox([&](QMessageBox* box) {
        QCOMPARE(box->text(), QStringLiteral("first line \nsecond line"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Vorn"));
        QCOMPARE(box->buttons().size(), 1);
        QVERIFY(box->isModal());
        owner = box->parentWidget();
    }) });
    QCOMPARE(AfxMessageBox(QStringLiteral("first line \r\nsecond line"), MB_OK, 0), 1);
    QVERIFY(script.finished());
    QCOMPARE(owner, &m_mainWindow);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
