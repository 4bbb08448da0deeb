#pragma once

// The walks over the open presentation that the extractors share. Each
// holds the slide and the shape it visits in CurrentSlide and CurrentShape
// and tells the visitor where the shape sits. Interruption is checked before
// every shape.

#include <QString>
#include <functional>

#include "job/extractionjob.h"

namespace job {

using ShapeVisit = std::function<void(const ExtractionJob::Place &place)>;

// Every top-level shape of every slide, in collection order. Shapes inside a
// group are not visited.
void walkTopLevelShapes(ExtractionJob &job, const ShapeVisit &visit);

// Every shape that holds a picture, in the order of --every-picture: per
// slide its own background picture, then its shapes in z-order, groups
// entered at any depth, with pictures, picture fills and the previews of
// embedded objects other than charts; after the last slide the masters
// (background and shapes), their layouts, and the title masters.
void walkEveryPicture(ExtractionJob &job, const ShapeVisit &visit);

// Every shape of a slide in z-order, groups entered at any depth.
void walkShapesDeep(ExtractionJob &job, const std::shared_ptr<PowerPoint::Shapes> &shapes,
                    const ExtractionJob::Place &parent, const ShapeVisit &visit);

// RunningCount in a file name: at least four digits, zero-padded.
inline QString fourDigits(std::int16_t count) {
  return QString::number(count).rightJustified(4, QLatin1Char('0'));
}

}  // namespace job
