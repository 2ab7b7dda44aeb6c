#include "elliptic.h"

#include <cmath>
#include <numbers>

namespace vorn {

std::vector<double> LandenSequence(double kPrime)
{
    std::vector<double> sequence;
    // k' = 1 is the modulus 0 itself: no terms. Near 0 each step squares the modulus, roughly;
    // from a modulus next to 1 it takes some steps more to get there: two dozen take any k'
    // above the smallest normal double below 1e-17.
    while (sequence.size() < 24) {
        const double k = (1 - kPrime) / (1 + kPrime);
        if (!(k > 1e-17)) {
            break;
        }
        sequence.push_back(k);
        kPrime = 2 * std::sqrt(kPrime) / (1 + kPrime);
    }
    return sequence;
}

double EllipticK(double kPrime)
{
    double product = std::numbers::pi / 2;
    for (const double k : LandenSequence(kPrime)) {
        product *= 1 + k;
    }
    return product;
}

namespace {

// The ascending steps from the circular function at the bottom of the sequence.
std::complex<double> Ascend(std::complex<double> w, const std::vector<double>& landen)
{
    for (auto n = landen.size(); n-- > 0;) {
        w = (1 + landen[n]) * w / (1.0 + landen[n] * w * w);
    }
    return w;
}

} // namespace

std::complex<double> Cde(std::complex<double> u, const std::vector<double>& landen)
{
    return Ascend(std::cos(u * (std::numbers::pi / 2)), landen);
}

std::complex<double> Sne(std::complex<double> u, const std::vector<double>& landen)
{
    return Ascend(std::sin(u * (std::numbers::pi / 2)), landen);
}

double ImaginaryAsne(double y, double k, const std::vector<double>& landen)
{
    double previous = k;
    for (const double kn : landen) {
        y = 2 * y / ((1 + std::hypot(1.0, previous * y)) * (1 + kn));
        previous = kn;
    }
    return 2 / std::numbers::pi * std::asinh(y);
}

double DegreeEquationComplement(int order, double k1, double k1Prime)
{
    // sn on the modulus k1', whose complement is k1.
    const std::vector<double> landen = LandenSequence(k1);
    double product = 1;
    for (int i = 1; i <= order / 2; ++i) {
        const double u = (2.0 * i - 1) / order;
        const double sn = Sne(u, landen).real();
        product *= sn * sn;
    }
    return std::pow(k1Prime, order) * product * product;
}

} // namespace vorn
