// The text harvest of the job core (no window), with a scripted
// presentation, a scripted (or the real) word processor and scripted answers
// to the prompt.

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>

#include "common/error.h"
#include "fakedeck.h"
#include "fakepowerpoint.h"
#include "fakeword.h"
#include "job/extractionjob.h"
#include "office/doc/wordapp.h"

namespace {

struct Question {
  QString prompt;
  QString title;
  QString defaultText;
};

// Gives the scripted answers in turn and records each question; running
// out of answers fails, so a prompt loop cannot hang a test.
class ScriptedInputBox {
 public:
  ScriptedInputBox(QStringList answers, std::shared_ptr<std::vector<Question>> asked)
      : answers_(answers.begin(), answers.end()), asked_(std::move(asked)) {}
  QString operator()(const QString &prompt, const QString &title) {
    asked_->push_back({prompt, title, QString()});
    if (answers_.empty()) throw morvane::Error(QStringLiteral("no more scripted answers"));
    const QString answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

 private:
  std::deque<QString> answers_;
  std::shared_ptr<std::vector<Question>> asked_;
};

fake::ShapeSpec shape(std::int32_t type, const QString &text) {
  fake::ShapeSpec spec;
  spec.type = type;
  spec.text = text;
  return spec;
}

fake::ShapeSpec textless(std::int32_t type) {
  fake::ShapeSpec spec;
  spec.type = type;
  spec.hasText = false;
  return spec;
}

// The job's log as text, as the window's status log keeps it.
class TextLog : public job::Log {
 public:
  void replace(const QString &piece) override { text = piece; }
  void append(const QString &piece) override { text += piece; }
  QString text;
};

const QString kNoText = QStringLiteral("No Text in The Selected File.....");
const QString kInvalid = QStringLiteral("Please Enter A Valid Filename...");

}  // namespace

class TestTxtSave : public QObject {
  Q_OBJECT

 private:
  TextLog log;
  std::unique_ptr<job::ExtractionJob> w;
  std::unique_ptr<QTemporaryDir> dir;
  QString folder;
  std::shared_ptr<fakeword::Script> word;
  std::shared_ptr<std::vector<Question>> asked;

  void openPresentation(const std::vector<fake::SlideSpec> &slides) {
    auto calls = std::make_shared<fake::CallLog>();
    w->PowerPointApp.reset();
    w->PowerPointApp.setFactory([=] { return std::make_shared<fake::Application>(slides, calls); });
    w->PowerPointApp->Presentations()->Open(folder + QStringLiteral("popo.ppt"));
  }
  void answer(const QStringList &answers) { w->askName = ScriptedInputBox(answers, asked); }
  void useFakeWord() {
    w->WordApp.setFactory(
        [script = word] { return std::make_shared<fakeword::Application>(script); });
  }
  QStringList harvestCalls(const QString &text, const QString &name) const {
    return {QStringLiteral("create"),
            QStringLiteral("Documents"),
            QStringLiteral("Add"),
            QStringLiteral("Paragraphs"),
            QStringLiteral("Item 1"),
            QStringLiteral("Range"),
            QStringLiteral("InsertAfter ") + text,
            QStringLiteral("SaveAs ") + folder + name,
            QStringLiteral("Close"),
            QStringLiteral("Quit")};
  }
  void writeFile(const QString &name, const QByteArray &content) {
    QFile f(folder + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
  }

 private slots:
  void init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    folder = dir->path() + QLatin1Char('/');
    log.text.clear();
    w = std::make_unique<job::ExtractionJob>(log);
    w->OutputFolder = folder;
    word = std::make_shared<fakeword::Script>();
    asked = std::make_shared<std::vector<Question>>();
    useFakeWord();
  }
  void cleanup() {
    w.reset();
    dir.reset();
  }

