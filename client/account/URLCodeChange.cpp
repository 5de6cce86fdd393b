#include "URLCodeChange.h"

namespace {

bool keptAsIs(unsigned char byte)
{
    if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z'))
        return true;
    switch (byte) {
    case '"':
    case '\'':
    case '-':
    case '.':
    case '/':
    case '=':
    case '?':
    case '_':
        return true;
    default:
        return false;
    }
}

} // namespace

QString UrlEncode(const QByteArray &input, bool spaceAsPlus)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(input.size() * 3);
    for (const char c : input) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            out.append(spaceAsPlus ? "+" : "%20");
        } else if (keptAsIs(byte)) {
            out.append(c);
        } else {
            out.append('%');
            out.append(hexDigits[byte >> 4]);
            out.append(hexDigits[byte & 0x0F]);
        }
    }
    return QString::fromLatin1(out);
}
