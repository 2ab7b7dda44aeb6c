// The frequency response of the chain: the analogue prototype against its closed forms, the
// simulated chain against a direct DFT of the impulse response that StepFilterChain produces.
#include "filterchain.h"
#include "response.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

using namespace vorn;

namespace {

constexpr double kPi = std::numbers::pi;

// Long enough for the 1 Hz pole to die out at the rates tested: rho^n = e^(-2 pi n / rate) is
// below 1e-23 at 400000 samples of 44100 Hz.
constexpr int kImpulseSamples = 400'000;

std::vector<double> impulseResponse(double rate)
{
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    FilterState state {};
    std::vector<double> h(kImpulseSamples);
    for (int n = 0; n < kImpulseSamples; ++n) {
        h[static_cast<std::size_t>(n)] = StepFilterChain(coefficients, state, n == 0 ? 1.0 : 0.0);
    }
    return h;
}

struct Dft
{
    long double re = 0;
    long double im = 0;
    [[nodiscard]] double Db() const
    {
        return static_cast<double>(10 * std::log10(re * re + im * im));
    }
    [[nodiscard]] double PhaseRad() const { return static_cast<double>(std::atan2(im, re)); }
};

// X(f) = sum h[n] e^(-j 2 pi f n / rate), in long double; the angle of every term is reduced to
// one turn before the sine and cosine, exactly when n f is a whole number.
Dft directDft(const std::vector<double>& h, long double hz, long double rate)
{
    Dft x;
    const long double twoPi = 2 * std::numbers::pi_v<long double>;
    for (std::size_t n = 0; n < h.size(); ++n) {
        const long double turns = std::fmod(static_cast<long double>(n) * hz, rate) / rate;
        x.re += h[n] * std::cos(twoPi * turns);
        x.im -= h[n] * std::sin(twoPi * turns);
    }
    return x;
}

// The difference of two angles in degrees, reduced to (-180, 180].
double angleDifference(double a, double b)
{
    return std::remainder(a - b, 360.0);
}

} // namespace

class TestResponse : public QObject
{
    Q_OBJECT

private slots:
    void analogueClosedForms_data();
    void analogueClosedForms();
    void analogueDelayAtLowFrequency_data();
    void analogueDelayAtLowFrequency();

    void simulatedAgainstDft_data();
    void simulatedAgainstDft();
    void simulatedDelayIsThePhaseSlope_data();
    void simulatedDelayIsThePhaseSlope();
    void delayIntegratesToPhase_data();
    void delayIntegratesToPhase();
    void simulatedAgainstAnalogue_data();
    void simulatedAgainstAnalogue();

    void phaseStartsWithinHalfATurn_data();
    void phaseStartsWithinHalfATurn();
    void grids_data();
    void grids();
};

void TestResponse::analogueClosedForms_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("db");
    QTest::addColumn<double>("dbTolerance");
    QTest::addColumn<double>("phaseDeg");
    // The Butterworth's |H| = 1 / sqrt(1 + (f / 1 kHz)^12); each section turns by -90 degrees at
    // the corner, the high-pass by atan(1 Hz / f) above its +90 at DC.
    const double atan1000 = std::atan(1e-3) * 180 / kPi;
    QTest::newRow("1 kHz, -3 dB") << 1000.0 << -10 * std::log10(2.0) << 1e-3 << -270.0 + atan1000;
    QTest::newRow("2 kHz") << 2000.0 << -10 * std::log10(1 + std::pow(2.0, 12)) << 5e-3 << qQNaN();
    QTest::newRow("4 kHz") << 4000.0 << -10 * std::log10(1 + std::pow(4.0, 12)) << 5e-3 << qQNaN();
    // The high-pass's corner: -3 dB and +45 degrees, less the low-pass's sum(k) / 1000 radians.
    QTest::newRow("1 Hz, high-pass corner")
        << 1.0 << -10 * std::log10(2.0) << 1e-3
        << 45.0 - (0.51764 + 1.41421 + 1.93185) * 1e-3 * 180 / kPi;
}

