// The tools' signal pieces in the core: reproducible noise and its spectrum, the chain for
// several channels, the guard against non-finite input and the scaling into the chain, the A/B
// crossfade and its switch by hand, and the rounding to PCM.
#include "abcrossfade.h"
#include "chainguard.h"
#include "multichannelchain.h"
#include "noisegenerator.h"
#include "pcmrounder.h"
#include "sampleconvert.h"
#include "spectrum.h"

#include <QTest>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <vector>

Q_DECLARE_METATYPE(std::vector<int>)

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
    void chainUnits();
    void peaksInEveryPlace();
    void switchByHand_data();
    void switchByHand();
    void pcmRounding_data();
    void pcmRounding();
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
    // At a gain of 1 / 32768 the samples are not scaled and the limit is the chain's own.
    const double unscaled = 1.0 / kUnitsPerFullScale;
    double peak = 0.0;
    // Values up to the limit stay as they are, the extremes too; only the bad ones become 0.
    std::vector<double> block { 1.0, bad, -0.0, kChainInputLimit, bad, -DBL_TRUE_MIN, bad,
        -kChainInputLimit };
    QCOMPARE(ToChainUnits(block, unscaled, peak), std::int64_t { 3 });
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
    QCOMPARE(ToChainUnits(input, unscaled, peak), std::int64_t { 1 });
    guarded.Process(input);
    reference.Process(zeroed);
    QCOMPARE(input, zeroed);
    QVERIFY(std::all_of(input.begin(), input.end(), [](double y) { return std::isfinite(y); }));

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

void TestSignals::chainUnits()
{
    // Scaled by 32768 times the gain; the peak is the input's, before the gain; a sample that the
    // gain would take past the chain's limit is taken as 0 first.
    const double gain = 4.0;
    std::vector<double> block { 0.5, -0.25, double(NAN), kChainInputLimit / 32768.0, 1.0 / 65536 };
    double peak = 0.75;
    QCOMPARE(ToChainUnits(block, gain, peak), std::int64_t { 2 });
    QCOMPARE(block, (std::vector<double> { 65536.0, -32768.0, 0.0, 0.0, 2.0 }));
    QCOMPARE(peak, 0.75);
    std::vector<double> louder { -1.5 };
    QCOMPARE(ToChainUnits(louder, 1.0, peak), std::int64_t { 0 });
    QCOMPARE(peak, 1.5);
    QCOMPARE(louder.front(), -49152.0);
}

void TestSignals::peaksInEveryPlace()
{
    // The input's and the rounder's peaks, wherever in a block the largest magnitude lies (the
    // peaks are kept in several running maxima and a tail), against the largest magnitude found
    // the plain way.
    for (std::size_t length = 1; length <= 11; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::vector<double> block(length);
            for (std::size_t i = 0; i < length; ++i) {
                block[i] = (i % 2 == 0 ? 0.01 : -0.02) * static_cast<double>(i + 1) / 16;
            }
            block[at] = at % 2 == 0 ? -0.9 : 0.8;
            const double expected = std::fabs(block[at]);
            double peak = 0.0;
            static_cast<void>(ToChainUnits(block, 1.0, peak));
            QCOMPARE(peak, expected);
            PcmRounder rounder(16);
            std::vector<std::int16_t> shorts(length);
            rounder.ToInt16(block, shorts);
            QCOMPARE(rounder.Peak(), expected * 32768.0);
        }
    }
}

void TestSignals::switchByHand_data()
{
    QTest::addColumn<std::vector<int>>("toggles"); // frames before which the switch toggles
    QTest::addColumn<bool>("endsDry");
    QTest::newRow("once") << std::vector<int> { 20 } << true;
    QTest::newRow("there and back") << std::vector<int> { 20, 60 } << false;
    QTest::newRow("back in the middle of the fade") << std::vector<int> { 20, 25 } << false;
    QTest::newRow("on the fade's first frame") << std::vector<int> { 20, 21 } << false;
    QTest::newRow("three times within one fade") << std::vector<int> { 20, 23, 27 } << true;
}

