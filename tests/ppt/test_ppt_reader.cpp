// The presentation reader on files built record by record: why a file cannot
// be opened, the chain of edits, which shapes a slide yields with which type,
// and their text.

#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "common/error.h"
#include "office/powerpoint/application.h"
#include "office/ppt/application.h"
#include "pptbuilder.h"

using namespace pptbuilder;

namespace {

QString openError(const QString &path) {
  try {
    office::powerpoint::createApplication()->Presentations()->Open(path);
  } catch (const morvane::Error &e) {
    return e.description();
  }
  return QString();
}

bool writeFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool writePresentation(const QString &path, const Streams &streams) {
  return writeCompoundFile(path, {{QStringLiteral("Current User"), streams.currentUser},
                                  {QStringLiteral("PowerPoint Document"), streams.document}});
}

ShapeSpec textBox(const QString &text) {
  ShapeSpec s;
  s.shapeType = 202;
  s.textbox = {textAtoms(text)};
  return s;
}

ShapeSpec cell(const QString &text, std::int16_t top, std::int16_t left) {
  ShapeSpec s = textBox(text);
  s.shapeType = 1;
  s.childAnchor = true;
  s.top = top;
  s.left = left;
  s.right = std::int16_t(left + 100);
  s.bottom = std::int16_t(top + 50);
  return s;
}

ShapeSpec frame(std::vector<std::pair<std::uint16_t, std::uint32_t>> properties,
                QList<QByteArray> clientData = {}) {
  ShapeSpec s;
  s.shapeType = 75;
  s.properties = std::move(properties);
  s.clientData = std::move(clientData);
  return s;
}

QByteArray exObjList() {
  const auto oleAtom = [](std::uint32_t id) {
    return atom(0x0FC3, u32(1) + u32(2) + u32(id) + u32(0) + u32(0) + u32(0));
  };
  const QByteArray chart =
      container(0x0FCC, {atom(0x0FCD, QByteArray(8, '\0')), oleAtom(5),
                         atom(0x0FBA, utf16(QStringLiteral("MSGraph.Chart.8")), 2)});
  const QByteArray sheet =
      container(0x0FCC, {atom(0x0FCD, QByteArray(8, '\0')), oleAtom(6),
                         atom(0x0FBA, utf16(QStringLiteral("Excel.Sheet.8")), 2)});
  const QByteArray movie = container(0x1006, {container(0x1005, {atom(0x1004, u32(7) + u32(0))}),
                                              atom(0x0FBA, utf16(QStringLiteral("clip.avi")))});
  return container(0x0409, {atom(0x040A, u32(7)), chart, sheet, movie});
}

Options withObjects() {
  Options options;
  options.exObjList = exObjList();
  return options;
}

// One slide with a shape of every kind the object model tells apart.
QList<SlideSpec> everyKind() {
  SlideSpec slide;
  ShapeSpec title;
  title.clientData = {placeholder()};
  title.textbox = {atom(0x0F9F, u32(0)), outlineRef(1)};
  ShapeSpec wordArt;
  wordArt.shapeType = 136;
  wordArt.wordArt = QStringLiteral("Big\r\nwords");
  ShapeSpec line;
  line.shapeType = 20;
  ShapeSpec linked = frame({{0x0106, 0x08}});
  const QByteArray table =
      group({shape(cell(QStringLiteral("d"), 50, 100)), shape(cell(QStringLiteral("a"), 0, 0)),
             shape(cell(QStringLiteral("c"), 50, 0)), shape(cell(QStringLiteral("b"), 0, 100))},
            true);
  slide.shapes = {shape(title),
                  shape(textBox(QStringLiteral("One\rTwo\vthree"))),
                  shape(frame({{0x4104, 1}})),
                  shape(linked),
                  shape(frame({{0x4104, 2}}, {exObjRef(5)})),
                  shape(frame({{0x4104, 3}}, {exObjRef(6)})),
                  shape(frame({}, {exObjRef(7)})),
                  shape(frame({{0x4104, 1}}, {placeholder()})),
                  shape(wordArt),
                  shape(line),
                  shape(ShapeSpec{}),
                  group({shape(ShapeSpec{})}, false),
                  table};
  slide.outlineTexts = {QStringLiteral("not this"), QStringLiteral("Title text")};
  slide.extraRecords = {comment(QStringLiteral("Looks good"))};
  return {slide};
}

}  // namespace

class PptReaderTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(dir_.isValid()); }

  void openFailures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << "empty.ppt" << QByteArray() << "the file is empty";
    QTest::newRow("text") << "notes.ppt" << QByteArray("Just some text, not a presentation\n")
                          << "it is not an OLE2 compound file";
    QTest::newRow("zip") << "new.ppt" << QByteArray("PK\x03\x04\x14\x00\x06\x00", 8)
                         << "(.pptx) with a .ppt name";
    QTest::newRow("short ole2 header")
        << "short.ppt" << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\x00", 9)
        << "the file is damaged or truncated";
  }

  void openFailures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString path = dir_.filePath(name);
    QVERIFY(writeFile(path, bytes));
    const QString error = openError(path);
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY2(!error.contains(name), "the reason must not name the file");
  }

  void missingUnreadableAndFolder() {
    QVERIFY(openError(dir_.filePath(QStringLiteral("absent.ppt"))).contains("does not exist"));
    QVERIFY(openError(dir_.path()).contains("folder"));
    const QString fifo = dir_.filePath(QStringLiteral("pipe.ppt"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(openError(fifo).contains("not a regular file"));
    const QString locked = dir_.filePath(QStringLiteral("locked.ppt"));
    QVERIFY(writeFile(locked, "x"));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (::geteuid() == 0) QSKIP("permissions do not bind the super-user");
    QVERIFY(openError(locked).contains("permission denied"));
  }

  void compoundFilesWithoutPresentation_data() {
    QTest::addColumn<QStringList>("streams");
    QTest::addColumn<QString>("reason");
    QTest::newRow("word") << QStringList{"WordDocument", "1Table"} << "without a presentation";
    QTest::newRow("ooxml encrypted")
        << QStringList{"EncryptionInfo", "EncryptedPackage"} << "encrypted (password-protected)";
    QTest::newRow("powerpoint 95")
        << QStringList{"PowerPoint Document", "Header", "PP40"} << "PowerPoint 95 or earlier";
  }

  void compoundFilesWithoutPresentation() {
    QFETCH(QStringList, streams);
    QFETCH(QString, reason);
    QList<std::pair<QString, QByteArray>> content;
    for (const QString &name : streams) content.append({name, QByteArray(600, 'z')});
    const QString path = dir_.filePath(QStringLiteral("compound.ppt"));
    QVERIFY(writeCompoundFile(path, content));
    const QString error = openError(path);
    QVERIFY2(error.contains(reason), qPrintable(error));
  }

  void powerPoint95CurrentUser() {
    const Streams streams = presentation(everyKind());
    const QByteArray user95 = u32(6) + QByteArray("tester");
    const QString path = dir_.filePath(QStringLiteral("pp95.ppt"));
    QVERIFY(
        writeCompoundFile(path, {{QStringLiteral("Current User"), user95},
                                 {QStringLiteral("PowerPoint Document"), QByteArray(900, 'x')}}));
    QVERIFY(openError(path).contains("PowerPoint 95 or earlier"));
    // A 97 document stream behind a damaged current user is still found.
    QVERIFY(writeCompoundFile(path, {{QStringLiteral("Current User"), user95},
                                     {QStringLiteral("PowerPoint Document"), streams.document}}));
    QCOMPARE(openError(path), QString());
  }

  void encryption_data() {
    QTest::addColumn<bool>("tokenSaysEncrypted");
    QTest::newRow("header token") << true;
    QTest::newRow("crypt session in the user edit") << false;
  }

  void encryption() {
    QFETCH(bool, tokenSaysEncrypted);
    Options options;
    if (tokenSaysEncrypted)
      options.headerToken = 0xF3D1C4DF;
    else
      options.encryptedSession = true;
    const QString path = dir_.filePath(QStringLiteral("locked.ppt"));
    QVERIFY(writePresentation(path, presentation(everyKind(), options)));
    QCOMPARE(openError(path), QStringLiteral("the presentation is encrypted (password-protected)"));
  }

  // Every prefix of the document stream either opens or fails cleanly.
  void truncatedDocumentStream() {
    const Streams streams = presentation(everyKind(), withObjects());
    const QString path = dir_.filePath(QStringLiteral("cut.ppt"));
    for (qsizetype length = 0; length < streams.document.size(); length += 7) {
      QVERIFY(writePresentation(path, {streams.document.left(length), streams.currentUser}));
      try {
        walk(path);
      } catch (const morvane::Error &e) {
        QVERIFY2(e.description().startsWith("the file is damaged"), qPrintable(e.description()));
      }
    }
  }

  void truncatedCompoundFile() {
    const QString whole = dir_.filePath(QStringLiteral("whole.ppt"));
    QVERIFY(writePresentation(whole, presentation(everyKind())));
    QFile f(whole);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QString path = dir_.filePath(QStringLiteral("cut.ppt"));
    for (qsizetype length = 8; length < bytes.size(); length += 97) {
      QVERIFY(writeFile(path, bytes.left(length)));
      try {
        walk(path);
      } catch (const morvane::Error &) {
      }
    }
  }

  void truncatedCorpusFile() {
    QFile source(qEnvironmentVariable("MORVANE_SHARED_DIR") +
                 QStringLiteral("/corpus/basic_test_ppt_file.ppt"));
    if (!source.open(QIODevice::ReadOnly)) QSKIP("The reference corpus is not available");
    const QByteArray bytes = source.readAll();
    const QString path = dir_.filePath(QStringLiteral("cut.ppt"));
    int failures = 0;
    for (int part = 1; part < 40; ++part) {
      QVERIFY(writeFile(path, bytes.left(bytes.size() * part / 40)));
      try {
        walk(path);
      } catch (const morvane::Error &e) {
        QVERIFY2(e.description().contains("damaged"), qPrintable(e.description()));
        ++failures;
      }
    }
    QVERIFY(failures > 0);
  }

  void editChain() {
    SlideSpec older{{shape(textBox(QStringLiteral("first save")))}, {}, {}, {}, {}};
    SlideSpec newer{{shape(textBox(QStringLiteral("second save")))}, {}, {}, {}, {}};
    Options options;
    options.newerSlide1 = newer;
    const QString path = dir_.filePath(QStringLiteral("edits.ppt"));
    QVERIFY(writePresentation(path, presentation({older}, options)));
    QCOMPARE(firstText(path), QStringLiteral("second save"));

    // An edit that points back at itself is repaired from the stream's edits.
    Options loop;
    loop.editLoop = true;
    QVERIFY(writePresentation(path, presentation({older}, loop)));
    QCOMPARE(firstText(path), QStringLiteral("first save"));
  }

  void shapeTypesAndTexts() {
    const QString path = dir_.filePath(QStringLiteral("kinds.ppt"));
    QVERIFY(writePresentation(path, presentation(everyKind(), withObjects())));
    auto app = office::powerpoint::createApplication();
    auto slides = app->Presentations()->Open(path)->Slides();
    QCOMPARE(slides->Count(), 1);
    auto shapes = slides->Item(1)->Shapes();
    QList<int> types;
    for (int i = 1; i <= shapes->Count(); ++i) types << shapes->Item(i)->Type();
    QCOMPARE(types, (QList<int>{14, 17, 13, 11, 3, 7, 16, 13, 15, 9, 1, 6, 19, 4}));

    const auto text = [&](int i) { return shapes->Item(i)->TextFrame()->TextRange()->Text(); };
    QCOMPARE(text(1), QStringLiteral("Title text"));
    QCOMPARE(text(2), QStringLiteral("One\rTwo\vthree"));
    QCOMPARE(text(9), QStringLiteral("Big\r\nwords"));
    QCOMPARE(text(11), QString());
    QCOMPARE(text(13), QStringLiteral("a\tb\rc\td\r"));
    QCOMPARE(text(14), QStringLiteral("Looks good"));
    for (int pictureOrObject : {3, 4, 5, 6, 7, 8, 12})
      QVERIFY_THROWS_EXCEPTION(morvane::Error, shapes->Item(pictureOrObject)->TextFrame());
    QVERIFY_THROWS_EXCEPTION(morvane::Error, shapes->Item(15));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, shapes->Item(3)->Export(dir_.filePath("x.gif"),
                                                                     PowerPoint::ppShapeFormatGIF));
    // No picture store in this file: the export fails with a reason.
    QVERIFY_THROWS_EXCEPTION(morvane::Error, shapes->Item(3)->Export(dir_.filePath("x.jpg"),
                                                                     PowerPoint::ppShapeFormatJPG));
  }

  void activePresentationAndQuit() {
    auto app = office::powerpoint::createApplication();
    QVERIFY_THROWS_EXCEPTION(morvane::Error, app->ActivePresentation());
    const QString path = dir_.filePath(QStringLiteral("kinds.ppt"));
    QVERIFY(writePresentation(path, presentation(everyKind())));
    app->Presentations()->Open(path);
    QCOMPARE(app->ActivePresentation()->Slides()->Count(), 1);
    app->Quit();
    QVERIFY_THROWS_EXCEPTION(morvane::Error, app->ActivePresentation());
  }

 private:
  static void walk(const QString &path) {
    auto slides = office::powerpoint::createApplication()->Presentations()->Open(path)->Slides();
    for (int i = 1; i <= slides->Count(); ++i) {
      auto shapes = slides->Item(i)->Shapes();
      for (int j = 1; j <= shapes->Count(); ++j) {
        auto shape = shapes->Item(j);
        try {
          shape->TextFrame()->TextRange()->Text();
        } catch (const morvane::Error &) {
        }
      }
    }
  }

  static QString firstText(const QString &path) {
    auto slides = office::powerpoint::createApplication()->Presentations()->Open(path)->Slides();
    return slides->Item(1)->Shapes()->Item(1)->TextFrame()->TextRange()->Text();
  }

  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(PptReaderTest)
#include "test_ppt_reader.moc"
