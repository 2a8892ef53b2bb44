// Fuzzes the strict level conversion against the reference reading.
#include "cardlink/channelframe.h"
#include "reference.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const std::optional<quint8> got = ChannelFrame::strictByte(text);

    const std::optional<long double> value = Reference::number(Reference::ascii(text.trimmed()), true);
    std::optional<long long> expected;
    if (value)
        expected = Reference::roundHalfEven(*value, 0, 255);

    if (got.has_value() != expected.has_value())
        std::abort();
    if (got && *got != *expected)
        std::abort();
    return 0;
}
