#pragma once

#include <QString>

// Puts a chosen sound in place of the alert sound in use (AlertSound::inUsePath()).
namespace AlertSoundReplacement {

enum class Result {
    Replaced, // the chosen file is now the sound in use
    InUse,    // the chosen file is the sound in use itself: nothing to do
    Failed    // nothing readable was chosen or it could not be written; the old sound stays
};

// The new sound is written beside the old one and renamed over it only once complete, so a
// failure at any point leaves the sound in use as it was. A read-only sound in use is
// replaced like any other; the new one is readable and writable by its owner.
Result replaceInUse(const QString &chosenPath);
// The same for any sound the client keeps (a stream's own sound).
Result replace(const QString &chosenPath, const QString &targetPath);

} // namespace AlertSoundReplacement
