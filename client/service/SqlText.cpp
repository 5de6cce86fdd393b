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
    // Written back in plain decimal: the integer text rule also accepts blanks and
    // hexadecimal forms, which a statement must not carry.
    return QString::number(TextConversions::toInt(value));
}

} // namespace SqlText
