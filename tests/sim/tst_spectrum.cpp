// The frequency-response analysis: the FFT against a naive DFT and against the butterfly scheme
// evaluated literally, the whole-decibel spectrum against reference values and the analogue
// response, and its independence of settings and history.
#include "filterchain.h"
#include "sampleconvert.h"
#include "spectrum.h"
#include "vornsimulation.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <complex>
#include <cstring>

using namespace vorn;

namespace {

SampleBlock analysedSpectrum(CVornSimulation& simulation)
{
    simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    return simulation.m_samples[0];
}

// The transform written the plain way: every twiddle evaluated where it is used.
void literalFft(FftBuffer& re, FftBuffer& im)
{
    for (int i = 0; i < kFftSize; ++i) {
        int r = 0;
        for (int b = 0; b < 11; ++b) {
            if ((i >> b) & 1) {
                r |= 1 << (10 - b);
            }
        }
        if (r > i) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
    }
    const double pi = std::atan(1.0) * 4;
    for (int h = 1; h < kFftSize; h *= 2) {
        for (int j = 0; j < h; ++j) {
            const double theta = -pi * j / h;
            const double wRe = std::cos(theta);
            const double wIm = std::sin(theta);
            for (int k = j; k < kFftSize; k += 2 * h) {
                const double tRe = re[k + h] * wRe - im[k + h] * wIm;
                const double tIm = re[k + h] * wIm + im[k + h] * wRe;
                re[k + h] = re[k] - tRe;
                im[k + h] = im[k] - tIm;
                re[k] = re[k] + tRe;
                im[k] = im[k] + tIm;
            }
        }
    }
}

FftBuffer impulseResponse()
{
    FftBuffer response {};
    FilterState state {};
    for (std::size_t n = 0; n < response.size(); ++n) {
        response[n] = StepFilterChain(AnalysisCoefficients(), state, n == 0 ? 1.0 : 0.0);
    }
    return response;
}

} // namespace

class TestSpectrum : public QObject
{
    Q_OBJECT

private slots:
    void fftMatchesNaiveDft();
    void fftIsBitIdenticalToLiteralScheme();
    void decibelsMatchDirectEvaluation();

    void referenceEntries_data();
    void referenceEntries();
    void passBandAndMirror();
    void followsButterworthNearCorner_data();
    void followsButterworthNearCorner();

    void independentOfSettingsAndHistory();
    void repeatedAnalysisIsIdentical();
    void stateLeftByAnalysis();
};

void TestSpectrum::fftMatchesNaiveDft()
{
    QRandomGenerator random(1234);
    FftBuffer re {};
    FftBuffer im {};
    for (std::size_t n = 0; n < re.size(); ++n) {
        re[n] = random.generateDouble() * 2 - 1;
        im[n] = random.generateDouble() * 2 - 1;
    }
    const FftBuffer inputRe = re;
    const FftBuffer inputIm = im;
    Fft(re, im);

    const double twoPi = std::atan(1.0) * 8;
    for (int k : { 0, 1, 2, 3, 50, 511, 1023, 1024, 1025, 2047 }) {
        std::complex<long double> sum = 0;
        for (int n = 0; n < kFftSize; ++n) {
            const long double angle = -static_cast<long double>(twoPi)
                * ((static_cast<long long>(n) * k) % kFftSize) / kFftSize;
            sum += std::complex<long double>(inputRe[n], inputIm[n])
                * std::polar<long double>(1.0L, angle);
        }
        QVERIFY2(std::fabs(static_cast<double>(sum.real()) - re[k]) < 1e-9,
            qPrintable(QString::number(k)));
        QVERIFY2(std::fabs(static_cast<double>(sum.imag()) - im[k]) < 1e-9,
            qPrintable(QString::number(k)));
    }
}

void TestSpectrum::fftIsBitIdenticalToLiteralScheme()
{
    FftBuffer re = impulseResponse();
    FftBuffer im {};
    FftBuffer literalRe = re;
    FftBuffer literalIm {};
    Fft(re, im);
    literalFft(literalRe, literalIm);
    QVERIFY(std::memcmp(re.data(), literalRe.data(), sizeof re) == 0);
    QVERIFY(std::memcmp(im.data(), literalIm.data(), sizeof im) == 0);
}

