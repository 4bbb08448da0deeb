#pragma once

// The structures of the table stream ("1Table") and the section properties,
// each appended to a buffer.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "common/lebuffer.h"

namespace office::doc {

using morvane::LeBuffer;

// Style indexes (istd) of the styles paragraphs use.
constexpr std::uint16_t kIstdNormal = 0;
constexpr std::uint16_t kIstdHeading1 = 1;

// The font table starts with the fonts the styles use; fonts that runs
// name follow from this index on.
constexpr int kFirstRunFont = 3;
// The most fonts a document names (font indexes are signed 16-bit).
constexpr int kMaxFonts = 0x7FFF;

// The style sheet: the fixed slots up to "No List", with "Normal",
// "heading 1" and "Default Paragraph Font" filled.
void writeStyleSheet(LeBuffer &table);

// The font table: the styles' fonts, then the given fonts; a font marked in
// symbolFonts gets the symbol character set.
void writeFontTable(LeBuffer &table, const QStringList &runFonts,
                    const std::vector<bool> &symbolFonts);

// The section table: one section over the text, its properties at fcSepx.
void writeSectionTable(LeBuffer &table, std::uint32_t ccpText, std::uint32_t fcSepx);

// The section's properties: an A4 page with 2.54 cm margins.
void writeSepx(LeBuffer &wordDocument);

// The document's settings, with its creation and save times.
void writeDop(LeBuffer &table, const QDateTime &created, const QDateTime &saved);

// The strings associated with the document; the title among them.
void writeAssociatedStrings(LeBuffer &table, const QString &title);

// The piece table: the whole text in one piece of UTF-16 at fcText.
void writeClx(LeBuffer &table, std::uint32_t ccpText, std::uint32_t fcText);

}  // namespace office::doc
