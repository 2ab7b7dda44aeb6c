#include "numbertext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vorn {

namespace {

// FormatDouble15g of the largest double: 1.7976931348623157e308 to 15 significant digits.
constexpr long double kLargestAsShown = 1.79769313486232e308L;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?
bool IsDecimalNumber(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < n && IsDigit(text[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        std::size_t exponentDigits = 0;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    return i == n;
}

// The power of ten of the first nonzero digit of a well-formed decimal number (0 for zero).
long long LeadingDigitExponent(std::string_view text)
{
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = text.substr(e + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
            digits.remove_prefix(1);
        }
        for (const char c : digits) {
            exponent = exponent * 10 + (c - '0');
            if (exponent > 1000000) {
                break;
            }
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    const std::size_t point = mantissa.find('.');
    const std::string_view integerPart = mantissa.substr(0, point);
    const std::size_t firstNonzero = mantissa.find_first_of("123456789");
    if (firstNonzero == std::string_view::npos) {
        return 0;
    }
    // In the integer part, the digits after the first nonzero one count up; after the point,
    // its distance from the point counts down.
    const long long position = (point == std::string_view::npos || firstNonzero < point)
        ? static_cast<long long>(integerPart.size()) - 1 - static_cast<long long>(firstNonzero)
        : -static_cast<long long>(firstNonzero - point);
    return position + exponent;
}

} // namespace

std::optional<double> ParseFiniteDecimal(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (!IsDecimalNumber(text)) {
        return std::nullopt;
    }
    // from_chars takes no leading '+', and it never looks at the locale.
    if (text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (error == std::errc::result_out_of_range) {
        // Out of range either way: a magnitude too small is zero (as strtod gives it), one too
        // large would be infinite and is refused. The decimal exponent of the leading digit tells
        // which.
        const bool negative = text.front() == '-';
        if (LeadingDigitExponent(text) <= 0) {
            return negative ? -0.0 : 0.0;
        }
        // Except the largest double as FormatDouble15g shows it: its 15 digits round up past it,
        // and what the dialog shows must read back.
        long double wide = 0.0L;
        const auto [wideEnd, wideError]
            = std::from_chars(text.data(), text.data() + text.size(), wide);
        if (wideError == std::errc {} && wideEnd == text.data() + text.size()
            && std::fabs(wide) <= kLargestAsShown) {
            return negative ? -std::numeric_limits<double>::max()
                            : std::numeric_limits<double>::max();
        }
        return std::nullopt;
    }
    if (error != std::errc {} || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string FormatDouble15g(double value)
{
    char buffer[32];
    // to_chars with a precision never consults the locale, unlike snprintf.
    const auto [end, error]
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (error != std::errc {}) {
        return {};
    }
    return std::string(buffer, end);
}

namespace {

template <typename... Format> std::string ToChars(double value, Format... format)
{
    char buffer[40];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
    return error == std::errc {} ? std::string(buffer, end) : std::string {};
}

} // namespace

std::string FormatGeneral(double value, int digits)
{
    return ToChars(value, std::chars_format::general, digits);
}

std::string FormatScientific(double value, int digits)
{
    return ToChars(value, std::chars_format::scientific, digits - 1);
}

std::string FormatShortest(double value)
{
    return ToChars(value);
}

} // namespace vorn