void TestSpectrum::decibelsMatchDirectEvaluation()
{
    // Magnitudes all over the range, and right at the edges of whole decibels, where only the
    // direct evaluation can decide.
    QRandomGenerator random(99);
    FftBuffer re {};
    FftBuffer im {};
    for (std::size_t k = 0; k < re.size(); ++k) {
        const double db = (random.generateDouble() * 2 - 1) * 150;
        double m = std::pow(10.0, db / 20);
        if (k % 3 == 0) {
            m = std::pow(10.0, std::round(db) / 20);
            m = k % 2 ? std::nextafter(m, 0.0) : std::nextafter(m, 1e9);
        }
        if (k % 7 == 0) {
            m = std::pow(10.0, std::round(db) / 20);
        }
        re[k] = m;
        im[k] = k % 5 == 0 ? m : 0.0;
    }
    re[10] = 0.0;
    im[10] = 0.0;
    re[11] = std::nan("");
    re[12] = 1e300;
    SampleBlock block {};
    SpectrumToDecibels(re, im, block);
    QCOMPARE(block[0], std::int16_t { 0 });
    for (std::size_t k = 1; k < block.size(); ++k) {
        const double m = std::sqrt(im[k] * im[k] + re[k] * re[k]);
        QCOMPARE(block[k], ToSample16(20 * std::log10(m)));
    }
    QCOMPARE(block[10], std::int16_t { 0 }); // log of zero
    QCOMPARE(block[11], std::int16_t { 0 }); // NaN
}

// Golden values: the reference entries of the whole-decibel spectrum, worked out independently of
// this code (the nearest of them lies 0.003 dB from the next whole decibel).
void TestSpectrum::referenceEntries_data()
{
    QTest::addColumn<int>("bin");
    QTest::addColumn<int>("decibels");
    QTest::newRow("DC") << 0 << 0;
    QTest::newRow("20 Hz") << 1 << 0;
    QTest::newRow("800 Hz, -0.31 truncated") << 40 << 0;
    QTest::newRow("900 Hz") << 45 << -1;
    QTest::newRow("1 kHz corner") << 50 << -3;
    QTest::newRow("2 kHz") << 100 << -36;
    QTest::newRow("4 kHz") << 200 << -67;
    QTest::newRow("10 kHz") << 500 << -81;
    QTest::newRow("20 kHz") << 1000 << -84;
    QTest::newRow("20480 Hz, the minimum") << 1024 << -85;
    QTest::newRow("bin 1999 mirrors 49") << 1999 << -2;
}

void TestSpectrum::referenceEntries()
{
    QFETCH(int, bin);
    QFETCH(int, decibels);
    CVornSimulation simulation;
    QCOMPARE(int { analysedSpectrum(simulation)[static_cast<std::size_t>(bin)] }, decibels);
}

void TestSpectrum::passBandAndMirror()
{
    CVornSimulation simulation;
    const SampleBlock spectrum = analysedSpectrum(simulation);
    for (std::size_t k = 0; k <= 44; ++k) {
        QCOMPARE(spectrum[k], std::int16_t { 0 });
    }
    for (std::size_t k = 1025; k < 2000; ++k) {
        QCOMPARE(spectrum[k], spectrum[2048 - k]);
    }
    for (const std::int16_t entry : spectrum) {
        QVERIFY(entry >= -85 && entry <= 0);
    }
    // Bins 1 to 26 lie slightly above 0 dB (at most 0.021 dB) before truncation.
    const FftBuffer response = impulseResponse();
    FftBuffer re = response;
    FftBuffer im {};
    Fft(re, im);
    for (std::size_t k = 1; k <= 26; ++k) {
        const double db = 20 * std::log10(std::sqrt(im[k] * im[k] + re[k] * re[k]));
        QVERIFY2(db > 0 && db <= 0.021, qPrintable(QString::number(db)));
    }
}

