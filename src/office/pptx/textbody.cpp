#include "office/pptx/textbody.h"

#include <algorithm>

#include "common/symbolfonts.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx {

namespace {

const QChar kParagraphSeparator = QChar(u'\r');
const QChar kLineBreak = QChar(u'\v');
const QChar kCellSeparator = QChar(u'\t');

// The Windows character set of a font that holds symbols, not letters.
constexpr qint64 kSymbolCharset = 2;

void readRunProperties(XmlStream &xml, TextRun &run) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    QString *face = xml.is(QLatin1StringView("latin")) ? &run.latin
                    : xml.is(QLatin1StringView("ea"))  ? &run.eastAsian
                    : xml.is(QLatin1StringView("cs"))  ? &run.complexScript
                    : xml.is(QLatin1StringView("sym")) ? &run.symbol
                                                       : nullptr;
    if (!face) continue;
    *face = xml.attribute(QLatin1StringView("typeface")).toString();
    const bool symbolCharset = xml.intAttribute(QLatin1StringView("charset"), 0) == kSymbolCharset;
    if (face == &run.latin) run.latinSymbolCharset = symbolCharset;
    if (face == &run.symbol) run.symbolSymbolCharset = symbolCharset;
  }
}

// a:r and a:fld: properties and text.
TextRun readRun(XmlStream &xml) {
  TextRun run;
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("rPr")))
      readRunProperties(xml, run);
    else if (xml.is(QLatin1StringView("t")))
      run.text += xml.readText();
  }
  return run;
}

void readParagraphContent(XmlStream &xml, std::vector<TextRun> &runs);

// Markup compatibility inside a paragraph (equations and the like): the
// first choice, unless it holds no text, then the fallback.
void readAlternateRuns(XmlStream &xml, std::vector<TextRun> &runs) {
  std::vector<TextRun> choice, fallback;
  bool choiceSeen = false;
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("Choice")) && !choiceSeen) {
      choiceSeen = true;
      readParagraphContent(xml, choice);
    } else if (xml.is(QLatin1StringView("Fallback"))) {
      readParagraphContent(xml, fallback);
    }
  }
  const bool choiceHasText =
      std::any_of(choice.begin(), choice.end(), [](const TextRun &r) { return !r.text.isEmpty(); });
  std::vector<TextRun> &taken = choiceHasText || fallback.empty() ? choice : fallback;
  std::move(taken.begin(), taken.end(), std::back_inserter(runs));
}

void readParagraphContent(XmlStream &xml, std::vector<TextRun> &runs) {
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("r")) || xml.is(QLatin1StringView("fld"))) {
      runs.push_back(readRun(xml));
    } else if (xml.is(QLatin1StringView("br"))) {
      TextRun lineBreak = readRun(xml);
      lineBreak.kind = TextRun::Kind::Break;
      lineBreak.text.clear();
      runs.push_back(std::move(lineBreak));
    } else if (xml.is(QLatin1StringView("AlternateContent"))) {
      readAlternateRuns(xml, runs);
    }
  }
}

void readBodyProperties(XmlStream &xml, QString *warpPreset) {
  const int depth = xml.depth();
  while (xml.nextChild(depth))
    if (xml.is(QLatin1StringView("prstTxWarp")) && warpPreset)
      *warpPreset = xml.attribute(QLatin1StringView("prst")).toString();
}

bool isSymbolPrivateUse(QChar c) { return c.unicode() >= 0xF020 && c.unicode() <= 0xF0FF; }

// A run whose symbol font (a:sym) sets only its private-use characters:
// those are mapped in that font, the rest keeps the run's own typeface.
void appendWithSymbolCharacters(const QString &text, const QString &typeface,
                                const QString &symbolFace, morvane::SymbolFont symbolFont,
                                ComposedText &out) {
  qsizetype start = 0;
  while (start < text.size()) {
    const bool symbol = isSymbolPrivateUse(text[start]);
    qsizetype end = start;
    while (end < text.size() && isSymbolPrivateUse(text[end]) == symbol) ++end;
    const QString piece = text.mid(start, end - start);
    if (symbol)
      out.append(morvane::symbolTextToUnicode(symbolFont, piece), symbolFace);
    else
      out.append(piece, typeface);
    start = end;
  }
}

