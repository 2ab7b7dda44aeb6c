// The number text that the settings dialog (DDX_Text) and the renderer's options read, and the
// texts the program writes numbers as. Invariants, for any bytes:
// - ParseFiniteDecimal accepts exactly the finite decimal numbers (blanks around allowed), each as
//   the C library's strtod reads it in the C locale, sign of zero included; an overflow is
//   refused, an underflow is zero of its sign;
// - a value typed with at most 15 significant digits survives the dialog: FormatDouble15g and
//   ParseFiniteDecimal give it back exactly;
// - for any finite double (the first 8 bytes as its bits, and the value read): FormatShortest and
//   FormatScientific with 17 digits (the coefficient exports) read back as the same double, sign
//   of zero included; FormatDouble15g reads back within its 15 digits, and the value read shows
//   as the same text (a second OK in the dialog changes nothing).
#include "numbertext.h"

#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

using vorn::fuzz::Check;

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool SameDouble(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

// The significant digits of a decimal number's mantissa, without leading and trailing zeros.
int SignificantDigits(std::string_view text)
{
    const std::string_view mantissa = text.substr(0, text.find_first_of("eE"));
    std::string digits;
    for (const char c : mantissa) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return 0;
    }
    return static_cast<int>(digits.find_last_not_of('0') - first + 1);
}

void CheckFormats(double value)
{
    if (!std::isfinite(value)) {
        return;
    }
    const auto shortest = vorn::ParseFiniteDecimal(vorn::FormatShortest(value));
    Check(shortest && SameDouble(*shortest, value), "FormatShortest reads back as the same double");
    const auto exported = vorn::ParseFiniteDecimal(vorn::FormatScientific(value, 17));
    Check(exported && SameDouble(*exported, value),
        "FormatScientific with 17 digits reads back as the same double");

    const std::string shown = vorn::FormatDouble15g(value);
    const auto read = vorn::ParseFiniteDecimal(shown);
    Check(read.has_value(), "FormatDouble15g's text is read back");
    Check(std::signbit(*read) == std::signbit(value), "FormatDouble15g keeps the sign");
    Check(std::fabs(*read - value) <= std::fabs(value) * 1e-14,
        "FormatDouble15g's text lies within 15 digits of the value");
    Check(vorn::FormatDouble15g(*read) == shown, "the value read shows as the same text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> parsed = vorn::ParseFiniteDecimal(text);

    // The second route: strtod over the text without its surrounding blanks.
    std::string_view trimmed(text);
    while (!trimmed.empty() && IsBlank(trimmed.front())) {
        trimmed.remove_prefix(1);
    }
    while (!trimmed.empty() && IsBlank(trimmed.back())) {
        trimmed.remove_suffix(1);
    }
    const std::string bare(trimmed);
    const bool decimalCharacters = !bare.empty()
        && bare.find_first_not_of("0123456789+-.eE") == std::string::npos
        && std::isdigit(static_cast<unsigned char>(bare.back())) != 0;
    char* end = nullptr;
    const double expected = std::strtod(bare.c_str(), &end);
    const bool strtodReadsAll = !bare.empty() && end == bare.c_str() + bare.size();

    if (parsed) {
        Check(std::isfinite(*parsed), "an accepted number is finite");
        // strtod takes the largest double as shown (1.79769313486232e+308) past it, to infinity.
        const bool largestAsShown = std::fabs(*parsed) == std::numeric_limits<double>::max()
            && std::isinf(expected) && std::signbit(expected) == std::signbit(*parsed);
        Check(strtodReadsAll && (SameDouble(*parsed, expected) || largestAsShown),
            "an accepted number is the double strtod reads");
        if (SignificantDigits(bare) <= 15) {
            const auto again = vorn::ParseFiniteDecimal(vorn::FormatDouble15g(*parsed));
            Check(again && SameDouble(*again, *parsed),
                "a number of 15 significant digits survives FormatDouble15g");
        }
        CheckFormats(*parsed);
    } else {
        Check(!(decimalCharacters && strtodReadsAll && std::isfinite(expected)),
            "a finite decimal number that strtod reads is accepted");
    }

    if (size >= sizeof(double)) {
        double bits = 0;
        std::memcpy(&bits, data, sizeof bits);
        CheckFormats(bits);
    }
    return 0;
}
