#include "job/extractionjob.h"
#include "job/shapewalk.h"

namespace job {

// Writes every picture of the open presentation to OutputFolder as
// Img0001.Jpg, Img0002.Jpg ... and reports how many it wrote. A picture that
// cannot be read keeps its number, gets a warning line and writes no file.
void ExtractionJob::pics_extract() {
  RunningCount = 0;
  int written = 0;
  walkShapes(*this, [&](std::int32_t slide) {
    if (CurrentShape->Type() != PowerPoint::msoPicture) return;
    raiseRunningCount();
    const QString path =
        OutputFolder + QStringLiteral("Img") + fourDigits(RunningCount) + QStringLiteral(".Jpg");
    if (exportCurrentShape(path, PowerPoint::ppShapeFormatJPG,
                           QStringLiteral("the picture of slide %1").arg(slide)))
      ++written;
  });
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
