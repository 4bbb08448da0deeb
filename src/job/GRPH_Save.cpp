#include "job/extractionjob.h"
#include "job/shapewalk.h"

namespace job {

// Writes every chart of the open presentation to OutputFolder as
// Graph0001.Bmp, Graph0002.Bmp ...; only a presentation without charts is
// reported, and that report replaces the log. A chart that cannot be read
// keeps its number, gets a warning line and writes no file.
void ExtractionJob::GRPH_Save() {
  RunningCount = 0;
  walkShapes(*this, [&](std::int32_t slide) {
    if (CurrentShape->Type() != PowerPoint::msoChart) return;
    raiseRunningCount();
    const QString path =
        OutputFolder + QStringLiteral("Graph") + fourDigits(RunningCount) + QStringLiteral(".Bmp");
    exportCurrentShape(path, PowerPoint::ppShapeFormatBMP,
                       QStringLiteral("the chart of slide %1").arg(slide));
  });
  if (RunningCount == 0) replaceLog(QStringLiteral("No Graphs in the Selected Presentation"));
}

}  // namespace job
