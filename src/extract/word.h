#pragma once

// The subset of the word processor's object model that the text harvest
// drives. Names mirror the published Word interfaces (_Application,
// Documents, _Document, Paragraphs, Paragraph, Range); our writer in
// office/doc implements them and tests substitute fakes. Every failing call
// throws morvane::Error.

#include <QString>
#include <cstdint>
#include <memory>

namespace Word {

class Range {
 public:
  virtual ~Range() = default;
  virtual void InsertAfter(const QString &Text) = 0;
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
