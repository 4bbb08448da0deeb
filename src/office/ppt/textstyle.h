#pragma once

// The fonts of a text's characters: the character runs of a StyleTextPropAtom
// (each a count of characters and a TextCFException), the document's font
// collection, and the text as the slide shows it with symbol-font codes turned
// into Unicode.

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/bytereader.h"

namespace office::ppt {

// A stretch of characters and the fonts it names (indexes into the font
// collection; -1 where the run does not say).
struct FontRun {
  std::uint32_t length = 0;
  std::int32_t fontRef = -1;
  std::int32_t symbolFontRef = -1;  // the font of its private-use symbol codes
};

// The character runs of a StyleTextPropAtom for a text of textLength
// characters. Empty when the atom is damaged; the runs may cover less than
// the text when the atom ends early.
std::vector<FontRun> readCharacterRuns(morvane::ByteReader styleTextPropAtomBody,
                                       std::uint32_t textLength);

// The typeface of a TextCFException (its fontRef), or -1 when it gives none.
std::int32_t readDefaultFontRef(morvane::ByteReader textCfExceptionBody);

// A font of the document's font collection.
struct FontEntity {
  QString face;
  bool symbolCharset = false;  // declared with the symbol character set
};
using FontCollection = std::vector<FontEntity>;

// The fonts of a FontCollection container, by font index.
FontCollection readFontCollection(morvane::ByteReader fontCollectionBody);

// A stretch of text in one font.
struct FontSpan {
  qsizetype length = 0;
  QString font;
};

// A text and the fonts of its characters; the spans cover the text exactly.
struct RichText {
  QString text;
  std::vector<FontSpan> fonts;

  // Adds text in one font, joining it to the last span when that has the same.
  void append(const QString &more, const QString &font);
  void append(const RichText &more);
};

// The stored text with its runs' fonts applied: characters of a symbol font
// (Symbol, Wingdings, Wingdings 2 and 3, Webdings, any font of the symbol
// character set) that have a Unicode equivalent become it and take the font
// of the text around them (baseFont where no other font is near); the others
// become U+F000 + their code and keep their symbol font. Characters no run
// covers, or whose run names no font, are in baseFont.
RichText applyFonts(const QString &stored, const std::vector<FontRun> &runs,
                    const FontCollection &fonts, const QString &baseFont);

}  // namespace office::ppt
