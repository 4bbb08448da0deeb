#pragma once

// Writer of Word 97-2003 binary documents: a compound file holding the
// WordDocument stream (file information block, the text as UTF-16, the
// formatting pages), the 1Table stream (style sheet, font table, section
// table, bin tables, document properties, associated strings, piece table),
// the CompObj stream that names the document's type, and the two property
// set streams (title, application, creation and save times). The document
// has one section and one piece of uncompressed text; paragraphs are
// "Normal" or Word's built-in "Heading 1", right-to-left where their first
// strong character is right-to-left.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace office::doc {

// Characters [start, end) of the text given to the writer (UTF-16 code
// units, counted from 0). The final paragraph mark, which the writer adds,
// is at position text.size().
struct Span {
  qsizetype start = 0;
  qsizetype end = 0;
};

// Characters set in a named font.
struct FontSpan {
  Span span;
  QString font;
};

// What a document holds.
struct DocumentContent {
  // The text as it was given (see documentText for what the document makes
  // of it). Positions of the spans below count its code units.
  QString text{};
  // Character formatting: spans in order, not overlapping.
  std::vector<FontSpan> fonts{};
  // Paragraphs in "Heading 1": a paragraph is a heading when its paragraph
  // mark lies in one of these spans (in order, not overlapping).
  std::vector<Span> headings{};
  // The document properties; times not given are the time of writing.
  QString title{};
  QDateTime created{};
  QDateTime saved{};
};

// The document text for the given text: CR (and LF, and CR LF) become
// paragraph marks, VT a manual line break, TAB a tab; other control
// characters, which Word would read as fields, objects or cell marks, are
// dropped; a lone half of a surrogate pair, which is no character, becomes
// U+FFFD; the text ends with the final paragraph mark.
QString documentText(const QString &text);

// The complete compound file of a document.
QByteArray buildDocument(const DocumentContent &content);

// Writes the document at path: into a temporary file in the same folder,
// placed under its name at the end. It never replaces an existing file; on
// any failure no document and no temporary file remain, and the error gives
// the system's reason.
void writeDocument(const DocumentContent &content, const QString &path);

}  // namespace office::doc
