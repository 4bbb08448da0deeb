#include "office/doc/doclayout.h"

#include <QHash>
#include <algorithm>

#include "common/error.h"

namespace office::doc {
namespace {

constexpr char16_t kParagraphMark = 0x000D;
constexpr char16_t kLineFeed = 0x000A;
constexpr char16_t kLineBreak = 0x000B;
constexpr char16_t kTab = 0x0009;
// A symbol font's own character codes, as Word stores them.
constexpr char16_t kSymbolFirst = 0xF020;
constexpr char16_t kSymbolLast = 0xF0FF;

// ---- The text mapping ---------------------------------------------------------

// What one code unit of the given text becomes in the document.
enum class Mapped { Same, Mark, Replacement, Nothing };

Mapped mapped(const QString &text, qsizetype i) {
  const char16_t c = text[i].unicode();
  if (c == kParagraphMark) return Mapped::Mark;
  if (c == kLineFeed)
    return i > 0 && text[i - 1] == kParagraphMark ? Mapped::Nothing : Mapped::Mark;
  if (QChar::isHighSurrogate(c))
    return i + 1 < text.size() && text[i + 1].isLowSurrogate() ? Mapped::Same : Mapped::Replacement;
  if (QChar::isLowSurrogate(c))
    return i > 0 && text[i - 1].isHighSurrogate() ? Mapped::Same : Mapped::Replacement;
  return c == kLineBreak || c == kTab || c >= 0x20 ? Mapped::Same : Mapped::Nothing;
}

void checkSpans(const std::vector<Span> &spans, qsizetype textSize, const char *what) {
  qsizetype previousEnd = 0;
  for (const Span &span : spans) {
    if (span.start < previousEnd || span.end < span.start || span.end > textSize + 1)
      throw morvane::Error(
          QStringLiteral("The %1 from %2 to %3 lies outside the text or overlaps the one before")
              .arg(QLatin1String(what))
              .arg(span.start)
              .arg(span.end));
    previousEnd = span.end;
  }
}

// The stored text with its paragraphs, and the font spans moved to CPs.
struct Mapping {
  QString text;
  std::vector<ParagraphLayout> paragraphs;
  std::vector<std::uint32_t> fontBounds;  // start and end of each font span
};

class Mapper {
 public:
  explicit Mapper(const DocumentContent &content) : content_(content) {
    bounds_.reserve(2 * content.fonts.size());
    for (const FontSpan &font : content.fonts) {
      bounds_.push_back(font.span.start);
      bounds_.push_back(font.span.end);
    }
  }

  // Characters that map to themselves are copied in stretches.
  Mapping run() {
    const QString &text = content_.text;
    result_.text.reserve(text.size() + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
      if (nextBound_ < bounds_.size() && bounds_[nextBound_] == i) moveBoundsUpTo(i);
      const Mapped kind = mapped(text, i);
      if (kind == Mapped::Same) continue;
      copyUpTo(i);
      copied_ = i + 1;
      if (kind == Mapped::Replacement) result_.text.append(QChar(QChar::ReplacementCharacter));
      if (kind == Mapped::Mark) endParagraph(i);
    }
    moveBoundsUpTo(text.size());
    endParagraph(text.size());
    moveBoundsUpTo(text.size() + 1);
    return std::move(result_);
  }

 private:
  void copyUpTo(qsizetype position) {
    result_.text.append(content_.text.constData() + copied_, position - copied_);
    copied_ = position;
  }

  void moveBoundsUpTo(qsizetype position) {
    copyUpTo(std::min(position, content_.text.size()));
    while (nextBound_ < bounds_.size() && bounds_[nextBound_] <= position) {
      result_.fontBounds.push_back(std::uint32_t(result_.text.size()));
      ++nextBound_;
    }
  }

  // The paragraph mark at position of the given text.
  void endParagraph(qsizetype position) {
    result_.text.append(QChar(kParagraphMark));
    const auto &headings = content_.headings;
    while (nextHeading_ < headings.size() && headings[nextHeading_].end <= position) ++nextHeading_;
    const bool heading = nextHeading_ < headings.size() && headings[nextHeading_].start <= position;
    result_.paragraphs.push_back({std::uint32_t(result_.text.size()), heading, false});
  }

