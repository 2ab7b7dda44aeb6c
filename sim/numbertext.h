#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// Reads a frequency (or any double) typed by a user: blanks around the number are allowed, the
// rest must be one finite decimal number as the C locale writes it ("1000", "-0.5", "1e308").
// Hexadecimal floats, "inf", "nan", empty text, trailing garbage and values that overflow to
// infinity are refused with std::nullopt; values too small to represent are zero of their sign.
// The largest double as FormatDouble15g shows it, 1.79769313486232e+308, which lies past it,
// reads as the largest double: the settings dialog reads back what it shows.
[[nodiscard]] std::optional<double> ParseFiniteDecimal(std::string_view text);

// Shows a double with up to 15 significant digits, "%.15g" in the C locale: "1000", "0.1",
// "1e+308".
[[nodiscard]] std::string FormatDouble15g(double value);

// A double with `digits` significant digits in the C locale: as "%.*g" writes it, or as "%.*e"
// with digits - 1 after the point.
[[nodiscard]] std::string FormatGeneral(double value, int digits);
[[nodiscard]] std::string FormatScientific(double value, int digits);
// The shortest text that reads back as the same double: "0.51764", "44100", "1e-05".
[[nodiscard]] std::string FormatShortest(double value);

} // namespace vorn
