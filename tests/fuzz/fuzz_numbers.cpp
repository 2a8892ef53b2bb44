// Feeds every input to both number readers and holds each against the reference reading.
#include "numbers/channelanswer.h"
#include "numbers/strictbyte.h"
#include "reference.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

// Both readers run under a comma-decimal locale, as on many operators' desks.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!setlocale(LC_ALL, "de_DE.UTF-8")) {
        std::fputs("the locale de_DE.UTF-8 is not installed\n", stderr);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Every code unit is possible in a text box, so the input is read as UTF-16.
    const QString text(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));

    std::string packed = Reference::ascii(text);
    std::erase_if(packed, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
    // A channel answer that does not start with a number reads as 0.
    const auto lenient =
            Reference::roundHalfEven(Reference::number(packed, false).value_or(0), -32768, 32767);
    if (ChannelAnswer::read(text) != lenient)
        std::abort();

    const auto whole = Reference::number(Reference::ascii(text.trimmed()), true);
    const auto strict = whole ? Reference::roundHalfEven(*whole, 0, 255) : std::nullopt;
    if (StrictByte::read(text) != strict)
        std::abort();
    return 0;
}
