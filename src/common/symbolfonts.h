#pragma once

// Text drawn in the "Symbol" font stores Symbol's own character codes (Greek
// letters, mathematical operators). Without that font on the system they are
// turned into the Unicode characters they stand for, which fallback fonts
// draw.

#include <QString>

namespace morvane {

bool isSymbolFont(const QString &face);
// Codes 0x20-0xFF (also their 0xF020-0xF0FF aliases) to Unicode.
QString symbolToUnicode(const QString &text);

}  // namespace morvane
