#include "office/doc/docwriter.h"

#include <gsf/gsf-doc-meta-data.h>
#include <gsf/gsf-meta-names.h>
#include <gsf/gsf-msole-utils.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "common/error.h"

namespace office::doc {
namespace {

constexpr char16_t kParagraphMark = 0x000D;
constexpr char16_t kLineBreak = 0x000B;
constexpr char16_t kTab = 0x0009;

constexpr std::uint32_t kPageSize = 512;
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
constexpr std::uint32_t kSize = 0x384;

// Index of an fc/lcb pair in FibRgFcLcb97.
enum Blob : std::uint32_t {
  StshfOrig = 0,
  Stshf = 1,
  PlcfSed = 6,
  PlcfBteChpx = 12,
  PlcfBtePapx = 13,
  SttbfFfn = 15,
  Dop = 31,
  Clx = 33,
};
constexpr std::uint32_t fcAt(Blob blob) { return kRgFcLcbAt + 8 * blob; }
}  // namespace fib

// A growing little-endian byte buffer.
class LeBuffer {
 public:
  std::uint32_t size() const { return std::uint32_t(bytes_.size()); }
  const QByteArray &bytes() const { return bytes_; }

  void u8(std::uint8_t v) { bytes_.append(char(v)); }
  void u16(std::uint16_t v) {
    u8(std::uint8_t(v));
    u8(std::uint8_t(v >> 8));
  }
  void u32(std::uint32_t v) {
    u16(std::uint16_t(v));
    u16(std::uint16_t(v >> 16));
  }
  void append(const QByteArray &b) { bytes_.append(b); }
  void utf16(const QString &s) {
    for (QChar c : s) u16(c.unicode());
  }
  void zeros(std::uint32_t count) { bytes_.append(qsizetype(count), '\0'); }
  void padTo(std::uint32_t total) {
    if (size() < total) zeros(total - size());
  }
  void alignTo(std::uint32_t unit) { padTo((size() + unit - 1) / unit * unit); }

  void putU16(std::uint32_t at, std::uint16_t v) {
    bytes_[at] = char(std::uint8_t(v));
    bytes_[at + 1] = char(std::uint8_t(v >> 8));
  }
  void putU32(std::uint32_t at, std::uint32_t v) {
    putU16(at, std::uint16_t(v));
    putU16(at + 2, std::uint16_t(v >> 16));
  }

