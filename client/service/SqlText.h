#pragma once

#include <QString>

// Values placed into the SQL text the client composes.
namespace SqlText {

// A value for between single quotes: apostrophes doubled, so it is stored or matched
// as typed and can never end the literal early.
QString quoted(const QString &value);
// A value placed bare (UserId, UserLevel): read as integer text and written in plain
// decimal; anything else throws "'%s' is not a valid integer value".
QString integer(const QString &value);

} // namespace SqlText
