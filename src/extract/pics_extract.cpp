#include "app/frmMain.h"
#include "app/shapewalk.h"

// Writes every picture of the open presentation to OutputFolder as
// Img0001.Jpg, Img0002.Jpg ... and reports how many it wrote.
void frmMain::pics_extract() {
  RunningCount = 0;
  walkShapes(*this, [this] {
    if (CurrentShape->Type() != PowerPoint::msoPicture) return;
    raiseRunningCount();
    const QString path =
        OutputFolder + QStringLiteral("Img") + fourDigits(RunningCount) + QStringLiteral(".Jpg");
    CurrentShape->Export(path, PowerPoint::ppShapeFormatJPG, 0, 0, PowerPoint::ppRelativeToSlide);
  });
  if (RunningCount == 0) {
    appendLog(QStringLiteral("No images found in the selected presentation"));
    return;
  }
  appendLog(QString::number(RunningCount) + QStringLiteral(" "));
  appendLog(QStringLiteral("image files are save in folder : ") + OutputFolder +
            QStringLiteral("\r\n"));
  appendLog(QStringLiteral("Completed !!\r\n"));
}
