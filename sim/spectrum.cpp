#include "spectrum.h"

#include "sampleconvert.h"

#include <cmath>
#include <utility>

namespace vorn {

namespace {

constexpr int kFftBits = 11;
static_assert((1 << kFftBits) == kFftSize);
constexpr int kHalfSize = kFftSize / 2;

// Twiddle factors of the widest stage (h = 1024): angle ((-pi) j) / 1024. Every narrower stage h
// uses the angle ((-pi) j) / h, and since h and 1024/h are powers of two that angle is exactly
// the one of index j * (1024 / h) here (scaling by a power of two commutes with rounding), so the
// table gives the same bits as evaluating cos and sin for every butterfly group.
struct TwiddleTable {
    std::array<double, kHalfSize> re {};
    std::array<double, kHalfSize> im {};

    TwiddleTable()
    {
        const double pi = std::atan(1.0) * 4;
        for (int j = 0; j < kHalfSize; ++j) {
            const double theta = (-pi * j) / kHalfSize;
            re[j] = std::cos(theta);
            im[j] = std::sin(theta);
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

} // namespace

void Fft(FftBuffer& re, FftBuffer& im)
{
    for (int i = 0; i < kFftSize; ++i) {
        const int r = kBitReversal[i];
        if (r > i) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
    }

    const TwiddleTable& twiddles = Twiddles();
    for (int h = 1; h < kFftSize; h *= 2) {
        const int stride = kHalfSize / h;
        for (int j = 0; j < h; ++j) {
            const double wRe = twiddles.re[j * stride];
            const double wIm = twiddles.im[j * stride];
            for (int k = j; k < kFftSize; k += 2 * h) {
                const double bRe = re[k + h];
                const double bIm = im[k + h];
                const double tRe = bRe * wRe - bIm * wIm;
                const double tIm = bRe * wIm + bIm * wRe;
                const double aRe = re[k];
                const double aIm = im[k];
                re[k + h] = aRe - tRe;
                im[k + h] = aIm - tIm;
                re[k] = aRe + tRe;
                im[k] = aIm + tIm;
            }
        }
    }
}

void SpectrumToDecibels(const FftBuffer& re, const FftBuffer& im, SampleBlock& block)
{
    block[0] = 0;
    for (int k = 1; k < kBlockSamples; ++k) {
        // im^2 + re^2 in this order; the dB value is truncated, not rounded.
        const double m = std::sqrt(im[k] * im[k] + re[k] * re[k]);
        block[k] = ToSample16(20 * std::log10(m));
    }
}

} // namespace vorn
