#include "office/doc/tablestream.h"

#include <array>
#include <utility>

#include "office/doc/sprms.h"

namespace office::doc {
namespace {

// ---- Style sheet ----------------------------------------------------------------

// Style kinds (stk).
constexpr std::uint16_t kStkParagraph = 1;
constexpr std::uint16_t kStkCharacter = 2;
// Invariant identifiers (sti) of Word's built-in styles.
constexpr std::uint16_t kStiNormal = 0;
constexpr std::uint16_t kStiHeading1 = 1;
constexpr std::uint16_t kStiDefaultParagraphFont = 65;
constexpr std::uint16_t kStiNoList = 107;  // the highest of the fixed slots
// The slots at the start of the style sheet reserved for built-in styles.
constexpr std::uint16_t kIstdMaxFixed = 15;
constexpr std::uint16_t kIstdDefaultParagraphFont = 10;
constexpr std::uint16_t kIstdNil = 0x0FFF;
constexpr std::uint16_t kCbStdBase = 10;  // StdfBase without StdfPost2000
constexpr std::uint16_t kCbLsd = 4;
constexpr std::uint16_t kStiMaxWhenSaved = kStiNoList + 1;

// Heading 1 as Word defines it: Arial 16 pt bold, 12 pt before and 3 pt
// after, kept with the next paragraph, outline level 1 (stored as 0).
constexpr std::uint16_t kFontArial = 2;
constexpr std::uint16_t kHeadingHalfPoints = 32;
constexpr std::uint16_t kHeadingSpaceBefore = 240;  // twips
constexpr std::uint16_t kHeadingSpaceAfter = 60;
constexpr std::uint16_t kOutlineLevel1 = 0;

struct StyleDefinition {
  std::uint16_t sti;
  std::uint16_t stk;
  std::uint16_t istdBase;
  std::uint16_t istdNext;
  QString name;
  std::vector<QByteArray> upxs;  // paragraph then character properties
};

// An STD: StdfBase, the name as an Xstz, and each UPX behind its size,
// padded to an even length.
QByteArray styleBytes(const StyleDefinition &style) {
  LeBuffer body;
  body.u16(style.sti);
  body.u16(std::uint16_t(style.stk | style.istdBase << 4));
  body.u16(std::uint16_t(style.upxs.size() | style.istdNext << 4));
  body.u16(0);  // bchUpe, the size of the STD, set below
  body.u16(0);  // grfstd
  body.u16(std::uint16_t(style.name.size()));
  body.utf16(style.name);
  body.u16(0);
  for (const QByteArray &upx : style.upxs) {
    body.u16(std::uint16_t(upx.size()));
    body.append(upx);
    body.alignTo(2);
  }
  body.putU16(6, std::uint16_t(body.size()));
  return body.bytes();
}

// A paragraph style's paragraph UPX: its istd, then its properties.
QByteArray paragraphUpx(std::uint16_t istd, const QByteArray &grpprl) {
  LeBuffer upx;
  upx.u16(istd);
  upx.append(grpprl);
  return upx.bytes();
}

std::vector<std::pair<std::uint16_t, QByteArray>> builtInStyles() {
  using namespace sprm;
  const QByteArray headingParagraph = Grpprl()
                                          .add(sprmPFKeepFollow, kOn)
                                          .add(sprmPDyaBefore, kHeadingSpaceBefore)
                                          .add(sprmPDyaAfter, kHeadingSpaceAfter)
                                          .add(sprmPOutLvl, kOutlineLevel1)
                                          .bytes();
  const QByteArray headingCharacters = Grpprl()
                                           .add(sprmCFBold, kOn)
                                           .add(sprmCFBoldBi, kOn)
                                           .add(sprmCHps, kHeadingHalfPoints)
                                           .add(sprmCHpsBi, kHeadingHalfPoints)
                                           .add(sprmCHpsKern, kHeadingHalfPoints)
                                           .add(sprmCRgFtc0, kFontArial)
                                           .add(sprmCRgFtc2, kFontArial)
                                           .add(sprmCFtcBi, kFontArial)
                                           .bytes();
  return {
      {kIstdNormal, styleBytes({kStiNormal,
                                kStkParagraph,
                                kIstdNil,
                                kIstdNormal,
                                QStringLiteral("Normal"),
                                {paragraphUpx(kIstdNormal, {}), {}}})},
      {kIstdHeading1,
       styleBytes({kStiHeading1,
                   kStkParagraph,
                   kIstdNormal,
                   kIstdNormal,
                   QStringLiteral("heading 1"),
                   {paragraphUpx(kIstdHeading1, headingParagraph), headingCharacters}})},
      {kIstdDefaultParagraphFont, styleBytes({kStiDefaultParagraphFont,
                                              kStkCharacter,
                                              kIstdNil,
                                              kIstdDefaultParagraphFont,
                                              QStringLiteral("Default Paragraph Font"),
                                              {{}}})},
  };
}

// STSHI: Stshif, ftcBi and the latent style data (one empty LSD per
// built-in style identifier).
void writeStyleSheetInformation(LeBuffer &table) {
  constexpr std::uint16_t kFStdStylenamesWritten = 1;
  constexpr std::uint16_t kFontTimesNewRoman = 0;
  table.u16(18 + 2 + 2 + kCbLsd * kStiMaxWhenSaved);  // cbStshi
  table.u16(kIstdMaxFixed);                           // cstd
  table.u16(kCbStdBase);
  table.u16(kFStdStylenamesWritten);
  table.u16(kStiMaxWhenSaved);
  table.u16(kIstdMaxFixed);
  table.u16(0);                   // nVerBuiltInNamesWhenSaved
  table.u16(kFontTimesNewRoman);  // ftcAsci
  table.u16(kFontTimesNewRoman);  // ftcFE
  table.u16(kFontTimesNewRoman);  // ftcOther
  table.u16(kFontTimesNewRoman);  // ftcBi
  table.u16(kCbLsd);
  table.zeros(kCbLsd * kStiMaxWhenSaved);
}

// ---- Font table -------------------------------------------------------------------

struct FontSpec {
  const char16_t *name;
  std::uint8_t family;  // FF_DONTCARE 0, FF_ROMAN 1, FF_SWISS 2, FF_DECORATIVE 5
  std::uint8_t charset;
  std::array<std::uint8_t, 10> panose;
};

constexpr std::uint8_t kFamilyDontCare = 0;
constexpr std::uint8_t kFamilyDecorative = 5;
constexpr std::uint8_t kAnsiCharset = 0;
constexpr std::uint8_t kSymbolCharset = 2;

constexpr FontSpec kStyleFonts[kFirstRunFont] = {
    {u"Times New Roman", 1, kAnsiCharset, {2, 2, 6, 3, 5, 4, 5, 2, 3, 4}},
    {u"Symbol", 1, kSymbolCharset, {5, 5, 1, 2, 1, 7, 6, 2, 5, 7}},
    {u"Arial", 2, kAnsiCharset, {2, 11, 6, 4, 2, 2, 2, 2, 2, 4}},
};

// An FFN behind its size less one (cbFfnM1).
void writeFont(LeBuffer &table, const QString &name, std::uint8_t family, std::uint8_t charset,
               const std::array<std::uint8_t, 10> &panose) {
  constexpr std::uint8_t kVariablePitch = 2;
  constexpr std::uint8_t kTrueType = 0x04;
  constexpr std::uint16_t kRegularWeight = 400;
  constexpr std::uint32_t kFontSignatureSize = 24;
  LeBuffer ffn;
  ffn.u8(std::uint8_t(kVariablePitch | kTrueType | family << 4));
  ffn.u16(kRegularWeight);
  ffn.u8(charset);
  ffn.u8(0);  // ixchSzAlt: no alternative name
  for (std::uint8_t b : panose) ffn.u8(b);
  ffn.zeros(kFontSignatureSize);
  ffn.utf16(name);
  ffn.u16(0);
  table.u8(std::uint8_t(ffn.size()));
  table.append(ffn.bytes());
}

// ---- Document settings ------------------------------------------------------------

// A date and local time as a DTTM: minute, hour, day, month, year since
// 1900 and weekday in bit fields; 0 when unknown or out of range.
std::uint32_t dttm(const QDateTime &when) {
  if (!when.isValid()) return 0;
  const QDateTime local = when.toLocalTime();
  const QDate date = local.date();
  const QTime time = local.time();
  const int years = date.year() - 1900;
  if (years < 0 || years > 511) return 0;
  return std::uint32_t(time.minute()) | std::uint32_t(time.hour()) << 6 |
         std::uint32_t(date.day()) << 11 | std::uint32_t(date.month()) << 16 |
         std::uint32_t(years) << 20 | std::uint32_t(date.dayOfWeek() % 7) << 29;
}

}  // namespace

void writeStyleSheet(LeBuffer &table) {
  writeStyleSheetInformation(table);
  const auto styles = builtInStyles();
  for (std::uint16_t istd = 0; istd < kIstdMaxFixed; ++istd) {
    const QByteArray *style = nullptr;
    for (const auto &[at, bytes] : styles) {
      if (at == istd) style = &bytes;
    }
    table.u16(style ? std::uint16_t(style->size()) : 0);  // an empty slot
    if (style) table.append(*style);
  }
}

void writeFontTable(LeBuffer &table, const QStringList &runFonts,
                    const std::vector<bool> &symbolFonts) {
  table.u16(std::uint16_t(kFirstRunFont + runFonts.size()));  // cData
  table.u16(0);                                               // cbExtra
  for (const FontSpec &font : kStyleFonts)
    writeFont(table, QString::fromUtf16(font.name), font.family, font.charset, font.panose);
  for (qsizetype i = 0; i < runFonts.size(); ++i) {
    const bool symbol = symbolFonts[std::size_t(i)];
    writeFont(table, runFonts[i], symbol ? kFamilyDecorative : kFamilyDontCare,
              symbol ? kSymbolCharset : kAnsiCharset, {});
  }
}

void writeSectionTable(LeBuffer &table, std::uint32_t ccpText, std::uint32_t fcSepx) {
  table.u32(0);
  table.u32(ccpText);
  table.u16(0);  // fn
  table.u32(fcSepx);
  table.u16(0);           // fnMpr
  table.u32(0xFFFFFFFF);  // fcMpr
}

void writeSepx(LeBuffer &wordDocument) {
  using namespace sprm;
  const std::pair<std::uint16_t, std::uint16_t> sprms[] = {
      {sprmSXaPage, 11906},  {sprmSYaPage, 16838}, {sprmSDxaLeft, 1440},
      {sprmSDxaRight, 1440}, {sprmSDyaTop, 1440},  {sprmSDyaBottom, 1440},
  };
  Grpprl grpprl;
  for (const auto &[sprm, operand] : sprms) grpprl.add(sprm, operand);
  wordDocument.u16(std::uint16_t(grpprl.bytes().size()));
  wordDocument.append(grpprl.bytes());
}

void writeDop(LeBuffer &table, const QDateTime &created, const QDateTime &saved) {
  constexpr std::uint32_t kDop97Size = 500;
  const std::uint32_t start = table.size();
  table.zeros(kDop97Size);
  table.putU16(start + 0x00, 0x0002);  // fWidowControl
  table.putU16(start + 0x02, 1 << 2);  // footnotes numbered from 1
  table.putU16(start + 0x0A, 720);     // dxaTab: default tab stop every half inch
  table.putU16(start + 0x0E, 360);     // dxaHotZ
  table.putU32(start + 0x14, dttm(created));
  table.putU32(start + 0x18, dttm(saved));
  table.putU16(start + 0x34, 1 << 2);    // endnotes numbered from 1
  table.putU16(start + 0x52, 100 << 3);  // wScaleSaved: 100 %
}

void writeAssociatedStrings(LeBuffer &table, const QString &title) {
  constexpr std::uint16_t kExtended = 0xFFFF;  // strings of UTF-16 characters
  constexpr std::uint16_t kStrings = 18;
  constexpr std::uint16_t kTitle = 2;
  constexpr qsizetype kMaxLength = 255;
  table.u16(kExtended);
  table.u16(kStrings);
  table.u16(0);  // cbExtra
  for (std::uint16_t i = 0; i < kStrings; ++i) {
    QString text = i == kTitle ? title.left(kMaxLength) : QString();
    if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
    table.u16(std::uint16_t(text.size()));
    table.utf16(text);
  }
}

void writeClx(LeBuffer &table, std::uint32_t ccpText, std::uint32_t fcText) {
  constexpr std::uint8_t kClxtPcdt = 0x02;
  table.u8(kClxtPcdt);
  table.u32(2 * 4 + 8);  // PlcPcd: two CPs and one Pcd
  table.u32(0);
  table.u32(ccpText);
  table.u16(0);       // fNoParaLast and reserved bits
  table.u32(fcText);  // fc, fCompressed = 0: two bytes per character
  table.u16(0);       // prm: no properties
}

}  // namespace office::doc
