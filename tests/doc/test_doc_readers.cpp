// Independent readers open the documents: Apache POI's HWPF ("hwpf") or
// LibreOffice ("libreoffice"), named by the first argument. Both read the
// samples written through the object model and the documents the real job
// writes for the reference corpus, and must give back their text; the
// headings, right-to-left paragraphs, fonts and title where the reader
// tells them. Without the reader the program exits with 77, which CTest
// reports as skipped.

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "docsamples.h"

namespace {

constexpr int kSkipped = 77;
const QString kJavaLibraries = QStringLiteral("/usr/share/java/");
const QStringList kPoiJars = {QStringLiteral("poi.jar"), QStringLiteral("poi-scratchpad.jar"),
                              QStringLiteral("commons-collections4.jar"),
                              QStringLiteral("commons-math3.jar")};

QString classPath(const QString &classes) {
  QStringList path{classes};
  for (const QString &jar : kPoiJars) path << kJavaLibraries + jar;
  return path.join(QLatin1Char(':'));
}

// Why the reader cannot run here, or nothing.
QString missingReader(const QString &reader) {
  if (reader == QLatin1String("hwpf")) {
    for (const char *program : {"java", "javac"}) {
      if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
        return QStringLiteral("%1 is not installed").arg(QLatin1String(program));
    }
    for (const QString &jar : kPoiJars.mid(0, 2)) {
      if (!QFileInfo::exists(kJavaLibraries + jar))
        return QStringLiteral("Apache POI (%1) is not installed").arg(jar);
    }
    return {};
  }
  return QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty()
             ? QStringLiteral("LibreOffice is not installed")
             : QString();
}

struct Run {
  int exitCode = -1;
  QString out;
  QString err;
};

Run run(const QString &program, const QStringList &arguments) {
  QProcess process;
  process.start(QStandardPaths::findExecutable(program), arguments);
  Run result;
  if (!process.waitForFinished(600000)) return result;
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = QString::fromUtf8(process.readAllStandardOutput());
  result.err = QString::fromUtf8(process.readAllStandardError());
  return result;
}

QString fromHex(const QString &hex) {
  if (hex == QLatin1String("-")) return {};
  QString text;
  for (qsizetype i = 0; i + 4 <= hex.size(); i += 4)
    text.append(QChar(char16_t(hex.mid(i, 4).toUShort(nullptr, 16))));
  return text;
}

// What HWPF found in one document (see hwpf/CheckDoc.java).
struct HwpfDocument {
  QString error;
  QString text;
  QList<QStringList> paragraphs;  // start end istd level rightToLeft
  QList<QStringList> runs;        // start end font bold halfPoints
  QString title;
  QString application;
  qint64 created = -1;
  qint64 saved = -1;
};

QMap<QString, HwpfDocument> parseHwpf(const QString &output) {
  QMap<QString, HwpfDocument> documents;
  HwpfDocument *current = nullptr;
  for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const QString kind = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    const QStringList fields = rest.split(QLatin1Char(' '));
    if (kind == QLatin1String("FILE")) {
      current = &documents[rest];
    } else if (!current) {
      continue;
    } else if (kind == QLatin1String("ERROR")) {
      current->error = rest;
    } else if (kind == QLatin1String("TEXT")) {
      current->text = fromHex(rest);
    } else if (kind == QLatin1String("PARA")) {
      current->paragraphs << fields;
    } else if (kind == QLatin1String("RUN")) {
      current->runs << QStringList{fields[0], fields[1], fromHex(fields[2]), fields[3], fields[4]};
    } else if (kind == QLatin1String("PROP")) {
      current->title = fromHex(fields[0]);
      current->application = fromHex(fields[1]);
      current->created = fields[2].toLongLong();
      current->saved = fields[3].toLongLong();
    }
  }
  return documents;
}

// The expected text as a text export prints it: a line per paragraph, a
// manual line break as a new line.
QString asLines(QString text) {
  text.replace(QChar(0x0D), QChar(u'\n'));
  text.replace(QChar(0x0B), QChar(u'\n'));
  return text;
}

QString readText(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QString text = QString::fromUtf8(file.readAll());
  text.remove(QChar(0xFEFF));
  return text;
}

}  // namespace

class TestDocReaders : public QObject {
  Q_OBJECT

