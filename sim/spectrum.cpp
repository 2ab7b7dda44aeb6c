#include "spectrum.h"

#include "sampleconvert.h"

#include <cmath>
#include <optional>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace vorn {

namespace {

constexpr int kFftBits = 11;
static_assert((1 << kFftBits) == kFftSize);

// Twiddle factors of every stage, stage by stage: stage h (1, 2, 4, ..., 1024) holds h entries at
// offset h - 1, entry j being cos and sin of the angle ((-pi) j) / h, exactly the factors that a
// butterfly would evaluate for itself. 2047 pairs in all, computed once.
struct TwiddleTable
{
    std::array<double, kFftSize - 1> re {};
    std::array<double, kFftSize - 1> im {};

    TwiddleTable()
    {
        const double pi = std::atan(1.0) * 4;
        for (int h = 1; h < kFftSize; h *= 2) {
            for (int j = 0; j < h; ++j) {
                const double theta = (-pi * j) / h;
                re[static_cast<std::size_t>(h - 1 + j)] = std::cos(theta);
                im[static_cast<std::size_t>(h - 1 + j)] = std::sin(theta);
            }
        }
    }
};

const TwiddleTable& Twiddles()
{
    static const TwiddleTable table;
    return table;
}

constexpr std::array<int, kFftSize> MakeBitReversal()
{
    std::array<int, kFftSize> reversed {};
    for (int i = 0; i < kFftSize; ++i) {
        int r = 0;
        for (int b = 0; b < kFftBits; ++b) {
            if ((i >> b) & 1) {
                r |= 1 << (kFftBits - 1 - b);
            }
        }
        reversed[i] = r;
    }
    return reversed;
}

constexpr std::array<int, kFftSize> kBitReversal = MakeBitReversal();

// The butterflies of one group of stage h: a = x[j], b = x[j + h] for j = 0 .. h - 1.
// t = b w; b = a - t; a = a + t, with every product and sum rounded on its own. Vector lanes
// round exactly as the scalar operations do, so every width gives the same bits.
inline void ButterfliesScalar(double* __restrict aRe, double* __restrict aIm,
    double* __restrict bRe, double* __restrict bIm, const double* __restrict wRe,
    const double* __restrict wIm, int from, int h)
{
    for (int j = from; j < h; ++j) {
        const double tRe = bRe[j] * wRe[j] - bIm[j] * wIm[j];
        const double tIm = bRe[j] * wIm[j] + bIm[j] * wRe[j];
        const double xRe = aRe[j];
        const double xIm = aIm[j];
        bRe[j] = xRe - tRe;
        bIm[j] = xIm - tIm;
        aRe[j] = xRe + tRe;
        aIm[j] = xIm + tIm;
    }
}

using ButterflyStage
    = void (*)(double* re, double* im, const double* wRe, const double* wIm, int h);

// One whole stage, one butterfly at a time.
void StageScalar(double* re, double* im, const double* wRe, const double* wIm, int h)
{
    for (int base = 0; base < kFftSize; base += 2 * h) {
        ButterfliesScalar(re + base, im + base, re + base + h, im + base + h, wRe, wIm, 0, h);
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// One whole stage, four lanes at a time, for processors with AVX (no fused multiply-add is used:
// the products are rounded before the sums, as everywhere else).
__attribute__((target("avx"))) void StageAvx(
    double* re, double* im, const double* wRe, const double* wIm, int h)
{
    for (int base = 0; base < kFftSize; base += 2 * h) {
        double* aRe = re + base;
        double* aIm = im + base;
        double* bRe = re + base + h;
        double* bIm = im + base + h;
        int j = 0;
        for (; j + 4 <= h; j += 4) {
            const __m256d br = _mm256_loadu_pd(bRe + j);
            const __m256d bi = _mm256_loadu_pd(bIm + j);
            const __m256d wr = _mm256_loadu_pd(wRe + j);
            const __m256d wi = _mm256_loadu_pd(wIm + j);
            const __m256d tr = _mm256_sub_pd(_mm256_mul_pd(br, wr), _mm256_mul_pd(bi, wi));
            const __m256d ti = _mm256_add_pd(_mm256_mul_pd(br, wi), _mm256_mul_pd(bi, wr));
            const __m256d ar = _mm256_loadu_pd(aRe + j);
            const __m256d ai = _mm256_loadu_pd(aIm + j);
            _mm256_storeu_pd(bRe + j, _mm256_sub_pd(ar, tr));
            _mm256_storeu_pd(bIm + j, _mm256_sub_pd(ai, ti));
            _mm256_storeu_pd(aRe + j, _mm256_add_pd(ar, tr));
            _mm256_storeu_pd(aIm + j, _mm256_add_pd(ai, ti));
        }
        ButterfliesScalar(aRe, aIm, bRe, bIm, wRe, wIm, j, h);
    }
}
#endif

ButterflyStage WideStage()
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx")) {
        return &StageAvx;
    }
#endif
    return &StageScalar;
}

// trunc(20 log10 m) without the logarithm for the magnitudes that are not close to a whole
// decibel: the band j with 10^(j/20) <= m < 10^((j+1)/20) decides it. Within a relative 1e-9 of
// a band edge (20 log10 m within about 1e-8 dB of an integer), and outside the table, the caller
// evaluates 20 log10 m itself, so the result is always that of the direct evaluation, whose
// error is a few units in the last place, far inside that margin.
class DecibelThresholds
{
public:
    DecibelThresholds()
    {
        for (std::size_t i = 0; i < m_edges.size(); ++i) {
            m_edges[i] = std::pow(10.0, static_cast<double>(static_cast<int>(i) + kLowest) / 20.0);
        }
    }

