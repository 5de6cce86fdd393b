#pragma once

#include <QDate>
#include <QString>

// Every statement text the client sends to the service, built from its values. The texts are
// a byte-exact contract: the service recognises each by its shape, blanks included, and reads
// the values back out of it. Quoted values have their apostrophes doubled (SqlText::quoted);
// values placed bare must be integers (SqlText::integer throws otherwise). Callers pass values
// as they mean them to be stored or matched (trimmed where the behaviour trims).
namespace ClientStatements {

// Whose alerts the alert list shows: with tiering on, the user's level and the public one.
struct Audience
{
    bool tiering = false;
    QString userLevel; // placed bare when tiering is on
};

// Login: the page addresses and titles.
QString pageAddresses();

// Login: the online record of the signed-in user.
struct OnlineRecord
{
    QString userId; // placed bare
    QString userName;
    QString password;
    QString expiryDate;
    QString address;
};
QString onlineRecordCount(const QString &userId);
QString onlineRecordUpdate(const OnlineRecord &record);
QString onlineRecordInsert(const OnlineRecord &record);
// The destroy step: the record of this sign-in goes when the client ends. It names the login
// time the sign-in recorded, so that a later sign-in of the same account keeps its record.
QString onlineRecordDelete(const QString &userId, const QString &loginStamp);

// Settings: the new password of the signed-in user.
QString passwordChange(const QString &userId, const QString &password);

// Sign-up: a name already taken or already applied for, and the application itself.
QString userNameCount(const QString &name);
QString applicationNameCount(const QString &name);
QString signUpApplication(const QString &name, const QString &password, const QString &phone);

// The alert list's three fills; the poll sends the same texts when the page is closed.
QString todayAlerts(const Audience &audience);
QString latestAlerts(const Audience &audience);
QString todayNews(const Audience &audience);
// The alert history from midnight at the start of `from` up to and including midnight at the
// end of `to`.
QString alertHistory(const Audience &audience, const QDate &from, const QDate &to);

} // namespace ClientStatements
