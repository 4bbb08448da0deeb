// morvane-extract end to end: every file of the reference corpus, each in a
// folder of its own, run as a user runs it, and its output files and log
// compared with the reference reading of the file; then a generated deck whose
// pictures and text are known byte for byte.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <optional>

#include "common/error.h"
#include "common/symbolfonts.h"
#include "corpussuite.h"
#include "office/doc/docwriter.h"
#include "office/powerpoint/application.h"
#include "office/ppt/application.h"
#include "pptgen.h"

namespace {

// Files whose status we report differently from the reference, after checking
// the bytes (the same files and reasons as the reader's corpus test).
struct Disagreement {
  const char *file;
  const char *ours;  // "ok" or "error"
  const char *reason;
};

const Disagreement kDisagreements[] = {
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-4624961081573376.ppt", "error",
     "the compound file's block allocation table is inconsistent, so libgsf refuses it; the "
     "reference's lenient reader went on and found an OOXML EncryptionInfo stream"},
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-4838893004128256.ppt", "error",
     "as above: inconsistent block allocation table"},
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-6032591399288832.ppt", "error",
     "inconsistent block allocation table; the reference read no slides from it anyway"},
    {"clusterfuzz-testcase-minimized-POIHSLFFuzzer-5306877435838464.ppt", "ok",
     "the document, slide list and the one slide are intact; the reference failed on a "
     "missing drawing elsewhere (a null PPDrawing) that the slide walk never needs"},
};

const Disagreement *disagreement(const QString &file) {
  for (const Disagreement &d : kDisagreements)
    if (file == QLatin1String(d.file)) return &d;
  return nullptr;
}

QString sharedDir() { return qEnvironmentVariable("MORVANE_SHARED_DIR"); }
QString corpusDir() { return sharedDir() + QStringLiteral("/corpus"); }

