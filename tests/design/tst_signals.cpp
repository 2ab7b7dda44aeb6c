// The renderer's signal pieces in the core: reproducible noise and its spectrum, the chain for
// several channels, the guard against non-finite input, and the A/B crossfade.
#include "abcrossfade.h"
#include "chainguard.h"
#include "multichannelchain.h"
#include "noisegenerator.h"
#include "sampleconvert.h"
#include "spectrum.h"

#include <QTest>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <vector>

using namespace vorn;

class TestSignals : public QObject
{
    Q_OBJECT

private slots:
    void noiseSequenceIsFixed();
    void noiseSpectrum_data();
    void noiseSpectrum();
    void multichannelChain();
    void unusableInput_data();
    void unusableInput();
    void crossfade();
};

void TestSignals::noiseSequenceIsFixed()
{
    // SplitMix64's published outputs for the seed 1234567: the same on every machine.
    NoiseGenerator bits(NoiseGenerator::Colour::White, 1234567);
    for (const quint64 expected : { 6457827717110365317ULL, 3203168211198807973ULL,
             9817491932198370423ULL, 4593380528125082431ULL, 16408922859458223821ULL }) {
        QCOMPARE(bits.NextBits(), expected);
    }
    // Both colours stay within the input amplitude, white nearly reaching it.
    for (const auto colour : { NoiseGenerator::Colour::White, NoiseGenerator::Colour::Pink }) {
        NoiseGenerator noise(colour, 99);
        std::vector<double> samples(1 << 18);
        noise.Fill(samples);
        double peak = 0;
        for (const double x : samples) {
            peak = std::max(peak, std::fabs(x));
        }
        QVERIFY(peak <= kInputAmplitude);
        QVERIFY(peak > (colour == NoiseGenerator::Colour::White ? 9990 : 5000));
    }
}

void TestSignals::noiseSpectrum_data()
{
    QTest::addColumn<bool>("pink");
    QTest::addColumn<double>("slope"); // dB per octave
    QTest::newRow("white") << false << 0.0;
    QTest::newRow("pink") << true << -3.0103;
}

// The averaged power spectrum (Hann-windowed 2048-point frames) in octave bands from bin 4 to
// bin 512: a straight line of the expected slope against the octave, each band close to it.
void TestSignals::noiseSpectrum()
{
    QFETCH(bool, pink);
    QFETCH(double, slope);
    NoiseGenerator noise(pink ? NoiseGenerator::Colour::Pink : NoiseGenerator::Colour::White, 5);
    std::vector<double> power(kFftSize / 2);
    FftBuffer re {};
    FftBuffer im {};
    const int frames = 1500;
    for (int frame = 0; frame < frames; ++frame) {
        noise.Fill(re);
        for (int n = 0; n < kFftSize; ++n) {
            re[static_cast<std::size_t>(n)] *= 0.5 - 0.5 * std::cos(2 * M_PI * n / kFftSize);
        }
        im.fill(0.0);
        Fft(re, im);
        for (std::size_t k = 0; k < power.size(); ++k) {
            power[k] += re[k] * re[k] + im[k] * im[k];
        }
    }
    std::vector<double> bands;
    for (std::size_t low = 4; low < 1024; low *= 2) {
        const double sum = std::accumulate(power.begin() + static_cast<std::ptrdiff_t>(low),
            power.begin() + static_cast<std::ptrdiff_t>(low * 2), 0.0);
        bands.push_back(10 * std::log10(sum / static_cast<double>(low)));
    }
    // Least squares over the octaves.
    const double count = static_cast<double>(bands.size());
    const double meanX = (count - 1) / 2;
    const double meanY = std::accumulate(bands.begin(), bands.end(), 0.0) / count;
    double sxy = 0;
    double sxx = 0;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        sxy += (static_cast<double>(i) - meanX) * (bands[i] - meanY);
        sxx += (static_cast<double>(i) - meanX) * (static_cast<double>(i) - meanX);
    }
    const double fitted = sxy / sxx;
    QVERIFY2(std::fabs(fitted - slope) < 0.25, qPrintable(QString::number(fitted)));
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const double line = meanY + fitted * (static_cast<double>(i) - meanX);
        QVERIFY2(std::fabs(bands[i] - line) < 0.5, qPrintable(QString::number(bands[i] - line)));
    }
}

