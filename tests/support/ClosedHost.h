#pragma once

#include <QString>

// A service address where nothing listens (the discard port of the loopback address): every
// call to it fails at once with a transport error, without a time-out to wait for.
inline const QString ClosedHost = QStringLiteral("http://127.0.0.1:9");
