// The number grammar shared by the lenient channel reader and the strict level conversion.
#include "numbertext.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace NumberText {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int radixDigit(QChar c, int radix)
{
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c.unicode() - u'A' + 10;
    return d < radix ? d : -1;
}

// The value of a decimal number already matched by readLeading. from_chars does the decimal
// arithmetic exactly and, unlike strtod, never looks at the desk's locale: under de_DE the C
// library would stop "127.5" at the point.
double decimalValue(QStringView number)
{
    std::string ascii;
    ascii.reserve(size_t(number.size()));
    for (const QChar c : number)
        ascii += (c == u'd' || c == u'D') ? 'e' : char(c.unicode());
    const bool negative = ascii.front() == '-';
    const char *first = ascii.data() + (ascii.front() == '-' || ascii.front() == '+' ? 1 : 0);
    const char *last = ascii.data() + ascii.size();
    double magnitude = 0.0;
    if (std::from_chars(first, last, magnitude).ec == std::errc::result_out_of_range) {
        // Beyond what a double holds: too large when the number's decimal exponent is
        // positive, too small to tell from 0 otherwise.
        const std::string_view digits(first, size_t(last - first));
        const size_t mark = digits.find_first_of("eE");
        const std::string_view mantissa = digits.substr(0, mark);
        const size_t point = std::min(mantissa.find('.'), mantissa.size());
        const size_t lead = mantissa.find_first_of("123456789");
        if (lead == std::string_view::npos)
            return 0.0;
        long long scale = lead < point ? (long long)(point - lead) : -(long long)(lead - point);
        if (mark != std::string_view::npos) {
            const std::string_view exponent = digits.substr(mark + 1);
            const bool down = exponent.front() == '-';
            long long e = 0;
            for (const char c : exponent.substr(exponent.front() == '-' || exponent.front() == '+'))
                e = std::min(e * 10 + (c - '0'), 1LL << 40);
            scale += down ? -e : e;
        }
        magnitude = scale > 0 ? HUGE_VAL : 0.0;
    }
    return negative ? -magnitude : magnitude;
}

LeadingNumber readRadix(QStringView text)
{
    const QChar marker = text.size() > 1 ? text[1].toUpper() : QChar();
    const int radix = marker == u'H' ? 16 : marker == u'O' ? 8 : 0;
    if (radix == 0)
        return {};
    double value = 0.0;
    qsizetype i = 2;
    for (int d; i < text.size() && (d = radixDigit(text[i], radix)) >= 0; ++i)
        value = value * radix + d; // exact up to 2^53; beyond that only "too large" matters
    if (i == 2)
        return {};
    return { value, i };
}

} // namespace

LeadingNumber readLeading(QStringView text)
{
    if (!text.isEmpty() && text[0] == u'&')
        return readRadix(text);

    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype intStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    qsizetype digits = i - intStart;
    if (i < text.size() && text[i] == u'.') {
        const qsizetype fracStart = i + 1;
        qsizetype j = fracStart;
        while (j < text.size() && isDigit(text[j]))
            ++j;
        if (digits > 0 || j > fracStart) {
            digits += j - fracStart;
            i = j;
        }
    }
    if (digits == 0)
        return {};
    qsizetype end = i;
    if (i < text.size() && QStringLiteral("eEdD").contains(text[i])) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        const qsizetype expStart = j;
        while (j < text.size() && isDigit(text[j]))
            ++j;
        if (j > expStart)
            end = j;
    }
    return { decimalValue(text.first(end)), end };
}

bool roundHalfEven(double value, long long lo, long long hi, long long *out)
{
    if (!std::isfinite(value))
        return false;
    // Out of range long before rounding could matter; also keeps llrint well defined.
    if (value < double(lo) - 1.0 || value > double(hi) + 1.0)
        return false;
    const int oldMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(oldMode);
    if (r < double(lo) || r > double(hi))
        return false;
    *out = static_cast<long long>(r);
    return true;
}

} // namespace NumberText