 private:
  QByteArray bytes_;
};

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

std::uint32_t textFc(std::uint32_t cp) { return kTextStart + 2 * cp; }

// ---- Formatting pages (FKPs) in the WordDocument stream -------------------

// One character run over the whole text, with default character properties.
QByteArray chpxPage(std::uint32_t fcFirst, std::uint32_t fcLim) {
  LeBuffer page;
  page.u32(fcFirst);
  page.u32(fcLim);
  page.u8(0);  // no CHPX: the style's properties
  page.padTo(kPageSize - 1);
  page.u8(1);  // crun
  return page.bytes();
}

// Up to this many paragraphs fit on one PAPX page: each takes an FC (4 bytes)
// and a BxPap (13 bytes); all share one PapxInFkp at the end of the page.
constexpr std::uint32_t kBxPapSize = 13;
constexpr std::uint32_t kPapxAt = 506;  // two-byte aligned, below cpara
constexpr std::uint32_t kParagraphsPerPage = (kPapxAt - 4) / (4 + kBxPapSize);

// fcs holds the start of the first paragraph and then each paragraph's limit.
QByteArray papxPage(const std::vector<std::uint32_t> &fcs) {
  const auto cpara = std::uint32_t(fcs.size() - 1);
  LeBuffer page;
  for (std::uint32_t fc : fcs) page.u32(fc);
  for (std::uint32_t i = 0; i < cpara; ++i) {
    page.u8(std::uint8_t(kPapxAt / 2));  // bOffset, in words
    page.zeros(kBxPapSize - 1);          // PHE: no layout cached
  }
  page.padTo(kPapxAt);
  // PapxInFkp: cb 0, cb' 1, then the two bytes of istd 0 ("Normal").
  page.u8(0);
  page.u8(1);
  page.u16(0);
  page.padTo(kPageSize - 1);
  page.u8(std::uint8_t(cpara));
  return page.bytes();
}

// The FC limits of the paragraphs: each points behind a paragraph mark.
std::vector<std::uint32_t> paragraphLimits(const QString &text) {
  std::vector<std::uint32_t> limits;
  for (qsizetype cp = 0; cp < text.size(); ++cp) {
    if (text[cp].unicode() == kParagraphMark) limits.push_back(textFc(std::uint32_t(cp + 1)));
  }
  return limits;
}

// A bin table: the first FC of each page, the final limit, then the page
// numbers.
void writeBinTable(LeBuffer &table, const std::vector<std::uint32_t> &pageFirstFcs,
                   std::uint32_t fcLim, const std::vector<std::uint32_t> &pageNumbers) {
  for (std::uint32_t fc : pageFirstFcs) table.u32(fc);
  table.u32(fcLim);
  for (std::uint32_t pn : pageNumbers) table.u32(pn);
}

// ---- Table stream structures ----------------------------------------------

// A style (STD) with a base of 10 bytes (StdfBase), its name and its UPXs.
QByteArray styleDefinition(std::uint16_t sti, std::uint16_t stk, std::uint16_t istdNext,
                           const QString &name, const QByteArray &upxs, std::uint16_t cupx) {
  constexpr std::uint16_t kIstdNil = 0x0FFF;
  LeBuffer body;
  body.u16(sti);
  body.u16(std::uint16_t(stk | kIstdNil << 4));
  body.u16(std::uint16_t(cupx | istdNext << 4));
  body.u16(0);  // bchUpe, set below
  body.u16(0);  // grfstd
  body.u16(std::uint16_t(name.size()));
  body.utf16(name);
  body.u16(0);
  body.append(upxs);
  body.alignTo(2);
  body.putU16(6, std::uint16_t(body.size()));
  return body.bytes();
}

void writeStyleSheet(LeBuffer &table) {
  constexpr std::uint16_t kStkParagraph = 1;
  constexpr std::uint16_t kStkCharacter = 2;
  constexpr std::uint16_t kStiNormal = 0;
  constexpr std::uint16_t kStiDefaultParagraphFont = 65;
  constexpr std::uint16_t kIstdDefaultParagraphFont = 10;
  constexpr std::uint16_t kStyleCount = 11;

  table.u16(18);  // cbStshi: the Word 97 STSHI
  table.u16(kStyleCount);
  table.u16(0x000A);  // cbSTDBaseInFile
  table.u16(0x0001);  // fStdStylenamesWritten
  table.u16(0x005B);  // stiMaxWhenSaved
  table.u16(15);      // istdMaxFixedWhenSaved
  table.u16(0);       // nVerBuiltInNamesWhenSaved
  table.u16(0);       // default fonts: Times New Roman for every script
  table.u16(0);
  table.u16(0);

  LeBuffer normalUpx;  // paragraph UPX (istd 0, no properties), character UPX (empty)
  normalUpx.u16(2);
  normalUpx.u16(0);
  normalUpx.u16(0);
  const QByteArray normal =
      styleDefinition(kStiNormal, kStkParagraph, 0, QStringLiteral("Normal"), normalUpx.bytes(), 2);
  LeBuffer fontUpx;
  fontUpx.u16(0);
  const QByteArray defaultFont =
      styleDefinition(kStiDefaultParagraphFont, kStkCharacter, kIstdDefaultParagraphFont,
                      QStringLiteral("Default Paragraph Font"), fontUpx.bytes(), 1);

  for (std::uint16_t istd = 0; istd < kStyleCount; ++istd) {
    const QByteArray *std = istd == 0                           ? &normal
                            : istd == kIstdDefaultParagraphFont ? &defaultFont
                                                                : nullptr;
    table.u16(std ? std::uint16_t(std->size()) : 0);
    if (std) table.append(*std);
  }
}

struct FontSpec {
  const char16_t *name;
  std::uint8_t family;  // FF_ROMAN 1, FF_SWISS 2, FF_DONTCARE 0
  std::uint8_t charset;
  std::array<std::uint8_t, 10> panose;
};

void writeFontTable(LeBuffer &table) {
  static const FontSpec fonts[] = {
      {u"Times New Roman", 1, 0, {2, 2, 6, 3, 5, 4, 5, 2, 3, 4}},
      {u"Symbol", 1, 2, {5, 5, 1, 2, 1, 7, 6, 2, 5, 7}},
      {u"Arial", 2, 0, {2, 11, 6, 4, 2, 2, 2, 2, 2, 4}},
  };
  table.u16(std::uint16_t(std::size(fonts)));  // cData
  table.u16(0);                                // cbExtra
  for (const FontSpec &font : fonts) {
    const QString name = QString::fromUtf16(font.name);
    LeBuffer ffn;
    constexpr std::uint8_t kVariablePitch = 2;
    constexpr std::uint8_t kTrueType = 0x04;
    ffn.u8(std::uint8_t(kVariablePitch | kTrueType | font.family << 4));
    ffn.u16(400);  // wWeight: regular
    ffn.u8(font.charset);
    ffn.u8(0);  // ixchSzAlt: no alternative name
    for (std::uint8_t b : font.panose) ffn.u8(b);
    ffn.zeros(24);  // FONTSIGNATURE
    ffn.utf16(name);
    ffn.u16(0);
    table.u8(std::uint8_t(ffn.size()));
    table.append(ffn.bytes());
  }
}

// The section table: one section over the whole text, its properties in the
// SEPX at fcSepx.
void writeSectionTable(LeBuffer &table, std::uint32_t ccpText, std::uint32_t fcSepx) {
  table.u32(0);
  table.u32(ccpText);
  table.u16(0);  // fn
  table.u32(fcSepx);
  table.u16(0);           // fnMpr
  table.u32(0xFFFFFFFF);  // fcMpr
}

// A4 page with 2.54 cm margins (twips).
void writeSepx(LeBuffer &wordDocument) {
  const std::pair<std::uint16_t, std::uint16_t> sprms[] = {
      {0xB01F, 11906},  // sprmSXaPage
      {0xB020, 16838},  // sprmSYaPage
      {0xB021, 1440},   // sprmSDxaLeft
      {0xB022, 1440},   // sprmSDxaRight
      {0x9023, 1440},   // sprmSDyaTop
      {0x9024, 1440},   // sprmSDyaBottom
  };
  wordDocument.u16(std::uint16_t(std::size(sprms) * 4));
  for (const auto &[sprm, operand] : sprms) {
    wordDocument.u16(sprm);
    wordDocument.u16(operand);
  }
}

// Document properties: a Word 97 DOP with the usual defaults.
void writeDop(LeBuffer &table) {
  constexpr std::uint32_t kDop97Size = 500;
  const std::uint32_t start = table.size();
  table.zeros(kDop97Size);
  table.putU16(start + 0x00, 0x0002);    // fWidowControl
  table.putU16(start + 0x02, 1 << 2);    // footnotes numbered from 1
  table.putU16(start + 0x0A, 720);       // dxaTab: default tab stop every half inch
  table.putU16(start + 0x0E, 360);       // dxaHotZ
  table.putU16(start + 0x34, 1 << 2);    // endnotes numbered from 1
  table.putU16(start + 0x52, 100 << 3);  // wScaleSaved: 100 %
}

// The piece table: the whole text in one piece of UTF-16 at kTextStart.
void writeClx(LeBuffer &table, std::uint32_t ccpText) {
  constexpr std::uint8_t kClxtPcdt = 0x02;
  table.u8(kClxtPcdt);
  table.u32(2 * 4 + 8);  // PlcPcd: two CPs and one Pcd
  table.u32(0);
  table.u32(ccpText);
  table.u16(0);           // fNoParaLast and reserved bits
  table.u32(kTextStart);  // fc, fCompressed = 0: two bytes per character
  table.u16(0);           // prm: no properties
}

// ---- The two streams --------------------------------------------------------

struct Streams {
  QByteArray wordDocument;
  QByteArray table;
};

Streams buildStreams(const QString &text) {
  const auto ccpText = std::uint32_t(text.size());
  const std::uint32_t fcTextLim = textFc(ccpText);

  LeBuffer doc;
  doc.zeros(kTextStart);
  doc.utf16(text);
  doc.alignTo(2);
  const std::uint32_t fcSepx = doc.size();
  writeSepx(doc);
  doc.alignTo(kPageSize);

  const std::uint32_t chpxPn = doc.size() / kPageSize;
  doc.append(chpxPage(kTextStart, fcTextLim));

  std::vector<std::uint32_t> papxFirstFcs;
  std::vector<std::uint32_t> papxPns;
  const std::vector<std::uint32_t> limits = paragraphLimits(text);
  std::uint32_t paragraphStart = kTextStart;
  for (std::size_t first = 0; first < limits.size(); first += kParagraphsPerPage) {
    const std::size_t end = std::min(limits.size(), first + kParagraphsPerPage);
    std::vector<std::uint32_t> fcs{paragraphStart};
    fcs.insert(fcs.end(), limits.begin() + qsizetype(first), limits.begin() + qsizetype(end));
    papxFirstFcs.push_back(paragraphStart);
    papxPns.push_back(doc.size() / kPageSize);
    doc.append(papxPage(fcs));
    paragraphStart = fcs.back();
  }
  doc.padTo(kMinWordDocumentSize);

  LeBuffer table;
  const Placed stshf = place(table, writeStyleSheet);
  const Placed sed = place(table, [&](LeBuffer &t) { writeSectionTable(t, ccpText, fcSepx); });
  const Placed bteChpx =
      place(table, [&](LeBuffer &t) { writeBinTable(t, {kTextStart}, fcTextLim, {chpxPn}); });
  const Placed btePapx =
      place(table, [&](LeBuffer &t) { writeBinTable(t, papxFirstFcs, fcTextLim, papxPns); });
  const Placed ffn = place(table, writeFontTable);
  const Placed dop = place(table, writeDop);
  const Placed clx = place(table, [&](LeBuffer &t) { writeClx(t, ccpText); });

  doc.putU16(fib::kIdentAt, fib::kIdent);
  doc.putU16(fib::kNFibAt, fib::kNFib);
  doc.putU16(fib::kLidAt, fib::kLidEnglishUS);
  doc.putU16(fib::kFlagsAt, fib::kFlagWhichTableStream | fib::kFlagExtChar);
  doc.putU16(fib::kNFibBackAt, fib::kNFibBack);
  doc.putU32(fib::kFcMinAt, kTextStart);
  doc.putU32(fib::kFcMacAt, fcTextLim);
  doc.putU16(fib::kCswAt, fib::kCsw);
  doc.putU16(fib::kLidFEAt, fib::kLidEnglishUS);
  doc.putU16(fib::kCslwAt, fib::kCslw);
  doc.putU32(fib::kCbMacAt, doc.size());
  doc.putU32(fib::kCcpTextAt, ccpText);
  doc.putU16(fib::kCbRgFcLcbAt, fib::kCbRgFcLcb);
  doc.putU16(fib::kCswNewAt, 0);
  const std::pair<fib::Blob, Placed> blobs[] = {
      {fib::StshfOrig, stshf},
      {fib::Stshf, stshf},
      {fib::PlcfSed, sed},
      {fib::PlcfBteChpx, bteChpx},
      {fib::PlcfBtePapx, btePapx},
      {fib::SttbfFfn, ffn},
      {fib::Dop, dop},
      {fib::Clx, clx},
  };
  for (const auto &[blob, placed] : blobs) {
    doc.putU32(fib::fcAt(blob), placed.fc);
    doc.putU32(fib::fcAt(blob) + 4, placed.lcb);
  }
  return {doc.bytes(), table.bytes()};
}

// ---- The compound file ------------------------------------------------------

void initGsf() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

template <class T>
struct GObjectUnref {
  void operator()(T *object) const {
    if (object) g_object_unref(object);
  }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref<T>>;

void writeStream(GsfOutfile *root, const char *name, const QByteArray &bytes) {
  GObjectPtr<GsfOutput> child(gsf_outfile_new_child(root, name, FALSE));
  if (!child) throw morvane::Error(QStringLiteral("Cannot add the stream %1").arg(name));
  const bool written = gsf_output_write(child.get(), gsize(bytes.size()),
                                        reinterpret_cast<const guint8 *>(bytes.constData()));
  if (!gsf_output_close(child.get()) || !written)
    throw morvane::Error(QStringLiteral("Cannot write the stream %1").arg(name));
}

void writeProperties(GsfOutfile *root) {
  GObjectPtr<GsfDocMetaData> meta(gsf_doc_meta_data_new());
  GValue *generator = g_new0(GValue, 1);
  g_value_init(generator, G_TYPE_STRING);
  g_value_set_string(generator, "Morvane");
  gsf_doc_meta_data_insert(meta.get(), g_strdup(GSF_META_NAME_GENERATOR), generator);

  const std::pair<const char *, gboolean> sets[] = {
      {"\005SummaryInformation", FALSE},
      {"\005DocumentSummaryInformation", TRUE},
  };
  for (const auto &[name, documentSummary] : sets) {
    GObjectPtr<GsfOutput> child(gsf_outfile_new_child(root, name, FALSE));
    if (!child) throw morvane::Error(QStringLiteral("Cannot add the document properties"));
    const bool written = gsf_doc_meta_data_write_to_msole(meta.get(), child.get(), documentSummary);
    if (!gsf_output_close(child.get()) || !written)
      throw morvane::Error(QStringLiteral("Cannot write the document properties"));
  }
}

QByteArray compoundFile(const Streams &streams) {
  initGsf();
  // The class identifier of a Word document, {00020906-0000-0000-C000-000000000046}.
  static const guint8 kWordClsid[16] = {0x06, 0x09, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  GObjectPtr<GsfOutput> sink(gsf_output_memory_new());
  {
    GObjectPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
    if (!root) throw morvane::Error(QStringLiteral("Cannot create the compound file"));
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root.get()), kWordClsid);
    writeStream(root.get(), "WordDocument", streams.wordDocument);
    writeStream(root.get(), "1Table", streams.table);
    writeProperties(root.get());
    if (!gsf_output_close(GSF_OUTPUT(root.get())))
      throw morvane::Error(QStringLiteral("Cannot complete the compound file"));
  }
  const auto size = gsf_output_size(sink.get());
  const guint8 *bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
  // Closing the compound file has closed the sink; its bytes stay readable.
  return QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(size));
}

