#include "job/extractionjob.h"

#include <optional>

#include "common/atomicfile.h"
#include "common/error.h"
#include "job/folderlock.h"
#include "job/workingcopy.h"
#include "office/doc/wordapp.h"
#include "office/powerpoint/application.h"
#include "office/powerpoint/signature.h"

// Paths: this system's folder separator is "/", so wherever a path is split
// into folder and file name, the folder is everything up to and including the
// last "/".

namespace job {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");
const QString kWorkingCopyName = QStringLiteral("popo.ppt");

QString folderOf(const QString &path) { return path.left(path.lastIndexOf(QLatin1Char('/')) + 1); }

}  // namespace

ExtractionJob::ExtractionJob(Log &log)
    : WordApp(office::doc::createApplication),
      PowerPointApp(office::powerpoint::createApplication),
      log_(log) {}

ExtractionJob::~ExtractionJob() = default;

void ExtractionJob::acceptSource(const QString &path) {
  ShownPath = path;
  SourcePath = path;
  OutputFolder = folderOf(SourcePath);
}

void ExtractionJob::raiseRunningCount() {
  if (RunningCount == INT16_MAX)
    throw morvane::Error(
        QStringLiteral("Overflow: more than 32767 files in one export of %1").arg(SourcePath));
  ++RunningCount;
}

void ExtractionJob::SplitPath(const QString &path) {
  const qsizetype p = path.lastIndexOf(QLatin1Char('/')) + 1;
  if (p == 0) return;
  SourceFolder = path.left(p);
  SourceName = path.mid(p);
}

// The job. The window's job works on a copy of the source; a failure
// anywhere lets go of the applications and deletes the working copy made
// here, then passes on to the front end. Output files already written stay.
void ExtractionJob::ProcessSource() {
  SplitPath(SourcePath);
  std::optional<FolderLock> lock;
  if (!options.list) {
    std::function<void()> wait;
    if (options.waitForFolder) wait = [this] { log_.waitingForFolder(OutputFolder); };
    lock.emplace(OutputFolder, wait);
    morvane::removeStaleTemporaries(OutputFolder);
  }
  // A file that no reader can open is refused before anything is copied.
  workingcopy::checkSource(SourcePath);
  try {
    office::powerpoint::checkSignature(SourcePath);
  } catch (const morvane::Error &error) {
    throw morvane::Error(QStringLiteral("Cannot open %1: %2").arg(SourcePath, error.description()));
  }
  QString ownCopy;
  QString openPath = SourcePath;
  if (options.workingCopy) {
    const QString copyPath = SourceFolder + kWorkingCopyName;
    if (workingcopy::make(SourcePath, copyPath) == workingcopy::Made::NewCopy) ownCopy = copyPath;
    WorkingCopyPath = copyPath;
    openPath = copyPath;
  }
  try {
    if (!options.pictures && !options.text && !options.graph) {
      replaceLog(QStringLiteral("Select What You want to Extract (Pictures / Text / Chart)..."));
      // A copy left behind would later stand in the way of a job on another
      // file of this folder, so it goes now.
      if (!ownCopy.isEmpty()) workingcopy::remove(ownCopy);
      return;
    }
    replaceLog(QStringLiteral("Trying to open a source file ") + ShownPath +
               QStringLiteral(".....") + kLineBreak);
    appendLog(QStringLiteral("Processing ..........") + kLineBreak);
    PowerPointApp->put_Visible(PowerPoint::msoTrue);
    PowerPointApp->put_WindowState(PowerPoint::ppWindowMinimized);
    openSource(openPath);
    runExtractors();
    CurrentSlide.reset();
    PowerPointApp->Quit();
    PowerPointApp.reset();
  } catch (...) {
    abandon(ownCopy);
    throw;
  }
  if (!ownCopy.isEmpty()) workingcopy::remove(ownCopy);
}

void ExtractionJob::runExtractors() {
  if (options.pictures) pics_extract();
  if (options.text) Txt_Save();
  if (options.graph) GRPH_Save();
}

// The reader reports what is wrong with the file; the user knows it by the
// source's name, not by the working copy's.
void ExtractionJob::openSource(const QString &path) {
  const auto presentations = PowerPointApp->Presentations();
  try {
    presentations->Open(path, PowerPoint::msoFalse, PowerPoint::msoFalse, PowerPoint::msoTrue);
  } catch (const morvane::Error &error) {
    throw morvane::Error(QStringLiteral("Cannot open %1: %2").arg(SourcePath, error.description()));
  }
}

// Clean-up after a failed job; a second failure here must not hide the first.
void ExtractionJob::abandon(const QString &ownWorkingCopy) {
  CurrentShape.reset();
  CurrentSlide.reset();
  WordDoc.reset();
  WordApp.reset();
  if (!PowerPointApp.isEmpty()) {
    try {
      PowerPointApp->Quit();
    } catch (const std::exception &) {
    }
    PowerPointApp.reset();
  }
  if (ownWorkingCopy.isEmpty()) return;
  try {
    workingcopy::remove(ownWorkingCopy);
  } catch (const std::exception &) {
  }
}

}  // namespace job
