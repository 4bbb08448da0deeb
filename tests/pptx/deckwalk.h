#pragma once

// A walk over everything the object model offers for a presentation: every
// slide, notes page, master and layout with their groups; every text read,
// every picture described and exported, every chart drawn, every background
// exported. A stored picture met again (a background every layout shows) is
// exported once, as the job skips byte-identical outputs. Failures that the
// reader reports (morvane::Error) are counted, never passed on. Shared by
// the fuzzer and the replay of what it found.

#include <QCryptographicHash>
#include <QDir>
#include <QSet>
#include <QString>

#include "common/error.h"
#include "office/model/powerpoint.h"

namespace testpptx {

struct WalkCount {
  int shapes = 0;
  int exported = 0;
  int failures = 0;
};

class DeckWalk {
 public:
  explicit DeckWalk(QString outputFolder) : folder_(std::move(outputFolder)) {}

  void walk(PowerPoint::Presentation &presentation) {
    auto slides = presentation.Slides();
    for (std::int32_t i = 1; i <= slides->Count(); ++i)
      tolerate([&] {
        auto slide = slides->Item(i);
        walkSlide(*slide);
        if (slide->HasNotesPage() == PowerPoint::msoTrue) walkSlide(*slide->NotesPage());
      });
    tolerate([&] {
      auto designs = presentation.Designs();
      for (std::int32_t d = 1; d <= designs->Count(); ++d) {
        auto design = designs->Item(d);
        walkSlide(*design->SlideMaster());
        for (std::int32_t l = 1; l <= design->CustomLayoutCount(); ++l)
          tolerate([&] { walkSlide(*design->CustomLayout(l)); });
      }
    });
  }

  const WalkCount &count() const { return count_; }

 private:
  static constexpr int kMaxGroupDepth = 8;

  template <class F>
  void tolerate(F f) {
    try {
      f();
    } catch (const morvane::Error &) {
      ++count_.failures;
    }
  }

  void walkSlide(PowerPoint::Slide &slide) {
    tolerate([&] {
      auto shapes = slide.Shapes();
      for (std::int32_t i = 1; i <= shapes->Count(); ++i) walkShape(*shapes->Item(i), 0);
    });
    tolerate([&] {
      slide.FollowMasterBackground();
      walkShape(*slide.Background(), 0);
    });
  }

  void walkShape(PowerPoint::Shape &shape, int depth) {
    ++count_.shapes;
    const std::int32_t type = shape.Type();
    tolerate([&] {
      if (shape.HasTextFrame() != PowerPoint::msoTrue) return;
      auto range = shape.TextFrame()->TextRange();
      range->Text();
      range->Characters(2, 3)->Font()->Name();
    });
    tolerate([&] { shape.Fill()->Type(); });
    bool seen = false;
    tolerate([&] {
      const PowerPoint::StoredPicture stored = shape.Picture();
      const QByteArray key =
          QCryptographicHash::hash(shape.OriginalPicture(), QCryptographicHash::Sha1) +
          QByteArray::number(stored.cropLeft + 3 * stored.cropTop + 5 * stored.cropRight +
                             7 * stored.cropBottom);
      seen = exported_.contains(key);
      exported_.insert(key);
    });
    if (!seen)
      tolerate([&] {
        const bool chart = type == PowerPoint::msoChart || type == PowerPoint::msoEmbeddedOLEObject;
        shape.Export(
            QDir(folder_).filePath(chart ? QStringLiteral("Graph.Bmp") : QStringLiteral("Img.Jpg")),
            chart ? PowerPoint::ppShapeFormatBMP : PowerPoint::ppShapeFormatJPG);
        shape.ExportWarning();
        ++count_.exported;
      });
    if (type == PowerPoint::msoGroup && depth < kMaxGroupDepth)
      tolerate([&] {
        auto items = shape.GroupItems();
        for (std::int32_t i = 1; i <= items->Count(); ++i) walkShape(*items->Item(i), depth + 1);
      });
  }

  QString folder_;
  WalkCount count_;
  QSet<QByteArray> exported_;
};

}  // namespace testpptx
