#pragma once

#include <QString>

// The client's address on the internet as the service host sees it: the text of
// "/IP.aspx" on the service host when it answers 200, the empty text for any other status,
// "0.0.0.0" when the request itself fails.
QString GetPublicIPAddress();
