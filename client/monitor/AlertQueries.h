#pragma once

#include <QString>

// The SQL texts of the alert list's three fills, built from UserTiering and UserLevel. The
// poll sends the same texts when the page is closed. Blanks are part of each text: the
// service matches them exactly.
namespace AlertQueries {

QString todayAlerts();
QString latestAlerts();
QString todayNews();

} // namespace AlertQueries
