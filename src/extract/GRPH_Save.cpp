#include "app/frmMain.h"
#include "app/shapewalk.h"

// Writes every chart of the open presentation to OutputFolder as
// Graph0001.Bmp, Graph0002.Bmp ...; only a presentation without charts is
// reported, and that report replaces the log.
void frmMain::GRPH_Save() {
  RunningCount = 0;
  walkShapes(*this, [this] {
    if (CurrentShape->Type() != PowerPoint::msoChart) return;
    raiseRunningCount();
    const QString path =
        OutputFolder + QStringLiteral("Graph") + fourDigits(RunningCount) + QStringLiteral(".Bmp");
    CurrentShape->Export(path, PowerPoint::ppShapeFormatBMP, 0, 0, PowerPoint::ppRelativeToSlide);
  });
  if (RunningCount == 0) replaceLog(QStringLiteral("No Graphs in the Selected Presentation"));
}