 public:
  explicit TestDocReaders(const QString &reader) : reader_(reader) {}

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    QDir().mkpath(dir_.filePath(QStringLiteral("samples")));
    samples_ = docsamples::writeSamples(dir_.filePath(QStringLiteral("samples")));
    QStringList failures;
    corpus_ =
        docsamples::writeCorpusDocuments(dir_.filePath(QStringLiteral("corpus")), false, &failures);
    const auto everyText = docsamples::writeCorpusDocuments(
        dir_.filePath(QStringLiteral("every-text")), true, &failures);
    corpus_.insert(corpus_.end(), everyText.begin(), everyText.end());
    if (reader_ == QLatin1String("hwpf")) compileHwpfProgram();
  }

  void samplesReadBack() {
    if (reader_ == QLatin1String("hwpf"))
      checkSamplesWithHwpf();
    else
      checkSamplesWithLibreOffice();
  }

  // The text; with HWPF also the "Slide N" headings of --every-text.
  void corpusDocumentsReadBack() {
    if (corpus_.empty()) QSKIP("the reference corpus (MORVANE_SHARED_DIR/corpus) is absent");
    QStringList paths;
    for (const auto &document : corpus_) paths << document.path;
    if (reader_ == QLatin1String("libreoffice")) {
      const QMap<QString, QString> texts = libreOfficeTexts(paths);
      for (const auto &document : corpus_) {
        QVERIFY2(texts.value(document.path) == asLines(document.expected),
                 qPrintable(document.deck + QStringLiteral(": the text differs")));
      }
      return;
    }
    const auto documents = readWithHwpf(paths);
    for (const auto &document : corpus_) {
      const HwpfDocument doc = documents.value(document.path);
      QVERIFY2(doc.error.isEmpty(), qPrintable(document.deck + QStringLiteral(": ") + doc.error));
      QVERIFY2(doc.text == document.expected,
               qPrintable(document.deck + QStringLiteral(": the text differs")));
      QStringList headings;
      for (const QStringList &p : doc.paragraphs) {
        if (p[2] == QLatin1String("1"))
          headings << doc.text.mid(p[0].toInt(), p[1].toInt() - p[0].toInt() - 1);
      }
      QCOMPARE(headings.isEmpty(), !document.everyText);
      for (qsizetype i = 0; i < headings.size(); ++i)
        QCOMPARE(headings[i], QStringLiteral("Slide %1").arg(i + 1));
    }
  }

 private:
  // ---- HWPF ---------------------------------------------------------------------

  void compileHwpfProgram() {
    classes_ = dir_.filePath(QStringLiteral("classes"));
    const Run javac = run(QStringLiteral("javac"),
                          {QStringLiteral("-cp"), classPath(classes_), QStringLiteral("-d"),
                           classes_, QStringLiteral(CHECKDOC_SOURCE)});
    QVERIFY2(javac.exitCode == 0, qPrintable(javac.err));
  }

  QMap<QString, HwpfDocument> readWithHwpf(const QStringList &paths) {
    const Run java =
        run(QStringLiteral("java"),
            QStringList{QStringLiteral("-cp"), classPath(classes_), QStringLiteral("CheckDoc")} +
                paths);
    if (java.exitCode != 0)
      qWarning("%s%s", qPrintable(java.out.right(2000)), qPrintable(java.err));
    if (!java.err.trimmed().isEmpty()) qWarning("HWPF complained: %s", qPrintable(java.err));
    return parseHwpf(java.out);
  }

  void checkSamplesWithHwpf() {
    QStringList paths;
    for (const auto &sample : samples_) paths << sample.path;
    const auto documents = readWithHwpf(paths);
    for (const auto &sample : samples_) {
      const HwpfDocument doc = documents.value(sample.path);
      QVERIFY2(doc.error.isEmpty(), qPrintable(sample.name + QStringLiteral(": ") + doc.error));
      QCOMPARE(doc.text, sample.expected);
      QCOMPARE(doc.paragraphs.size(), qsizetype(sample.paragraphs.size()));
      for (qsizetype i = 0; i < doc.paragraphs.size(); ++i) {
        const auto &spec = sample.paragraphs[std::size_t(i)];
        QCOMPARE(doc.paragraphs[i][2], spec.heading ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(doc.paragraphs[i][3], spec.heading ? QStringLiteral("0") : QStringLiteral("9"));
        QCOMPARE(doc.paragraphs[i][4],
                 spec.rightToLeft ? QStringLiteral("1") : QStringLiteral("0"));
      }
      for (const QStringList &r : doc.runs) {
        const QString runText = doc.text.mid(r[0].toInt(), r[1].toInt() - r[0].toInt());
        const bool symbols =
            runText.contains(QRegularExpression(QStringLiteral("[\uF020-\uF0FF]")));
        if (symbols) QCOMPARE(r[2], sample.symbolFont);
      }
      QCOMPARE(doc.title, sample.title);
      QCOMPARE(doc.application, QStringLiteral("Morvane"));
      QVERIFY(doc.created > 0 && doc.saved >= doc.created);
    }
  }

  // ---- LibreOffice ----------------------------------------------------------------

  // Converts the documents in one run; the outputs by document path.
  QMap<QString, QString> convert(const QStringList &paths, const QString &format,
                                 const QString &extension) {
    const QString in = dir_.filePath(QStringLiteral("lo-in-") + extension);
    const QString out = dir_.filePath(QStringLiteral("lo-out-") + extension);
    QDir().mkpath(in);
    QStringList copies;
    for (qsizetype i = 0; i < paths.size(); ++i) {
      copies << QStringLiteral("%1/%2.doc").arg(in).arg(i);
      QFile::remove(copies.back());
      QFile::copy(paths[i], copies.back());
    }
    const QString profile =
        QUrl::fromLocalFile(dir_.filePath(QStringLiteral("profile"))).toString();
    const Run soffice =
        run(QStringLiteral("soffice"),
            QStringList{QStringLiteral("-env:UserInstallation=") + profile,
                        QStringLiteral("--headless"), QStringLiteral("--convert-to"), format,
                        QStringLiteral("--outdir"), out} +
                copies);
    if (soffice.exitCode != 0) qWarning("LibreOffice failed: %s", qPrintable(soffice.err));
    QMap<QString, QString> outputs;
    for (qsizetype i = 0; i < paths.size(); ++i) {
      const QString output = QStringLiteral("%1/%2.%3").arg(out).arg(i).arg(extension);
      if (QFileInfo::exists(output)) outputs.insert(paths[i], readText(output));
    }
    return outputs;
  }

  QMap<QString, QString> libreOfficeTexts(const QStringList &paths) {
    return convert(paths, QStringLiteral("txt:Text (encoded):UTF8,LF,,,"), QStringLiteral("txt"));
  }

  void checkSamplesWithLibreOffice() {
    QStringList paths;
    for (const auto &sample : samples_) paths << sample.path;
    const QMap<QString, QString> texts = libreOfficeTexts(paths);
    for (const auto &sample : samples_) {
      QVERIFY2(texts.contains(sample.path), qPrintable(sample.name + QStringLiteral(": unread")));
      QCOMPARE(texts.value(sample.path), asLines(sample.expected));
    }
    const QMap<QString, QString> flat =
        convert(paths, QStringLiteral("fodt"), QStringLiteral("fodt"));
    for (const auto &sample : samples_) checkFlatDocument(sample, flat.value(sample.path));
  }

  // Headings as outline level 1, right-to-left paragraphs, the symbol font
  // and the title, as LibreOffice's flat document shows them.
  void checkFlatDocument(const docsamples::Sample &sample, const QString &xml) {
    QVERIFY2(!xml.isEmpty(), qPrintable(sample.name + QStringLiteral(": not converted")));
    const QRegularExpression styles(
        QStringLiteral("<style:style style:name=\"([^\"]+)\" style:family=\"paragraph\"[^>]*>\\s*"
                       "<style:paragraph-properties[^>]*style:writing-mode=\"rl-tb\""));
    QStringList rightToLeftStyles;
    for (const auto &m : styles.globalMatch(xml)) rightToLeftStyles << m.captured(1);
    const QRegularExpression paragraph(
        QStringLiteral("<text:(p|h) text:style-name=\"([^\"]+)\"( text:outline-level=\"1\")?"));
    qsizetype i = 0;
    for (const auto &m : paragraph.globalMatch(xml)) {
      QVERIFY2(i < qsizetype(sample.paragraphs.size()), qPrintable(sample.name));
      const auto &spec = sample.paragraphs[std::size_t(i++)];
      QCOMPARE(m.captured(1) == QLatin1String("h") && !m.captured(3).isEmpty(), spec.heading);
      QCOMPARE(rightToLeftStyles.contains(m.captured(2)), spec.rightToLeft);
    }
    QCOMPARE(i, qsizetype(sample.paragraphs.size()));
    if (!sample.symbolFont.isEmpty())
      QVERIFY(xml.contains(QStringLiteral("style:font-name=\"%1\"").arg(sample.symbolFont)));
    if (!sample.title.isEmpty())
      QVERIFY(xml.contains(QStringLiteral("<dc:title>%1</dc:title>").arg(sample.title)));
  }

  QString reader_;
  QTemporaryDir dir_;
  QString classes_;
  std::vector<docsamples::Sample> samples_;
  std::vector<docsamples::CorpusDocument> corpus_;
};

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QString reader = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (reader != QLatin1String("hwpf") && reader != QLatin1String("libreoffice")) {
    std::fprintf(stderr, "usage: %s hwpf|libreoffice [test options]\n", argv[0]);
    return 2;
  }
  if (const QString missing = missingReader(reader); !missing.isEmpty()) {
    std::printf("Skipped: %s\n", qPrintable(missing));
    return kSkipped;
  }
  TestDocReaders test(reader);
  argv[1] = argv[0];
  return QTest::qExec(&test, argc - 1, argv + 1);
}

#include "test_doc_readers.moc"
