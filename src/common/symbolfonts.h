#pragma once

// Text set in a symbol font (Symbol, Wingdings, Wingdings 2, Wingdings 3,
// Webdings, or any font of the symbol character set) stores the font's own
// character codes, 0x20-0xFF, or their private-use aliases U+F020-U+F0FF.
// Shown in any other font they are boxes; here they become the Unicode
// characters they stand for wherever Unicode has one. A code without an
// equivalent becomes its private-use alias, as word processors store symbol
// characters, so that the caller can keep it in its original font.

#include <QString>

namespace morvane {

// OtherSymbolFont: a font of the symbol character set that none of the tables
// here covers; its codes have no equivalent.
enum class SymbolFont {
  None,
  Symbol,
  Wingdings,
  Wingdings2,
  Wingdings3,
  Webdings,
  OtherSymbolFont
};

// The symbol font a face name stands for (case-insensitive), None for any
// other face. symbolCharset: the font is declared with the symbol character
// set (OtherSymbolFont when its name is none of the above).
SymbolFont symbolFontOf(const QString &face, bool symbolCharset = false);

// The Unicode character for one stored code of font, or 0 when the code has
// no equivalent (or is not a symbol code: below 0x20, or neither 0x20-0xFF nor
// U+F020-U+F0FF).
char32_t symbolCodeToUnicode(SymbolFont font, char16_t code);

// The character a stored character of font stands for: its Unicode
// equivalent, else for a symbol code its alias U+F000 + code; characters that
// are no symbol code, and all characters of None, unchanged.
char32_t symbolCharacter(SymbolFont font, char16_t stored);

// symbolCharacter for every character of text (characters beyond the Basic
// Multilingual Plane as surrogate pairs).
QString symbolTextToUnicode(SymbolFont font, const QString &text);

// The same for the face "Symbol" only, as the metafile player uses it.
bool isSymbolFont(const QString &face);
QString symbolToUnicode(const QString &text);

}  // namespace morvane
