#pragma once

// DrawingML text bodies (p:txBody, a:txBody, c:rich) read into runs, and the
// text of a body as the object model gives it: paragraphs separated by CR,
// line breaks as VT (as the PowerPoint 97-2003 reader gives them), symbol
// fonts mapped to Unicode. Each character's run is kept, so a range of the
// text can tell its original typeface.

#include <QString>
#include <vector>

#include "office/pptx/slidemodel.h"

namespace office::pptx {

class XmlStream;

// Reads the text body at the current element; warpPreset (when given)
// receives a:bodyPr/a:prstTxWarp's preset.
TextBody readTextBody(XmlStream &xml, QString *warpPreset = nullptr);

// Text with, for each run, where it starts and the typeface it was set in.
struct ComposedText {
  struct Span {
    qsizetype start = 0;
    QString typeface;
  };
  QString text;
  std::vector<Span> spans;  // by start, ascending

  // The typeface of the character at index (0-based); the last run's for
  // the end of the text.
  QString typefaceAt(qsizetype index) const;
  // The typeface of the last run, or fallback when there is none yet.
  QString lastTypeface(const QString &fallback) const;
  void append(const QString &characters, const QString &typeface);
};

// Appends a body's text. theme resolves "+mn-lt" style font references;
// defaultTypeface is used for runs that name none.
void composeText(const TextBody &body, const Theme *theme, const QString &defaultTypeface,
                 ComposedText &out);
// A table's text: cells TAB-separated, one field per grid column (covered
// cells empty), each row ended by CR.
void composeTable(const Table &table, const Theme *theme, const QString &defaultTypeface,
                  ComposedText &out);

}  // namespace office::pptx
