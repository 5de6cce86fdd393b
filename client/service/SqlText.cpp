#include "SqlText.h"

#include "TextConversions.h"

namespace SqlText {

QString quoted(const QString &value)
{
    QString text = value;
    text.replace(u'\'', QStringLiteral("''"));
    return text;
}

QString integer(const QString &value)
{
    TextConversions::toInt(value); // throws "'%s' is not a valid integer value"
    return value;
}

} // namespace SqlText