void TestSignals::multichannelChain()
{
    // From rest, a step at 44100 Hz gives the window's step response on every channel.
    MultichannelChain steps(44100, 3);
    std::vector<double> block(3 * 60, 10000.0);
    steps.Process(block);
    const int head[] = { 0, 0, 0, 1, 3, 8, 16, 30, 51, 83, 128, 189 };
    for (std::size_t n = 0; n < 60; ++n) {
        for (std::size_t c = 0; c < 3; ++c) {
            const int sample = ToSample16(block[n * 3 + c]);
            if (n < std::size(head)) {
                QCOMPARE(sample, head[n]);
            } else if (n == 47) {
                QCOMPARE(sample, 11387);
            }
        }
    }

    // Channels of different content, in blocks of uneven length, give the bits of one chain
    // run over each channel alone: in pairs (the vector lanes) and the odd one out.
    const int channels = 5;
    const int frames = 5000;
    std::vector<double> input(static_cast<std::size_t>(channels * frames));
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] = 10000
            * std::sin(
                0.001 * static_cast<double>(i * i % 7919) + static_cast<double>(i % channels));
    }
    MultichannelChain chain(48000, channels);
    std::vector<double> output = input;
    for (std::size_t at = 0, length = 1; at < static_cast<std::size_t>(frames);
         at += length, length = length * 3 % 1001) {
        length = std::min(length, static_cast<std::size_t>(frames) - at);
        chain.Process({ output.data() + at * channels, length * channels });
    }
    const FilterCoefficients coefficients = ComputeCoefficients(48000);
    for (int c = 0; c < channels; ++c) {
        FilterState state {};
        for (int n = 0; n < frames; ++n) {
            const auto i = static_cast<std::size_t>(n * channels + c);
            const double expected = StepFilterChain(coefficients, state, input[i]);
            QVERIFY(output[i] == expected);
        }
    }
}

void TestSignals::unusableInput_data()
{
    QTest::addColumn<double>("bad");
    QTest::newRow("NaN") << double(NAN);
    QTest::newRow("infinity") << double(INFINITY);
    QTest::newRow("minus infinity") << -double(INFINITY);
    // Finite, but the chain's states would overflow: the largest double.
    QTest::newRow("largest double") << DBL_MAX;
}

void TestSignals::unusableInput()
{
    QFETCH(double, bad);
    // Values up to the limit stay as they are, the extremes too; only the bad ones become 0.
    std::vector<double> block { 1.0, bad, -0.0, kChainInputLimit, bad, -DBL_TRUE_MIN, bad,
        -kChainInputLimit };
    QCOMPARE(ZeroUnusableSamples(block), 3);
    const std::vector<double> expected { 1.0, 0.0, -0.0, kChainInputLimit, 0.0, -DBL_TRUE_MIN, 0.0,
        -kChainInputLimit };
    QCOMPARE(block, expected);
    QVERIFY(std::signbit(block[2]));

    // A stereo signal with one bad sample on the left: guarded, both channels go on as if the
    // sample had been 0, and stay finite.
    const int frames = 4000;
    std::vector<double> input(2 * frames);
    for (int n = 0; n < frames; ++n) {
        input[2 * n] = 8000 * std::sin(0.05 * n);
        input[2 * n + 1] = 8000 * std::cos(0.03 * n);
    }
    std::vector<double> zeroed = input;
    input[2 * 100] = bad;
    zeroed[2 * 100] = 0.0;
    MultichannelChain guarded(44100, 2);
    MultichannelChain reference(44100, 2);
    QCOMPARE(ZeroUnusableSamples(input), 1);
    guarded.Process(input);
    reference.Process(zeroed);
    QCOMPARE(input, zeroed);
    QVERIFY(std::all_of(input.begin(), input.end(), [](double y) { return std::isfinite(y); }));

    // A limit of its own: the gain is applied after the guard.
    std::vector<double> scaled { 1e6, -2e6, 3e6 };
    QCOMPARE(ZeroUnusableSamples(scaled, 2e6), 1);
    QCOMPARE(scaled, (std::vector<double> { 1e6, -2e6, 0.0 }));

    // Unguarded, a non-finite sample stays in the state for good; the largest double, held,
    // takes the states past it (the step response overshoots).
    std::vector<double> unguarded(2 * frames, std::isfinite(bad) ? bad : 1000.0);
    unguarded[0] = bad;
    MultichannelChain poisoned(44100, 2);
    poisoned.Process(unguarded);
    if (!std::isfinite(bad)) {
        QVERIFY(!std::isfinite(unguarded[2 * (frames - 1)]));
    } else {
        QVERIFY(std::any_of(
            unguarded.begin(), unguarded.end(), [](double y) { return !std::isfinite(y); }));
    }
}

void TestSignals::crossfade()
{
    const AbCrossfade ab(100, 10);
    double previousWet = 0;
    for (std::int64_t frame = 0; frame < 450; ++frame) {
        const AbCrossfade::Gains gains = ab.At(frame);
        const std::int64_t offset = frame % 100;
        const bool wetPart = frame / 100 % 2 == 1;
        // Equal power throughout; outside the fades exactly one of the two.
        QVERIFY(std::fabs(gains.dry * gains.dry + gains.wet * gains.wet - 1) < 1e-15);
        if (frame < 100 || offset >= 10) {
            QCOMPARE(gains.wet, wetPart ? 1.0 : 0.0);
        } else {
            // Moving steadily towards this part's signal, never all the way within the fade.
            QVERIFY(gains.wet > 0 && gains.wet < 1);
            QVERIFY(offset == 0 || (wetPart ? gains.wet > previousWet : gains.wet < previousWet));
            QCOMPARE(gains.wet, ab.At(frame - offset + 9 - offset).dry);
        }
        previousWet = gains.wet;
    }
}

QTEST_GUILESS_MAIN(TestSignals)
#include "tst_signals.moc"
