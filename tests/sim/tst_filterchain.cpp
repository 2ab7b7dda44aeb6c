// The filter chain and the block generator against reference values and physical properties.
#include "filterchain.h"
#include "sampleconvert.h"
#include "vornsimulation.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace vorn;

namespace {

// A fresh simulation with the given input, its first `skip` blocks generated and dropped.
CVornSimulation freshSimulation(int input, double frequency, int skip = 0)
{
    CVornSimulation simulation;
    simulation.m_nInput = input;
    simulation.m_dFreq = frequency;
    for (int i = 0; i < skip; ++i) {
        simulation.GenerateBlock(0);
    }
    return simulation;
}

std::vector<int> head(const SampleBlock& block, std::size_t count)
{
    return { block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count) };
}

} // namespace

class TestFilterChain : public QObject
{
    Q_OBJECT

private slots:
    void coefficientsAt44100_data();
    void coefficientsAt44100();
    void highPassCoefficients();
    void unityGainAtDc();

    void stepResponse();
    void stepDecaysToZero();
    void sineResponse();
    void sineSwing_data();
    void sineSwing();
    void zeroFrequencyIsSilent();
    void negativeFrequencyNegates();
    void overflowingFrequency();

    void blocksContinueRegardlessOfIndex();
    void twoBlocksAreOneRun();
    void resetRestartsFromRest();

    void sampleConversion_data();
    void sampleConversion();
};

// Golden values: the coefficient table at 44100 Hz worked out to ten significant digits from the
// closed forms (exp, cos, sin of wT), independently of this code.
void TestFilterChain::coefficientsAt44100_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<double>("wd");
    QTest::addColumn<double>("E");
    QTest::addColumn<double>("c");
    QTest::addColumn<double>("s");
    QTest::addColumn<double>("P");
    QTest::addColumn<double>("N");
    QTest::newRow("section 1") << 0 << 0.9659255704 << 0.9637960228 << 0.9905451567 << 0.1371870712
                               << 0.009888040511 << 0.1420030642;
    QTest::newRow("section 2") << 1 << 0.7071085624 << 0.9041632116 << 0.9949294229 << 0.1005755611
                               << 0.009485153535 << 0.1420176210;
    QTest::newRow("section 3") << 2 << 0.2588221288 << 0.8714289073 << 0.9993201609 << 0.03686754776
                               << 0.009263791334 << 0.1420256989;
}

void TestFilterChain::coefficientsAt44100()
{
    QFETCH(int, section);
    const FilterCoefficients coefficients = ComputeCoefficients(44100.0);
    const SectionCoefficients& sc = coefficients.sections[static_cast<std::size_t>(section)];
    // The reference values carry ten significant digits.
    const auto near = [](double actual, double expected) {
        return std::fabs(actual - expected) <= std::fabs(expected) * 6e-10;
    };
    QVERIFY2(
        near(coefficients.wT, 0.1424758573), qPrintable(QString::number(coefficients.wT, 'g', 17)));
    QFETCH(double, wd);
    QFETCH(double, E);
    QFETCH(double, c);
    QFETCH(double, s);
    QFETCH(double, P);
    QFETCH(double, N);
    QVERIFY2(near(sc.wd, wd), qPrintable(QString::number(sc.wd, 'g', 17)));
    QVERIFY2(near(sc.E, E), qPrintable(QString::number(sc.E, 'g', 17)));
    QVERIFY2(near(sc.c, c), qPrintable(QString::number(sc.c, 'g', 17)));
    QVERIFY2(near(sc.s, s), qPrintable(QString::number(sc.s, 'g', 17)));
    QVERIFY2(near(sc.P, P), qPrintable(QString::number(sc.P, 'g', 17)));
    QVERIFY2(near(sc.N, N), qPrintable(QString::number(sc.N, 'g', 17)));
    // The kept coefficient set is the same computation.
    QCOMPARE(PlaybackCoefficients().sections[static_cast<std::size_t>(section)].N, sc.N);
}

void TestFilterChain::highPassCoefficients()
{
    const FilterCoefficients coefficients = ComputeCoefficients(44100.0);
    QVERIFY(std::fabs(coefficients.rho - 0.9998575343) < 1e-10);
    QVERIFY(std::fabs(coefficients.oneMinusRho - 0.0001424657081) < 1e-13);
    QCOMPARE(coefficients.oneMinusRho, 1 - coefficients.rho);
    // The analysis rate only changes the sample interval.
    QVERIFY(
        std::fabs(ComputeCoefficients(40960.0).wT - coefficients.wT * 44100.0 / 40960.0) < 1e-15);
}

