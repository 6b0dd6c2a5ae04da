// Numbers as the program shows and reads them: texts with the locale's decimal separator.
#pragma once

#include <optional>
#include <string>

namespace ombrix {

// General format: up to 15 significant digits, no trailing zeros, `sep` as the separator
// (1000/3 -> "333.333333333333", 100 -> "100", 1e20 -> "1E20", 1e-7 -> "1E-7").
std::string formatGeneral(long double value, char sep);

// The whole text as a floating-point number written with `sep` (an exponent is allowed);
// nothing for an empty text, a lone sign or separator, or trailing characters.
std::optional<long double> parseNumber(const std::string& text, char sep);

// The whole text as a signed integer; nothing when it is not one or does not fit 32 bits.
std::optional<int> parseInteger(const std::string& text);

} // namespace ombrix
