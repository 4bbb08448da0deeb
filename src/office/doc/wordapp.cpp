#include "office/doc/wordapp.h"

#include <vector>

#include "common/error.h"
#include "office/doc/docwriter.h"

namespace office::doc {
namespace {

// A document: its text without the final paragraph mark, which every
// document has and which the writer adds.
class Document : public Word::Document, public std::enable_shared_from_this<Document> {
 public:
  std::shared_ptr<Word::Paragraphs> Paragraphs() override;
  void SaveAs(const QString &FileName) override {
    ensureOpen();
    writeDocument(text_, FileName);
  }
  void Close() override {
    ensureOpen();
    closed_ = true;
  }
  void put_Title(const QString &title) override {
    ensureOpen();
    title_ = title;
  }

  qsizetype paragraphCount() const { return text_.count(QLatin1Char('\r')) + 1; }

  // Inserts behind the paragraph mark of paragraph index (1-based); behind
  // the last paragraph means before the final mark, the end of the text.
  void insertAfterParagraph(qsizetype index, const QString &text) {
    ensureOpen();
    qsizetype at = 0;
    for (qsizetype i = 0; i < index; ++i) {
      at = text_.indexOf(QLatin1Char('\r'), at);
      if (at < 0) break;
      ++at;
    }
    text_.insert(at < 0 ? text_.size() : at, text);
  }

  bool isOpen() const { return !closed_; }
  void ensureOpen() const {
    if (closed_) throw morvane::Error(QStringLiteral("The document has been closed"));
  }

 private:
  QString text_;
  QString title_;
  bool closed_ = false;
};

class Range : public Word::Range {
 public:
  Range(std::shared_ptr<Document> document, qsizetype paragraph)
      : document_(std::move(document)), paragraph_(paragraph) {}
  void InsertAfter(const QString &Text) override {
    document_->insertAfterParagraph(paragraph_, Text);
  }

 private:
  std::shared_ptr<Document> document_;
  qsizetype paragraph_;
};

class Paragraph : public Word::Paragraph {
 public:
  Paragraph(std::shared_ptr<Document> document, qsizetype index)
      : document_(std::move(document)), index_(index) {}
  std::shared_ptr<Word::Range> Range() override {
    return std::make_shared<doc::Range>(document_, index_);
  }

 private:
  std::shared_ptr<Document> document_;
  qsizetype index_;
};

class Paragraphs : public Word::Paragraphs {
 public:
  explicit Paragraphs(std::shared_ptr<Document> document) : document_(std::move(document)) {}
  std::shared_ptr<Word::Paragraph> Item(std::int32_t Index) override {
    document_->ensureOpen();
    if (Index < 1 || Index > document_->paragraphCount())
      throw morvane::Error(QStringLiteral("The document has no paragraph %1").arg(Index));
    return std::make_shared<Paragraph>(document_, Index);
  }

 private:
  std::shared_ptr<Document> document_;
};

std::shared_ptr<Word::Paragraphs> Document::Paragraphs() {
  ensureOpen();
  return std::make_shared<doc::Paragraphs>(shared_from_this());
}

struct ApplicationState {
  bool quit = false;
  std::vector<std::weak_ptr<Document>> documents;
  void ensureRunning() const {
    if (quit) throw morvane::Error(QStringLiteral("The word processor has quit"));
  }
};

class Documents : public Word::Documents {
 public:
  explicit Documents(std::shared_ptr<ApplicationState> state) : state_(std::move(state)) {}
  std::shared_ptr<Word::Document> Add() override {
    state_->ensureRunning();
    auto document = std::make_shared<Document>();
    state_->documents.push_back(document);
    return document;
  }

 private:
  std::shared_ptr<ApplicationState> state_;
};

class Application : public Word::Application {
 public:
  std::shared_ptr<Word::Documents> Documents() override {
    state_->ensureRunning();
    return std::make_shared<doc::Documents>(state_);
  }
  // Ends the application; documents still open are closed unsaved.
  void Quit() override {
    state_->ensureRunning();
    for (const auto &weak : state_->documents) {
      if (auto document = weak.lock(); document && document->isOpen()) document->Close();
    }
    state_->quit = true;
  }

 private:
  std::shared_ptr<ApplicationState> state_ = std::make_shared<ApplicationState>();
};

}  // namespace

std::shared_ptr<Word::Application> createApplication() { return std::make_shared<Application>(); }

}  // namespace office::doc
