// Fuzzes the lenient channel reader against the reference reading.
#include "controls/channelanswer.h"
#include "reference.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Every code unit is possible in an answer, so the input is read as UTF-16.
    const QString answer(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const std::optional<qint16> got = ChannelAnswer::read(answer);

    std::string packed;
    for (const char c : Reference::ascii(answer)) {
        if (c != ' ' && c != '\t' && c != '\n')
            packed += c;
    }
    const std::optional<long double> value = Reference::number(packed, false);
    // A text that does not start with a number reads as 0.
    const std::optional<long long> expected = Reference::roundHalfEven(value.value_or(0), -32768, 32767);

    if (got.has_value() != expected.has_value())
        std::abort();
    if (got && *got != *expected)
        std::abort();
    return 0;
}
