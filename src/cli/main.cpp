// morvane-extract: the main window's extraction job without the window, one
// job per file, for batch use and scripts.

#include <unistd.h>

#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

#include "common/error.h"
#include "common/version.h"
#include "job/extractionjob.h"

namespace {

constexpr int kAllCompleted = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "Usage: morvane-extract [--pictures | --no-pictures] [--graph] [--text NAME] FILE...\n";

const char kHelp[] =
    "Takes the pictures, and on request the charts and the text, out of PowerPoint 97-2003\n"
    "presentations (.ppt, .pps), running the same job as the Morvane window on each FILE\n"
    "in turn. The output files are written beside each FILE:\n"
    "  Img0001.Jpg ...    every picture (on unless --no-pictures)\n"
    "  Graph0001.Bmp ...  every chart (--graph)\n"
    "  NAME.doc           the slides' text (--text NAME)\n"
    "\n"
    "Options:\n"
    "  --pictures         export the pictures (the default)\n"
    "  --no-pictures      do not export the pictures\n"
    "  --graph            export the charts\n"
    "  --text NAME        save the text as the document NAME.doc\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Each job's log, as the window would show it (lines end in CR LF), is printed to\n"
    "standard output; a log that ends without a line break gets one. A failed job's log\n"
    "ends with a line \"Error: \" and the reason. With several files and a terminal on\n"
    "standard error, a progress bar is shown there.\n"
    "\n"
    "Exit status: 0 when every job completed, 1 when any job failed, 2 on a usage error.\n";

struct Options {
  bool pictures = true;
  bool graph = false;
  std::optional<QString> textName;
  QStringList files;
};

struct UsageError {
  QString message;
};

enum class Request { Run, Help, Version };

Request parseArguments(const QStringList &args, Options &options) {
  bool picturesGiven = false;
  bool noPicturesGiven = false;
  bool onlyFiles = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString &arg = args.at(i);
    if (onlyFiles || arg == QStringLiteral("-") || !arg.startsWith(QLatin1Char('-'))) {
      options.files << arg;
    } else if (arg == QStringLiteral("--")) {
      onlyFiles = true;
    } else if (arg == QStringLiteral("-h") || arg == QStringLiteral("--help")) {
      return Request::Help;
    } else if (arg == QStringLiteral("--version")) {
      return Request::Version;
    } else if (arg == QStringLiteral("--pictures")) {
      picturesGiven = true;
    } else if (arg == QStringLiteral("--no-pictures")) {
      noPicturesGiven = true;
    } else if (arg == QStringLiteral("--graph")) {
      options.graph = true;
    } else if (arg == QStringLiteral("--text")) {
      if (++i >= args.size()) throw UsageError{QStringLiteral("--text needs a NAME")};
      options.textName = args.at(i);
    } else if (arg.startsWith(QStringLiteral("--text="))) {
      options.textName = arg.mid(7);
    } else {
      throw UsageError{QStringLiteral("unknown option %1").arg(arg)};
    }
  }
  if (picturesGiven && noPicturesGiven)
    throw UsageError{QStringLiteral("--pictures and --no-pictures exclude each other")};
  options.pictures = !noPicturesGiven;
  if (!options.pictures && !options.graph && !options.textName)
    throw UsageError{
        QStringLiteral("nothing to extract: give --graph or --text with --no-pictures")};
  if (options.files.isEmpty()) throw UsageError{QStringLiteral("no FILE given")};
  return Request::Run;
}

