#include "core/model/numbertext.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ombrix {

namespace {

// Removes trailing zeros of a fraction and a separator left alone by that.
void trimFraction(std::string& mantissa) {
    if (mantissa.find('.') == std::string::npos)
        return;
    while (!mantissa.empty() && mantissa.back() == '0')
        mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.')
        mantissa.pop_back();
}

} // namespace

std::string formatGeneral(long double value, char sep) {
    // to_chars ignores the process locale (Qt sets it from the environment), unlike printf.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, res.ptr);
    std::string exponent;
    if (auto e = s.find('e'); e != std::string::npos) {
        // "1E+20" -> "1E20", "1E-07" -> "1E-7": the exponent without sign padding.
        std::string exp = s.substr(e + 1);
        s.erase(e);
        bool negative = !exp.empty() && exp[0] == '-';
        if (!exp.empty() && (exp[0] == '+' || exp[0] == '-'))
            exp.erase(0, 1);
        while (exp.size() > 1 && exp[0] == '0')
            exp.erase(0, 1);
        exponent = std::string("E") + (negative ? "-" : "") + exp;
    }
    trimFraction(s);
    if (s == "-0")
        s = "0";
    for (char& c : s)
        if (c == '.')
            c = sep;
    return s + exponent;
}

std::optional<long double> parseNumber(const std::string& text, char sep) {
    if (text.empty())
        return std::nullopt;
    std::string s = text;
    for (char& c : s) {
        if (c == sep)
            c = '.';
        else if (c == '.' && sep != '.')
            return std::nullopt; // a "." is no separator in this locale
    }
    // strtold also reads "inf", "nan" and hex; only plain decimal text is a number here.
    for (char c : s)
        if (!(std::strchr("0123456789+-.eE", c) != nullptr))
            return std::nullopt;
    // from_chars ignores the process locale; it takes no leading '+', which a typed text may have.
    const char* first = s.c_str();
    const char* last = first + s.size();
    if (*first == '+' && first + 1 != last && first[1] != '-')
        ++first;
    long double v = 0;
    const auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != last)
        return std::nullopt;
    return v;
}

std::optional<int> parseInteger(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool sign = i == 0 && (c == '+' || c == '-') && text.size() > 1;
        if (!sign && (c < '0' || c > '9'))
            return std::nullopt;
    }
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return std::nullopt;
    return static_cast<int>(v);
}

} // namespace ombrix
