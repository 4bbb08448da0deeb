#include "office/ppt/textstyle.h"

#include <algorithm>

#include "common/symbolfonts.h"
#include "office/ppt/records.h"
#include "office/ppt/recordtypes.h"

namespace office::ppt {

namespace {

// PFMasks bits that decide which TextPFException fields are present.
enum : std::uint32_t {
  kPfBulletFlags = 0x0000000F,  // hasBullet, bulletHasFont, bulletHasColor, bulletHasSize
  kPfBulletFont = 0x00000010,
  kPfBulletColor = 0x00000020,
  kPfBulletSize = 0x00000040,
  kPfBulletChar = 0x00000080,
  kPfLeftMargin = 0x00000100,
  kPfIndent = 0x00000400,
  kPfAlign = 0x00000800,
  kPfLineSpacing = 0x00001000,
  kPfSpaceBefore = 0x00002000,
  kPfSpaceAfter = 0x00004000,
  kPfDefaultTabSize = 0x00008000,
  kPfFontAlign = 0x00010000,
  kPfWrapFlags = 0x000E0000,  // charWrap, wordWrap, overflow
  kPfTabStops = 0x00100000,
  kPfTextDirection = 0x00200000,
};

// CFMasks bits that decide which TextCFException fields are present.
enum : std::uint32_t {
  kCfStyle = 0x0000FFFF,  // bold ... fHasStyle
  kCfTypeface = 0x00010000,
  kCfSize = 0x00020000,
  kCfColor = 0x00040000,
  kCfPosition = 0x00080000,
  kCfPp10Ext = 0x00100000,
  kCfOldEaTypeface = 0x00200000,
  kCfAnsiTypeface = 0x00400000,
  kCfSymbolTypeface = 0x00800000,
  kCfNewEaTypeface = 0x01000000,
  kCfCsTypeface = 0x02000000,
  kCfPp11Ext = 0x04000000,
};

constexpr std::size_t kTabStopBytes = 4;
constexpr qsizetype kFaceNameChars = 32;
constexpr std::size_t kFaceNameBytes = 64;
constexpr std::uint8_t kSymbolCharset = 2;  // SYMBOL_CHARSET

void skipIf(morvane::ByteReader &in, std::uint32_t masks, std::uint32_t bits, std::size_t bytes) {
  if (masks & bits) in.skip(bytes);
}

void skipParagraphException(morvane::ByteReader &in) {
  const std::uint32_t masks = in.u32();
  skipIf(in, masks, kPfBulletFlags, 2);
  skipIf(in, masks, kPfBulletChar, 2);
  skipIf(in, masks, kPfBulletFont, 2);
  skipIf(in, masks, kPfBulletSize, 2);
  skipIf(in, masks, kPfBulletColor, 4);
  skipIf(in, masks, kPfAlign, 2);
  skipIf(in, masks, kPfLineSpacing, 2);
  skipIf(in, masks, kPfSpaceBefore, 2);
  skipIf(in, masks, kPfSpaceAfter, 2);
  skipIf(in, masks, kPfLeftMargin, 2);
  skipIf(in, masks, kPfIndent, 2);
  skipIf(in, masks, kPfDefaultTabSize, 2);
  if (masks & kPfTabStops) in.skip(std::uint64_t(in.u16()) * kTabStopBytes);
  skipIf(in, masks, kPfFontAlign, 2);
  skipIf(in, masks, kPfWrapFlags, 2);
  skipIf(in, masks, kPfTextDirection, 2);
}

std::int32_t fontIndex(morvane::ByteReader &in) { return in.u16(); }

// Reads a TextCFException; fills the run's fonts.
void readCharacterException(morvane::ByteReader &in, FontRun &run) {
  const std::uint32_t masks = in.u32();
  skipIf(in, masks, kCfStyle, 2);
  if (masks & kCfTypeface) run.fontRef = fontIndex(in);
  skipIf(in, masks, kCfOldEaTypeface, 2);
  skipIf(in, masks, kCfAnsiTypeface, 2);
  if (masks & kCfSymbolTypeface) run.symbolFontRef = fontIndex(in);
  skipIf(in, masks, kCfSize, 2);
  skipIf(in, masks, kCfColor, 4);
  skipIf(in, masks, kCfPosition, 2);
  skipIf(in, masks, kCfPp10Ext, 4);
  skipIf(in, masks, kCfNewEaTypeface, 2);
  skipIf(in, masks, kCfCsTypeface, 2);
  skipIf(in, masks, kCfPp11Ext, 4);
}

const FontEntity *fontAt(const FontCollection &fonts, std::int32_t index) {
  return index >= 0 && std::size_t(index) < fonts.size() ? &fonts[std::size_t(index)] : nullptr;
}

bool isPrivateUseSymbol(char16_t c) { return c >= 0xF020 && c <= 0xF0FF; }

// The font a stored character is drawn in, by its run; nullptr when the run
// names none.
const FontEntity *storedFont(const FontRun *run, char16_t c, const FontCollection &fonts) {
  if (!run) return nullptr;
  if (isPrivateUseSymbol(c) && run->symbolFontRef >= 0) return fontAt(fonts, run->symbolFontRef);
  return fontAt(fonts, run->fontRef);
}

// The stored font of every character by the runs that cover it.
std::vector<const FontEntity *> storedFonts(const QString &stored, const std::vector<FontRun> &runs,
                                            const FontCollection &fonts) {
  std::vector<const FontEntity *> charFonts(std::size_t(stored.size()), nullptr);
  std::size_t run = 0;
  std::uint64_t runEnd = runs.empty() ? 0 : runs[0].length;
  for (qsizetype i = 0; i < stored.size(); ++i) {
    while (run < runs.size() && std::uint64_t(i) >= runEnd && ++run < runs.size())
      runEnd += runs[run].length;
    const FontRun *current = run < runs.size() ? &runs[run] : nullptr;
    charFonts[std::size_t(i)] = storedFont(current, stored[i].unicode(), fonts);
  }
  return charFonts;
}

// The symbol font each character's font is (None for other fonts).
std::vector<morvane::SymbolFont> symbolFontsOf(const std::vector<const FontEntity *> &fonts) {
  std::vector<morvane::SymbolFont> kinds(fonts.size(), morvane::SymbolFont::None);
  const FontEntity *last = nullptr;
  morvane::SymbolFont lastKind = morvane::SymbolFont::None;
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    if (!fonts[i]) continue;
    if (fonts[i] != last) {
      last = fonts[i];
      lastKind = morvane::symbolFontOf(last->face, last->symbolCharset);
    }
    kinds[i] = lastKind;
  }
  return kinds;
}

// For every character, the font that a symbol character mapped to Unicode
// there takes: the nearest earlier font that is not a symbol font, else the
// nearest later one, else baseFont.
std::vector<QString> surroundingFonts(const std::vector<const FontEntity *> &fonts,
                                      const std::vector<morvane::SymbolFont> &kinds,
                                      const QString &baseFont) {
  const auto isPlain = [&](std::size_t i) {
    return fonts[i] && kinds[i] == morvane::SymbolFont::None;
  };
  std::vector<QString> around(fonts.size());
  QString earlier;
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    if (isPlain(i)) earlier = fonts[i]->face;
    around[i] = earlier;
  }
  QString later = baseFont;
  for (std::size_t i = fonts.size(); i-- > 0;) {
    if (isPlain(i)) later = fonts[i]->face;
    if (around[i].isEmpty()) around[i] = later;
  }
  return around;
}

}  // namespace

