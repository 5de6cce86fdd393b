#include "TextConversions.h"

#include "GbkCodePage.h"

#include <cstdint>
#include <stdexcept>

namespace {

[[noreturn]] void fail(const char *format, const QString &text)
{
    throw std::runtime_error(QString::fromLatin1(format).arg(text).toStdString());
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int hexValue(QChar c)
{
    if (isDigit(c))
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// A decimal number as the system's number format writes it: blanks around it, a sign,
// digits with an optional "." fraction (at least one digit in all), an optional exponent.
// Returns whether the whole text is such a number and, if so, whether it is zero.
bool readNumber(const QString &text, bool &isZero)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool anyDigit = false;
    bool nonZeroDigit = false;
    while (i < n && isDigit(text[i])) {
        anyDigit = true;
        nonZeroDigit = nonZeroDigit || text[i] != u'0';
        ++i;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            anyDigit = true;
            nonZeroDigit = nonZeroDigit || text[i] != u'0';
            ++i;
        }
    }
    if (!anyDigit)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (i == n || !isDigit(text[i]))
            return false;
        while (i < n && isDigit(text[i]))
            ++i;
    }
    while (i < n && text[i] == u' ')
        ++i;
    if (i != n)
        return false;
    // The exponent cannot turn a zero mantissa into anything else, nor a non-zero one
    // into zero short of an underflow no real answer carries.
    isZero = !nonZeroDigit;
    return true;
}

} // namespace

namespace TextConversions {

QString trim(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return begin == 0 && end == text.size() ? text : text.mid(begin, end - begin);
}

bool toBool(const QString &text)
{
    bool isZero = false;
    if (readNumber(text, isZero))
        return !isZero;
    if (text.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    fail("'%1' is not a valid boolean value", text);
}

int toInt(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        fail("'%1' is not a valid integer value", text);

    // The magnitude may reach 2^31 for a negative value only.
    const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    std::uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const int digit = base == 16 ? hexValue(text[i]) : (isDigit(text[i]) ? text[i].unicode() - u'0' : -1);
        if (digit < 0)
            fail("'%1' is not a valid integer value", text);
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            fail("'%1' is not a valid integer value", text);
    }
    return negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude)) : static_cast<int>(magnitude);
}

QString dateCut(const QString &text)
{
    return text.left(10);
}

QString dateTimeCut(const QString &text)
{
    QString cut = text.left(19);
    cut.replace(u'T', u' ');
    return cut;
}

QString throughGbk(const QString &text)
{
    return GbkCodePage::roundTrip(text);
}

} // namespace TextConversions
