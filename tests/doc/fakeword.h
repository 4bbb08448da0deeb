#pragma once

// A scripted word processor for tests of the text harvest: every call is
// recorded in order, and SaveAs can be made to fail.

#include <QStringList>
#include <memory>

#include "common/error.h"
#include "office/model/word.h"

namespace fakeword {

struct Script {
  QStringList calls;
  bool failSaveAs = false;
  int applicationsCreated = 0;
};

class Font : public Word::Font {
 public:
  explicit Font(std::shared_ptr<Script> s) : script_(std::move(s)) {}
  void put_Name(const QString &Name) override { script_->calls << QStringLiteral("Font ") + Name; }

 private:
  std::shared_ptr<Script> script_;
};

class Range : public Word::Range {
 public:
  explicit Range(std::shared_ptr<Script> s) : script_(std::move(s)) {}
  void InsertAfter(const QString &Text) override {
    script_->calls << QStringLiteral("InsertAfter ") + Text;
  }
  std::shared_ptr<Word::Font> Font() override { return std::make_shared<fakeword::Font>(script_); }
  void put_Style(Word::WdBuiltinStyle Style) override {
    script_->calls << QStringLiteral("Style %1").arg(int(Style));
  }

 private:
  std::shared_ptr<Script> script_;
};

class Paragraph : public Word::Paragraph {
 public:
  explicit Paragraph(std::shared_ptr<Script> s) : script_(std::move(s)) {}
  std::shared_ptr<Word::Range> Range() override {
    script_->calls << QStringLiteral("Range");
    return std::make_shared<fakeword::Range>(script_);
  }

 private:
  std::shared_ptr<Script> script_;
};

class Paragraphs : public Word::Paragraphs {
 public:
  explicit Paragraphs(std::shared_ptr<Script> s) : script_(std::move(s)) {}
  std::shared_ptr<Word::Paragraph> Item(std::int32_t Index) override {
    script_->calls << QStringLiteral("Item %1").arg(Index);
    return std::make_shared<Paragraph>(script_);
  }

 private:
  std::shared_ptr<Script> script_;
};

class Document : public Word::Document {
 public:
  explicit Document(std::shared_ptr<Script> s) : script_(std::move(s)) {}
  std::shared_ptr<Word::Paragraphs> Paragraphs() override {
    script_->calls << QStringLiteral("Paragraphs");
    return std::make_shared<fakeword::Paragraphs>(script_);
  }
  void SaveAs(const QString &FileName) override {
    script_->calls << QStringLiteral("SaveAs ") + FileName;
    if (script_->failSaveAs)
      throw morvane::Error(QStringLiteral("Cannot save the document ") + FileName);
  }
  void Close() override { script_->calls << QStringLiteral("Close"); }
  std::shared_ptr<Word::Range> Range(std::int32_t Start, std::int32_t End) override {
    script_->calls << QStringLiteral("Range %1 %2").arg(Start).arg(End);
    return std::make_shared<fakeword::Range>(script_);
  }
  void put_Title(const QString &Title) override {
    script_->calls << QStringLiteral("Title ") + Title;
  }

 private:
  std::shared_ptr<Script> script_;
};

class Documents : public Word::Documents {
 public:
  explicit Documents(std::shared_ptr<Script> s) : script_(std::move(s)) {}
  std::shared_ptr<Word::Document> Add() override {
    script_->calls << QStringLiteral("Add");
    return std::make_shared<Document>(script_);
  }

 private:
  std::shared_ptr<Script> script_;
};

class Application : public Word::Application {
 public:
  explicit Application(std::shared_ptr<Script> s) : script_(std::move(s)) {
    ++script_->applicationsCreated;
    script_->calls << QStringLiteral("create");
  }
  std::shared_ptr<Word::Documents> Documents() override {
    script_->calls << QStringLiteral("Documents");
    return std::make_shared<fakeword::Documents>(script_);
  }
  void Quit() override { script_->calls << QStringLiteral("Quit"); }

 private:
  std::shared_ptr<Script> script_;
};

}  // namespace fakeword
