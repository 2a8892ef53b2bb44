// The lenient reading of the operator's answer to "which channel?".
#include "channelanswer.h"

#include "numbertext.h"

namespace ChannelAnswer {

std::optional<qint16> read(const QString &answer)
{
    QString packed;
    packed.reserve(answer.size());
    for (const QChar c : answer) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            packed.append(c);
    }
    const NumberText::LeadingNumber number = NumberText::readLeading(packed);
    long long rounded = 0;
    if (!NumberText::roundHalfEven(number.value, -32768, 32767, &rounded))
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

} // namespace ChannelAnswer
