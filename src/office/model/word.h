#pragma once

// The subset of the word processor's object model that the text harvest
// drives. Names mirror the published Word interfaces (_Application,
// Documents, _Document, Paragraphs, Paragraph, Range, Font); our writer in
// office/doc implements them and tests substitute fakes. Every failing call
// throws morvane::Error.
//
// Members beyond the first round have default implementations that fail, so
// a fake implements only what its test drives.

#include <QString>
#include <cstdint>
#include <memory>

#include "common/error.h"

namespace Word {

// Built-in styles (WdBuiltinStyle), as Range.Style takes them.
enum WdBuiltinStyle : std::int32_t {
  wdStyleNormal = -1,
  wdStyleHeading1 = -2,
};

[[noreturn]] inline void notOffered(const char *member) {
  throw morvane::Error(
      QStringLiteral("%1 is not offered by this word processor").arg(QLatin1String(member)));
}

class Font {
 public:
  virtual ~Font() = default;
  // Sets the characters in the named font (for every character set).
  virtual void put_Name(const QString &Name) = 0;
};

class Range {
 public:
  virtual ~Range() = default;
  // Inserts Text behind the range (behind a paragraph's mark, or before the
  // final paragraph mark for the last paragraph). The inserted characters
  // take the font of the character before them and the style of the
  // paragraph they land in.
  virtual void InsertAfter(const QString &Text) = 0;
  // The character formatting of the range.
  virtual std::shared_ptr<Word::Font> Font() { notOffered("Range.Font"); }
  // Gives every paragraph the range touches a built-in style (the whole
  // paragraph, its mark included).
  virtual void put_Style(WdBuiltinStyle Style) {
    (void)Style;
    notOffered("Range.Style");
  }
};

class Paragraph {
 public:
  virtual ~Paragraph() = default;
  virtual std::shared_ptr<Word::Range> Range() = 0;
};

class Paragraphs {
 public:
  virtual ~Paragraphs() = default;
  virtual std::shared_ptr<Paragraph> Item(std::int32_t Index) = 0;
};

// _Document.
class Document {
 public:
  virtual ~Document() = default;
  virtual std::shared_ptr<Word::Paragraphs> Paragraphs() = 0;
  // The characters from Start up to (not including) End, as
  // Document.Range(Start, End) gives them. Positions count the UTF-16 code
  // units of the text as it was inserted, from 0; the final paragraph mark
  // is at the text's length, so End may be one more. A caller counts in the
  // text it passed to InsertAfter and never needs to know how the document
  // stores it: where the stored text differs (CR LF and LF become one
  // paragraph mark, control characters other than TAB and VT are left out),
  // a range still covers the same characters. A range outside the text
  // fails.
  virtual std::shared_ptr<Word::Range> Range(std::int32_t Start, std::int32_t End) {
    (void)Start, (void)End;
    notOffered("Document.Range");
  }
  // The document's title in its properties (BuiltInDocumentProperties("Title")).
  virtual void put_Title(const QString &Title) {
    (void)Title;
    notOffered("Document.BuiltInDocumentProperties(Title)");
  }
  // Writes the document under FileName in the word processor's default
  // format (Word 97-2003 binary).
  virtual void SaveAs(const QString &FileName) = 0;
  virtual void Close() = 0;
};

class Documents {
 public:
  virtual ~Documents() = default;
  virtual std::shared_ptr<Document> Add() = 0;
};

// _Application.
class Application {
 public:
  virtual ~Application() = default;
  virtual std::shared_ptr<Word::Documents> Documents() = 0;
  virtual void Quit() = 0;
};

}  // namespace Word