void TestSignals::switchByHand()
{
    QFETCH(std::vector<int>, toggles);
    QFETCH(bool, endsDry);
    const std::int64_t fade = 10;
    AbSwitch ab(fade, false);
    // The largest change of a gain from one frame to the next within the fade: the slope of sin
    // at its steepest over a step of pi/2 / fade.
    const double step = std::atan(1.0) * 2 / fade;
    AbGains last = ab.Next();
    QCOMPARE(last.wet, 1.0);
    for (int frame = 1; frame < 100; ++frame) {
        if (std::find(toggles.begin(), toggles.end(), frame) != toggles.end()) {
            ab.Toggle();
        }
        const AbGains gains = ab.Next();
        QVERIFY(std::fabs(gains.dry * gains.dry + gains.wet * gains.wet - 1) < 1e-15);
        QVERIFY2(
            std::fabs(gains.wet - last.wet) <= step + 1e-12, qPrintable(QString::number(frame)));
        last = gains;
    }
    QCOMPARE(ab.TowardDry(), endsDry);
    QVERIFY(!ab.Fading());
    QCOMPARE(last.dry, endsDry ? 1.0 : 0.0);

    // Set continues an alternation where it stands: the same gains as AbCrossfade's.
    const AbCrossfade alternating(100, fade);
    for (const std::int64_t frame : { 5, 100, 104, 150, 203, 209, 250 }) {
        AbSwitch byHand(fade, false);
        byHand.Set(frame / 100 % 2 == 0, frame < 100 ? fade : frame % 100);
        const AbGains gains = byHand.Next();
        QCOMPARE(gains.dry, alternating.At(frame).dry);
        QCOMPARE(gains.wet, alternating.At(frame).wet);
    }
}

void TestSignals::pcmRounding_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<double>("units"); // the chain's output, full scale 32768
    QTest::addColumn<qint64>("expected"); // the sample at the resolution
    QTest::addColumn<bool>("clipped");
    QTest::newRow("16: a half rounds to even, down") << 16 << 0.5 << qint64(0) << false;
    QTest::newRow("16: a half rounds to even, up") << 16 << 1.5 << qint64(2) << false;
    QTest::newRow("16: negative half to even") << 16 << -2.5 << qint64(-2) << false;
    QTest::newRow("16: just below a half") << 16 << 0.49999999999999994 << qint64(0) << false;
    QTest::newRow("16: the top") << 16 << 32767.4 << qint64(32767) << false;
    QTest::newRow("16: half a step past the top") << 16 << 32767.5 << qint64(32767) << true;
    QTest::newRow("16: the bottom, half a step below") << 16 << -32768.5 << qint64(-32768) << false;
    QTest::newRow("16: past the bottom") << 16 << -32769.0 << qint64(-32768) << true;
    QTest::newRow("16: far past the top") << 16 << 1e300 << qint64(32767) << true;
    QTest::newRow("16: NaN is silence") << 16 << double(NAN) << qint64(0) << false;
    QTest::newRow("24: a quarter step of 16 bits") << 24 << 0.25 << qint64(64) << false;
    QTest::newRow("24: a half of 24 bits to even") << 24 << 3.0 / 512 << qint64(2) << false;
    QTest::newRow("24: the top") << 24 << 32768.0 << qint64(8388607) << true;
    QTest::newRow("8: 16-bit 384 is 1.5 steps") << 8 << 384.0 << qint64(2) << false;
    QTest::newRow("32: below the top") << 32 << 32767.99 << qint64(2147482993) << false;
}

void TestSignals::pcmRounding()
{
    QFETCH(int, bits);
    QFETCH(double, units);
    QFETCH(qint64, expected);
    QFETCH(bool, clipped);
    PcmRounder rounder(bits);
    const std::vector<double> block { units };
    std::vector<std::int32_t> ints(1);
    rounder.ToInt32(block, ints);
    // libsndfile's integers hold the sample in their top bits.
    QCOMPARE(static_cast<qint64>(ints.front()), expected * (qint64(1) << (32 - bits)));
    QCOMPARE(rounder.Clipped(), clipped ? 1 : 0);
    if (bits == 16) {
        PcmRounder narrow(16);
        std::vector<std::int16_t> shorts(1);
        narrow.ToInt16(block, shorts);
        QCOMPARE(static_cast<qint64>(shorts.front()), expected);
    }
    // Within range, the C library's round-to-nearest (ties to even) says the same.
    const double scaled = units * std::ldexp(1.0, bits - 16);
    if (!clipped && std::isfinite(units) && std::fabs(scaled) < std::ldexp(1.0, bits - 1)) {
        QCOMPARE(static_cast<qint64>(std::nearbyint(scaled)), expected);
    }
}

QTEST_GUILESS_MAIN(TestSignals)
#include "tst_signals.moc"