// ---- Saving ------------------------------------------------------------------

// The permissions a newly created file gets under the process's umask.
QFileDevice::Permissions newFilePermissions() {
  mode_t mask = 022;
  QFile status(QStringLiteral("/proc/self/status"));
  if (status.open(QIODevice::ReadOnly)) {
    for (const QByteArray &line : status.readAll().split('\n')) {
      if (line.startsWith("Umask:")) mask = mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
    }
  }
  const mode_t mode = 0666 & ~mask;
  QFileDevice::Permissions permissions;
  const std::pair<mode_t, QFileDevice::Permission> bits[] = {
      {S_IRUSR, QFileDevice::ReadOwner}, {S_IWUSR, QFileDevice::WriteOwner},
      {S_IRGRP, QFileDevice::ReadGroup}, {S_IWGRP, QFileDevice::WriteGroup},
      {S_IROTH, QFileDevice::ReadOther}, {S_IWOTH, QFileDevice::WriteOther},
  };
  for (const auto &[bit, permission] : bits) {
    if (mode & bit) permissions |= permission;
  }
  return permissions;
}

}  // namespace

QString documentText(const QString &text) {
  QString result;
  result.reserve(text.size() + 1);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      result.append(QChar(kParagraphMark));
    } else if (c == u'\n') {
      result.append(QChar(kParagraphMark));
    } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      result.append(text[i]);
      result.append(text[++i]);
    } else if (QChar::isSurrogate(c)) {
      result.append(QChar(QChar::ReplacementCharacter));
    } else if (c == kLineBreak || c == kTab || c >= 0x20) {
      result.append(QChar(c));
    }
  }
  result.append(QChar(kParagraphMark));
  return result;
}

