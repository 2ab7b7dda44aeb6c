// The step and impulse figures: the analogue ones against reference values, the simulated ones
// against the analogue ones moved by the chain's lead, and the chain's peak against the
// program's known step samples.
#include "stepmetrics.h"

#include <QTest>

#include <cmath>

using namespace vorn;

class TestStepMetrics : public QObject
{
    Q_OBJECT

private slots:
    void analogueReferences();
    void simulatedLeadsTheAnalogue_data();
    void simulatedLeadsTheAnalogue();
};

// The reference values are scipy.signal's step and impulse responses of the prototype (the
// zero-pole-gain form of the three sections, and with the high-pass) on a 10 ns grid, crossings
// interpolated linearly: every time to 20 ns, the rest to 1e-8 relative. The overshoot is the
// 6th-order Butterworth's well-known 14.3 %.
void TestStepMetrics::analogueReferences()
{
    const StepMetrics m = AnalogueMetrics();
    const struct
    {
        const char* name;
        double actual, expected, tolerance;
    } checks[] = {
        { "rise", m.riseTime, 0.426526257e-3, 1e-8 * 0.43e-3 },
        { "peak time", m.peakTime, 1.11997e-3, 2e-8 },
        { "overshoot", m.overshootPercent, 14.2514259, 1e-8 * 14.3 },
        { "settling", m.settlingTime, 2.25065821e-3, 1e-8 * 2.3e-3 },
        { "impulse peak", m.impulsePeak, 2.23107521e3, 1e-8 * 2.2e3 },
        { "impulse time", m.impulsePeakTime, 0.70588e-3, 2e-8 },
        { "chain overshoot", m.chainOvershootPercent, 13.943629, 1e-8 * 14 },
        { "chain peak time", m.chainPeakTime, 1.11871e-3, 2e-8 },
    };
    for (const auto& check : checks) {
        QVERIFY2(std::fabs(check.actual - check.expected) <= check.tolerance,
            qPrintable(QStringLiteral("%1: %2, not %3")
                           .arg(check.name)
                           .arg(check.actual, 0, 'g', 12)
                           .arg(check.expected, 0, 'g', 12)));
    }
    QVERIFY(std::fabs(m.overshootPercent - 14.3) < 0.1);
}

void TestStepMetrics::simulatedLeadsTheAnalogue_data()
{
    QTest::addColumn<double>("rate");
    QTest::newRow("44100 Hz") << 44100.0;
    QTest::newRow("48000 Hz") << 48000.0;
    QTest::newRow("96000 Hz") << 96000.0;
}

// Sample n of the simulation is the analogue response about 1.5 samples later (1 sample for the
// impulse response, the difference of two steps), and a sampled peak is found to within half a
// sample: every time within a sample of the analogue one moved by 1.5 samples, the rise time
// within a tenth of a sample, overshoots within 0.1 percentage point, the impulse peak within 1 %.
// At 44100 Hz the program's step samples (amplitude 10000) peak at 11387, sample 47.
void TestStepMetrics::simulatedLeadsTheAnalogue()
{
    QFETCH(double, rate);
    const StepMetrics s = SimulatedMetrics(rate);
    const StepMetrics a = AnalogueMetrics();
    const double t = 1 / rate;
    for (const auto& [simulated, analogue] :
        { std::pair { s.peakTime, a.peakTime }, { s.settlingTime, a.settlingTime },
            { s.impulsePeakTime, a.impulsePeakTime }, { s.chainPeakTime, a.chainPeakTime } }) {
        QVERIFY2(std::fabs(simulated + 1.5 * t - analogue) <= t,
            qPrintable(QStringLiteral("%1 s, analogue %2 s").arg(simulated).arg(analogue)));
    }
    QVERIFY(std::fabs(s.riseTime - a.riseTime) <= 0.1 * t);
    QVERIFY(std::fabs(s.overshootPercent - a.overshootPercent) <= 0.1);
    QVERIFY(std::fabs(s.chainOvershootPercent - a.chainOvershootPercent) <= 0.1);
    QVERIFY(std::fabs(s.impulsePeak - a.impulsePeak) <= 0.01 * a.impulsePeak);
    if (rate == 44100) {
        QCOMPARE(std::trunc(10000 * (1 + s.chainOvershootPercent / 100)), 11387.0);
        QCOMPARE(s.chainPeakTime, 47 / rate);
    }
}

QTEST_GUILESS_MAIN(TestStepMetrics)
#include "tst_stepmetrics.moc"