void TestResponse::analogueClosedForms()
{
    QFETCH(double, hz);
    QFETCH(double, db);
    QFETCH(double, dbTolerance);
    QFETCH(double, phaseDeg);
    const ResponseValue value = AnalogueResponse(hz);
    QVERIFY2(std::fabs(value.db - db) < dbTolerance, qPrintable(QString::number(value.db, 'g', 9)));
    if (!std::isnan(phaseDeg)) {
        QVERIFY2(std::fabs(value.phaseDeg - phaseDeg) < 1e-3,
            qPrintable(QString::number(value.phaseDeg, 'g', 9)));
    }
}

void TestResponse::analogueDelayAtLowFrequency_data()
{
    QTest::addColumn<double>("hz");
    QTest::newRow("5 Hz") << 5.0;
    QTest::newRow("10 Hz") << 10.0;
    QTest::newRow("20 Hz") << 20.0;
}

// Well below 1 kHz each section delays by k / w0; the high-pass adds wc / (wc^2 + w^2).
void TestResponse::analogueDelayAtLowFrequency()
{
    QFETCH(double, hz);
    const double w0 = 2 * kPi * 1000;
    const double wc = 2 * kPi;
    const double w = 2 * kPi * hz;
    const double expectedMs = ((0.51764 + 1.41421 + 1.93185) / w0 + wc / (wc * wc + w * w)) * 1000;
    // The low-pass's delay rises by a relative (3 - k^2) (f / 1 kHz)^2 at most: 1e-3 at 20 Hz.
    QVERIFY2(std::fabs(AnalogueResponse(hz).delayMs - expectedMs) < 1e-3 * 0.62,
        qPrintable(QString::number(AnalogueResponse(hz).delayMs, 'g', 9)));
}

void TestResponse::simulatedAgainstDft_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QList<int>>("frequencies");
    QTest::newRow("44100 Hz") << 44100.0 << QList<int> { 1, 10, 100, 1000, 2000, 5000, 10000 };
    QTest::newRow("40960 Hz") << 40960.0 << QList<int> { 1, 20, 980, 1000, 3000, 8000 };
    QTest::newRow("8000 Hz") << 8000.0 << QList<int> { 3, 300, 1000, 2500, 3900 };
}

// The same numbers from a different route: the impulse response as the chain runs it, summed
// against the unit circle term by term. Agreement to 1e-6 dB and 1e-6 degrees.
void TestResponse::simulatedAgainstDft()
{
    QFETCH(double, rate);
    QFETCH(QList<int>, frequencies);
    const std::vector<double> h = impulseResponse(rate);
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    for (const int hz : frequencies) {
        const Dft x = directDft(h, hz, rate);
        const ResponseValue value = SimulatedResponse(coefficients, rate, hz);
        const QByteArray where = QByteArray::number(hz)
            + " Hz: " + QByteArray::number(value.db, 'g', 12) + " dB against "
            + QByteArray::number(x.Db(), 'g', 12) + ", "
            + QByteArray::number(value.phaseDeg, 'g', 12) + " degrees against "
            + QByteArray::number(x.PhaseRad() * 180 / kPi, 'g', 12);
        QVERIFY2(std::fabs(value.db - x.Db()) < 1e-6, where.constData());
        QVERIFY2(std::fabs(angleDifference(value.phaseDeg, x.PhaseRad() * 180 / kPi)) < 1e-6,
            where.constData());
    }
}

void TestResponse::simulatedDelayIsThePhaseSlope_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QList<double>>("frequencies");
    QTest::newRow("44100 Hz") << 44100.0 << QList<double> { 1.0, 30.0, 950.0, 1000.0, 4000.0 };
    QTest::newRow("40960 Hz") << 40960.0 << QList<double> { 2.0, 1000.0, 7000.0 };
}

