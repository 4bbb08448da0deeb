#pragma once

// The document's text as the writer stores it, cut into paragraphs and
// character runs with their formatting. Positions are character positions
// (CPs) of the stored text.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "office/doc/docwriter.h"

namespace office::doc {

struct ParagraphLayout {
  std::uint32_t limit = 0;  // the CP behind its paragraph mark
  bool heading = false;
  bool rightToLeft = false;
};

struct RunLayout {
  static constexpr int kNoFont = -1;
  std::uint32_t limit = 0;  // the CP behind its last character
  int font = kNoFont;       // index into Layout::fonts
  bool rightToLeft = false;
};

struct Layout {
  QString text;  // ends with the final paragraph mark
  std::vector<ParagraphLayout> paragraphs;
  std::vector<RunLayout> runs;  // cover the text; neighbours differ
  QStringList fonts;            // the fonts runs name, in order of first use
  // Per font: whether its runs hold characters of a symbol font's own codes
  // (U+F020-U+F0FF), which makes it a symbol font to readers.
  std::vector<bool> symbolFonts;
};

// A font name as the font table stores it: control characters removed and
// at most the 31 characters a font's face name can have. Throws
// morvane::Error when nothing of the name is left.
constexpr qsizetype kMaxFontNameLength = 31;
QString usableFontName(const QString &name);

// Lays out the content; throws morvane::Error when a span lies outside the
// text or spans are out of order.
Layout layOut(const DocumentContent &content);

}  // namespace office::doc
