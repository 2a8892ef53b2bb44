// The number grammar shared by the lenient channel reader and the strict level conversion.
#pragma once

#include <QString>
#include <QStringView>

namespace NumberText {

struct LeadingNumber
{
    double value = 0.0;
    qsizetype length = 0; // characters consumed; 0 when the text does not start with a number
};

// Reads the longest leading number of `text`: an optional sign, digits with an optional
// decimal point and fraction, an optional exponent (e or d, either case, at least one digit);
// or &H / &O (either case) followed by hexadecimal or octal digits. No blanks are skipped.
LeadingNumber readLeading(QStringView text);

// Rounds to the nearest integer, halves to the even neighbour (7.5 -> 8, 8.5 -> 8), as the
// card's original host software did. Returns false when the result lies outside [lo, hi].
bool roundHalfEven(double value, long long lo, long long hi, long long *out);

} // namespace NumberText
