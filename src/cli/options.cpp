#include "cli/options.h"

#include <QCommandLineParser>

namespace cli {

namespace {

constexpr int kMaxJobs = 64;

const QString kUsage = QStringLiteral("Usage: morvane-extract [OPTION]... FILE...\n");

const QString kHelp = QStringLiteral(
    "Takes the pictures, and on request the charts and the text, out of PowerPoint\n"
    "presentations (.ppt, .pps, .pptx, .ppsx), running the same job as the Morvane\n"
    "window on each FILE. The source is only read. Written for each FILE:\n"
    "  Img0001.Jpg ...    every picture (on unless --no-pictures)\n"
    "  Graph0001.Bmp ...  every chart (--graph)\n"
    "  NAME.doc           the slides' text as a Word 97-2003 document (--text NAME)\n"
    "With one FILE the outputs go beside it (or into --output DIR). With several FILEs\n"
    "each deck's outputs go into a folder named after the deck (its file name without\n"
    "the extension) beside it (or inside --output DIR), so that no two decks share an\n"
    "output name; two decks that would share a folder stop the run before anything is\n"
    "written.\n"
    "\n"
    "What to extract:\n"
    "  --pictures          export the pictures (the default)\n"
    "  --no-pictures       do not export the pictures\n"
    "  --graph             export the charts\n"
    "  --text NAME         save the text as NAME.doc (text boxes, WordArt, tables and\n"
    "                      comments, each shape's text a paragraph of its own)\n"
    "  --every-picture     also the pictures inside groups, slide backgrounds, picture\n"
    "                      fills, the previews of embedded objects other than charts,\n"
    "                      and the pictures on the masters; an output that repeats one\n"
    "                      already written for the deck is skipped\n"
    "  --every-text        with --text: every shape's text (titles, bodies and other\n"
    "                      placeholders, shapes inside groups, comments) and the notes,\n"
    "                      each slide under a heading \"Slide N\"\n"
    "  --original          write each picture in its stored format and bytes\n"
    "                      (Img0001.png, Img0002.emf ...; nothing re-encoded or cropped)\n"
    "\n"
    "Where and how:\n"
    "  -o, --output DIR    write the outputs into DIR (created if missing)\n"
    "  -r, --recursive     a FILE that is a folder means every .ppt, .pps, .pptx and\n"
    "                      .ppsx below it (symbolic links not followed, sorted by path)\n"
    "  -j, --jobs N        work on up to N decks at once (default 1); the logs still\n"
    "                      come whole and in command-line order\n"
    "  --list              write nothing; print one line per picture and chart the job\n"
    "                      would export: deck, slide, shape, kind, stored format,\n"
    "                      stored pixel size, crop, stored bytes, output name\n"
    "                      (fields separated by TAB; \"-\" where a value is unknown)\n"
    "  --json              print one JSON document instead of the logs: per deck the\n"
    "                      log, the outcome, every picture and chart (with the written\n"
    "                      file names and sizes), the document, and with --every-text\n"
    "                      the texts per slide and shape; then the summary\n"
    "  -q, --quiet         print only errors\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Output: each deck's log, as the window shows it, goes to standard output with\n"
    "lines ending in LF. Warnings (a picture that could not be read and was not\n"
    "written, with the reason) and a failed deck's \"Error:\" line go to standard\n"
    "error. With several decks a last line sums up, for example\n"
    "  12 decks: 11 completed, 1 failed; 340 pictures, 6 charts, 11 documents\n"
    "A second job working in the same output folder waits for the first. With a\n"
    "terminal on standard error and several decks, a progress bar is shown there.\n"
    "\n"
    "Exit status: 0 when every deck completed, 1 when any failed, 2 on a usage error,\n"
    "128 + the signal's number when interrupted (SIGINT, SIGTERM, SIGHUP; the picture\n"
    "being written is finished or removed and the summary is printed).\n");

void check(bool condition, const QString &message) {
  if (!condition) throw UsageError{message};
}

int parseJobs(const QString &value) {
  bool ok = false;
  const int jobs = value.toInt(&ok);
  check(ok && jobs >= 1 && jobs <= kMaxJobs,
        QStringLiteral("--jobs takes a number from 1 to %1, not \"%2\"").arg(kMaxJobs).arg(value));
  return jobs;
}

void addOptions(QCommandLineParser &parser) {
  parser.addOptions({
      {QStringLiteral("pictures"), QString()},
      {QStringLiteral("no-pictures"), QString()},
      {QStringLiteral("graph"), QString()},
      {QStringLiteral("text"), QString(), QStringLiteral("NAME")},
      {QStringLiteral("every-picture"), QString()},
      {QStringLiteral("every-text"), QString()},
      {QStringLiteral("original"), QString()},
      {{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("DIR")},
      {{QStringLiteral("r"), QStringLiteral("recursive")}, QString()},
      {{QStringLiteral("j"), QStringLiteral("jobs")}, QString(), QStringLiteral("N")},
      {QStringLiteral("list"), QString()},
      {QStringLiteral("json"), QString()},
      {{QStringLiteral("q"), QStringLiteral("quiet")}, QString()},
      {{QStringLiteral("h"), QStringLiteral("help")}, QString()},
      {QStringLiteral("version"), QString()},
  });
}

void checkCombinations(const QCommandLineParser &parser, const Options &options) {
  check(!(parser.isSet(QStringLiteral("pictures")) && parser.isSet(QStringLiteral("no-pictures"))),
        QStringLiteral("--pictures and --no-pictures exclude each other"));
  check(options.pictures || options.graph || options.textName || options.everyText,
        QStringLiteral("nothing to extract: give --graph or --text with --no-pictures"));
  check(options.pictures || !options.everyPicture,
        QStringLiteral("--every-picture needs the pictures (drop --no-pictures)"));
  check(options.pictures || !options.original,
        QStringLiteral("--original needs the pictures (drop --no-pictures)"));
  check(!options.everyText || options.textName || options.list,
        QStringLiteral("--every-text needs --text NAME (or --list)"));
  check(!options.textName || !options.textName->isEmpty(), QStringLiteral("--text needs a NAME"));
  check(!parser.isSet(QStringLiteral("output")) || !options.outputFolder.isEmpty(),
        QStringLiteral("--output needs a folder"));
  check(!options.files.isEmpty(), QStringLiteral("no FILE given"));
}

}  // namespace

Request parseArguments(const QStringList &arguments, Options &options) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  addOptions(parser);
  if (!parser.parse(QStringList{QStringLiteral("morvane-extract")} + arguments))
    throw UsageError{parser.errorText()};
  if (parser.isSet(QStringLiteral("help"))) return Request::Help;
  if (parser.isSet(QStringLiteral("version"))) return Request::Version;

  options.pictures = !parser.isSet(QStringLiteral("no-pictures"));
  options.graph = parser.isSet(QStringLiteral("graph"));
  if (parser.isSet(QStringLiteral("text"))) options.textName = parser.value(QStringLiteral("text"));
  options.outputFolder = parser.value(QStringLiteral("output"));
  options.recursive = parser.isSet(QStringLiteral("recursive"));
  options.list = parser.isSet(QStringLiteral("list"));
  options.json = parser.isSet(QStringLiteral("json"));
  options.original = parser.isSet(QStringLiteral("original"));
  options.everyPicture = parser.isSet(QStringLiteral("every-picture"));
  options.everyText = parser.isSet(QStringLiteral("every-text"));
  options.quiet = parser.isSet(QStringLiteral("quiet"));
  if (parser.isSet(QStringLiteral("jobs")))
    options.jobs = parseJobs(parser.value(QStringLiteral("jobs")));
  options.files = parser.positionalArguments();
  checkCombinations(parser, options);
  return Request::Run;
}

QString helpText() { return kUsage + QLatin1Char('\n') + kHelp; }

QString usageText() { return kUsage; }

}  // namespace cli
