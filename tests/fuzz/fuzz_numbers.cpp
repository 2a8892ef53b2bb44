// libFuzzer on the number readers: every input is read by both and held against a slow, plainly
// correct reading made of a regular expression and the C library.
#include "numbers/channelanswer.h"
#include "numbers/strictbyte.h"

#include <clocale>
#include <cmath>
#include <regex>

namespace {

// The number at the start of the text (the whole text when `whole`; none, or 0 when not), like
// the reading the operator's answers have always had, rounded halves to even as the C library
// rounds; none outside [lo, hi]. Nothing outside ASCII is part of a number.
std::optional<long long> reading(const QString &text, bool whole, long long lo, long long hi)
{
    static const std::regex grammar(R"(^(?:&[hH]([0-9a-fA-F]+)|&[oO]([0-7]+)|)"
                                    R"([+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?))");
    // The C locale's reader, whatever the desk's; beyond 2^64, all that matters is that a
    // number is too large.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const std::string s = text.toLatin1().toStdString();
    std::smatch m;
    double v = 0;
    if (!std::regex_search(s, m, grammar) || (whole && size_t(m.length()) != s.size()))
        v = whole ? NAN : 0;
    else if (m[1].matched || m[2].matched)
        v = std::strtoull(m.str(m[1].matched ? 1 : 2).c_str(), nullptr, m[1].matched ? 16 : 8);
    else
        v = strtod_l(std::regex_replace(m.str(), std::regex("[dD]"), "e").c_str(), nullptr, c);
    v = std::nearbyint(v);
    return v >= lo && v <= hi ? std::optional((long long)v) : std::nullopt;
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
    // answer loses its blanks, tabs and line feeds.
    const QString text(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const QString packed = QString(text).remove(u' ').remove(u'\t').remove(u'\n');
    if (ChannelAnswer::read(text) != reading(packed, false, -32768, 32767)
        || StrictByte::read(text) != reading(text.trimmed(), true, 0, 255))
        std::abort();
    return 0;
}
