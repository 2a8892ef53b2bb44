// The number grammar shared by the lenient channel reader and the strict level conversion.
#include "numbertext.h"

#include <cfenv>
#include <cmath>
#include <string>

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
    // strtod does the decimal arithmetic exactly; it knows e but not d as the exponent mark.
    std::string ascii = text.first(end).toString().toStdString();
    for (char &c : ascii) {
        if (c == 'd' || c == 'D')
            c = 'e';
    }
    return { std::strtod(ascii.c_str(), nullptr), end };
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
