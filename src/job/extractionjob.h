#pragma once

// The extraction job without a window: it opens a presentation through the
// presentation application, runs the selected extractors (pictures, text,
// charts) and reports in a log through two operations, replace and append,
// with no separator added; pieces that end a line carry their own CR LF.
// The window and the command-line extractor each drive one object of this
// class. Every failure throws morvane::Error; the front end that started
// the job catches it.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "office/model/createonuse.h"
#include "office/model/powerpoint.h"
#include "office/model/word.h"

namespace job {

// Where the job reports.
class Log {
 public:
  virtual ~Log() = default;
  virtual void replace(const QString &piece) = 0;
  virtual void append(const QString &piece) = 0;
  // A picture or chart that could not be read and was not written: a whole
  // line ("Warning: ... CR LF"). The log appends it unless the front end
  // shows warnings elsewhere.
  virtual void warning(const QString &line) { append(line); }
};

// What the job extracts, read once when it starts.
struct Options {
  bool pictures = true;  // the Pictures box
  bool text = false;     // the Save Text As Document box
  bool graph = false;    // the Graph box
  // The window works on a copy "popo.ppt" beside the source; the command
  // line reads the source in place.
  bool workingCopy = true;
};

// Asks for the document name: prompt and caption in, the answer out (empty
// when cancelled).
using NameQuestion = std::function<QString(const QString &prompt, const QString &caption)>;

// Answers the first question with name. Being asked again means the name was
// refused, and there is nobody to ask about it: it throws.
NameQuestion fixedAnswer(const QString &name);

class ExtractionJob {
 public:
  explicit ExtractionJob(Log &log);
  ~ExtractionJob();
  ExtractionJob(const ExtractionJob &) = delete;
  ExtractionJob &operator=(const ExtractionJob &) = delete;

  // Inputs of the next job, set by the front end.
  Options options;
  QString ShownPath;  // the chosen path as the first log line shows it
  NameQuestion askName;

  // What the job found out about its source; the window shows these in its
  // holder boxes. SplitPath keeps the previous values for a path without a
  // folder.
  QString SourceFolder;     // folder of the source with its trailing "/"
  QString SourceName;       // file-name part of the source
  QString WorkingCopyPath;  // SourceFolder + "popo.ppt"

  // The job's state.
  QString SourcePath;
  CreateOnUse<Word::Application> WordApp;
  std::shared_ptr<Word::Document> WordDoc;
  CreateOnUse<PowerPoint::Application> PowerPointApp;
  std::shared_ptr<PowerPoint::Slide> CurrentSlide;
  std::shared_ptr<PowerPoint::Shape> CurrentShape;
  std::int16_t RunningCount = 0;
  QString OutputFolder;
  QString GatheredText;

  // Takes a chosen source: SourcePath, OutputFolder and the shown path.
  void acceptSource(const QString &path);

  void ProcessSource();
  void SplitPath(const QString &path);
  void pics_extract();
  void Txt_Save();
  void GRPH_Save();

  // Raises RunningCount by one; past 32767 it fails with an overflow error.
  void raiseRunningCount();

  void replaceLog(const QString &piece) { log_.replace(piece); }
  void appendLog(const QString &piece) { log_.append(piece); }

 private:
  void openSource(const QString &path);
  void runExtractors();
  void abandon(const QString &ownWorkingCopy);
  QString ask(const QString &prompt, const QString &caption);
  // Exports CurrentShape to path; a picture that cannot be read is noted as
  // a warning instead. Returns whether the file was written.
  bool exportCurrentShape(const QString &path, PowerPoint::PpShapeFormat filter,
                          const QString &what);

  Log &log_;
};

}  // namespace job