void write(std::FILE *stream, const QByteArray &bytes) {
  std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

// A one-line progress bar on standard error.
class ProgressBar {
 public:
  explicit ProgressBar(qsizetype total) : total_(total), shown_(total > 1 && ::isatty(2) == 1) {}

  void show(qsizetype done, const QString &file) {
    if (!shown_) return;
    constexpr qsizetype kWidth = 30;
    const qsizetype filled = done * kWidth / total_;
    const QString bar =
        QString(filled, QLatin1Char('#')) + QString(kWidth - filled, QLatin1Char('.'));
    const QString line = QStringLiteral("\r\033[K[%1] %2/%3 %4")
                             .arg(bar)
                             .arg(done)
                             .arg(total_)
                             .arg(QFileInfo(file).fileName());
    write(stderr, line.toLocal8Bit());
    std::fflush(stderr);
  }

  void clear() {
    if (!shown_) return;
    write(stderr, "\r\033[K");
    std::fflush(stderr);
  }

 private:
  qsizetype total_;
  bool shown_;
};

void printLog(const QString &log) {
  QByteArray bytes = log.toUtf8();
  if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r')) bytes += "\r\n";
  write(stdout, bytes);
  std::fflush(stdout);
}

// The job's log, kept as text.
class TextLog : public job::Log {
 public:
  void replace(const QString &piece) override { text_ = piece; }
  void append(const QString &piece) override { text_ += piece; }
  const QString &text() const { return text_; }

 private:
  QString text_;
};

// Appends "Error: " + description + CR LF as a line of its own.
void appendErrorLine(TextLog &log, const QString &description) {
  const bool midLine = !log.text().isEmpty() && !log.text().endsWith(QLatin1String("\r\n"));
  QString line = description;
  line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  log.append((midLine ? QStringLiteral("\r\n") : QString()) + QStringLiteral("Error: ") + line +
             QStringLiteral("\r\n"));
}

// One job on one file.
bool runJob(job::ExtractionJob &extraction, TextLog &log, const QString &file) {
  log.replace(QString());
  try {
    extraction.acceptSource(QFileInfo(file).absoluteFilePath());
    extraction.ProcessSource();
    return true;
  } catch (const std::bad_alloc &) {
    appendErrorLine(log, QStringLiteral("Out of memory"));
  } catch (const morvane::Error &error) {
    appendErrorLine(log, error.description());
  } catch (const std::exception &error) {
    appendErrorLine(log, QString::fromLocal8Bit(error.what()));
  }
  return false;
}

// Qt warns on every start when it runs without a desktop session (as under
// root or in a batch job): the runtime folder it would never use here is
// unset. That line is noise in a command-line tool's output; every other
// message passes through.
void dropSessionNoise(QtMsgType type, const QMessageLogContext &context, const QString &message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  std::fputs(qPrintable(qFormatLogMessage(type, context, message) + QLatin1Char('\n')), stderr);
}

int runJobs(const Options &options) {
  qInstallMessageHandler(dropSessionNoise);
  TextLog log;
  job::ExtractionJob extraction(log);
  extraction.options.pictures = options.pictures;
  extraction.options.text = options.textName.has_value();
  extraction.options.graph = options.graph;
  extraction.options.workingCopy = false;

  ProgressBar progress(options.files.size());
  bool allCompleted = true;
  for (qsizetype i = 0; i < options.files.size(); ++i) {
    progress.show(i, options.files.at(i));
    if (options.textName) extraction.askName = job::fixedAnswer(*options.textName);
    const bool completed = runJob(extraction, log, options.files.at(i));
    progress.clear();
    printLog(log.text());
    allCompleted = allCompleted && completed;
  }
  return allCompleted ? kAllCompleted : kSomeFailed;
}

}  // namespace

int main(int argc, char *argv[]) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  Options options;
  try {
    switch (parseArguments(args, options)) {
      case Request::Help:
        std::fputs(kUsage, stdout);
        std::fputs("\n", stdout);
        std::fputs(kHelp, stdout);
        return kAllCompleted;
      case Request::Version:
        std::printf("morvane-extract %s\n", morvane::kVersionString);
        return kAllCompleted;
      case Request::Run:
        break;
    }
  } catch (const UsageError &error) {
    write(stderr, QStringLiteral("morvane-extract: %1\n").arg(error.message).toLocal8Bit());
    std::fputs(kUsage, stderr);
    std::fputs("Try 'morvane-extract --help' for more information.\n", stderr);
    return kUsageError;
  }
  return runJobs(options);
}
