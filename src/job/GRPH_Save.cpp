#include "job/extractionjob.h"
#include "job/walks.h"

namespace job {

// Writes every chart of the open presentation to OutputFolder as
// Graph0001.Bmp, Graph0002.Bmp ...; only a presentation without charts is
// reported, and that report replaces the log. A chart that cannot be read
// keeps its number, gets a warning line and writes no file.
void ExtractionJob::GRPH_Save() {
  RunningCount = 0;
  walkTopLevelShapes(*this, [&](const Place &place) {
    if (CurrentShape->Type() != PowerPoint::msoChart) return;
    raiseRunningCount();
    exportCurrentShape(OutputRecord::Kind::Chart, place);
  });
  if (RunningCount == 0) replaceLog(QStringLiteral("No Graphs in the Selected Presentation"));
}

}  // namespace job
