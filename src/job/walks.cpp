#include "job/walks.h"

#include "job/interruption.h"

namespace job {

namespace {

using Place = ExtractionJob::Place;

bool isPictureFill(PowerPoint::MsoFillType type) {
  return type == PowerPoint::msoFillPicture || type == PowerPoint::msoFillTextured;
}

bool isEmbeddedObject(std::int32_t type) {
  return type == PowerPoint::msoEmbeddedOLEObject || type == PowerPoint::msoLinkedOLEObject ||
         type == PowerPoint::msoOLEControlObject;
}

// Whether the current shape holds a picture of its own: a picture, the
// preview of an embedded object other than a chart, or a picture fill.
bool holdsPicture(PowerPoint::Shape &shape) {
  const std::int32_t type = shape.Type();
  if (type == PowerPoint::msoPicture || isEmbeddedObject(type)) return true;
  if (type == PowerPoint::msoChart || type == PowerPoint::msoComment ||
      type == PowerPoint::msoLinkedPicture || type == PowerPoint::msoMedia)
    return false;
  const auto fill = shape.Fill();
  return isPictureFill(fill->Type()) && fill->Visible() == PowerPoint::msoTrue;
}

Place child(const Place &parent, std::int32_t index) {
  Place place = parent;
  place.shape = parent.shape.isEmpty() ? QString::number(index)
                                       : parent.shape + QLatin1Char('.') + QString::number(index);
  return place;
}

// A background that shows a picture of its own (not one it follows).
void visitBackground(ExtractionJob &job, PowerPoint::Slide &slide, bool mayFollowMaster,
                     const Place &where, const ShapeVisit &visit) {
  if (mayFollowMaster && slide.FollowMasterBackground() == PowerPoint::msoTrue) return;
  auto background = slide.Background();
  if (!isPictureFill(background->Fill()->Type())) return;
  throwIfInterrupted();
  job.CurrentShape = background;
  Place place = where;
  place.shape = QStringLiteral("background");
  visit(place);
}

void visitPictures(ExtractionJob &job, PowerPoint::Slide &slide, bool mayFollowMaster,
                   const Place &where, const ShapeVisit &visit) {
  visitBackground(job, slide, mayFollowMaster, where, visit);
  walkShapesDeep(job, slide.Shapes(), where, [&](const Place &place) {
    if (holdsPicture(*job.CurrentShape)) visit(place);
  });
}

void visitMasters(ExtractionJob &job, const ShapeVisit &visit) {
  const auto designs = job.PowerPointApp->ActivePresentation()->Designs();
  const std::int32_t designCount = designs->Count();
  for (std::int32_t d = 1; d <= designCount; ++d) {
    const auto design = designs->Item(d);
    auto master = design->SlideMaster();
    job.CurrentSlide = master;
    visitPictures(job, *master, false, {QStringLiteral("master %1").arg(d), 0, {}}, visit);
    const std::int32_t layoutCount = design->CustomLayoutCount();
    for (std::int32_t l = 1; l <= layoutCount; ++l) {
      auto layout = design->CustomLayout(l);
      job.CurrentSlide = layout;
      visitPictures(job, *layout, true, {QStringLiteral("layout %1.%2").arg(d).arg(l), 0, {}},
                    visit);
    }
    if (design->HasTitleMaster() != PowerPoint::msoTrue) continue;
    auto titleMaster = design->TitleMaster();
    job.CurrentSlide = titleMaster;
    visitPictures(job, *titleMaster, true, {QStringLiteral("title master %1").arg(d), 0, {}},
                  visit);
  }
}

}  // namespace

void walkTopLevelShapes(ExtractionJob &job, const ShapeVisit &visit) {
  const auto slides = job.PowerPointApp->ActivePresentation()->Slides();
  const std::int32_t slideCount = slides->Count();
  for (std::int32_t s = 1; s <= slideCount; ++s) {
    job.CurrentSlide = slides->Item(s);
    const auto shapes = job.CurrentSlide->Shapes();
    const std::int32_t shapeCount = shapes->Count();
    for (std::int32_t i = 1; i <= shapeCount; ++i) {
      throwIfInterrupted();
      job.CurrentShape = shapes->Item(i);
      visit({QStringLiteral("slide %1").arg(s), s, QString::number(i)});
    }
  }
}

void walkShapesDeep(ExtractionJob &job, const std::shared_ptr<PowerPoint::Shapes> &shapes,
                    const Place &parent, const ShapeVisit &visit) {
  // The readers bound how deep groups nest; this keeps the walk's own stack
  // bounded whatever a reader gives.
  constexpr qsizetype kMaxGroupDepth = 64;
  if (parent.shape.count(QLatin1Char('.')) >= kMaxGroupDepth)
    throw morvane::Error(QStringLiteral("Groups are nested too deeply on %1").arg(parent.name));
  const std::int32_t shapeCount = shapes->Count();
  for (std::int32_t i = 1; i <= shapeCount; ++i) {
    throwIfInterrupted();
    auto shape = shapes->Item(i);
    job.CurrentShape = shape;
    const Place place = child(parent, i);
    if (shape->Type() == PowerPoint::msoGroup)
      walkShapesDeep(job, shape->GroupItems(), place, visit);
    else
      visit(place);
  }
}

void walkEveryPicture(ExtractionJob &job, const ShapeVisit &visit) {
  const auto slides = job.PowerPointApp->ActivePresentation()->Slides();
  const std::int32_t slideCount = slides->Count();
  for (std::int32_t s = 1; s <= slideCount; ++s) {
    auto slide = slides->Item(s);
    job.CurrentSlide = slide;
    visitPictures(job, *slide, true, {QStringLiteral("slide %1").arg(s), s, {}}, visit);
  }
  visitMasters(job, visit);
}

}  // namespace job
