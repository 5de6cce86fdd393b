#pragma once

#include <QString>

// What follows a password change of the signed-in account, once the service has taken the new
// password: the client compares the next change with it and opens the insider page with it,
// and where the user chose to remember the password (the credentials file or the desktop
// keychain), the next start signs in with it.
namespace SignedInAccount {

void takeNewPassword(const QString &password);

} // namespace SignedInAccount