  const DocumentContent &content_;
  std::vector<qsizetype> bounds_;
  std::size_t nextBound_ = 0;
  std::size_t nextHeading_ = 0;
  qsizetype copied_ = 0;  // the given text is copied up to here
  Mapping result_;
};

// ---- Direction ----------------------------------------------------------------

enum Direction : std::uint8_t { kNeutral, kLeftToRight, kRightToLeft, kArabicNumber };

Direction directionOf(char32_t c) {
  switch (QChar::direction(c)) {
    case QChar::DirL:
      return kLeftToRight;
    case QChar::DirR:
    case QChar::DirAL:
      return kRightToLeft;
    case QChar::DirAN:
      return kArabicNumber;
    default:
      return kNeutral;
  }
}

// Whether a code unit may belong to a right-to-left character or an Arabic
// number: the blocks of the right-to-left scripts (Hebrew to Arabic
// Extended, their presentation forms, and in the supplementary planes those
// from U+10800 and U+1E800 on, by their high surrogates) and the
// right-to-left mark. Paragraphs without any are left to right throughout.
bool mayBeRightToLeft(char16_t c) {
  return (c >= 0x0590 && c <= 0x08FF) || c == 0x200F || (c >= 0xFB1D && c <= 0xFDFF) ||
         (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0xD802 && c <= 0xD803) ||
         (c >= 0xD83A && c <= 0xD83B);
}

bool mayHoldRightToLeft(const QChar *begin, const QChar *end) {
  return std::any_of(begin, end, [](QChar c) { return mayBeRightToLeft(c.unicode()); });
}

// Resolves the direction of every character of one paragraph: strong
// characters keep theirs, Arabic numbers go right to left, and a neutral or
// weak character between two strong characters of one direction takes it,
// otherwise the paragraph's. Returns the paragraph's direction: that of its
// first strong character.
// before is scratch space.
bool resolveDirections(const QChar *text, qsizetype length, std::vector<std::uint8_t> &out,
                       std::vector<std::uint8_t> &before) {
  out.assign(std::size_t(length), kNeutral);
  Direction first = kNeutral;
  for (qsizetype i = 0; i < length; ++i) {
    char32_t c = text[i].unicode();
    const bool pair = text[i].isHighSurrogate() && i + 1 < length && text[i + 1].isLowSurrogate();
    if (pair) c = QChar::surrogateToUcs4(text[i], text[i + 1]);
    const Direction d = directionOf(c);
    const std::uint8_t resolved = d == kArabicNumber ? kRightToLeft : d;
    out[std::size_t(i)] = resolved;
    if (pair) out[std::size_t(++i)] = resolved;
    if (first == kNeutral && (d == kLeftToRight || d == kRightToLeft)) first = d;
  }
  const std::uint8_t paragraph = first == kRightToLeft ? kRightToLeft : kLeftToRight;
  before.resize(out.size());
  std::uint8_t previous = paragraph;
  for (std::size_t i = 0; i < out.size(); ++i) {
    before[i] = previous;
    if (out[i] != kNeutral) previous = out[i];
  }
  std::uint8_t next = paragraph;
  for (std::size_t i = out.size(); i-- > 0;) {
    if (out[i] != kNeutral) {
      next = out[i];
      continue;
    }
    out[i] = before[i] == next ? next : paragraph;
  }
  return paragraph == kRightToLeft;
}

// Marks right-to-left paragraphs and returns the direction runs over the
// text: limits and whether each runs right to left.
std::vector<RunLayout> directionRuns(const QString &text,
                                     std::vector<ParagraphLayout> &paragraphs) {
  std::vector<RunLayout> runs;
  std::vector<std::uint8_t> directions;
  std::vector<std::uint8_t> scratch;
  const auto add = [&](std::uint32_t limit, bool rightToLeft) {
    if (!runs.empty() && runs.back().rightToLeft == rightToLeft)
      runs.back().limit = limit;
    else
      runs.push_back({limit, RunLayout::kNoFont, rightToLeft});
  };
  std::uint32_t start = 0;
  for (ParagraphLayout &paragraph : paragraphs) {
    const QChar *begin = text.constData() + start;
    const qsizetype length = paragraph.limit - start;
    if (!mayHoldRightToLeft(begin, begin + length)) {
      add(paragraph.limit, false);
      start = paragraph.limit;
      continue;
    }
    paragraph.rightToLeft = resolveDirections(begin, length, directions, scratch);
    for (qsizetype i = 0; i < length; ++i) {
      const bool rightToLeft = directions[std::size_t(i)] == kRightToLeft;
      if (i + 1 == length || (directions[std::size_t(i + 1)] == kRightToLeft) != rightToLeft)
        add(start + std::uint32_t(i + 1), rightToLeft);
    }
    start = paragraph.limit;
  }
  return runs;
}

// ---- Fonts --------------------------------------------------------------------

bool holdsSymbolCodes(const QString &text, std::uint32_t start, std::uint32_t end) {
  for (std::uint32_t cp = start; cp < end; ++cp) {
    const char16_t c = text[cp].unicode();
    if (c >= kSymbolFirst && c <= kSymbolLast) return true;
  }
  return false;
}

// A font run over CPs [start, limit).
struct FontRun {
  std::uint32_t start = 0;
  std::uint32_t limit = 0;
  int font = RunLayout::kNoFont;
};

std::vector<FontRun> fontRuns(const DocumentContent &content, const Mapping &mapping,
                              Layout &layout) {
  std::vector<FontRun> runs;
  QHash<QString, int> byGivenName;
  QHash<QString, int> byFoldedName;  // font names are not case-sensitive
  for (std::size_t k = 0; k < content.fonts.size(); ++k) {
    const std::uint32_t start = mapping.fontBounds[2 * k];
    const std::uint32_t limit = mapping.fontBounds[2 * k + 1];
    if (start == limit) continue;
    const QString &given = content.fonts[k].font;
    auto index = byGivenName.value(given, -1);
    if (index < 0) {
      const QString name = usableFontName(given);
      index = byFoldedName.value(name.toCaseFolded(), -1);
      if (index < 0) {
        index = int(layout.fonts.size());
        layout.fonts.append(name);
        layout.symbolFonts.push_back(false);
        byFoldedName.insert(name.toCaseFolded(), index);
      }
      byGivenName.insert(given, index);
    }
    if (holdsSymbolCodes(mapping.text, start, limit)) layout.symbolFonts[std::size_t(index)] = true;
    runs.push_back({start, limit, index});
  }
  return runs;
}

// Cuts the direction runs where font runs begin and end.
std::vector<RunLayout> mergeRuns(const std::vector<RunLayout> &directions,
                                 const std::vector<FontRun> &fonts) {
  std::vector<RunLayout> runs;
  runs.reserve(directions.size() + 2 * fonts.size());
  const auto add = [&](std::uint32_t limit, int font, bool rightToLeft) {
    if (!runs.empty() && runs.back().font == font && runs.back().rightToLeft == rightToLeft)
      runs.back().limit = limit;
    else
      runs.push_back({limit, font, rightToLeft});
  };
  std::size_t f = 0;
  std::uint32_t cp = 0;
  for (const RunLayout &direction : directions) {
    while (cp < direction.limit) {
      while (f < fonts.size() && fonts[f].limit <= cp) ++f;
      const bool inFont = f < fonts.size() && fonts[f].start <= cp;
      const std::uint32_t next =
          f >= fonts.size() ? direction.limit
                            : std::min(direction.limit, inFont ? fonts[f].limit : fonts[f].start);
      add(next, inFont ? fonts[f].font : RunLayout::kNoFont, direction.rightToLeft);
      cp = next;
    }
  }
  return runs;
}

}  // namespace

QString usableFontName(const QString &name) {
  QString usable;
  for (const QChar c : name) {
    if (c.unicode() >= 0x20 && !c.isSurrogate()) usable.append(c);
  }
  usable = usable.trimmed().left(kMaxFontNameLength);
  if (usable.isEmpty()) throw morvane::Error(QStringLiteral("\"%1\" is not a font name").arg(name));
  return usable;
}

QString documentText(const QString &text) { return Mapper({text, {}, {}, {}, {}, {}}).run().text; }

Layout layOut(const DocumentContent &content) {
  std::vector<Span> fontSpans;
  fontSpans.reserve(content.fonts.size());
  for (const FontSpan &font : content.fonts) fontSpans.push_back(font.span);
  checkSpans(fontSpans, content.text.size(), "font span");
  checkSpans(content.headings, content.text.size(), "heading span");

  Mapping mapping = Mapper(content).run();
  Layout layout;
  const std::vector<RunLayout> directions = directionRuns(mapping.text, mapping.paragraphs);
  layout.runs = mergeRuns(directions, fontRuns(content, mapping, layout));
  layout.paragraphs = std::move(mapping.paragraphs);
  layout.text = std::move(mapping.text);
  return layout;
}

}  // namespace office::doc