// Group delay against -dphi/domega of the DFT, by a central difference over +-1e-5 f.
void TestResponse::simulatedDelayIsThePhaseSlope()
{
    QFETCH(double, rate);
    QFETCH(QList<double>, frequencies);
    const std::vector<double> h = impulseResponse(rate);
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    for (const double hz : frequencies) {
        const long double below = hz * (1 - 1e-5L);
        const long double above = hz * (1 + 1e-5L);
        const double turn = angleDifference(directDft(h, above, rate).PhaseRad() * 180 / kPi,
                                directDft(h, below, rate).PhaseRad() * 180 / kPi)
            / 360;
        // tau = -dphi / domega, with omega in rad/s: phase in turns over frequency in Hz.
        const double slopeMs = -turn / static_cast<double>(above - below) * 1000;
        const double delayMs = SimulatedResponse(coefficients, rate, hz).delayMs;
        QVERIFY2(std::fabs(delayMs - slopeMs) < 1e-6 + 1e-6 * std::fabs(delayMs),
            qPrintable(QStringLiteral("%1 Hz: %2 ms against %3 ms")
                           .arg(hz)
                           .arg(delayMs, 0, 'g', 12)
                           .arg(slopeMs, 0, 'g', 12)));
    }
}

void TestResponse::delayIntegratesToPhase_data()
{
    QTest::addColumn<double>("rate");
    QTest::newRow("1000 Hz, the lowest rate") << 1000.0;
    QTest::newRow("2000 Hz") << 2000.0;
    QTest::newRow("44100 Hz") << 44100.0;
    QTest::newRow("10 MHz, the highest rate") << 1e7;
}

// Over the whole band, at rates the DFT cannot reach: the phase is continuous (no jump of a
// turn anywhere) and falls by the integral of the group delay; it tends to +90 degrees at DC.
void TestResponse::delayIntegratesToPhase()
{
    QFETCH(double, rate);
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    const std::vector<double> grid = FrequencyGrid(0.001, rate / 2 * 0.999, 200'000, true);
    ResponseValue previous = SimulatedResponse(coefficients, rate, grid.front());
    QVERIFY(std::fabs(previous.phaseDeg - 90) < 0.1);
    double worst = 0;
    for (std::size_t i = 1; i < grid.size(); ++i) {
        const ResponseValue value = SimulatedResponse(coefficients, rate, grid[i]);
        const double mid = (grid[i] + grid[i - 1]) / 2;
        const double midDelayMs = SimulatedResponse(coefficients, rate, mid).delayMs;
        // Simpson's rule: delta phase [turns] = -(tau1 + 4 tau_mid + tau2) / 6 delta f.
        const double predictedTurns
            = -(previous.delayMs + 4 * midDelayMs + value.delayMs) / 6000 * (grid[i] - grid[i - 1]);
        const double turns = (value.phaseDeg - previous.phaseDeg) / 360;
        worst = std::max(worst, std::fabs(turns - predictedTurns));
        previous = value;
    }
    QVERIFY2(worst < 1e-6, qPrintable(QString::number(worst)));
}

void TestResponse::simulatedAgainstAnalogue_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("hz");
    QTest::newRow("44100 Hz, 100 Hz") << 44100.0 << 100.0;
    QTest::newRow("44100 Hz, 300 Hz") << 44100.0 << 300.0;
    QTest::newRow("40960 Hz, 200 Hz") << 40960.0 << 200.0;
}

// Well below the corner the levels agree to 0.01 dB, and the simulated chain leads by half a
// sample per section: each holds its input over the sample (half a sample late) and passes on
// the state at the end of it (a whole sample early). The high-pass's hold and its zero cancel.
void TestResponse::simulatedAgainstAnalogue()
{
    QFETCH(double, rate);
    QFETCH(double, hz);
    const ResponseValue simulated = SimulatedResponse(ComputeCoefficients(rate), rate, hz);
    const ResponseValue analogue = AnalogueResponse(hz);
    QVERIFY(std::fabs(simulated.db - analogue.db) < 0.01);
    const double leadSamples = (analogue.delayMs - simulated.delayMs) / 1000 * rate;
    QVERIFY2(std::fabs(leadSamples - 1.5) < 0.01, qPrintable(QString::number(leadSamples)));
}

void TestResponse::phaseStartsWithinHalfATurn_data()
{
    QTest::addColumn<QList<double>>("hz");
    QTest::newRow("rising from 10 Hz") << QList<double> { 10, 100, 1000, 10000, 20000 };
    QTest::newRow("from 20 kHz down") << QList<double> { 20000, 2000, 1000, 1 };
    QTest::newRow("from 1 kHz") << QList<double> { 1000, 1 };
    QTest::newRow("one frequency, 5 kHz") << QList<double> { 5000 };
}

