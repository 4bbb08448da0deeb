#include "office/doc/docwriter.h"

#include <cstdint>

#include "common/atomicfile.h"
#include "common/error.h"
#include "common/lebuffer.h"
#include "office/doc/compoundfile.h"
#include "office/doc/doclayout.h"
#include "office/doc/formattingpages.h"
#include "office/doc/tablestream.h"

namespace office::doc {

using morvane::LeBuffer;
namespace {

// The text starts on the third page of the WordDocument stream, after the
// file information block, as Word lays it out.
constexpr std::uint32_t kTextStart = 0x400;
// A smaller WordDocument stream would sit in the compound file's mini
// stream, which some readers do not expect.
constexpr std::uint32_t kMinWordDocumentSize = 4096;
// File positions of text are 30-bit values.
constexpr std::uint64_t kMaxFilePosition = 0x3FFFFFFF;

// File information block: sizes and the positions of its fields.
namespace fib {
constexpr std::uint16_t kIdent = 0xA5EC;
constexpr std::uint16_t kNFib = 0x00C1;  // Word 97 and later
constexpr std::uint16_t kNFibBack = 0x00BF;
constexpr std::uint16_t kLidEnglishUS = 0x0409;
constexpr std::uint16_t kFlagWhichTableStream = 0x0200;  // the table stream is "1Table"
constexpr std::uint16_t kFlagExtChar = 0x1000;           // always set since Word 97
constexpr std::uint16_t kCsw = 14;
constexpr std::uint16_t kCslw = 22;
constexpr std::uint16_t kCbRgFcLcb = 93;  // FibRgFcLcb97

constexpr std::uint32_t kIdentAt = 0x00;
constexpr std::uint32_t kNFibAt = 0x02;
constexpr std::uint32_t kLidAt = 0x06;
constexpr std::uint32_t kFlagsAt = 0x0A;
constexpr std::uint32_t kNFibBackAt = 0x0C;
constexpr std::uint32_t kFcMinAt = 0x18;  // the text range, kept for old readers
constexpr std::uint32_t kFcMacAt = 0x1C;
constexpr std::uint32_t kCswAt = 0x20;
constexpr std::uint32_t kLidFEAt = 0x3C;
constexpr std::uint32_t kCslwAt = 0x3E;
constexpr std::uint32_t kCbMacAt = 0x40;
constexpr std::uint32_t kCcpTextAt = 0x4C;
constexpr std::uint32_t kCbRgFcLcbAt = 0x98;
constexpr std::uint32_t kRgFcLcbAt = 0x9A;
constexpr std::uint32_t kCswNewAt = 0x382;

// Index of an fc/lcb pair in FibRgFcLcb97.
enum Blob : std::uint32_t {
  StshfOrig = 0,
  Stshf = 1,
  PlcfSed = 6,
  PlcfBteChpx = 12,
  PlcfBtePapx = 13,
  SttbfFfn = 15,
  Dop = 31,
  SttbfAssoc = 32,
  Clx = 33,
};
constexpr std::uint32_t fcAt(Blob blob) { return kRgFcLcbAt + 8 * blob; }
}  // namespace fib

// Where a structure of the table stream lies.
struct Placed {
  std::uint32_t fc = 0;
  std::uint32_t lcb = 0;
};

template <class Write>
Placed place(LeBuffer &stream, Write write) {
  Placed placed;
  placed.fc = stream.size();
  write(stream);
  placed.lcb = stream.size() - placed.fc;
  return placed;
}

void writeFib(LeBuffer &doc, std::uint32_t ccpText,
              const std::vector<std::pair<fib::Blob, Placed>> &blobs) {
  doc.putU16(fib::kIdentAt, fib::kIdent);
  doc.putU16(fib::kNFibAt, fib::kNFib);
  doc.putU16(fib::kLidAt, fib::kLidEnglishUS);
  doc.putU16(fib::kFlagsAt, fib::kFlagWhichTableStream | fib::kFlagExtChar);
  doc.putU16(fib::kNFibBackAt, fib::kNFibBack);
  doc.putU32(fib::kFcMinAt, kTextStart);
  doc.putU32(fib::kFcMacAt, kTextStart + 2 * ccpText);
  doc.putU16(fib::kCswAt, fib::kCsw);
  doc.putU16(fib::kLidFEAt, fib::kLidEnglishUS);
  doc.putU16(fib::kCslwAt, fib::kCslw);
  doc.putU32(fib::kCbMacAt, doc.size());
  doc.putU32(fib::kCcpTextAt, ccpText);
  doc.putU16(fib::kCbRgFcLcbAt, fib::kCbRgFcLcb);
  doc.putU16(fib::kCswNewAt, 0);
  for (const auto &[blob, placed] : blobs) {
    doc.putU32(fib::fcAt(blob), placed.fc);
    doc.putU32(fib::fcAt(blob) + 4, placed.lcb);
  }
}

DocumentStreams buildStreams(const Layout &layout, const QDateTime &created, const QDateTime &saved,
                             const QString &title) {
  const auto ccpText = std::uint32_t(layout.text.size());

  LeBuffer doc;
  doc.reserve(kTextStart + 2 * qsizetype(ccpText) + 4 * kPageSize);
  doc.zeros(kTextStart);
  doc.utf16(layout.text);
  const std::uint32_t fcSepx = doc.size();
  writeSepx(doc);
  const PageIndex characterPages = appendCharacterPages(doc, layout, kTextStart);
  const PageIndex paragraphPages = appendParagraphPages(doc, layout, kTextStart);
  doc.padTo(kMinWordDocumentSize);

  LeBuffer table;
  const Placed stshf = place(table, writeStyleSheet);
  const Placed sed = place(table, [&](LeBuffer &t) { writeSectionTable(t, ccpText, fcSepx); });
  const Placed bteChpx = place(table, [&](LeBuffer &t) { writeBinTable(t, characterPages); });
  const Placed btePapx = place(table, [&](LeBuffer &t) { writeBinTable(t, paragraphPages); });
  const Placed ffn =
      place(table, [&](LeBuffer &t) { writeFontTable(t, layout.fonts, layout.symbolFonts); });
  const Placed dop = place(table, [&](LeBuffer &t) { writeDop(t, created, saved); });
  const Placed assoc = place(table, [&](LeBuffer &t) { writeAssociatedStrings(t, title); });
  const Placed clx = place(table, [&](LeBuffer &t) { writeClx(t, ccpText, kTextStart); });

  writeFib(doc, ccpText,
           {{fib::StshfOrig, stshf},
            {fib::Stshf, stshf},
            {fib::PlcfSed, sed},
            {fib::PlcfBteChpx, bteChpx},
            {fib::PlcfBtePapx, btePapx},
            {fib::SttbfFfn, ffn},
            {fib::Dop, dop},
            {fib::SttbfAssoc, assoc},
            {fib::Clx, clx}});
  return {doc.bytes(), table.bytes()};
}

// The text, its section properties and its formatting pages must lie
// within 30-bit file positions (every page holds at least a few runs or
// paragraphs), and font indexes within 16 bits.
void checkSize(const Layout &layout) {
  const auto entries = std::uint64_t(layout.runs.size() + layout.paragraphs.size());
  const std::uint64_t end = kTextStart + 2 * std::uint64_t(layout.text.size()) +
                            (entries / kFewestEntriesPerPage + 4) * kPageSize;
  if (end > kMaxFilePosition)
    throw morvane::Error(QStringLiteral("The text is too long for a Word document (%1 characters)")
                             .arg(layout.text.size()));
  if (layout.fonts.size() > kMaxFonts - kFirstRunFont)
    throw morvane::Error(QStringLiteral("The text names too many fonts for a Word document (%1)")
                             .arg(layout.fonts.size()));
}

// A title as one line of characters: control characters become spaces,
// halves of surrogate pairs U+FFFD.
QString plainTitle(const QString &title) {
  QString plain = title;
  for (qsizetype i = 0; i < plain.size(); ++i) {
    const QChar c = plain[i];
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
      plain[i] = QLatin1Char(' ');
    } else if (c.isHighSurrogate() && i + 1 < plain.size() && plain[i + 1].isLowSurrogate()) {
      ++i;
    } else if (c.isSurrogate()) {
      plain[i] = QChar(QChar::ReplacementCharacter);
    }
  }
  return plain.trimmed();
}

}  // namespace

QByteArray buildDocument(const DocumentContent &content) {
  const Layout layout = layOut(content);
  checkSize(layout);
  const QString title = plainTitle(content.title);
  // Times not given are now.
  const QDateTime saved = content.saved.isValid() ? content.saved : QDateTime::currentDateTimeUtc();
  const QDateTime created = content.created.isValid() ? content.created : saved;
  return compoundFile(
      buildStreams(layout, created, saved, title),
      {title, created, saved, layout.text.size(), qsizetype(layout.paragraphs.size())});
}

void writeDocument(const DocumentContent &content, const QString &path) {
  const QByteArray bytes = buildDocument(content);
  morvane::AtomicFile file(path);
  file.write(bytes);
  file.commitWithoutReplacing();
}

}  // namespace office::doc