// A run's characters as the slide shows them: set in a symbol font, they
// become the Unicode characters they stand for (or the font's private-use
// codes where Unicode has none); the range keeps the original typeface.
void appendRun(const TextRun &run, const Theme *theme, const QString &defaultTypeface,
               ComposedText &out) {
  if (run.kind == TextRun::Kind::Break) {
    out.append(QString(kLineBreak), out.lastTypeface(defaultTypeface));
    return;
  }
  const QString latin = resolveThemeFont(run.latin, theme);
  const QString typeface = latin.isEmpty() ? defaultTypeface : latin;
  const morvane::SymbolFont font = morvane::symbolFontOf(typeface, run.latinSymbolCharset);
  if (font != morvane::SymbolFont::None) {
    out.append(morvane::symbolTextToUnicode(font, run.text), typeface);
    return;
  }
  const QString symbolFace = resolveThemeFont(run.symbol, theme);
  const morvane::SymbolFont symbolFont = morvane::symbolFontOf(symbolFace, run.symbolSymbolCharset);
  if (symbolFont != morvane::SymbolFont::None) {
    appendWithSymbolCharacters(run.text, typeface, symbolFace, symbolFont, out);
    return;
  }
  out.append(run.text, typeface);
}

}  // namespace

bool TextBody::hasText() const {
  for (const Paragraph &p : paragraphs)
    for (const TextRun &r : p.runs)
      if (!r.text.isEmpty() || r.kind == TextRun::Kind::Break) return true;
  return paragraphs.size() > 1;
}

TextBody readTextBody(XmlStream &xml, QString *warpPreset) {
  TextBody body;
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("bodyPr"))) {
      readBodyProperties(xml, warpPreset);
    } else if (xml.is(QLatin1StringView("p"))) {
      Paragraph paragraph;
      readParagraphContent(xml, paragraph.runs);
      body.paragraphs.push_back(std::move(paragraph));
    }
  }
  return body;
}

QString ComposedText::typefaceAt(qsizetype index) const {
  if (spans.empty()) return {};
  auto after = std::upper_bound(spans.begin(), spans.end(), index,
                                [](qsizetype i, const Span &s) { return i < s.start; });
  return after == spans.begin() ? spans.front().typeface : std::prev(after)->typeface;
}

QString ComposedText::lastTypeface(const QString &fallback) const {
  return spans.empty() ? fallback : spans.back().typeface;
}

void ComposedText::append(const QString &characters, const QString &typeface) {
  if (characters.isEmpty()) return;
  if (spans.empty() || spans.back().typeface != typeface) spans.push_back({text.size(), typeface});
  text += characters;
}

void composeText(const TextBody &body, const Theme *theme, const QString &defaultTypeface,
                 ComposedText &out) {
  for (std::size_t p = 0; p < body.paragraphs.size(); ++p) {
    if (p > 0) out.append(QString(kParagraphSeparator), out.lastTypeface(defaultTypeface));
    for (const TextRun &run : body.paragraphs[p].runs) appendRun(run, theme, defaultTypeface, out);
  }
}

void composeTable(const Table &table, const Theme *theme, const QString &defaultTypeface,
                  ComposedText &out) {
  for (const std::vector<TableCell> &row : table.rows) {
    const std::size_t fields = std::max<std::size_t>(std::size_t(table.gridColumns), row.size());
    for (std::size_t i = 0; i < fields; ++i) {
      if (i < row.size() && !row[i].covered) composeText(row[i].text, theme, defaultTypeface, out);
      const QChar end = i + 1 < fields ? kCellSeparator : kParagraphSeparator;
      out.append(QString(end), out.lastTypeface(defaultTypeface));
    }
  }
}

}  // namespace office::pptx
