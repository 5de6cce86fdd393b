#include "ChangeCounters.h"

#include "ServiceClient.h"
#include "ServicePool.h"
#include "TextConversions.h"
#include "UnitGlouble.h"
#include "UserWait.h"

#include <stdexcept>

namespace {

bool isSeparator(QChar c)
{
    return c.unicode() <= 32;
}

// The item that starts at `i` (after any separators), moving `i` past it.
QString nextItem(const QString &text, qsizetype &i)
{
    const qsizetype n = text.size();
    if (text[i] != u'"') {
        const qsizetype start = i;
        while (i < n && text[i] != u',' && !isSeparator(text[i]))
            ++i;
        return text.mid(start, i - start);
    }
    QString item;
    ++i;
    while (i < n) {
        if (text[i] == u'"') {
            if (i + 1 < n && text[i + 1] == u'"') {
                item += u'"';
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        item += text[i++];
    }
    return item;
}

QString item(const QStringList &items, qsizetype index)
{
    if (index >= items.size())
        throw std::runtime_error(QStringLiteral("List index out of bounds (%1)").arg(index).toStdString());
    return items[index];
}

} // namespace

namespace ChangeCounters {

QStringList splitDelimitedText(const QString &text)
{
    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isSeparator(text[i]))
        ++i;
    while (i < n) {
        items.append(nextItem(text, i));
        while (i < n && isSeparator(text[i]))
            ++i;
        if (i < n && text[i] == u',') {
            if (i == n - 1)
                items.append(QString());
            ++i;
            while (i < n && isSeparator(text[i]))
                ++i;
        }
    }
    return items;
}

void appendLines(const QString &counterText, QStringList &lines)
{
    using TextConversions::trim;
    const QStringList items = splitDelimitedText(counterText);
    const auto add = [&lines](const char *name, const QString &value) {
        lines.append(QLatin1String(name) + QLatin1Char('=') + trim(value));
    };
    add("gptjadd", item(items, 0));
    add("gptjsx", item(items, 1));
    add("smncadd", item(items, 2));
    add("smncsx", item(items, 3));
    add("smncaddsj", item(items, 4) + QLatin1Char(' ') + item(items, 5));
    add("smncaddbt", item(items, 6));
    add("smjmadd", item(items, 7));
    add("smjmsx", item(items, 8));
    add("smjmaddsj", item(items, 9) + QLatin1Char(' ') + item(items, 10));
    add("smjmaddbt", item(items, 11));
    add("spzxadd", item(items, 12));
    add("spzxsx", item(items, 13));
}

void store(const QString &counterText)
{
    UnitGlouble.ChangeCounters.clear();
    appendLines(counterText, UnitGlouble.ChangeCounters);
}

QString value(const QStringList &lines, const QString &name)
{
    for (const QString &line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0 && QStringView(line).left(equals) == name)
            return line.mid(equals + 1);
    }
    return QString();
}

QString value(const QString &name)
{
    return value(UnitGlouble.ChangeCounters, name);
}

qint32 counter(const QStringList &lines, const QString &name)
{
    return TextConversions::toInt(value(lines, name));
}

qint32 counter(const QString &name)
{
    return counter(UnitGlouble.ChangeCounters, name);
}

QString fetchText(const QString &userLevel)
{
    const int level = TextConversions::toInt(userLevel);
    return ServiceClient::GetWebServiceSoap()->ifchangetable(level);
}

} // namespace ChangeCounters

void FetchChangeCounters()
{
    const QString level = UnitGlouble.UserLevel;
    ChangeCounters::store(UserWait::run(nullptr, ServicePool::threads(), ServicePool::runCancellable,
                                        [&level] { return ChangeCounters::fetchText(level); }));
}