QJsonObject readTruth(const QString &file) {
  QFile f(sharedDir() + QStringLiteral("/corpus-truth/") + file + QStringLiteral(".json"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sha256Of(const QByteArray &bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// ---- Running the program --------------------------------------------------

struct Run {
  int exitCode = -1;
  QString out;
};

Run extract(const QStringList &args) {
  QProcess process;
  process.start(QStringLiteral(MORVANE_EXTRACT), args);
  Run run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  // The log as the window shows it: the program prints it with LF line ends
  // and its final "Error:" line on standard error.
  run.out = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
  run.out.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return run;
}

QString openingLines(const QString &source) {
  return QStringLiteral("Trying to open a source file ") + source +
         QStringLiteral(".....\r\nProcessing ..........\r\n");
}

// The log of pics_extract after the opening lines.
QString pictureReport(int count, const QString &folder) {
  if (count == 0) return QStringLiteral("No images found in the selected presentation");
  return QStringLiteral("%1 image files are save in folder : %2/\r\nCompleted !!\r\n")
      .arg(count)
      .arg(folder);
}

// The program ends a log that has no final line break with one.
QString asPrinted(QString log) {
  if (!log.isEmpty() && !log.endsWith(u'\n') && !log.endsWith(u'\r')) log += QStringLiteral("\r\n");
  return log;
}

// A folder holding a copy of one source file.
struct JobFolder {
  QTemporaryDir dir;
  QString source;

  JobFolder(const QString &original, const QString &name) {
    source = QFileInfo(dir.filePath(name)).absoluteFilePath();
    QFile::copy(original, source);
  }
  QString folder() const { return QFileInfo(source).absolutePath(); }
  QString path(const QString &name) const { return dir.filePath(name); }

  QStringList entries(const QString &pattern) const {
    return QDir(dir.path()).entryList({pattern}, QDir::Files, QDir::Name);
  }

  // Everything in the folder that is not the source or an output file:
  // leftover working copies and temporary files.
  QStringList strays() const {
    static const QRegularExpression output(
        QStringLiteral("^(Img\\d{4,}\\.Jpg|Graph\\d{4,}\\.Bmp|Notes\\.doc)$"));
    QStringList found;
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString &name : QDir(dir.path()).entryList(all, QDir::Name))
      if (name != QFileInfo(source).fileName() && !output.match(name).hasMatch()) found << name;
    return found;
  }
};

QStringList numberedNames(const QString &stem, const QString &suffix, int count) {
  QStringList names;
  for (int i = 1; i <= count; ++i)
    names << stem + QString::number(i).rightJustified(4, u'0') + suffix;
  return names;
}

// ---- Output files ---------------------------------------------------------

// Empty when the file is a JPEG that decodes to a sane size.
QString jpegProblem(const QString &path) {
  QImageReader reader(path);
  if (reader.format() != "jpeg") return QStringLiteral("not a JPEG");
  const QImage image = reader.read();
  if (image.isNull()) return QStringLiteral("does not decode: ") + reader.errorString();
  if (image.width() < 1 || image.height() < 1 || image.width() > 20000 || image.height() > 20000)
    return QStringLiteral("odd size %1x%2").arg(image.width()).arg(image.height());
  return QString();
}

quint32 le32(const QByteArray &b, int at) {
  return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
         quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}

bool oneColour(const QImage &image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  const QRgb first = rgb.pixel(0, 0);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if (line[x] != first) return false;
  }
  return true;
}

// Empty when the file is an uncompressed 24-bit BMP that Qt reads and that
// shows something.
QString bmpProblem(const QString &path) {
  const QByteArray bytes = readAll(path);
  if (bytes.size() < 54 || !bytes.startsWith("BM")) return QStringLiteral("no BMP header");
  if (le32(bytes, 2) != quint32(bytes.size())) return QStringLiteral("bfSize is not the file size");
  const int bitCount = quint8(bytes[28]) | quint8(bytes[29]) << 8;
  if (bitCount != 24) return QStringLiteral("biBitCount %1").arg(bitCount);
  if (le32(bytes, 30) != 0) return QStringLiteral("compressed");
  const QImage image(path, "BMP");
  if (image.isNull()) return QStringLiteral("Qt cannot read it");
  if (oneColour(image)) return QStringLiteral("blank: one colour throughout");
  return QString();
}

// ---- Text -----------------------------------------------------------------

bool isTextBearing(int type) { return type == 17 || type == 4 || type == 15 || type == 19; }

// Each shape's text ends with a paragraph mark unless it ends with one.
void appendShapeText(QString &text, const QString &shapeText) {
  if (shapeText.isEmpty()) return;
  text += shapeText;
  if (!shapeText.endsWith(u'\r')) text += u'\r';
}

// The text the job gathers, rebuilt from the reference: text boxes, WordArt
// and tables of each slide in shape order, then its comments. A table cell
// that a merged cell covers is an empty field.
QString referenceText(const QJsonObject &truth) {
  QString text(QLatin1String(""));
  for (const QJsonValue &slideValue : truth.value(QLatin1String("slides")).toArray()) {
    const QJsonObject slide = slideValue.toObject();
    for (const QJsonValue &shapeValue : slide.value(QLatin1String("shapes")).toArray()) {
      const QJsonObject shape = shapeValue.toObject();
      const int type = shape.value(QLatin1String("msoType")).toInt();
      if (type == 17) appendShapeText(text, shape.value(QLatin1String("rawText")).toString());
      if (type == 15) appendShapeText(text, shape.value(QLatin1String("wordArtText")).toString());
      if (type != 19) continue;
      const QJsonObject table = shape.value(QLatin1String("table")).toObject();
      for (const QJsonValue &row : table.value(QLatin1String("rawCells")).toArray()) {
        const QJsonArray cells = row.toArray();
        for (qsizetype i = 0; i < cells.size(); ++i)
          text += cells[i].toString() + (i + 1 < cells.size() ? u'\t' : u'\r');
      }
    }
    for (const QJsonValue &comment : slide.value(QLatin1String("comments")).toArray())
      appendShapeText(text, comment.toObject().value(QLatin1String("text")).toString());
  }
  return text;
}

// The text as the engine itself gathers it, for files the reference cannot
// describe fully.
QString engineText(const QString &path) {
  const auto presentation = office::powerpoint::createApplication()->Presentations()->Open(path);
  const auto slides = presentation->Slides();
  QString text(QLatin1String(""));
  for (std::int32_t s = 1; s <= slides->Count(); ++s) {
    const auto shapes = slides->Item(s)->Shapes();
    for (std::int32_t i = 1; i <= shapes->Count(); ++i) {
      const auto shape = shapes->Item(i);
      if (isTextBearing(shape->Type()))
        appendShapeText(text, shape->TextFrame()->TextRange()->Text());
    }
  }
  return text;
}

std::optional<QString> catdocText(const QString &path) {
  const QString catdoc = QStandardPaths::findExecutable(QStringLiteral("catdoc"));
  if (catdoc.isEmpty()) return std::nullopt;
  QProcess process;
  process.start(catdoc,
                {QStringLiteral("-d"), QStringLiteral("utf-8"), QStringLiteral("-w"), path});
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

// catdoc -w prints each paragraph as one line and a manual line break as a
// new line, and leaves out empty lines: compare the expected text the same way.
QString asCatdocLines(const QString &text) {
  QString lines = office::doc::documentText(text);
  lines.replace(QChar(0x0D), QChar(u'\n'));
  lines.replace(QChar(0x0B), QChar(u'\n'));
  QStringList kept = lines.split(QChar(u'\n'));
  kept.removeAll(QString());
  return kept.join(QChar(u'\n'));
}

// Whether text is expected with its symbol-font codes (the reference gives
// them as stored) turned into the characters they stand for.
bool matchesWithSymbolsMapped(const QString &text, const QString &expected) {
  if (text.size() != expected.size()) return false;
  static const morvane::SymbolFont kFonts[] = {
      morvane::SymbolFont::Symbol,     morvane::SymbolFont::Wingdings,
      morvane::SymbolFont::Wingdings2, morvane::SymbolFont::Wingdings3,
      morvane::SymbolFont::Webdings,   morvane::SymbolFont::OtherSymbolFont};
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == expected[i]) continue;
    const bool mapped = std::any_of(std::begin(kFonts), std::end(kFonts), [&](auto font) {
      return morvane::symbolCharacter(font, expected[i].unicode()) == text[i].unicode();
    });
    if (!mapped) return false;
  }
  return true;
}

QString withoutEmptyLines(const QString &text) {
  QStringList lines = text.split(QChar(u'\n'));
  lines.removeAll(QString());
  return lines.join(QChar(u'\n'));
}

QJsonObject shapeAt(const QJsonObject &truth, int slide, int shape) {
  const QJsonArray slides = truth.value(QLatin1String("slides")).toArray();
  if (slide < 1 || slide > slides.size()) return {};
  const QJsonArray shapes = slides[slide - 1].toObject().value(QLatin1String("shapes")).toArray();
  if (shape < 1 || shape > shapes.size()) return {};
  return shapes[shape - 1].toObject();
}

bool isMetafile(const QString &format) {
  return format == QLatin1String("WMF") || format == QLatin1String("EMF") ||
         format == QLatin1String("PICT");
}

// The pixel size a picture or chart comes out at: a metafile rendered at the
// shape's size at 150 dots per inch, a bitmap at its own pixel size less what
// is cropped off (a negative crop extends it). Empty when the reference does
// not give what it takes.
QSize expectedPixelSize(const QJsonObject &shape) {
  const QJsonObject picture = shape.value(QLatin1String("picture")).toObject();
  const QString format = picture.value(QLatin1String("format")).toString();
  if (isMetafile(format)) {
    const QJsonArray anchor = shape.value(QLatin1String("anchorPt")).toArray();
    if (anchor.size() != 4) return {};
    return QSize(qRound(anchor[2].toDouble() * 150 / 72), qRound(anchor[3].toDouble() * 150 / 72));
  }
  const int width = picture.value(QLatin1String("pixelWidth")).toInt();
  const int height = picture.value(QLatin1String("pixelHeight")).toInt();
  if (width <= 0 || height <= 0) return {};
  const QJsonObject crop = picture.value(QLatin1String("cropFractions")).toObject();
  const auto part = [&](const char *a, const char *b) {
    return 1 - crop.value(QLatin1String(a)).toDouble() - crop.value(QLatin1String(b)).toDouble();
  };
  return QSize(qRound(width * part("left", "right")), qRound(height * part("top", "bottom")));
}

// Rounding may differ by a pixel or two between writers.
bool closeTo(QSize actual, QSize expected) {
  return qAbs(actual.width() - expected.width()) <= 2 &&
         qAbs(actual.height() - expected.height()) <= 2;
}

QString sizeText(QSize size) {
  return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

}  // namespace

class TestE2eCorpus : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(QFileInfo::exists(QStringLiteral(MORVANE_EXTRACT))); }

  void cleanupTestCase() {
    qInfo(
        "%d pictures and charts (%d compared byte for byte, %d sizes checked), %d documents "
        "(%d against the engine's text)",
        pictures_ + charts_, hashed_, sized_, documents_, piecewise_);
  }

  void corpus_data() {
    QTest::addColumn<QString>("file");
    if (sharedDir().isEmpty() || !QDir(corpusDir()).exists()) {
      QTest::newRow("corpus absent") << QString();
      return;
    }
    for (const QString &name : QDir(corpusDir()).entryList(QDir::Files, QDir::Name))
      QTest::newRow(qPrintable(name)) << name;
  }

  // Each file: a pictures-only job, then a job with charts and text, each in
  // a folder of its own.
  void corpus() {
    QFETCH(QString, file);
    if (file.isEmpty()) QSKIP("the reference corpus (MORVANE_SHARED_DIR/corpus) is absent");
    const QJsonObject truth = readTruth(file);
    QVERIFY2(!truth.isEmpty(), "no reference reading for this file");
    const Disagreement *d = disagreement(file);
    if (d) qInfo("%s: we say %s: %s", qPrintable(file), d->ours, d->reason);
    const bool opens = d ? QLatin1String(d->ours) == QLatin1String("ok")
                         : truth.value(QLatin1String("status")).toString() == QLatin1String("ok");
    const QString original = corpusDir() + u'/' + file;

    JobFolder pictures(original, file);
    const Run picturesRun = extract({pictures.source});
    QCOMPARE(pictures.strays(), QStringList());

    JobFolder full(original, file);
    const Run fullRun = extract({QStringLiteral("--graph"), QStringLiteral("--text"),
                                 QStringLiteral("Notes"), full.source});
    QCOMPARE(full.strays(), QStringList());

    if (!opens) {
      checkFailedJob(picturesRun, pictures);
      checkFailedJob(fullRun, full);
      return;
    }
    const bool known = !d;  // the reference describes the file's content
    QCOMPARE(picturesRun.exitCode, 0);
    const int imgCount = int(pictures.entries(QStringLiteral("Img*")).size());
    QCOMPARE(picturesRun.out,
             asPrinted(openingLines(pictures.source) + pictureReport(imgCount, pictures.folder())));
    checkPictures(pictures, truth, known);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(fullRun.exitCode, 0);
    QCOMPARE(picturesOf(full), picturesOf(pictures));

    const QStringList graphs = full.entries(QStringLiteral("Graph*"));
    checkCharts(full, truth, known);
    if (QTest::currentTestFailed()) return;

    QString expectedText = known ? referenceText(truth) : QString();
    if (expectedText.isNull()) {
      expectedText = engineText(original);
      checkReferencePiecesWithin(expectedText, truth);
    }
    const bool hasText = !expectedText.isEmpty();
    QCOMPARE(QFileInfo::exists(full.path(QStringLiteral("Notes.doc"))), hasText);
    if (hasText) checkDocument(full.path(QStringLiteral("Notes.doc")), expectedText);
    if (QTest::currentTestFailed()) return;

    QString log = openingLines(full.source) + pictureReport(imgCount, full.folder());
    if (!hasText) log += QStringLiteral("No Text in The Selected File.....");
    if (graphs.isEmpty()) log = QStringLiteral("No Graphs in the Selected Presentation");
    QCOMPARE(fullRun.out, asPrinted(log));
  }

  // A generated deck: its pictures come out byte for byte in slide order, its
  // text boxes' text lands in Notes.doc.
  void generatedDeck() {
    using namespace morvane::pptgen;
    std::vector<GenSlide> slides(3);
    slides[0].title = QStringLiteral("Generated deck");
    slides[0].texts = {QStringLiteral("First box\nsecond paragraph"), QStringLiteral("Другой")};
    slides[2].texts = {QStringLiteral("Last slide 中文")};
    QList<QByteArray> jpegs;
    const int perSlide[] = {2, 1, 3};
    for (int s = 0, seed = 1; s < 3; ++s)
      for (int p = 0; p < perSlide[s]; ++p, ++seed) {
        slides[s].pictures.push_back(
            makePicture(seed, QSize(40 + 8 * seed, 30 + 4 * seed), PictureFormat::Jpeg));
        jpegs << slides[s].pictures.back().data;
      }
    QTemporaryDir dir;
    const QString source = QFileInfo(dir.filePath(QStringLiteral("deck.ppt"))).absoluteFilePath();
    writePresentation(source, slides);
    JobFolder job(source, QStringLiteral("deck.ppt"));
    const Run run = extract({QStringLiteral("--text"), QStringLiteral("Notes"), job.source});

    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, openingLines(job.source) + pictureReport(int(jpegs.size()), job.folder()));
    const QStringList imgs = job.entries(QStringLiteral("Img*"));
    QCOMPARE(imgs, numberedNames(QStringLiteral("Img"), QStringLiteral(".Jpg"), int(jpegs.size())));
    for (qsizetype i = 0; i < imgs.size(); ++i)
      QVERIFY2(readAll(job.path(imgs[i])) == jpegs[i], qPrintable(imgs[i]));
    checkDocument(job.path(QStringLiteral("Notes.doc")),
                  QStringLiteral("First box\rsecond paragraph\rДругой\rLast slide 中文\r"));
    QCOMPARE(job.strays(), QStringList());

    // A second job in the same folder re-uses the picture names, and refuses
    // to overwrite the document: one "Error:" line, the document untouched.
    const QByteArray document = readAll(job.path(QStringLiteral("Notes.doc")));
    const Run again = extract({QStringLiteral("--text"), QStringLiteral("Notes"), job.source});
    QCOMPARE(again.exitCode, 1);
    QVERIFY2(again.out.startsWith(openingLines(job.source) +
                                  pictureReport(int(jpegs.size()), job.folder())),
             qPrintable(again.out));
    QCOMPARE(again.out.count(QStringLiteral("Error: ")), 1);
    QVERIFY(again.out.endsWith(QStringLiteral("\r\n")));
    // The "Error:" line is a line of its own, even after the prompt's
    // "Please Enter A Valid Filename...", which has no line break.
    QVERIFY2(again.out.chopped(2)
                 .split(QStringLiteral("\r\n"))
                 .last()
                 .startsWith(QStringLiteral("Error: ")),
             qPrintable(again.out));
    QCOMPARE(job.entries(QStringLiteral("Img*")), imgs);
    for (qsizetype i = 0; i < imgs.size(); ++i)
      QVERIFY2(readAll(job.path(imgs[i])) == jpegs[i], qPrintable(imgs[i]));
    QCOMPARE(readAll(job.path(QStringLiteral("Notes.doc"))), document);
    QCOMPARE(job.strays(), QStringList());
  }

  // An output name taken by a symbolic link: the link is replaced by the
  // picture, the file it pointed at is left alone.
  void plantedLinkIsReplaced() {
    using namespace morvane::pptgen;
    std::vector<GenSlide> slides(1);
    slides[0].pictures.push_back(makePicture(7, QSize(48, 32), PictureFormat::Jpeg));
    QTemporaryDir dir;
    const QString deck = dir.filePath(QStringLiteral("deck.ppt"));
    writePresentation(deck, slides);
    const QString target = dir.filePath(QStringLiteral("keep.txt"));
    QFile keep(target);
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write("not to be overwritten");
    keep.close();

    JobFolder job(deck, QStringLiteral("deck.ppt"));
    QVERIFY(QFile::link(target, job.path(QStringLiteral("Img0001.Jpg"))));
    const Run run = extract({job.source});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readAll(target), QByteArray("not to be overwritten"));
    QVERIFY(!QFileInfo(job.path(QStringLiteral("Img0001.Jpg"))).isSymLink());
    QCOMPARE(readAll(job.path(QStringLiteral("Img0001.Jpg"))), slides[0].pictures[0].data);
    QCOMPARE(job.strays(), QStringList());
  }

 private:
  static inline int pictures_ = 0, hashed_ = 0, sized_ = 0, charts_ = 0, documents_ = 0,
                    piecewise_ = 0;

  // A failed job: exit status 1 and a log of the opening lines (unless the
  // file's first bytes showed that no reader can open it) and exactly one
  // "Error: " line, its last; no output files.
  static void checkFailedJob(const Run &run, const JobFolder &job) {
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.startsWith(openingLines(job.source)) ||
                 run.out.startsWith(QStringLiteral("Error: ")),
             qPrintable(run.out));
    QVERIFY2(run.out.endsWith(QStringLiteral("\r\n")), qPrintable(run.out));
    const QStringList lines = run.out.chopped(2).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^Error: "))).size(), 1);
    QVERIFY2(lines.last().startsWith(QStringLiteral("Error: ")), qPrintable(run.out));
    QCOMPARE(job.entries(QStringLiteral("*")), QStringList{QFileInfo(job.source).fileName()});
  }

  // Graph0001.Bmp... one per chart, each an uncompressed 24-bit BMP that
  // shows something, at the chart's size on the slide.
  static void checkCharts(const JobFolder &full, const QJsonObject &truth, bool known) {
    const QStringList graphs = full.entries(QStringLiteral("Graph*"));
    const QJsonObject summary = truth.value(QLatin1String("summary")).toObject();
    charts_ += int(graphs.size());
    if (known) QCOMPARE(graphs.size(), summary.value(QLatin1String("charts3")).toInt());
    QCOMPARE(graphs,
             numberedNames(QStringLiteral("Graph"), QStringLiteral(".Bmp"), int(graphs.size())));
    for (const QString &graph : graphs)
      QVERIFY2(bmpProblem(full.path(graph)).isEmpty(),
               qPrintable(graph + QStringLiteral(": ") + bmpProblem(full.path(graph))));
    if (known) {
      for (const QJsonValue &value : summary.value(QLatin1String("graphSequence")).toArray()) {
        const QJsonObject entry = value.toObject();
        const int n = entry.value(QLatin1String("n")).toInt();
        QVERIFY(n >= 1 && n <= graphs.size());
        checkSize(full.path(graphs[n - 1]),
                  expectedPixelSize(shapeAt(truth, entry.value(QLatin1String("slide")).toInt(),
                                            entry.value(QLatin1String("shape")).toInt())));
      }
    }
  }

  // Img0001.Jpg... one per picture, each a JPEG that decodes, the uncropped
  // JPEG pictures byte for byte as stored.
  static void checkPictures(const JobFolder &job, const QJsonObject &truth, bool known) {
    const QStringList imgs = job.entries(QStringLiteral("Img*"));
    QCOMPARE(imgs, numberedNames(QStringLiteral("Img"), QStringLiteral(".Jpg"), int(imgs.size())));
    pictures_ += int(imgs.size());
    for (const QString &img : imgs)
      QVERIFY2(jpegProblem(job.path(img)).isEmpty(),
               qPrintable(img + QStringLiteral(": ") + jpegProblem(job.path(img))));
    if (!known) return;
    const QJsonObject summary = truth.value(QLatin1String("summary")).toObject();
    QCOMPARE(imgs.size(), summary.value(QLatin1String("pictures13")).toInt());
    for (const QJsonValue &value : summary.value(QLatin1String("imgSequence")).toArray()) {
      const QJsonObject entry = value.toObject();
      const QJsonObject shape = shapeAt(truth, entry.value(QLatin1String("slide")).toInt(),
                                        entry.value(QLatin1String("shape")).toInt());
      const QJsonObject picture = shape.value(QLatin1String("picture")).toObject();
      const int n = entry.value(QLatin1String("n")).toInt();
      QVERIFY(n >= 1 && n <= imgs.size());
      checkSize(job.path(imgs[n - 1]), expectedPixelSize(shape));
      if (entry.value(QLatin1String("format")).toString() != QLatin1String("JPEG") ||
          picture.isEmpty() || picture.value(QLatin1String("crop")).toBool())
        continue;
      ++hashed_;
      QCOMPARE(sha256Of(readAll(job.path(imgs[n - 1]))),
               entry.value(QLatin1String("sha256")).toString());
    }
  }

  // Where the engine's text stands in for the reference's, every stored text
  // the reference does give (text boxes, WordArt, table cells that are not
  // covered by a merge, comments) still appears in it, in order.
  static void checkReferencePiecesWithin(const QString &text, const QJsonObject &truth) {
    qsizetype from = 0;
    for (const QString &piece : referencePieces(truth)) {
      const qsizetype at = text.indexOf(piece, from);
      QVERIFY2(at >= 0, qPrintable(QStringLiteral("\"%1\" missing or out of order").arg(piece)));
      from = at + piece.size();
    }
    ++piecewise_;
  }

  static QStringList referencePieces(const QJsonObject &truth) {
    QStringList pieces;
    for (const QJsonValue &slideValue : truth.value(QLatin1String("slides")).toArray()) {
      const QJsonObject slide = slideValue.toObject();
      for (const QJsonValue &value : slide.value(QLatin1String("shapes")).toArray()) {
        const QJsonObject shape = value.toObject();
        const int type = shape.value(QLatin1String("msoType")).toInt();
        if (type == 17) pieces << shape.value(QLatin1String("rawText")).toString();
        if (type == 15) pieces << shape.value(QLatin1String("wordArtText")).toString();
        if (type != 19) continue;
        const QJsonObject table = shape.value(QLatin1String("table")).toObject();
        for (const QJsonValue &row : table.value(QLatin1String("rawCells")).toArray())
          for (const QJsonValue &cell : row.toArray()) pieces << cell.toString();
      }
      for (const QJsonValue &comment : slide.value(QLatin1String("comments")).toArray())
        pieces << comment.toObject().value(QLatin1String("text")).toString();
    }
    pieces.removeAll(QString());
    return pieces;
  }

  static void checkSize(const QString &path, QSize expected) {
    if (expected.isEmpty()) return;
    const QSize actual = QImageReader(path).size();
    QVERIFY2(closeTo(actual, expected), qPrintable(QStringLiteral("%1: %2, expected %3")
                                                       .arg(QFileInfo(path).fileName(),
                                                            sizeText(actual), sizeText(expected))));
    ++sized_;
  }

  static QStringList picturesOf(const JobFolder &job) {
    QStringList hashes;
    for (const QString &img : job.entries(QStringLiteral("Img*")))
      hashes << img + u' ' + sha256Of(readAll(job.path(img)));
    return hashes;
  }

  // The document's text, read back by catdoc, is the gathered text.
  static void checkDocument(const QString &path, const QString &expected) {
    QVERIFY2(QFileInfo::exists(path), "no document written");
    const auto text = catdocText(path);
    if (!text) QSKIP("catdoc is not installed");
    ++documents_;
    const QString lines = withoutEmptyLines(*text), expectedLines = asCatdocLines(expected);
    if (matchesWithSymbolsMapped(lines, expectedLines)) return;
    QCOMPARE(lines, expectedLines);
  }
};

MORVANE_CORPUS_TEST_MAIN(TestE2eCorpus, "corpus")
#include "test_e2e_corpus.moc"