std::vector<FontRun> readCharacterRuns(morvane::ByteReader in, std::uint32_t textLength) {
  // Runs cover the text and one more character (the paragraph end).
  const std::uint64_t covered = std::uint64_t(textLength) + 1;
  std::vector<FontRun> runs;
  try {
    for (std::uint64_t done = 0; done < covered && !in.atEnd();) {
      const std::uint32_t count = in.u32();
      in.u16();  // indentLevel
      skipParagraphException(in);
      if (count == 0) return {};
      done += count;
    }
    for (std::uint64_t done = 0; done < covered && !in.atEnd();) {
      FontRun run;
      run.length = in.u32();
      readCharacterException(in, run);
      if (run.length == 0) return runs;
      done += run.length;
      runs.push_back(run);
    }
  } catch (const morvane::Error &) {
    // Runs read before the damage still apply.
  }
  return runs;
}

std::int32_t readDefaultFontRef(morvane::ByteReader body) {
  FontRun run;
  try {
    readCharacterException(body, run);
  } catch (const morvane::Error &) {
  }
  return run.fontRef;
}

FontCollection readFontCollection(morvane::ByteReader body) {
  FontCollection fonts;
  try {
    forEachChild(body, [&](Record &r) {
      if (r.recType != rt::FontEntityAtom) return true;
      FontEntity font;
      morvane::ByteReader name = r.body;
      for (qsizetype i = 0; i < kFaceNameChars && name.remaining() >= 2; ++i) {
        const char16_t c = name.u16();
        if (c == 0) break;
        font.face += QChar(c);
      }
      if (r.body.size() > kFaceNameBytes) {
        r.body.seek(kFaceNameBytes);
        font.symbolCharset = r.body.u8() == kSymbolCharset;
      }
      fonts.push_back(std::move(font));
      return true;
    });
  } catch (const morvane::Error &) {
    // The fonts before the damage are kept.
  }
  return fonts;
}

