#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// Reads a frequency (or any double) typed by a user: blanks around the number are allowed, the
// rest must be one finite decimal number as the C locale writes it ("1000", "-0.5", "1e308").
// Hexadecimal floats, "inf", "nan", empty text, trailing garbage and values that overflow to
// infinity are refused with std::nullopt.
[[nodiscard]] std::optional<double> ParseFiniteDecimal(std::string_view text);

// Shows a double with up to 15 significant digits, "%.15g" in the C locale: "1000", "0.1",
// "1e+308".
[[nodiscard]] std::string FormatDouble15g(double value);

} // namespace vorn
