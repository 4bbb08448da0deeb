// The Word 97-2003 writer: the documents follow the format's rules byte by
// byte (a strict reader of our own), antiword and catdoc give back their
// text, the word processor's object model maps positions, styles and fonts
// onto the stored text, right-to-left paragraphs are marked, and saving
// fails with the system's reason and leaves nothing behind.

#include <sys/mount.h>
#include <sys/resource.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <optional>

#include "common/error.h"
#include "docinspector.h"
#include "docsamples.h"
#include "office/doc/docwriter.h"
#include "office/doc/wordapp.h"

namespace {

using office::doc::DocumentContent;

std::optional<QString> runReader(const QString &program, const QStringList &arguments) {
  const QString path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) return std::nullopt;
  QProcess process;
  process.start(path, arguments);
  if (!process.waitForFinished(300000) || process.exitCode() != 0) {
    qWarning() << program << process.readAllStandardError();
    return QString();
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The expected text as the readers print it: one line per paragraph, a
// manual line break as a new line.
QString asLines(const QString &text) {
  QString lines = office::doc::documentText(text);
  lines.replace(QChar(0x0D), QChar(u'\n'));
  lines.replace(QChar(0x0B), QChar(u'\n'));
  return lines;
}

// antiword lays text out: a tab becomes spaces, blank lines surround the
// text. Compare with white space runs folded and blank lines at either end
// removed.
QString foldedForAntiword(QString text) {
  text.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
  text.replace(QRegularExpression(QStringLiteral(" +\\n")), QStringLiteral("\n"));
  while (text.startsWith(u'\n')) text.remove(0, 1);
  while (text.endsWith(u'\n')) text.chop(1);
  return text;
}

// catdoc -w prints each paragraph as one line but leaves out empty ones.
QString withoutEmptyLines(const QString &text) {
  QStringList lines = text.split(QChar(u'\n'));
  lines.removeAll(QString());
  return lines.join(QChar(u'\n'));
}

QString manyParagraphs(int count) {
  QStringList paragraphs;
  for (int i = 1; i <= count; ++i)
    paragraphs << QStringLiteral("Paragraph %1 of the long document").arg(i);
  return paragraphs.join(QChar(u'\r'));
}

docinspect::Document inspectContent(const DocumentContent &content) {
  return docinspect::inspect(office::doc::buildDocument(content));
}

// The characters of the stored text that runs mark right to left.
QString rightToLeftCharacters(const docinspect::Document &doc) {
  QString marked;
  for (const auto &run : doc.runs) {
    if (run.rightToLeft) marked += doc.text.mid(run.start, run.end - run.start) + u'|';
  }
  return marked;
}

// A word processor document with text inserted, as the harvest makes it.
std::shared_ptr<Word::Document> documentWith(const QString &text) {
  static auto app = office::doc::createApplication();
  auto document = app->Documents()->Add();
  document->Paragraphs()->Item(1)->Range()->InsertAfter(text);
  return document;
}

docinspect::Document saved(const std::shared_ptr<Word::Document> &document, const QString &path) {
  document->SaveAs(path);
  return docinspect::inspectFile(path);
}

// The font named for each character of the stored text ("" for none).
QStringList fontsOf(const docinspect::Document &doc) {
  QStringList fonts;
  for (const auto &run : doc.runs) {
    for (qsizetype cp = run.start; cp < run.end; ++cp)
      fonts << (run.font < 0 ? QString() : doc.fonts[run.font]);
  }
  return fonts;
}

QStringList headingTexts(const docinspect::Document &doc) {
  QStringList headings;
  for (const auto &p : doc.paragraphs) {
    if (p.istd == 1) headings << doc.text.mid(p.start, p.end - p.start - 1);
  }
  return headings;
}

}  // namespace

class TestDocWriter : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void readersGiveBackTheText_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("one paragraph") << QStringLiteral("HelloWorld");
    QTest::newRow("paragraphs, line breaks, tabs")
        << QStringLiteral("Title\rFirst line\vsecond line\rcell one\tcell two\r\rafter a blank");
    QTest::newRow("mixed scripts and right to left") << QStringLiteral(
        "Chinese 中文文本\rРусский\rΕλληνικά ∑ √ ∞\rمرحبا بالعالم 123!\r"
        "שלום עולם, 42.\rJapanese 日本語\vKorean 한국어\tArabic العربية");
    QTest::newRow("10,000 paragraphs") << manyParagraphs(10000);
  }

  // Each document is read by antiword and catdoc; both must give back the
  // text, paragraph by paragraph.
  void readersGiveBackTheText() {
    QFETCH(QString, text);
    const QString path = dir_.filePath(QStringLiteral("%1.doc").arg(++count_));
    office::doc::writeDocument({.text = text}, path);

    const auto catdoc =
        runReader(QStringLiteral("catdoc"),
                  {QStringLiteral("-d"), QStringLiteral("utf-8"), QStringLiteral("-w"), path});
    if (!catdoc) QSKIP("catdoc is not installed");
    QCOMPARE(withoutEmptyLines(*catdoc), withoutEmptyLines(asLines(text)));

    const auto antiword =
        runReader(QStringLiteral("antiword"), {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"),
                                               QStringLiteral("-w"), QStringLiteral("0"), path});
    if (!antiword) QSKIP("antiword is not installed");
    QCOMPARE(foldedForAntiword(*antiword), foldedForAntiword(asLines(text)));
  }

  // Every sample, written through the object model, follows the format's
  // rules and holds its text, headings, right-to-left paragraphs and fonts.
  void samplesFollowTheRules() {
    QTemporaryDir folder;
    for (const docsamples::Sample &sample : docsamples::writeSamples(folder.path())) {
      const docinspect::Document doc = docinspect::inspectFile(sample.path);
      QVERIFY2(doc.problems.isEmpty(),
               qPrintable(sample.name + QStringLiteral(": ") + doc.problems.join(u"; ")));
      QCOMPARE(doc.text, sample.expected);
      QCOMPARE(doc.paragraphs.size(), sample.paragraphs.size());
      for (std::size_t i = 0; i < doc.paragraphs.size(); ++i) {
        QCOMPARE(doc.paragraphs[i].istd, sample.paragraphs[i].heading ? 1 : 0);
        QCOMPARE(doc.paragraphs[i].rightToLeft, sample.paragraphs[i].rightToLeft);
      }
      const QStringList fonts = fontsOf(doc);
      for (qsizetype cp = 0; cp < doc.text.size(); ++cp) {
        const bool symbol = doc.text[cp].unicode() >= 0xF020 && doc.text[cp].unicode() <= 0xF0FF;
        QCOMPARE(fonts[cp], symbol ? sample.symbolFont : QString());
      }
      QCOMPARE(doc.title, sample.title);
      QCOMPARE(doc.associatedStrings.value(2), sample.title);
    }
  }

  // The fixed parts: fifteen style slots with "heading 1" filled as Word
  // defines it, the CompObj names, the properties with the application and
  // the times, Word's class identifier.
  void fixedStructuresAreWordsOwn() {
    const QDateTime created(QDate(2024, 3, 1), QTime(9, 30), Qt::UTC);
    const QDateTime saved(QDate(2024, 3, 2), QTime(17, 45), Qt::UTC);
    const docinspect::Document doc = inspectContent({.text = QStringLiteral("x"),
                                                     .title = QStringLiteral("Deck"),
                                                     .created = created,
                                                     .saved = saved});
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(u"; ")));
    QCOMPARE(doc.styles.size(), std::size_t(15));
    QCOMPARE(doc.styles[0].name, QStringLiteral("Normal"));
    QCOMPARE(doc.styles[1].name, QStringLiteral("heading 1"));
    QCOMPARE(doc.styles[1].sti, 1);
    QCOMPARE(doc.styles[10].name, QStringLiteral("Default Paragraph Font"));
    for (int istd : {2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14}) QVERIFY(doc.styles[istd].empty);
    QVERIFY(doc.stiMaxWhenSaved > 107);
    int operand = -1;
    QVERIFY(docinspect::findSprm(doc.styles[1].paragraphProperties, 0x2640, &operand));
    QCOMPARE(operand, 0);  // outline level 1
    QVERIFY(docinspect::findSprm(doc.styles[1].characterProperties, 0x0835, &operand));
    QCOMPARE(operand, 1);  // bold
    QVERIFY(docinspect::findSprm(doc.styles[1].characterProperties, 0x4A43, &operand));
    QCOMPARE(operand, 32);  // 16 pt
    QVERIFY(docinspect::findSprm(doc.styles[1].characterProperties, 0x4A4F, &operand));
    QCOMPARE(doc.fonts.value(operand), QStringLiteral("Arial"));
    QCOMPARE(doc.compObjStrings,
             QStringList({QStringLiteral("Microsoft Word 97-2003 Document"),
                          QStringLiteral("MSWordDoc"), QStringLiteral("Word.Document.8")}));
    QCOMPARE(doc.title, QStringLiteral("Deck"));
    QCOMPARE(doc.application, QStringLiteral("Morvane"));
    QCOMPARE(doc.created, created);
    QCOMPARE(doc.saved, saved);
    QVERIFY(doc.streams.value(QStringLiteral("WordDocument")).size() >= 4096);
  }

  // A paragraph runs right to left when its first strong character does;
  // its right-to-left characters, the numbers among them and the neutral
  // characters between or behind them run right to left; left-to-right
  // words keep their direction.
  void rightToLeftParagraphs_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("paragraph");
    QTest::addColumn<QString>("marked");
    QTest::newRow("Arabic") << QStringLiteral("مرحبا بالعالم!") << true
                            << QStringLiteral("مرحبا بالعالم!\r|");
    QTest::newRow("Hebrew with digits")
        << QStringLiteral("שלום עולם, 42.") << true << QStringLiteral("שלום עולם, 42.\r|");
    QTest::newRow("Arabic with Arabic-Indic digits")
        << QStringLiteral("العدد ١٢٣ كبير") << true << QStringLiteral("العدد ١٢٣ كبير\r|");
    QTest::newRow("digits before Hebrew")
        << QStringLiteral("123 שקלים.") << true << QStringLiteral("123 שקלים.\r|");
    QTest::newRow("Latin word inside Hebrew")
        << QStringLiteral("שלום world 42.") << true << QStringLiteral("שלום | 42.\r|");
    QTest::newRow("Arabic word inside English")
        << QStringLiteral("Hello عالم, 42.") << false << QStringLiteral("عالم|");
    QTest::newRow("Latin only") << QStringLiteral("Hello, 42.") << false << QString();
    QTest::newRow("no strong character") << QStringLiteral("123 ...") << false << QString();
  }
  void rightToLeftParagraphs() {
    QFETCH(QString, text);
    QFETCH(bool, paragraph);
    QFETCH(QString, marked);
    const docinspect::Document doc = inspectContent({.text = text});
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(u"; ")));
    QCOMPARE(doc.paragraphs.size(), std::size_t(1));
    QCOMPARE(doc.paragraphs[0].rightToLeft, paragraph);
    QCOMPARE(rightToLeftCharacters(doc), marked);
    for (const auto &run : doc.runs) QCOMPARE(run.complexScript, run.rightToLeft);
  }

  // The text mapping: breaks, tabs and the final paragraph mark; control
  // characters that Word would read as fields or objects are dropped.
  void documentTextMapsBreaks() {
    using office::doc::documentText;
    QCOMPARE(documentText(QString()), QStringLiteral("\r"));
    QCOMPARE(documentText(QStringLiteral("a\rb\vc\td")), QStringLiteral("a\rb\vc\td\r"));
    QCOMPARE(documentText(QStringLiteral("a\r\nb\nc\r")), QStringLiteral("a\rb\rc\r\r"));
    QCOMPARE(documentText(QStringLiteral("f\x13x\x14y\x15\x07\x01z")), QStringLiteral("fxyz\r"));
    const QString pair = QString::fromUcs4(U"\U0001F600");
    QCOMPARE(documentText(pair + QChar(0xD800) + QStringLiteral("x") + QChar(0xDC00)),
             pair + QStringLiteral("\uFFFDx\uFFFD\r"));
  }

  // Positions count the inserted text: behind CR LF, LF and dropped control
  // characters, headings and fonts still land on the characters meant.
  void positionsCountTheInsertedText() {
    const QString text = QStringLiteral("a\r\nb\x01\x13\r\nSlide 2\nsym \uF0E0\uF0E0 x\rend");
    auto document = documentWith(text);
    const auto at = [&](const QString &s) { return std::int32_t(text.indexOf(s)); };
    document->Range(at(QStringLiteral("Slide")), at(QStringLiteral("Slide")) + 7)
        ->put_Style(Word::wdStyleHeading1);
    document->Range(at(QStringLiteral("\uF0E0")), at(QStringLiteral("\uF0E0")) + 2)
        ->Font()
        ->put_Name(QStringLiteral("Wingdings"));
    const auto doc = saved(document, dir_.filePath(QStringLiteral("positions.doc")));
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(u"; ")));
    QCOMPARE(doc.text, QStringLiteral("a\rb\rSlide 2\rsym \uF0E0\uF0E0 x\rend\r"));
    QCOMPARE(headingTexts(doc), QStringList{QStringLiteral("Slide 2")});
    const QStringList fonts = fontsOf(doc);
    for (qsizetype cp = 0; cp < doc.text.size(); ++cp)
      QCOMPARE(fonts[cp], doc.text[cp] == u'\uF0E0' ? QStringLiteral("Wingdings") : QString());
  }

  // A style goes to every paragraph the range touches, whole; Normal takes
  // it back. Text inserted later moves the formatting along and takes the
  // paragraph's style and the font before it.
  void stylesAndFontsFollowTheText() {
    auto document = documentWith(QStringLiteral("one\rtwo\rthree\rfour"));
    document->Range(5, 10)->put_Style(Word::wdStyleHeading1);   // "wo\rth"
    document->Range(14, 14)->put_Style(Word::wdStyleHeading1);  // inside "four"
    document->Range(8, 9)->put_Style(Word::wdStyleNormal);      // inside "three"
    document->Range(0, 2)->Font()->put_Name(QStringLiteral("Courier New"));
    document->Paragraphs()->Item(1)->Range()->InsertAfter(QStringLiteral("new\r"));
    document->Range(1, 1)->InsertAfter(QStringLiteral("XY"));
    auto doc = saved(document, dir_.filePath(QStringLiteral("styles.doc")));
    QCOMPARE(doc.text, QStringLiteral("oXYne\rnew\rtwo\rthree\rfour\r"));
    // "new" went into the heading "two" and took its style.
    QCOMPARE(headingTexts(doc),
             QStringList({QStringLiteral("new"), QStringLiteral("two"), QStringLiteral("four")}));
    QCOMPARE(fontsOf(doc).mid(0, 6),
             QStringList({QStringLiteral("Courier New"), QStringLiteral("Courier New"),
                          QStringLiteral("Courier New"), QStringLiteral("Courier New"), QString(),
                          QString()}));
    // The last paragraph, and the document's end, through the final mark.
    document = documentWith(QStringLiteral("a\rb"));
    document->Range(3, 4)->put_Style(Word::wdStyleHeading1);
    doc = saved(document, dir_.filePath(QStringLiteral("last.doc")));
    QCOMPARE(headingTexts(doc), QStringList{QStringLiteral("b")});
  }

  // Misuse fails with an error and changes nothing.
  void misuseFails() {
    auto document = documentWith(QStringLiteral("abc"));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->Range(-1, 2));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->Range(2, 1));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->Range(0, 5));
    QVERIFY_THROWS_EXCEPTION(morvane::Error,
                             document->Range(0, 1)->put_Style(Word::WdBuiltinStyle(-3)));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->Range(0, 1)->Font()->put_Name(QString()));
    QVERIFY_THROWS_EXCEPTION(morvane::Error,
                             document->Range(0, 1)->Font()->put_Name(QStringLiteral("\r\t")));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->Paragraphs()->Item(2));
    document->Range(0, 4)->Font()->put_Name(QString(80, u'F'));  // cut to a face name's length
    const auto doc = saved(document, dir_.filePath(QStringLiteral("misuse.doc")));
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(u"; ")));
    QCOMPARE(doc.fonts.last(), QString(31, u'F'));
    document->Close();
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->Range(0, 1));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->put_Title(QStringLiteral("x")));
    const DocumentContent outside{.text = QStringLiteral("ab"),
                                  .fonts = {{{1, 4}, QStringLiteral("F")}}};
    QVERIFY_THROWS_EXCEPTION(morvane::Error, office::doc::buildDocument(outside));
    const DocumentContent overlapping{.text = QStringLiteral("abc"), .headings = {{0, 2}, {1, 3}}};
    QVERIFY_THROWS_EXCEPTION(morvane::Error, office::doc::buildDocument(overlapping));
    DocumentContent fonts{.text = QString(40000, u'x')};
    for (int i = 0; i < 33000; ++i)
      fonts.fonts.push_back({{i, i + 1}, QStringLiteral("F%1").arg(i)});
    QVERIFY_THROWS_EXCEPTION(morvane::Error, office::doc::buildDocument(fonts));
  }

  // The title is one line of characters, cut to what the strings table
  // holds; control characters and halves of surrogate pairs (a file name
  // that is not UTF-8) do not reach it.
  void titleIsPlainText() {
    const QString broken = QStringLiteral("Deck\nof ") + QChar(0xDC80) + QStringLiteral("x");
    auto doc = inspectContent({.text = QStringLiteral("x"), .title = broken});
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(u"; ")));
    QCOMPARE(doc.title, QStringLiteral("Deck of \uFFFDx"));
    doc = inspectContent({.text = QStringLiteral("x"), .title = QString(300, u'T')});
    QCOMPARE(doc.title, QString(300, u'T'));
    QCOMPARE(doc.associatedStrings.value(2), QString(255, u'T'));
  }

  // Many fonts, runs and paragraphs spread over many formatting pages, and
  // every page stays within the format's limits.
  void manyRunsAndParagraphsFillManyPages() {
    DocumentContent content;
    for (int i = 0; i < 3000; ++i) {
      const qsizetype start = content.text.size();
      content.text += QStringLiteral("w%1 \uF0E0 مرحبا x\r").arg(i);
      content.fonts.push_back({{start + 3, start + 4}, QStringLiteral("Font %1").arg(i % 40)});
      if (i % 7 == 0) content.headings.push_back({start, start + 1});
    }
    const docinspect::Document doc = inspectContent(content);
    QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(u"; ")));
    QCOMPARE(doc.fonts.size(), 3 + 40);
    QCOMPARE(doc.paragraphs.size(), std::size_t(3001));
    QVERIFY(doc.runs.size() > 3 * 3000);
  }

  // Random texts of every kind of code unit the harvest may pass (breaks,
  // controls, right-to-left letters, digits, symbol codes, surrogate pairs
  // and their lone halves) with random fonts and headings: every document
  // follows the rules and holds the mapped text.
  void randomTextsFollowTheRules() {
    static const char16_t kPalette[] = {u'a',   u' ',   u'.',   u'7',   u'\r',  u'\n',  u'\v',
                                        u'\t',  0x01,   0x13,   0x0627, 0x05D0, 0x0661, 0xF0E0,
                                        0x4E2D, 0xD83D, 0xDE00, 0x200F, 0xFEFF};
    QRandomGenerator random(20240301);
    for (int round = 0; round < 300; ++round) {
      DocumentContent content;
      const int length = random.bounded(round % 10 == 0 ? 6000 : 300);
      for (int i = 0; i < length; ++i)
        content.text.append(QChar(kPalette[random.bounded(int(std::size(kPalette)))]));
      for (qsizetype at = 0; at < length;) {
        const qsizetype start = at + random.bounded(20);
        const qsizetype end = std::min<qsizetype>(start + random.bounded(10), length + 1);
        if (start > end) break;
        if (random.bounded(2))
          content.fonts.push_back({{start, end}, QStringLiteral("F%1").arg(random.bounded(5))});
        else
          content.headings.push_back({start, end});
        at = end;
      }
      const docinspect::Document doc = inspectContent(content);
      QVERIFY2(doc.problems.isEmpty(), qPrintable(doc.problems.join(u"; ")));
      QCOMPARE(doc.text, office::doc::documentText(content.text));
    }
  }

  // Saving never replaces a file, and a failure leaves nothing behind.
  void savingIsAllOrNothing() {
    QTemporaryDir folder;
    const QString existing = folder.filePath(QStringLiteral("Notes.doc"));
    {
      QFile f(existing);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("keep me");
    }
    QVERIFY_THROWS_EXCEPTION(morvane::Error,
                             office::doc::writeDocument({.text = QStringLiteral("x")}, existing));
    QFile kept(existing);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep me"));

    const QString missingFolder = folder.filePath(QStringLiteral("no/such/Notes.doc"));
    QVERIFY_THROWS_EXCEPTION(
        morvane::Error, office::doc::writeDocument({.text = QStringLiteral("x")}, missingFolder));

    // A name of the longest length the folder takes still works.
    const QString longName = folder.filePath(QString(251, u'n') + QStringLiteral(".doc"));
    office::doc::writeDocument({.text = QStringLiteral("x")}, longName);
    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, QStringList(
                       {QString(251, u'n') + QStringLiteral(".doc"), QStringLiteral("Notes.doc")}));
  }

  // A full disk, and a file-size limit, give the system's reason; no
  // document and no temporary file remain.
  void writeFailuresGiveTheSystemsReason() {
    const QString text = manyParagraphs(20000);  // about 1 MB
    QTemporaryDir small;
    if (::mount("tmpfs", QFile::encodeName(small.path()).constData(), "tmpfs", 0, "size=64k") ==
        0) {
      expectFailure(text, small.path(), QString::fromLocal8Bit(std::strerror(ENOSPC)));
      QVERIFY(::umount(QFile::encodeName(small.path()).constData()) == 0);
    } else {
      qInfo("no tmpfs can be mounted here (%s); the file-size limit stands in",
            std::strerror(errno));
    }
    QTemporaryDir limited;
    rlimit before{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = before;
    limit.rlim_cur = 64 * 1024;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
    expectFailure(text, limited.path(), QString::fromLocal8Bit(std::strerror(EFBIG)));
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &before) == 0);
    std::signal(SIGXFSZ, previous);
  }

  // The real job over every deck of the reference corpus, with and without
  // --every-text: each document follows the rules, holds the gathered text
  // and the deck's name as its title; with --every-text each slide's text
  // stands under a "Slide N" heading.
  void corpusDocumentsFollowTheRules_data() {
    QTest::addColumn<bool>("everyText");
    QTest::newRow("text boxes, WordArt, tables, comments") << false;
    QTest::newRow("every text") << true;
  }
  void corpusDocumentsFollowTheRules() {
    QFETCH(bool, everyText);
    QTemporaryDir folder;
    QStringList failures;
    const auto documents = docsamples::writeCorpusDocuments(folder.path(), everyText, &failures);
    if (documents.empty() && failures.isEmpty())
      QSKIP("the reference corpus (MORVANE_SHARED_DIR/corpus) is absent");
    for (const QString &failure : failures) qInfo("no document: %s", qPrintable(failure));
    if (documents.empty() && docsamples::readerLacksMembers(failures))
      QSKIP("the presentation reader does not offer what the harvest needs yet");
    QVERIFY(documents.size() > 20);
    for (const auto &document : documents) {
      const docinspect::Document doc = docinspect::inspectFile(document.path);
      QVERIFY2(doc.problems.isEmpty(),
               qPrintable(document.deck + QStringLiteral(": ") + doc.problems.join(u"; ")));
      QCOMPARE(doc.text, document.expected);
      QCOMPARE(doc.title, QFileInfo(document.deck).completeBaseName());
      const QStringList headings = headingTexts(doc);
      QCOMPARE(headings.isEmpty(), !everyText);
      for (qsizetype i = 0; i < headings.size(); ++i)
        QCOMPARE(headings[i], QStringLiteral("Slide %1").arg(i + 1));
    }
  }

 private:
  void expectFailure(const QString &text, const QString &folder, const QString &reason) {
    const QString path = folder + QStringLiteral("/Notes.doc");
    try {
      office::doc::writeDocument({.text = text}, path);
      QFAIL("the document was written");
    } catch (const morvane::Error &e) {
      QVERIFY2(e.description().contains(path) && e.description().contains(reason),
               qPrintable(e.description()));
    }
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
  }

  QTemporaryDir dir_;
  int count_ = 0;
};

QTEST_GUILESS_MAIN(TestDocWriter)
#include "test_docwriter.moc"
