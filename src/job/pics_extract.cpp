#include "job/extractionjob.h"
#include "job/walks.h"

namespace job {

// Writes every picture of the open presentation to OutputFolder as
// Img0001.Jpg, Img0002.Jpg ... and reports how many it wrote. A picture that
// cannot be read keeps its number, gets a warning line and writes no file.
void ExtractionJob::pics_extract() {
  RunningCount = 0;
  written_.clear();
  int written = 0;
  const auto visit = [&](const Place &place) {
    raiseRunningCount();
    if (exportCurrentShape(OutputRecord::Kind::Picture, place)) ++written;
  };
  if (options.everyPicture) {
    walkEveryPicture(*this, visit);
  } else {
    walkTopLevelShapes(*this, [&](const Place &place) {
      if (CurrentShape->Type() == PowerPoint::msoPicture) visit(place);
    });
  }
  if (RunningCount == 0) {
    appendLog(QStringLiteral("No images found in the selected presentation"));
    return;
  }
  appendLog(QString::number(written) + QStringLiteral(" "));
  appendLog(QStringLiteral("image files are save in folder : ") + OutputFolder +
            QStringLiteral("\r\n"));
  appendLog(QStringLiteral("Completed !!\r\n"));
}

}  // namespace job
