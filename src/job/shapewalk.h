#pragma once

// The walk that the exports share: every top-level shape of every slide of
// the active presentation, in collection order, held in CurrentSlide and
// CurrentShape while visited. Shapes inside a group are not visited.

#include <QString>

#include "job/extractionjob.h"

namespace job {

// visitCurrentShape(slideNumber) is called with the 1-based slide number.
template <class Visit>
void walkShapes(ExtractionJob &job, Visit visitCurrentShape) {
  const auto slides = job.PowerPointApp->ActivePresentation()->Slides();
  const std::int32_t slideCount = slides->Count();
  for (std::int32_t s = 1; s <= slideCount; ++s) {
    job.CurrentSlide = slides->Item(s);
    const auto shapes = job.CurrentSlide->Shapes();
    const std::int32_t shapeCount = shapes->Count();
    for (std::int32_t i = 1; i <= shapeCount; ++i) {
      job.CurrentShape = shapes->Item(i);
      visitCurrentShape(s);
    }
  }
}

// RunningCount in a file name: at least four digits, zero-padded.
inline QString fourDigits(std::int16_t count) {
  return QString::number(count).rightJustified(4, QLatin1Char('0'));
}

}  // namespace job