void TestSpectrum::followsButterworthNearCorner_data()
{
    QTest::addColumn<int>("bin");
    for (int bin : { 30, 40, 50, 60, 75, 100 }) {
        QTest::addRow("bin %d", bin) << bin;
    }
}

void TestSpectrum::followsButterworthNearCorner()
{
    // Where the 1 Hz high-pass and the window's floor do not matter, the chain is the analogue
    // 6th-order Butterworth low-pass: |H| = 1 / sqrt(1 + (f / 1 kHz)^12).
    QFETCH(int, bin);
    FftBuffer re = impulseResponse();
    FftBuffer im {};
    Fft(re, im);
    const auto k = static_cast<std::size_t>(bin);
    const double measured = 20 * std::log10(std::sqrt(im[k] * im[k] + re[k] * re[k]));
    const double f = bin * 20.0 / 1000.0;
    const double analogue = -10 * std::log10(1 + std::pow(f, 12));
    QVERIFY2(std::fabs(measured - analogue) < 0.1,
        qPrintable(QStringLiteral("%1 dB measured, %2 dB analogue").arg(measured).arg(analogue)));
}

void TestSpectrum::independentOfSettingsAndHistory()
{
    CVornSimulation fresh;
    const SampleBlock reference = analysedSpectrum(fresh);

    CVornSimulation step;
    step.m_nInput = 1;
    QCOMPARE(analysedSpectrum(step), reference);

    CVornSimulation oddFrequency;
    oddFrequency.m_dFreq = -12345.678;
    QCOMPARE(analysedSpectrum(oddFrequency), reference);

    // About 90 seconds of streaming first.
    CVornSimulation streamed;
    streamed.m_dFreq = 333.0;
    for (int i = 0; i < 2000; ++i) {
        streamed.GenerateBlock(i % 2);
    }
    QCOMPARE(analysedSpectrum(streamed), reference);
    QCOMPARE(streamed.m_spectrum, reference);
    QCOMPARE(streamed.m_bFreqMode, 1);
}

void TestSpectrum::repeatedAnalysisIsIdentical()
{
    CVornSimulation simulation;
    const SampleBlock first = analysedSpectrum(simulation);
    const FilterState firstState = simulation.m_filter;
    simulation.GenerateBlock(0);
    QCOMPARE(analysedSpectrum(simulation), first);
    QCOMPARE(simulation.m_filter, firstState);
}

void TestSpectrum::stateLeftByAnalysis()
{
    CVornSimulation simulation;
    simulation.GenerateBlock(1);
    const SampleBlock blockOne = simulation.m_samples[1];
    analysedSpectrum(simulation);
    // Block 1 is not touched.
    QCOMPARE(simulation.m_samples[1], blockOne);
    // The sections have died away; the high-pass holds the tail of its slow decay.
    for (std::size_t i = 1; i <= 6; ++i) {
        QVERIFY(std::fabs(simulation.m_filter[i]) < 1e-20);
    }
    QVERIFY2(std::fabs(simulation.m_filter[0] - 1.12e-4) < 0.01e-4,
        qPrintable(QString::number(simulation.m_filter[0])));
    // The phase advanced 2048 times by (1000 2 pi) / 40960: about 100 pi.
    const double pi = std::atan(1.0) * 4;
    QVERIFY(std::fabs(simulation.m_filter[7] - 100 * pi) < 1e-9);

    // Block generation continues from there: a sine now starts at the phase the analysis left
    // (123.4 pi at 1234 Hz), not at 0.
    simulation.m_dFreq = 1234.0;
    analysedSpectrum(simulation);
    QVERIFY(std::fabs(simulation.m_filter[7] - 123.4 * pi) < 1e-9);
    CVornSimulation fromRest;
    fromRest.m_dFreq = 1234.0;
    simulation.GenerateBlock(0);
    fromRest.GenerateBlock(0);
    QVERIFY(simulation.m_samples[0] != fromRest.m_samples[0]);
}

QTEST_GUILESS_MAIN(TestSpectrum)
#include "tst_spectrum.moc"
