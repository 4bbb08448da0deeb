#pragma once

// A scripted presentation application for tests of the job and the
// extractors. Every call is recorded in a shared call log, so tests can check
// the order of calls; shapes export small marker files; any call can be made
// to fail.

#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "common/error.h"
#include "office/model/powerpoint.h"

namespace fake {

struct CallLog {
  QStringList calls;
};

struct ShapeSpec {
  std::int32_t type = PowerPoint::msoAutoShape;
  QString text;         // what TextRange.Text gives
  bool hasText = true;  // false: TextFrame fails, as for a picture
  bool failExport = false;
  bool unreadable = false;             // Export throws morvane::PictureError
  std::function<void()> duringExport;  // runs while Export writes
};

using SlideSpec = std::vector<ShapeSpec>;

class TextRange : public PowerPoint::TextRange {
 public:
  explicit TextRange(QString text) : text_(std::move(text)) {}
  QString Text() const override { return text_; }

 private:
  QString text_;
};

class TextFrame : public PowerPoint::TextFrame {
 public:
  explicit TextFrame(QString text) : text_(std::move(text)) {}
  std::shared_ptr<PowerPoint::TextRange> TextRange() override {
    return std::make_shared<fake::TextRange>(text_);
  }

 private:
  QString text_;
};

class Shape : public PowerPoint::Shape {
 public:
  Shape(ShapeSpec spec, std::shared_ptr<CallLog> log)
      : spec_(std::move(spec)), log_(std::move(log)) {}
  std::int32_t Type() const override { return spec_.type; }
  void Export(const QString &path, PowerPoint::PpShapeFormat filter, std::int32_t scaleWidth,
              std::int32_t scaleHeight, PowerPoint::PpExportMode mode) override {
    log_->calls << QStringLiteral("Export %1 %2 %3 %4 %5")
                       .arg(path)
                       .arg(int(filter))
                       .arg(scaleWidth)
                       .arg(scaleHeight)
                       .arg(int(mode));
    if (spec_.failExport) throw morvane::Error(QStringLiteral("export failed"));
    if (spec_.unreadable) throw morvane::PictureError(QStringLiteral("the picture is damaged"));
    if (spec_.duringExport) spec_.duringExport();
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
      throw morvane::Error(QStringLiteral("cannot write ") + path);
    out.write("fake");
  }
  std::shared_ptr<PowerPoint::TextFrame> TextFrame() override {
    if (!spec_.hasText) throw morvane::Error(QStringLiteral("This shape has no text frame"));
    return std::make_shared<fake::TextFrame>(spec_.text);
  }

 private:
  ShapeSpec spec_;
  std::shared_ptr<CallLog> log_;
};

class Shapes : public PowerPoint::Shapes {
 public:
  Shapes(const SlideSpec &spec, std::shared_ptr<CallLog> log) {
    for (const auto &s : spec) shapes_.push_back(std::make_shared<fake::Shape>(s, log));
  }
  std::int32_t Count() const override { return std::int32_t(shapes_.size()); }
  std::shared_ptr<PowerPoint::Shape> Item(std::int32_t index) override {
    if (index < 1 || index > Count())
      throw morvane::Error(QStringLiteral("shape index out of range"));
    return shapes_[size_t(index - 1)];
  }

 private:
  std::vector<std::shared_ptr<fake::Shape>> shapes_;
};

class Slide : public PowerPoint::Slide {
 public:
  Slide(SlideSpec spec, std::shared_ptr<CallLog> log)
      : spec_(std::move(spec)), log_(std::move(log)) {}
  std::shared_ptr<PowerPoint::Shapes> Shapes() override {
    return std::make_shared<fake::Shapes>(spec_, log_);
  }

 private:
  SlideSpec spec_;
  std::shared_ptr<CallLog> log_;
};

class Slides : public PowerPoint::Slides {
 public:
  Slides(const std::vector<SlideSpec> &spec, std::shared_ptr<CallLog> log) {
    for (const auto &s : spec) slides_.push_back(std::make_shared<fake::Slide>(s, log));
  }
  std::int32_t Count() const override { return std::int32_t(slides_.size()); }
  std::shared_ptr<PowerPoint::Slide> Item(std::int32_t index) override {
    if (index < 1 || index > Count())
      throw morvane::Error(QStringLiteral("slide index out of range"));
    return slides_[size_t(index - 1)];
  }

 private:
  std::vector<std::shared_ptr<fake::Slide>> slides_;
};

class Presentation : public PowerPoint::Presentation {
 public:
  Presentation(std::vector<SlideSpec> spec, std::shared_ptr<CallLog> log)
      : spec_(std::move(spec)), log_(std::move(log)) {}
  std::shared_ptr<PowerPoint::Slides> Slides() override {
    return std::make_shared<fake::Slides>(spec_, log_);
  }

 private:
  std::vector<SlideSpec> spec_;
  std::shared_ptr<CallLog> log_;
};

// The application: Open records the file name and makes the scripted
// presentation active; failOpen makes Open throw.
class Application : public PowerPoint::Application,
                    public PowerPoint::Presentations,
                    public std::enable_shared_from_this<Application> {
 public:
  Application(std::vector<SlideSpec> slides, std::shared_ptr<CallLog> log)
      : slides_(std::move(slides)), log_(std::move(log)) {
    log_->calls << QStringLiteral("create");
  }
  bool failOpen = false;

  void put_Visible(PowerPoint::MsoTriState v) override {
    log_->calls << QStringLiteral("Visible %1").arg(int(v));
  }
  void put_WindowState(PowerPoint::PpWindowState s) override {
    log_->calls << QStringLiteral("WindowState %1").arg(int(s));
  }
  std::shared_ptr<PowerPoint::Presentations> Presentations() override { return shared_from_this(); }
  std::shared_ptr<PowerPoint::Presentation> Open(const QString &fileName,
                                                 PowerPoint::MsoTriState readOnly,
                                                 PowerPoint::MsoTriState untitled,
                                                 PowerPoint::MsoTriState withWindow) override {
    log_->calls << QStringLiteral("Open %1 %2 %3 %4")
                       .arg(fileName)
                       .arg(int(readOnly))
                       .arg(int(untitled))
                       .arg(int(withWindow));
    if (failOpen) throw morvane::Error(QStringLiteral("it is encrypted"));
    active_ = std::make_shared<fake::Presentation>(slides_, log_);
    return active_;
  }
  std::shared_ptr<PowerPoint::Presentation> ActivePresentation() override {
    if (!active_) throw morvane::Error(QStringLiteral("no active presentation"));
    return active_;
  }
  void Quit() override {
    log_->calls << QStringLiteral("Quit");
    active_.reset();
  }

 private:
  std::vector<SlideSpec> slides_;
  std::shared_ptr<CallLog> log_;
  std::shared_ptr<fake::Presentation> active_;
};

}  // namespace fake
