// Frequencies as users type them and as the program shows them.
#include "numbertext.h"

#include <QTest>

#include <cfloat>
#include <cmath>

using namespace vorn;

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void formatted_data();
    void formatted();
    void formattedValuesReadBack();
};

void TestNumberText::accepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("whole number") << "1000" << 1000.0;
    QTest::newRow("surrounding blanks") << "  440 \t" << 440.0;
    QTest::newRow("fraction") << "0.1" << 0.1;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("zero") << "0" << 0.0;
    QTest::newRow("negative") << "-250.5" << -250.5;
    QTest::newRow("explicit plus") << "+12" << 12.0;
    QTest::newRow("exponent") << "1e308" << 1e308;
    QTest::newRow("negative exponent") << "2.5E-3" << 0.0025;
    QTest::newRow("underflow is zero") << "1e-400" << 0.0;
    QTest::newRow("negative underflow is negative zero") << "-1e-400" << -0.0;
    QTest::newRow("negative zero") << "-0" << -0.0;
    QTest::newRow("smallest subnormal") << "4.9406564584124654e-324" << 4.9406564584124654e-324;
    QTest::newRow("below the smallest subnormal") << "-1e-330" << -0.0;
    // FormatDouble15g of the largest double rounds up past it; the dialog must read it back.
    QTest::newRow("largest double as shown") << "1.79769313486232e+308" << DBL_MAX;
    QTest::newRow("negative largest double as shown") << "-1.79769313486232e308" << -DBL_MAX;
}

void TestNumberText::accepted()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    const auto parsed = ParseFiniteDecimal(text.toStdString());
    QVERIFY(parsed.has_value());
    QCOMPARE(*parsed, value);
    // -0.0 == 0.0, so the sign is compared on its own: a negative frequency typed too small to
    // represent must not come back positive.
    QCOMPARE(std::signbit(*parsed), std::signbit(value));
}

void TestNumberText::refused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("infinity") << "inf";
    QTest::newRow("spelled infinity") << "Infinity";
    QTest::newRow("not a number") << "nan";
    QTest::newRow("trailing garbage") << "12abc";
    QTest::newRow("inner blank") << "1 000";
    QTest::newRow("decimal comma") << "0,5";
    QTest::newRow("hexadecimal") << "0x10";
    QTest::newRow("overflows to infinity") << "1e309";
    QTest::newRow("just past the largest double as shown") << "1.79769313486233e308";
    QTest::newRow("exponent without digits") << "1e";
    QTest::newRow("sign alone") << "-";
    QTest::newRow("point alone") << ".";
}

void TestNumberText::refused()
{
    QFETCH(QString, text);
    QVERIFY(!ParseFiniteDecimal(text.toStdString()).has_value());
}

void TestNumberText::formatted_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("default frequency") << 1000.0 << "1000";
    QTest::newRow("fraction") << 0.1 << "0.1";
    QTest::newRow("huge") << 1e308 << "1e+308";
    QTest::newRow("small") << 1e-5 << "1e-05";
    QTest::newRow("negative") << -2.5 << "-2.5";
    QTest::newRow("fifteen digits") << 1.0 / 3 << "0.333333333333333";
}

void TestNumberText::formatted()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(FormatDouble15g(value)), text);
}

void TestNumberText::formattedValuesReadBack()
{
    for (double value : { 1000.0, 0.1, 1e308, -44100.5, 123.456789, DBL_MAX, -DBL_MAX }) {
        const auto parsed = ParseFiniteDecimal(FormatDouble15g(value));
        QVERIFY(parsed.has_value());
        QVERIFY(std::fabs(*parsed - value) <= std::fabs(value) * 1e-14);
    }
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