QByteArray buildDocument(const QString &text) {
  const QString body = documentText(text);
  // The text, its section properties and its formatting pages must lie
  // within 30-bit file positions.
  const auto characters = std::uint64_t(body.size());
  const auto paragraphs = std::uint64_t(body.count(QChar(kParagraphMark)));
  const std::uint64_t end = kTextStart + 2 * characters + 3 * kPageSize +
                            (paragraphs / kParagraphsPerPage + 1) * kPageSize;
  if (end > kMaxFilePosition)
    throw morvane::Error(QStringLiteral("The text is too long for a Word document (%1 characters)")
                             .arg(body.size()));
  return compoundFile(buildStreams(body));
}

void writeDocument(const QString &text, const QString &path) {
  const QByteArray bytes = buildDocument(text);
  const QFileInfo target(path);
  if (target.exists() || target.isSymLink())
    throw morvane::Error(
        QStringLiteral("Cannot save the document %1: the file already exists").arg(path));
  // A short temporary name, so that any name the folder takes works.
  QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.morvane-XXXXXX.tmp"));
  if (!temp.open())
    throw morvane::Error(
        QStringLiteral("Cannot save the document %1: %2").arg(path, temp.errorString()));
  const auto fail = [&](const QString &reason) {
    throw morvane::Error(QStringLiteral("Cannot save the document %1: %2").arg(path, reason));
  };
  if (temp.write(bytes) != bytes.size() || !temp.flush()) fail(temp.errorString());
  if (::fsync(temp.handle()) != 0) fail(QStringLiteral("the data could not be stored"));
  temp.setPermissions(newFilePermissions());
  // Renaming refuses to replace a file that appeared meanwhile.
  if (!temp.rename(path)) fail(temp.errorString());
  temp.setAutoRemove(false);
}

}  // namespace office::doc
