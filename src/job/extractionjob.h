#pragma once

// The extraction job without a window: it opens a presentation through the
// presentation application, runs the selected extractors (pictures, text,
// charts) and reports in a log through two operations, replace and append,
// with no separator added; pieces that end a line carry their own CR LF.
// The window and the command-line extractor each drive one object of this
// class. Every failure throws morvane::Error; the front end that started
// the job catches it.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "office/model/createonuse.h"
#include "office/model/powerpoint.h"
#include "office/model/word.h"

namespace job {

// One picture or chart that the job exported, or would export.
struct OutputRecord {
  enum class Kind { Picture, Chart };
  Kind kind = Kind::Picture;
  QString place;  // "slide 3", "master 1", "title master 1", "layout 1.2"
  int slide = 0;  // the slide's number; 0 on masters and layouts
  QString shape;  // "2"; "4.1" for the first shape of the group that is shape 4; "background"
  // What is stored, when the reader could tell.
  bool storedKnown = false;
  PowerPoint::StoredPicture stored;
  QString output;            // file name in OutputFolder
  qint64 writtenBytes = -1;  // -1 when nothing was written
  QString problem;           // why nothing was written
};

// The text of one shape, for --every-text.
struct TextRecord {
  int slide = 0;
  QString shape;  // as in OutputRecord; "notes" for the notes page
  QString text;
};

// Where the job reports.
class Log {
 public:
  virtual ~Log() = default;
  virtual void replace(const QString &piece) = 0;
  virtual void append(const QString &piece) = 0;
  // A picture or chart that could not be read and was not written, or a
  // note on one that was: a whole line ("Warning: ... CR LF"). The log
  // appends it unless the front end shows warnings elsewhere.
  virtual void warning(const QString &line) { append(line); }
  // Beyond the window's log, for scripts.
  virtual void output(const OutputRecord &record) { (void)record; }
  virtual void text(const TextRecord &record) { (void)record; }
  virtual void documentWritten(const QString &path) { (void)path; }
  // Another job holds the output folder; this one waits for it.
  virtual void waitingForFolder(const QString &folder) { (void)folder; }
};

// What the job extracts, read once when it starts.
struct Options {
  bool pictures = true;  // the Pictures box
  bool text = false;     // the Save Text As Document box
  bool graph = false;    // the Graph box
  // The window works on a copy "popo.ppt" beside the source; the command
  // line reads the source in place.
  bool workingCopy = true;
  // When another job holds the output folder: wait for it (command line) or
  // fail (window).
  bool waitForFolder = false;
  // Command line only.
  bool list = false;          // write nothing, report what would be written
  bool original = false;      // pictures in their stored format and bytes
  bool everyPicture = false;  // groups, backgrounds, fills, object previews, masters
  bool everyText = false;     // every shape with text, notes, "Slide N" headings
  // Report the stored format, size and crop of every picture and chart
  // (Log::output), which costs a look at each picture's header.
  bool details = false;
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

  // Where the current shape sits, while the walks run.
  struct Place {
    QString name;   // "slide 3", "master 1" ...
    int slide = 0;  // 0 off the slides
    QString shape;  // "2", "4.1", "background"
  };

 private:
  void openSource(const QString &path);
  void runExtractors();
  void abandon(const QString &ownWorkingCopy);
  QString ask(const QString &prompt, const QString &caption);
  // Exports (or lists) CurrentShape as the picture or chart numbered
  // RunningCount. Returns whether a file was written.
  bool exportCurrentShape(OutputRecord::Kind kind, const Place &place);
  bool writeCurrentShape(OutputRecord &record, const QString &path);
  bool isRepeatedOutput(const QString &path, OutputRecord &record);
  QString outputName(OutputRecord::Kind kind) const;
  void gatherText();
  void gatherEveryText();
  void appendShapeText(const Place &place);
  void saveDocument();
  QString documentName();

  Log &log_;
  // Fingerprints of the outputs written in this job, for --every-picture.
  QSet<QByteArray> written_;
  // "Slide N" headings and characters in a font of their own, as positions
  // in GatheredText.
  struct Span {
    qsizetype start = 0, end = 0;
    QString font;  // empty for a heading
  };
  std::vector<Span> spans_;
  bool hasShapeText_ = false;
};

}  // namespace job
