// libFuzzer on the number readers: every input is read by both and held against a slow, plainly
// correct reading made of a regular expression and the C library.
#include "numbers/channelanswer.h"
#include "numbers/strictbyte.h"

#include <clocale>
#include <cmath>
#include <regex>

namespace {

// The number at the start of the text (the whole text when `whole`), as a double, like the
// reading the operator's answers have always had. Nothing outside ASCII is part of a number.
std::optional<double> number(const QString &text, bool whole)
{
    const std::string s = text.toLatin1().toStdString();
    static const std::regex grammar(R"(^(?:&[hH]([0-9a-fA-F]+)|&[oO]([0-7]+)|)"
                                    R"([+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?))");
    std::smatch m;
    if (!std::regex_search(s, m, grammar) || (whole && size_t(m.length()) != s.size()))
        return std::nullopt;
    // Beyond 2^64, all that matters is that it is too large.
    if (m[1].matched || m[2].matched)
        return std::strtoull(m.str(m[1].matched ? 1 : 2).c_str(), nullptr, m[1].matched ? 16 : 8);
    // The C locale's own reader, whatever locale the process runs in.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(std::regex_replace(m.str(), std::regex("[dD]"), "e").c_str(), nullptr, c);
}

// The C library rounds halves to the even neighbour; nothing outside [lo, hi].
std::optional<long long> rounded(std::optional<double> v, long long lo, long long hi)
{
    const double r = v ? std::nearbyint(*v) : NAN;
    return r >= lo && r <= hi ? std::optional((long long)r) : std::nullopt;
}

} // namespace

// Both readers run under a comma-decimal locale, as on many operators' desks.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!setlocale(LC_ALL, "de_DE.UTF-8"))
        qFatal("the locale de_DE.UTF-8 is not installed");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Every code unit is possible in a text box, so the input is read as UTF-16. A channel
    // answer loses its blanks, tabs and line feeds, and reads as 0 when no number starts it.
    const QString text(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const QString packed = QString(text).remove(u' ').remove(u'\t').remove(u'\n');
    if (ChannelAnswer::read(text) != rounded(number(packed, false).value_or(0), -32768, 32767)
        || StrictByte::read(text) != rounded(number(text.trimmed(), true), 0, 255))
        std::abort();
    return 0;
}