  // Two text boxes give two paragraphs; the word processor's calls come in
  // the harvest's order, the prompt names the folder, and no message follows.
  void helloWorldFromTwoTextBoxes() {
    openPresentation({{shape(PowerPoint::msoTextBox, QStringLiteral("Hello")),
                       shape(PowerPoint::msoTextBox, QStringLiteral("World"))}});
    answer({QStringLiteral("Notes")});
    w->replaceLog(QStringLiteral("Processing ..........\r\n"));
    const QString logBefore = log.text;
    w->Txt_Save();

    QCOMPARE(word->calls,
             harvestCalls(QStringLiteral("Hello\rWorld\r"), QStringLiteral("Notes.doc")));
    QCOMPARE(asked->size(), size_t(1));
    QCOMPARE(asked->at(0).prompt,
             QStringLiteral("Enter New File Name.....(Location: ") + folder + QStringLiteral(")"));
    QCOMPARE(asked->at(0).title, QStringLiteral("Saving"));
    QCOMPARE(asked->at(0).defaultText, QString());
    QCOMPARE(log.text, logBefore);
    QVERIFY(w->WordApp.isEmpty());
    QVERIFY(!w->WordDoc);
  }

  // Slides in order, shapes in collection order, only text boxes, comments,
  // WordArt and tables; each shape's text ends with a paragraph mark unless
  // it ends with one already (a table's last row); empty ones add nothing.
  void walkTakesTextBearingShapesInOrder() {
    openPresentation({
        {shape(PowerPoint::msoTextBox, QStringLiteral("A")), textless(PowerPoint::msoPicture),
         shape(PowerPoint::msoPlaceholder, QStringLiteral("title")),
         shape(PowerPoint::msoTable, QStringLiteral("T1\tT2\r"))},
        {},
        {shape(PowerPoint::msoComment, QStringLiteral("C")),
         shape(PowerPoint::msoTextBox, QString()), textless(PowerPoint::msoChart),
         shape(PowerPoint::msoTextEffect, QStringLiteral("W\vX")),
         shape(PowerPoint::msoAutoShape, QStringLiteral("auto"))},
    });
    answer({QStringLiteral("Notes")});
    w->Txt_Save();
    QCOMPARE(w->GatheredText, QStringLiteral("A\rT1\tT2\rC\rW\vX\r"));
    QVERIFY(word->calls.contains(QStringLiteral("InsertAfter A\rT1\tT2\rC\rW\vX\r")));
  }

  // Nothing gathered: the message runs on after the previous log piece; no
  // word processor, no prompt.
  void noTextGivesTheMessageOnly() {
    openPresentation({{shape(PowerPoint::msoPlaceholder, QStringLiteral("Title")),
                       shape(PowerPoint::msoTextBox, QString()), textless(PowerPoint::msoPicture)},
                      {shape(PowerPoint::msoAutoShape, QStringLiteral("x"))}});
    answer({});
    w->replaceLog(QStringLiteral("No images found in the selected presentation"));
    w->Txt_Save();
    QCOMPARE(log.text, QStringLiteral("No images found in the selected presentation") + kNoText);
    QCOMPARE(word->applicationsCreated, 0);
    QVERIFY(asked->empty());
    QVERIFY(w->WordApp.isEmpty());

    openPresentation({});
    w->Txt_Save();
    QCOMPARE(log.text,
             QStringLiteral("No images found in the selected presentation") + kNoText + kNoText);
  }

