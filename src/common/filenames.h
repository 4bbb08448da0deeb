#pragma once

// File names on this system are bytes, and not every name is valid UTF-8 (a
// folder copied from an old Latin-1 system, say). Qt's own conversion turns
// such bytes into U+FFFD and the file can no longer be reached, so paths are
// carried in a QString losslessly: valid UTF-8 decodes as usual, and every
// byte that is not part of a valid sequence becomes a lone low surrogate
// U+DC80..U+DCFF, which fileNameBytes turns back into that byte. Paths reach
// the system only through fileNameBytes.

#include <QByteArray>
#include <QString>

namespace morvane {

QString fileNameFromBytes(const QByteArray &bytes);
QByteArray fileNameBytes(const QString &name);

// The path that Qt's own lossy decoding turned into lossyPath (a name that is
// not UTF-8, listed by a Qt file dialog with U+FFFD in place of its bytes):
// each missing part is looked up among its folder's entries, and taken when
// exactly one entry decodes to it. Returns lossyPath when nothing needs or
// allows recovery.
QString recoverFileName(const QString &lossyPath);

// A text for the user's terminal or log: the escaped bytes are written back
// as they were, so the user sees the name as the file system shows it.
inline QByteArray terminalBytes(const QString &text) { return fileNameBytes(text); }

}  // namespace morvane