    // `band` is the table index to start from; it is left at the band found.
    std::optional<int> TruncatedDecibels(double m, int& band) const
    {
        constexpr double kMargin = 1e-9;
        if (!(m > m_edges.front() && m < m_edges.back())) {
            return std::nullopt;
        }
        auto edge = [this](int i) { return m_edges[static_cast<std::size_t>(i)]; };
        while (m >= edge(band + 1)) {
            ++band;
        }
        while (m < edge(band)) {
            --band;
        }
        if (m - edge(band) <= edge(band) * kMargin
            || edge(band + 1) - m <= edge(band + 1) * kMargin) {
            return std::nullopt;
        }
        // 20 log10 m lies strictly between j and j + 1; truncation toward zero.
        const int j = band + kLowest;
        return j >= 0 ? j : j + 1;
    }

    static constexpr int kLowest = -240; // dB at the first edge
    static constexpr int kHighest = 240; // dB at the last edge
    static constexpr int kZeroDecibelBand = -kLowest;

private:
    std::array<double, kHighest - kLowest + 1> m_edges {};
};

const DecibelThresholds& Thresholds()
{
    static const DecibelThresholds thresholds;
    return thresholds;
}

} // namespace

void Fft(FftBuffer& re, FftBuffer& im)
{
    for (int i = 0; i < kFftSize; ++i) {
        const int r = kBitReversal[static_cast<std::size_t>(i)];
        if (r > i) {
            std::swap(re[static_cast<std::size_t>(i)], re[static_cast<std::size_t>(r)]);
            std::swap(im[static_cast<std::size_t>(i)], im[static_cast<std::size_t>(r)]);
        }
    }

    // Within a stage the butterflies are independent of one another, so they are taken group by
    // group (contiguous j) rather than j by j; every butterfly computes the same values.
    static const ButterflyStage wideStage = WideStage();
    const TwiddleTable& twiddles = Twiddles();
    for (int h = 1; h < kFftSize; h *= 2) {
        const double* wRe = twiddles.re.data() + (h - 1);
        const double* wIm = twiddles.im.data() + (h - 1);
        (h >= 4 ? wideStage : StageScalar)(re.data(), im.data(), wRe, wIm, h);
    }
}

void SpectrumToDecibels(const FftBuffer& re, const FftBuffer& im, SampleBlock& block)
{
    const DecibelThresholds& thresholds = Thresholds();
    // The spectrum is smooth, so the decibel band of one bin is a good start for the next.
    int band = DecibelThresholds::kZeroDecibelBand;
    block[0] = 0;
    for (int k = 1; k < kBlockSamples; ++k) {
        const auto bin = static_cast<std::size_t>(k);
        // im^2 + re^2 in this order; the dB value is truncated, not rounded.
        const double m = std::sqrt(im[bin] * im[bin] + re[bin] * re[bin]);
        const std::optional<int> decibels = thresholds.TruncatedDecibels(m, band);
        block[bin]
            = decibels ? static_cast<std::int16_t>(*decibels) : ToSample16(20 * std::log10(m));
    }
}

} // namespace vorn