void TestFilterChain::unityGainAtDc()
{
    // Under a constant input each section settles at x1 = v, x2 = k v: the held-input gains must
    // make that a fixed point of the one-sample update.
    const FilterCoefficients coefficients = ComputeCoefficients(44100.0);
    for (const SectionCoefficients& sc : coefficients.sections) {
        double x1 = 1.0;
        double x2 = sc.k;
        StepSection(sc, x1, x2, 1.0);
        QVERIFY(std::fabs(x1 - 1.0) < 1e-12);
        QVERIFY(std::fabs(x2 - sc.k) < 1e-12);
    }
}

// Golden values in the next two tests: the reference sample sequences of the chain from rest, as
// worked out independently of this code (step: 0, 0, 0, 1, 3, ...; sine: 0, ..., 1, 4, 8, ...).
void TestFilterChain::stepResponse()
{
    CVornSimulation simulation = freshSimulation(1, 1000.0);
    simulation.GenerateBlock(0);
    const SampleBlock& block = simulation.m_samples[0];
    QCOMPARE(head(block, 12), (std::vector<int> { 0, 0, 0, 1, 3, 8, 16, 30, 51, 83, 128, 189 }));
    const auto peak = std::max_element(block.begin(), block.end());
    QCOMPARE(*peak, std::int16_t { 11387 });
    QCOMPARE(peak - block.begin(), 47);
    QCOMPARE(block.back(), std::int16_t { 7546 });
    simulation.GenerateBlock(1);
    QCOMPARE(simulation.m_samples[1].front(), std::int16_t { 7545 });
}

void TestFilterChain::stepDecaysToZero()
{
    // The 1 Hz high-pass lets the step decay: from the 34th block after the reset on, silence.
    CVornSimulation simulation = freshSimulation(1, 1000.0, 32);
    simulation.GenerateBlock(0);
    QVERIFY(std::any_of(simulation.m_samples[0].begin(), simulation.m_samples[0].end(),
        [](auto s) { return s != 0; }));
    for (int block = 34; block <= 40; ++block) {
        simulation.GenerateBlock(0);
        QVERIFY2(std::all_of(simulation.m_samples[0].begin(), simulation.m_samples[0].end(),
                     [](auto s) { return s == 0; }),
            qPrintable(QStringLiteral("block %1").arg(block)));
    }
}

void TestFilterChain::sineResponse()
{
    CVornSimulation simulation = freshSimulation(0, 1000.0);
    simulation.GenerateBlock(0);
    QCOMPARE(head(simulation.m_samples[0], 12),
        (std::vector<int> { 0, 0, 0, 0, 0, 0, 1, 4, 8, 15, 26, 43 }));
}

void TestFilterChain::sineSwing_data()
{
    QTest::addColumn<double>("frequency");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    // 1 kHz is the corner: about 3 dB below the input amplitude.
    QTest::newRow("1000 Hz") << 1000.0 << -7052 << 7051;
    QTest::newRow("100 Hz, in the pass band") << 100.0 << -10002 << 9992;
    // 5 kHz is attenuated by about 84 dB: less than one sample unit is left.
    QTest::newRow("5000 Hz, in the stop band") << 5000.0 << 0 << 0;
}

void TestFilterChain::sineSwing()
{
    QFETCH(double, frequency);
    QFETCH(int, low);
    QFETCH(int, high);
    CVornSimulation simulation = freshSimulation(0, frequency, 10);
    simulation.GenerateBlock(0);
    const auto [minimum, maximum]
        = std::minmax_element(simulation.m_samples[0].begin(), simulation.m_samples[0].end());
    QCOMPARE(int { *minimum }, low);
    QCOMPARE(int { *maximum }, high);
}

void TestFilterChain::zeroFrequencyIsSilent()
{
    CVornSimulation simulation = freshSimulation(0, 0.0);
    for (int i = 0; i < 3; ++i) {
        simulation.GenerateBlock(i % 2);
        QVERIFY(std::all_of(simulation.m_samples[i % 2].begin(), simulation.m_samples[i % 2].end(),
            [](auto s) { return s == 0; }));
    }
    QCOMPARE(simulation.m_filter[7], 0.0);
}

void TestFilterChain::negativeFrequencyNegates()
{
    CVornSimulation positive = freshSimulation(0, 1234.5);
    CVornSimulation negative = freshSimulation(0, -1234.5);
    for (int block = 0; block < 12; ++block) {
        positive.GenerateBlock(0);
        negative.GenerateBlock(0);
        for (std::size_t n = 0; n < SampleBlock {}.size(); ++n) {
            QCOMPARE(
                negative.m_samples[0][n], static_cast<std::int16_t>(-positive.m_samples[0][n]));
        }
    }
}

