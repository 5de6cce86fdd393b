#include "SignedInAccount.h"

#include "PasswordKeychain.h"
#include "RememberedCredentials.h"
#include "TextConversions.h"
#include "URLCodeChange.h"
#include "UnitGlouble.h"

#include <exception>

namespace SignedInAccount {

namespace {

// Only a password remembered for this account is replaced; an account remembered by another
// sign-in, or none, stays as it is. The file holds either the password or, when the keychain
// holds it, an empty password line.
void replaceRememberedPassword(const QString &userName, const QString &password)
{
    const RememberedCredentials::Contents remembered = RememberedCredentials::read();
    if (!remembered.exists || remembered.userName != userName)
        return;
    if (!remembered.password.isEmpty()) {
        try {
            RememberedCredentials::write(userName, password);
        } catch (const std::exception &) {
            // The change itself is made; the next start asks for the new password.
        }
        return;
    }
    if (PasswordKeychain::isAvailable())
        PasswordKeychain::write(userName, password);
}

} // namespace

void takeNewPassword(const QString &password)
{
    UnitGlouble.UserPassword = password;
    UnitGlouble.UserPasswordUrl = UrlEncode(password.toUtf8(), true);
    replaceRememberedPassword(TextConversions::trim(UnitGlouble.UserName), password);
}

} // namespace SignedInAccount
