#pragma once

#include <complex>
#include <vector>

namespace vorn {

// Jacobi elliptic functions and the complete elliptic integral of the first kind, by descending
// Landen transformations, as the elliptic filter's design needs them. After S. J. Orfanidis,
// "Lecture Notes on Elliptic Filter Design" (Rutgers University, 2006), sections 2-5: a modulus
// k is carried down the Landen sequence k_n = (1 - k'_(n-1)) / (1 + k'_(n-1)),
// k'_n = 2 sqrt(k'_(n-1)) / (1 + k'_(n-1)), whose terms fall quadratically to 0, where the
// elliptic functions become the circular ones; each function is evaluated there and carried back
// up. Moduli are given with their complements k' = sqrt(1 - k^2), so that a modulus next to 1
// keeps its digits. Plain functions, any thread.

// The descending Landen sequence k_1, k_2, ... of the modulus with complement `kPrime`, down to
// where a term is negligible next to 1 (below 1e-17; at most two dozen terms).
[[nodiscard]] std::vector<double> LandenSequence(double kPrime);

// K(k) = (pi / 2) prod (1 + k_n) for the modulus with complement kPrime.
[[nodiscard]] double EllipticK(double kPrime);

// cd(u K, k) and sn(u K, k), u in units of the quarter period K, for complex u:
//   w = cos(u pi/2) (or sin), then from the bottom of the sequence up
//   w <- (1 + k_n) w / (1 + k_n w^2).
[[nodiscard]] std::complex<double> Cde(std::complex<double> u, const std::vector<double>& landen);
[[nodiscard]] std::complex<double> Sne(std::complex<double> u, const std::vector<double>& landen);

// v such that sn(j v K, k) = j y for real y: the inverse on the imaginary axis, in units of K.
// Going down the sequence, y <- 2 y / ((1 + sqrt(1 + (k_(n-1) y)^2)) (1 + k_n)), with k_0 = k,
// then v = (2 / pi) asinh(y).
[[nodiscard]] double ImaginaryAsne(double y, double k, const std::vector<double>& landen);

// The solution of the degree equation N K'/K = K'_1/K_1: the complement k' of the selectivity k
// from the complement k1' of the discrimination k1, exactly (Orfanidis eq. 44):
//   k' = k1'^N prod_(i=1..floor(N/2)) sn(u_i K_1', k1')^4,   u_i = (2 i - 1) / N,
// where sn runs on the complementary modulus k1' (whose own complement is k1).
[[nodiscard]] double DegreeEquationComplement(int order, double k1, double k1Prime);

} // namespace vorn
