#include "office/doc/wordapp.h"

#include <vector>

#include "common/error.h"
#include "office/doc/doclayout.h"
#include "office/doc/docwriter.h"
#include "office/doc/spanmap.h"

namespace office::doc {
namespace {

constexpr char16_t kCarriageReturn = 0x000D;
constexpr char16_t kLineFeed = 0x000A;

bool isParagraphEnd(QChar c) { return c == kCarriageReturn || c == kLineFeed; }

// A document: the text as inserted and its formatting. Positions count the
// UTF-16 code units of that text; the final paragraph mark, which the
// writer adds, is at text.size(). A paragraph ends with CR, LF or CR LF.
class Document : public Word::Document, public std::enable_shared_from_this<Document> {
 public:
  std::shared_ptr<Word::Paragraphs> Paragraphs() override;
  std::shared_ptr<Word::Range> Range(std::int32_t Start, std::int32_t End) override;
  void put_Title(const QString &Title) override {
    ensureOpen();
    title_ = Title;
  }
  void SaveAs(const QString &FileName) override {
    ensureOpen();
    writeDocument(content(), FileName);
  }
  void Close() override {
    ensureOpen();
    closed_ = true;
  }

  qsizetype paragraphCount() const {
    qsizetype marks = 0;
    for (qsizetype i = 0; i < text_.size(); ++i) marks += isMark(i);
    return marks + 1;
  }

  // Paragraph index (1-based) with its paragraph mark.
  Span paragraph(qsizetype index) const {
    qsizetype start = 0;
    for (qsizetype i = 0; i < text_.size() && index > 1; ++i) {
      if (!isMark(i)) continue;
      start = markEnd(i);
      --index;
    }
    return {start, paragraphEnd(start)};
  }

  // Inserts text at position; it takes the font of the character before and
  // the style of the paragraph it lands in.
  void insert(qsizetype position, const QString &text) {
    ensureOpen();
    text_.insert(position, text);
    fonts_.insert(position, text.size(), true);
    headings_.insert(position, text.size(), false);
  }

  void setFont(const Span &span, const QString &name) {
    ensureOpen();
    fonts_.assign(span.start, span.end, usableFontName(name));
  }

  // Gives every paragraph the span touches the style.
  void setHeading(const Span &span, bool heading) {
    ensureOpen();
    const qsizetype start = paragraphStart(span.start);
    const qsizetype end = paragraphEnd(span.end > span.start ? span.end - 1 : span.start);
    headings_.assign(start, end, heading);
  }

  qsizetype size() const { return text_.size(); }
  bool isOpen() const { return !closed_; }
  void ensureOpen() const {
    if (closed_) throw morvane::Error(QStringLiteral("The document has been closed"));
  }

 private:
  // Whether a paragraph mark starts at i (the LF of CR LF is part of it).
  bool isMark(qsizetype i) const {
    return text_[i] == kCarriageReturn ||
           (text_[i] == kLineFeed && (i == 0 || text_[i - 1] != kCarriageReturn));
  }
  qsizetype markEnd(qsizetype i) const {
    return text_[i] == kCarriageReturn && i + 1 < text_.size() && text_[i + 1] == kLineFeed ? i + 2
                                                                                            : i + 1;
  }
  // The start of the paragraph holding position.
  qsizetype paragraphStart(qsizetype position) const {
    qsizetype start = std::min(position, text_.size());
    if (start > 0 && start < text_.size() && !isMark(start) && isParagraphEnd(text_[start]))
      --start;  // the LF of a CR LF belongs to the paragraph the CR ends
    while (start > 0 && !isParagraphEnd(text_[start - 1])) --start;
    return start;
  }
  // The end of the paragraph holding position, behind its mark.
  qsizetype paragraphEnd(qsizetype position) const {
    for (qsizetype i = position; i < text_.size(); ++i) {
      if (isParagraphEnd(text_[i])) return markEnd(i);
    }
    return text_.size() + 1;
  }

  DocumentContent content() const {
    DocumentContent content;
    content.text = text_;
    for (const auto &segment : fonts_.segments(text_.size() + 1))
      content.fonts.push_back({{segment.start, segment.end}, segment.value});
    for (const auto &segment : headings_.segments(text_.size() + 1))
      content.headings.push_back({segment.start, segment.end});
    content.title = title_;
    content.created = created_;
    content.saved = QDateTime::currentDateTimeUtc();
    return content;
  }

  QString text_;
  SpanMap<QString> fonts_;
  SpanMap<bool> headings_;
  QString title_;
  QDateTime created_ = QDateTime::currentDateTimeUtc();
  bool closed_ = false;
};

class Font : public Word::Font {
 public:
  Font(std::shared_ptr<Document> document, Span span)
      : document_(std::move(document)), span_(span) {}
  void put_Name(const QString &Name) override { document_->setFont(span_, Name); }

 private:
  std::shared_ptr<Document> document_;
  Span span_;
};

// A range of characters, or a paragraph's range, found when it is used so
// that it follows the text inserted before.
class Range : public Word::Range {
 public:
  Range(std::shared_ptr<Document> document, Span span, qsizetype paragraph = 0)
      : document_(std::move(document)), span_(span), paragraph_(paragraph) {}

  // Inserts behind the range; behind the final paragraph mark means before
  // it, at the end of the text. The range grows over the inserted text.
  void InsertAfter(const QString &Text) override {
    const Span now = span();
    document_->insert(std::min(now.end, document_->size()), Text);
    if (!paragraph_) span_.end += Text.size();
  }
  std::shared_ptr<Word::Font> Font() override {
    document_->ensureOpen();
    return std::make_shared<doc::Font>(document_, span());
  }
  void put_Style(Word::WdBuiltinStyle Style) override {
    if (Style != Word::wdStyleNormal && Style != Word::wdStyleHeading1)
      throw morvane::Error(QStringLiteral("The style %1 is not offered by this word processor")
                               .arg(std::int32_t(Style)));
    document_->setHeading(span(), Style == Word::wdStyleHeading1);
  }

 private:
  Span span() const { return paragraph_ ? document_->paragraph(paragraph_) : span_; }

  std::shared_ptr<Document> document_;
  Span span_;
  qsizetype paragraph_;
};

class Paragraph : public Word::Paragraph {
 public:
  Paragraph(std::shared_ptr<Document> document, qsizetype index)
      : document_(std::move(document)), index_(index) {}
  std::shared_ptr<Word::Range> Range() override {
    return std::make_shared<doc::Range>(document_, Span{}, index_);
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

std::shared_ptr<Word::Range> Document::Range(std::int32_t Start, std::int32_t End) {
  ensureOpen();
  if (Start < 0 || End < Start || End > size() + 1)
    throw morvane::Error(
        QStringLiteral("The document has no characters from %1 to %2").arg(Start).arg(End));
  return std::make_shared<doc::Range>(shared_from_this(), Span{Start, End});
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