void RichText::append(const QString &more, const QString &font) {
  if (more.isEmpty()) return;
  text += more;
  if (!fonts.empty() && fonts.back().font == font)
    fonts.back().length += more.size();
  else
    fonts.push_back({more.size(), font});
}

void RichText::append(const RichText &more) {
  qsizetype at = 0;
  for (const FontSpan &span : more.fonts) {
    append(more.text.mid(at, span.length), span.font);
    at += span.length;
  }
  append(more.text.mid(at), QString());
}

RichText applyFonts(const QString &stored, const std::vector<FontRun> &runs,
                    const FontCollection &fonts, const QString &baseFont) {
  const std::vector<const FontEntity *> charFonts = storedFonts(stored, runs, fonts);
  const std::vector<morvane::SymbolFont> kinds = symbolFontsOf(charFonts);
  const std::vector<QString> around = surroundingFonts(charFonts, kinds, baseFont);
  RichText out;
  out.text.reserve(stored.size());
  const auto add = [&out](const QChar *chars, qsizetype count, const QString &font) {
    out.text.append(chars, count);
    if (!out.fonts.empty() && out.fonts.back().font == font)
      out.fonts.back().length += count;
    else
      out.fonts.push_back({count, font});
  };
  for (qsizetype i = 0; i < stored.size(); ++i) {
    const FontEntity *font = charFonts[std::size_t(i)];
    const QString &face = font ? font->face : baseFont;
    const morvane::SymbolFont kind = kinds[std::size_t(i)];
    const char16_t c = stored[i].unicode();
    const char32_t shown = morvane::symbolCharacter(kind, c);
    if (shown == c) {
      add(&stored.constData()[i], 1, face);
      continue;
    }
    const QString unicode = QString::fromUcs4(&shown, 1);
    // A character with an equivalent reads in the text's own font; one
    // without keeps its symbol font.
    const bool equivalent = morvane::symbolCodeToUnicode(kind, c) != 0;
    add(unicode.constData(), unicode.size(), equivalent ? around[std::size_t(i)] : face);
  }
  return out;
}

}  // namespace office::ppt