void TestFilterChain::overflowingFrequency()
{
    // The phase increment overflows to infinity: the first sample still uses phase 0, then the
    // input and the whole state are NaN and every sample is 0, until a reset.
    CVornSimulation simulation = freshSimulation(0, 1e308);
    simulation.GenerateBlock(0);
    QVERIFY(std::isinf(simulation.m_filter[7]) || std::isnan(simulation.m_filter[7]));
    QVERIFY(std::isnan(simulation.m_filter[6]));
    simulation.GenerateBlock(1);
    QVERIFY(std::all_of(simulation.m_samples[1].begin(), simulation.m_samples[1].end(),
        [](auto s) { return s == 0; }));

    simulation.m_dFreq = 1000.0;
    simulation.GenerateBlock(0);
    QVERIFY(std::all_of(simulation.m_samples[0].begin(), simulation.m_samples[0].end(),
        [](auto s) { return s == 0; }));
    simulation.ResetFilterState();
    simulation.GenerateBlock(0);
    QCOMPARE(head(simulation.m_samples[0], 12),
        (std::vector<int> { 0, 0, 0, 0, 0, 0, 1, 4, 8, 15, 26, 43 }));

    // The step does not read the phase: the same frequency changes nothing there.
    CVornSimulation step = freshSimulation(1, 1e308);
    CVornSimulation reference = freshSimulation(1, 1000.0);
    for (int i = 0; i < 3; ++i) {
        step.GenerateBlock(0);
        reference.GenerateBlock(0);
        QCOMPARE(step.m_samples[0], reference.m_samples[0]);
    }
}

void TestFilterChain::blocksContinueRegardlessOfIndex()
{
    CVornSimulation viaBothBlocks = freshSimulation(0, 777.0);
    CVornSimulation viaBlockZero = freshSimulation(0, 777.0);
    // Of two consecutive calls the first always gives the earlier stretch, whatever its index.
    viaBothBlocks.GenerateBlock(1);
    viaBothBlocks.GenerateBlock(0);
    viaBlockZero.GenerateBlock(0);
    const SampleBlock first = viaBlockZero.m_samples[0];
    viaBlockZero.GenerateBlock(0);
    QCOMPARE(viaBothBlocks.m_samples[1], first);
    QCOMPARE(viaBothBlocks.m_samples[0], viaBlockZero.m_samples[0]);
    QCOMPARE(viaBothBlocks.m_filter, viaBlockZero.m_filter);
}

void TestFilterChain::twoBlocksAreOneRun()
{
    // Two blocks equal one 4000-sample run of the per-sample step driven by hand.
    CVornSimulation simulation = freshSimulation(0, 440.0);
    simulation.GenerateBlock(0);
    simulation.GenerateBlock(1);

    FilterState state {};
    const FilterCoefficients coefficients = ComputeCoefficients(44100.0);
    const double dphi = (440.0 * (std::atan(1.0) * 8)) / 44100;
    for (std::size_t n = 0; n < 4000; ++n) {
        const double out = StepFilterChain(coefficients, state, std::sin(state[7]) * 10000);
        state[7] = dphi + state[7];
        QCOMPARE(
            simulation.m_samples[n / 2000][n % 2000], static_cast<std::int16_t>(std::trunc(out)));
    }
    QCOMPARE(simulation.m_filter, state);
}

void TestFilterChain::resetRestartsFromRest()
{
    CVornSimulation simulation = freshSimulation(1, 1000.0, 5);
    simulation.ResetFilterState();
    QCOMPARE(simulation.m_filter, FilterState {});
    simulation.GenerateBlock(0);
    QCOMPARE(head(simulation.m_samples[0], 12),
        (std::vector<int> { 0, 0, 0, 1, 3, 8, 16, 30, 51, 83, 128, 189 }));
}

void TestFilterChain::sampleConversion_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("positive fraction") << 2.99 << 2;
    QTest::newRow("negative fraction") << -2.99 << -2;
    QTest::newRow("just below one") << 0.9999999 << 0;
    QTest::newRow("largest sample") << 32767.9 << 32767;
    QTest::newRow("smallest sample") << -32768.5 << -32768;
    QTest::newRow("wraps past the range") << 40000.7 << -25536;
    QTest::newRow("beyond 32 bits") << 1e12 << 0;
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << 0;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << 0;
}

void TestFilterChain::sampleConversion()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int { ToSample16(value) }, expected);
}

QTEST_GUILESS_MAIN(TestFilterChain)
#include "tst_filterchain.moc"