// Every column moved by whole turns, so that it lies in (-180, 180] at the lowest frequency and
// keeps the differences of the continuous phase: a frequency has the same phase whatever the
// order of the list.
void TestResponse::phaseStartsWithinHalfATurn()
{
    QFETCH(QList<double>, hz);
    const std::vector<double> frequencies(hz.begin(), hz.end());
    const std::vector<ResponseRow> rows = ChainResponse(44100, frequencies);
    QCOMPARE(rows.size(), frequencies.size());
    const ResponseRow& lowest = *std::min_element(rows.begin(), rows.end(),
        [](const ResponseRow& a, const ResponseRow& b) { return a.hz < b.hz; });
    for (const double phase : { lowest.simulated.phaseDeg, lowest.analogue.phaseDeg }) {
        QVERIFY(phase > -180 && phase <= 180);
    }
    const std::vector<double> reversed(frequencies.rbegin(), frequencies.rend());
    const std::vector<ResponseRow> backwards = ChainResponse(44100, reversed);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QCOMPARE(backwards[rows.size() - 1 - i].simulated.phaseDeg, rows[i].simulated.phaseDeg);
        QCOMPARE(backwards[rows.size() - 1 - i].analogue.phaseDeg, rows[i].analogue.phaseDeg);
    }
    const FilterCoefficients coefficients = ComputeCoefficients(44100);
    const double simulatedShift = rows.front().simulated.phaseDeg
        - SimulatedResponse(coefficients, 44100, hz.front()).phaseDeg;
    const double analogueShift
        = rows.front().analogue.phaseDeg - AnalogueResponse(hz.front()).phaseDeg;
    QCOMPARE(std::remainder(simulatedShift, 360.0), 0.0);
    QCOMPARE(std::remainder(analogueShift, 360.0), 0.0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].hz, frequencies[i]);
        const ResponseValue simulated = SimulatedResponse(coefficients, 44100, frequencies[i]);
        const ResponseValue analogue = AnalogueResponse(frequencies[i]);
        QCOMPARE(rows[i].simulated.db, simulated.db);
        QCOMPARE(rows[i].simulated.delayMs, simulated.delayMs);
        QCOMPARE(rows[i].analogue.db, analogue.db);
        QCOMPARE(rows[i].analogue.delayMs, analogue.delayMs);
        QVERIFY(std::fabs(rows[i].simulated.phaseDeg - simulated.phaseDeg - simulatedShift) < 1e-9);
        QVERIFY(std::fabs(rows[i].analogue.phaseDeg - analogue.phaseDeg - analogueShift) < 1e-9);
    }
}

void TestResponse::grids_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("logarithmic");
    QTest::newRow("log, 200 from 10 Hz to 20 kHz") << 10.0 << 20000.0 << 200 << true;
    QTest::newRow("log, 2") << 0.001 << 22049.0 << 2 << true;
    QTest::newRow("linear, 1001") << 0.3 << 1000.1 << 1001 << false;
    QTest::newRow("one point") << 440.0 << 880.0 << 1 << true;
}

// The ends exactly as given, and equal ratios or equal steps in between.
void TestResponse::grids()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, points);
    QFETCH(bool, logarithmic);
    const std::vector<double> grid
        = FrequencyGrid(from, to, static_cast<std::size_t>(points), logarithmic);
    QCOMPARE(grid.size(), static_cast<std::size_t>(points));
    QCOMPARE(grid.front(), from);
    if (points == 1) {
        return;
    }
    QCOMPARE(grid.back(), to);
    const double step
        = logarithmic ? std::log(to / from) / (points - 1) : (to - from) / (points - 1);
    for (std::size_t i = 1; i < grid.size(); ++i) {
        const double actual = logarithmic ? std::log(grid[i] / grid[i - 1]) : grid[i] - grid[i - 1];
        QVERIFY2(std::fabs(actual - step) < 1e-9 * std::fabs(step),
            qPrintable(QStringLiteral("step %1: %2 instead of %3").arg(i).arg(actual).arg(step)));
    }
}

QTEST_GUILESS_MAIN(TestResponse)
#include "tst_response.moc"
