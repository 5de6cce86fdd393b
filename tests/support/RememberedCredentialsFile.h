#pragma once

#include <QByteArray>

// The remembered-credentials file of the test user, written and read byte for byte.
namespace RememberedCredentialsFile {

// Removes the file (also when read-only) or a directory standing in its place.
void clear();
// Writes the bytes as the whole file; false when it could not be written.
bool put(const QByteArray &bytes);
// The file's bytes, or "<no file>".
QByteArray bytes();

} // namespace RememberedCredentialsFile
