#pragma once

// Writer of Word 97-2003 binary documents: a compound file holding the
// WordDocument stream (file information block, the text as UTF-16, the
// formatting pages), the 1Table stream (style sheet, font table, section
// table, bin tables, document properties, piece table) and the two property
// set streams. The document has one section, one style ("Normal") and one
// piece of uncompressed text.

#include <QByteArray>
#include <QString>

namespace office::doc {

// The document text for the given gathered text: CR (and LF, and CR LF)
// become paragraph marks, VT a manual line break, TAB a tab; other control
// characters, which Word would read as fields, objects or cell marks, are
// dropped; a lone half of a surrogate pair, which is no character, becomes
// U+FFFD; the text ends with the final paragraph mark.
QString documentText(const QString &text);

// The complete compound file of a document holding the given text.
QByteArray buildDocument(const QString &text);

// Writes the document for the given text at path: into a temporary file in
// the same folder, renamed into place at the end. It refuses to replace an
// existing file; on any failure no document and no temporary file remain.
void writeDocument(const QString &text, const QString &path);

}  // namespace office::doc