  // Empty OK and Cancel (both empty answers) each give the message, back to
  // back; then the real word processor saves Notes.doc in the folder.
  void promptRepeatsUntilANameIsGiven() {
    w->WordApp.setFactory(office::doc::createApplication);
    openPresentation({{shape(PowerPoint::msoTextBox, QStringLiteral("Hello\r")),
                       shape(PowerPoint::msoTextBox, QStringLiteral("World"))}});
    answer({QString(), QString(), QStringLiteral("Notes")});
    w->replaceLog(QStringLiteral("Processing ..........\r\n"));
    const QString logBefore = log.text;
    w->Txt_Save();

    QCOMPARE(log.text, logBefore + kInvalid + kInvalid);
    QCOMPARE(asked->size(), size_t(3));
    QVERIFY(w->WordApp.isEmpty());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Notes.doc"});

    const QString catdoc = QStandardPaths::findExecutable(QStringLiteral("catdoc"));
    if (catdoc.isEmpty()) QSKIP("catdoc is not installed");
    QProcess reader;
    reader.start(catdoc, {QStringLiteral("-d"), QStringLiteral("utf-8"), QStringLiteral("-w"),
                          folder + QStringLiteral("Notes.doc")});
    QVERIFY(reader.waitForFinished());
    QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), QStringLiteral("Hello\nWorld\n"));
  }

  // Names that would leave the folder, replace a file or carry control
  // characters are refused, each with its reason, and asked again.
  void refusedNamesAskAgain() {
    writeFile(QStringLiteral("Taken.doc"), "keep");
    QVERIFY(QDir(folder).mkdir(QStringLiteral("Box.doc")));
    openPresentation({{shape(PowerPoint::msoTextBox, QStringLiteral("Hello"))}});
    const QString separator = QStringLiteral(" (a name cannot contain \"/\" or \"\\\")");
    const QString control =
        QStringLiteral(" (a name cannot contain control characters such as line breaks or tabs)");
    const QList<QPair<QString, QString>> refused{
        {QStringLiteral("../x"), separator},
        {QStringLiteral("a/b"), separator},
        {QStringLiteral("a\\b"), separator},
        {QStringLiteral("."), QStringLiteral(" (\".\" is not a name)")},
        {QStringLiteral(".."), QStringLiteral(" (\"..\" is not a name)")},
        {QStringLiteral("x") + QChar(0), control},
        {QStringLiteral("two\rlines"), control},
        {QStringLiteral("tab\there"), control},
        {QStringLiteral("Taken"), QStringLiteral(" (Taken.doc already exists)")},
        {QStringLiteral("Box"), QStringLiteral(" (Box.doc is a folder)")}};
    QStringList answers;
    QString expectedLog;
    for (const auto &[name, reason] : refused) {
      answers << name;
      expectedLog += kInvalid + reason;
    }
    answer(answers + QStringList{QStringLiteral("Fine")});
    w->replaceLog(QString());
    w->Txt_Save();

    QCOMPARE(log.text, expectedLog);
    QCOMPARE(word->calls.filter(QStringLiteral("SaveAs")),
             QStringList{QStringLiteral("SaveAs ") + folder + QStringLiteral("Fine.doc")});
    QFile taken(folder + QStringLiteral("Taken.doc"));
    QVERIFY(taken.open(QIODevice::ReadOnly));
    QCOMPARE(taken.readAll(), QByteArray("keep"));
  }

  // The command line's fixed answer: a refused name ends the harvest with an
  // error naming it instead of asking again.
  void fixedAnswerEndsWithAnErrorWhenRefused() {
    writeFile(QStringLiteral("Taken.doc"), "keep");
    openPresentation({{shape(PowerPoint::msoTextBox, QStringLiteral("Hello"))}});
    w->askName = job::fixedAnswer(QStringLiteral("Taken"));
    w->replaceLog(QString());
    try {
      w->Txt_Save();
      QFAIL("the harvest did not fail");
    } catch (const morvane::Error &e) {
      QCOMPARE(e.description(), QStringLiteral("the name \"Taken\" was refused"));
    }
    QCOMPARE(log.text, kInvalid + QStringLiteral(" (Taken.doc already exists)"));
    QVERIFY(word->calls.filter(QStringLiteral("SaveAs")).isEmpty());
  }

  // Each harvest starts its own word processor and holds one presentation's
  // text.
  void secondHarvestStartsANewWordProcessor() {
    openPresentation({{shape(PowerPoint::msoTextBox, QStringLiteral("First"))}});
    answer({QStringLiteral("One")});
    w->Txt_Save();
    openPresentation({{shape(PowerPoint::msoTextBox, QStringLiteral("Second"))}});
    answer({QStringLiteral("Two")});
    w->Txt_Save();

    QCOMPARE(word->applicationsCreated, 2);
    QCOMPARE(word->calls, harvestCalls(QStringLiteral("First\r"), QStringLiteral("One.doc")) +
                              harvestCalls(QStringLiteral("Second\r"), QStringLiteral("Two.doc")));
  }

  // A failing SaveAs ends the harvest with its error; the word processor and
  // its document stay held, and the next harvest uses that word processor.
  void failingSaveKeepsTheWordProcessor() {
    word->failSaveAs = true;
    openPresentation({{shape(PowerPoint::msoTextBox, QStringLiteral("Hello"))}});
    answer({QStringLiteral("Notes")});
    QVERIFY_THROWS_EXCEPTION(morvane::Error, w->Txt_Save());
    QVERIFY(!w->WordApp.isEmpty());
    QVERIFY(w->WordDoc);
    QCOMPARE(word->calls.last(), QStringLiteral("SaveAs ") + folder + QStringLiteral("Notes.doc"));

    word->failSaveAs = false;
    answer({QStringLiteral("Notes")});
    w->Txt_Save();
    QCOMPARE(word->applicationsCreated, 1);
    QVERIFY(w->WordApp.isEmpty());
    QVERIFY(!w->WordDoc);

    // A shape that refuses its text frame ends the harvest before any word
    // processor starts.
    openPresentation({{textless(PowerPoint::msoTable)}});
    QVERIFY_THROWS_EXCEPTION(morvane::Error, w->Txt_Save());
    QCOMPARE(word->applicationsCreated, 1);
  }

  // --every-text: per slide a "Slide N" heading, then every shape with text
  // (placeholders, shapes inside groups), then the notes; the headings get
  // Word's Heading 1, the document the deck's name as its title.
  void everyTextWithHeadingsAndNotes() {
    fakedeck::Deck deck;
    fakedeck::Page first;
    first.shapes = {fakedeck::textBox(QStringLiteral("Title"), PowerPoint::msoPlaceholder),
                    fakedeck::group({fakedeck::textBox(QStringLiteral("In a group"))}),
                    fakedeck::picture("p")};
    first.notes = {fakedeck::textBox(QStringLiteral("Speaker notes"), PowerPoint::msoPlaceholder)};
    first.hasNotes = true;
    fakedeck::Page second;
    second.shapes = {fakedeck::textBox(QStringLiteral("Body\r"), PowerPoint::msoPlaceholder)};
    deck.slides = {first, second};
    w->PowerPointApp.setFactory([deck] { return std::make_shared<fakedeck::Application>(deck); });
    w->PowerPointApp->Presentations()->Open(folder + QStringLiteral("popo.ppt"));
    w->options.everyText = true;
    w->SplitPath(folder + QStringLiteral("Quarterly review.pptx"));
    answer({QStringLiteral("Notes")});
    w->Txt_Save();

    const QString text =
        QStringLiteral("Slide 1\rTitle\rIn a group\rSpeaker notes\rSlide 2\rBody\r");
    QCOMPARE(w->GatheredText, text);
    const qsizetype second2 = text.indexOf(QStringLiteral("Slide 2"));
    QCOMPARE(word->calls.mid(6, 6),
             (QStringList{QStringLiteral("InsertAfter ") + text, QStringLiteral("Range 0 7"),
                          QStringLiteral("Style -2"),
                          QStringLiteral("Range %1 %2").arg(second2).arg(second2 + 7),
                          QStringLiteral("Style -2"), QStringLiteral("Title Quarterly review")}));
  }

  // A character of a symbol font with no Unicode equivalent keeps its font
  // in the document; mapped text needs nothing.
  void unmappedSymbolCharactersKeepTheirFont() {
    fakedeck::Deck deck;
    fakedeck::Page slide;
    fakedeck::ShapeSpec box = fakedeck::textBox(QStringLiteral("Tick ") + QChar(0xF0FC) +
                                                QChar(0xF0FB) + QStringLiteral(" done \u2192"));
    box.symbolFont = QStringLiteral("Wingdings");
    slide.shapes = {box};
    deck.slides = {slide};
    w->PowerPointApp.setFactory([deck] { return std::make_shared<fakedeck::Application>(deck); });
    w->PowerPointApp->Presentations()->Open(folder + QStringLiteral("popo.ppt"));
    answer({QStringLiteral("Notes")});
    w->Txt_Save();
    QCOMPARE(word->calls.mid(7, 2),
             (QStringList{QStringLiteral("Range 5 7"), QStringLiteral("Font Wingdings")}));
  }
};

QTEST_MAIN(TestTxtSave)
#include "test_txt_save.moc"
