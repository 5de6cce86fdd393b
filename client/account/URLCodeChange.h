#pragma once

#include <QByteArray>
#include <QString>

// Percent-encodes bytes for the query strings of the web pages. Letters, digits and
// " ' - . / = ? _ stay as they are; a blank becomes "+" (spaceAsPlus) or "%20"; every other
// byte, those of 128 and above included, becomes "%" and two upper-case hexadecimal digits.
// The pages expect exactly this set, which is not the one QUrl::toPercentEncoding keeps.
QString UrlEncode(const QByteArray &input, bool spaceAsPlus);
