#pragma once

#include <QString>

// Conversions applied to field texts and plain answers. Failures throw std::runtime_error.
namespace TextConversions {

// Removes leading and trailing characters with codes up to 32.
QString trim(const QString &text);
// Numbers (either sign, with fractions): non-zero is true; "True"/"False" in any case;
// anything else throws "'%s' is not a valid boolean value".
bool toBool(const QString &text);
// 32-bit signed, optional sign, leading blanks, "$"/"x"/"0x" hexadecimal;
// anything else (overflow included) throws "'%s' is not a valid integer value".
int toInt(const QString &text);
// First 10 characters (yyyy-mm-dd).
QString dateCut(const QString &text);
// First 19 characters with every "T" replaced by a blank (yyyy-mm-dd hh:nn:ss).
QString dateTimeCut(const QString &text);
// The text as it reads after a trip through the client's GBK code page: characters that
// GBK cannot hold become "?".
QString throughGbk(const QString &text);

} // namespace TextConversions
