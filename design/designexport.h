#pragma once

#include "discrete.h"

#include <string>

namespace vorn {

// A sampled design for other tools, as it runs (see DiscreteDesign):
// - SosText: rows b0 b1 b2 a0 a1 a2 (a0 = 1) with 17 significant digits and '#' comments, as
//   numpy's loadtxt reads them. With the input held over the whole filter, the first rows are a
//   parallel form: each run on the input and their outputs added (the first row, b0 = D, is the
//   direct term); the rows after them (the DC block) run in cascade on that sum. With the
//   sections held apart, every row runs in cascade, as sosfilt in scipy and MATLAB runs them.
// - Json: the rate, the design, the structure, the rows with each section's pole and residue,
//   the DC block, and the analogue filter in rad/s (zeros, poles, gain, the DC block's zero and
//   pole), numbers in their shortest exact form.
// - CHeader: a self-contained C header (C89 and C++) with double and float rows and the count of
//   the leading rows that run in parallel.
[[nodiscard]] std::string SosText(const DiscreteDesign& design);
[[nodiscard]] std::string Json(const DiscreteDesign& design);
[[nodiscard]] std::string CHeader(const DiscreteDesign& design);

// The two tables of a C header, `vorn_sos` (doubles, 17 digits) and `vorn_sos_float` (each
// rounded to the nearest float, 9 digits), each row after a comment naming it where `names` has
// one; and a number as a C literal of type double ("44100.0").
// The end of a C header's opening comment (the sign convention of its rows), the include guard's
// start and the rate's definition, VORN_SOS_RATE_HZ.
[[nodiscard]] std::string CHeaderOpening(double rate);
[[nodiscard]] std::string CSosTables(
    const std::vector<SosRow>& rows, const std::vector<std::string>& names = {});
[[nodiscard]] std::string CDouble(double value);

// The rows in order: the parallel rows (none in a cascade), then those in cascade.
struct ExportRows
{
    std::vector<SosRow> parallel;
    std::vector<SosRow> cascade;
};
[[nodiscard]] ExportRows RowsOf(const DiscreteDesign& design);

} // namespace vorn
