#pragma once

// Text set in a symbol font (Symbol, Wingdings, Wingdings 2, Wingdings 3,
// Webdings) stores the font's own character codes, 0x20-0xFF, or their
// private-use aliases U+F020-U+F0FF. Shown in any other font they are boxes;
// here they become the Unicode characters they stand for wherever Unicode has
// one. Codes without an equivalent are left as stored, so that the caller can
// keep them in their original font.

#include <QString>

namespace morvane {

enum class SymbolFont { None, Symbol, Wingdings, Wingdings2, Wingdings3, Webdings };

// The symbol font a face name stands for (case-insensitive), None for any
// other face.
SymbolFont symbolFontOf(const QString &face);

// The Unicode character for one stored code of font, or 0 when the code has
// no equivalent (or is not a symbol code: below 0x20, or neither 0x20-0xFF nor
// U+F020-U+F0FF).
char32_t symbolCodeToUnicode(SymbolFont font, char16_t code);

// Every code of text with an equivalent replaced by it (characters beyond the
// Basic Multilingual Plane as surrogate pairs); the others kept as stored.
QString symbolTextToUnicode(SymbolFont font, const QString &text);

// The same for the face "Symbol" only, as the metafile player uses it.
bool isSymbolFont(const QString &face);
QString symbolToUnicode(const QString &text);

}  // namespace morvane
