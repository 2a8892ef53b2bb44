// Slow, obviously correct readings of number texts, to hold the real ones against.
#pragma once

#include <QString>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

namespace Reference {

// Characters outside ASCII can never be part of a number: they become '?' so that the
// regular expressions below see them as the non-number they are.
inline std::string ascii(const QString &text)
{
    std::string out;
    for (const QChar c : text)
        out += c.unicode() < 128 && c.unicode() != 0 ? char(c.unicode()) : '?';
    return out;
}

// The number at the start of `s` (whole of `s` when `whole`), or nothing. A double, like the
// reading the operator's answers have always had: 32767.49999999999999 is 32767.5 there.
inline std::optional<double> number(const std::string &s, bool whole)
{
    static const std::regex decimal(R"(^([+-]?)([0-9]+\.?[0-9]*|\.[0-9]+)([eEdD][+-]?[0-9]+)?)");
    static const std::regex hex(R"(^&[hH]([0-9a-fA-F]+))");
    static const std::regex octal(R"(^&[oO]([0-7]+))");
    std::smatch m;
    if (std::regex_search(s, m, hex) || std::regex_search(s, m, octal)) {
        if (whole && m.length(0) != long(s.size()))
            return std::nullopt;
        const int radix = (s[1] == 'h' || s[1] == 'H') ? 16 : 8;
        double v = 0;
        for (const char c : m.str(1))
            v = v * radix + std::stoi(std::string(1, c), nullptr, 16);
        return v;
    }
    if (std::regex_search(s, m, decimal)) {
        if (whole && m.length(0) != long(s.size()))
            return std::nullopt;
        std::string text = m.str(0);
        for (char &c : text)
            c = (c == 'd' || c == 'D') ? 'e' : c;
        // The C locale's own reader, whatever locale the process runs in.
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        return strtod_l(text.c_str(), nullptr, c);
    }
    return std::nullopt;
}

// Halves to the even neighbour, by hand.
inline std::optional<long long> roundHalfEven(double v, long long lo, long long hi)
{
    if (!std::isfinite(v) || v < lo - 2.0 || v > hi + 2.0)
        return std::nullopt;
    const double down = std::floor(v);
    const double rest = v - down;
    long long r = (long long)down;
    if (rest > 0.5 || (rest == 0.5 && (r % 2 != 0)))
        ++r;
    if (r < lo || r > hi)
        return std::nullopt;
    return r;
}

} // namespace Reference
