// The package layer of the PowerPoint 2007+ reader on packages built here:
// ZIP limits (entry count, names, bombs, declared sizes), recovery of a ZIP
// without its central directory, relationship targets, content types,
// missing parts, relationship cycles, and the XML hardening (depth, DTDs,
// entities, malformed parts). Also: the application picks the reader by the
// file's content, not its name.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "common/error.h"
#include "office/powerpoint/application.h"
#include "office/pptx/application.h"
#include "office/pptx/package.h"
#include "office/pptx/xmlstream.h"
#include "office/pptx/ziparchive.h"
#include "packagebuilder.h"

using office::pptx::Package;
using office::pptx::ZipArchive;
using office::pptx::ZipLimits;
using testpptx::Deck;
using testpptx::ZipItem;

namespace {

// The description of the morvane::Error that f throws; fails when none is thrown.
template <class F>
QString errorOf(F f) {
  try {
    f();
  } catch (const morvane::Error &e) {
    return e.description();
  }
  return QStringLiteral("(no error)");
}

QString openError(const QByteArray &bytes) {
  return errorOf([&] { office::pptx::openPresentation(bytes); });
}

std::shared_ptr<PowerPoint::Slide> firstSlide(const QByteArray &bytes) {
  return office::pptx::openPresentation(bytes)->Slides()->Item(1);
}

QString nested(int depth, const QString &inner) {
  QString xml = inner;
  for (int i = 0; i < depth; ++i)
    xml = QStringLiteral(
              "<p:grpSp><p:nvGrpSpPr><p:cNvPr id=\"9\" name=\"G\"/><p:cNvGrpSpPr/>"
              "<p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>") +
          xml + QStringLiteral("</p:grpSp>");
  return xml;
}

}  // namespace

class PptxPackageTest : public QObject {
  Q_OBJECT

 private slots:
  void relationshipTargetsResolveAgainstTheirSource() {
    const QString slide = QStringLiteral("/ppt/slides/slide1.xml");
    QCOMPARE(Package::resolve(slide, QStringLiteral("../media/image1.png")),
             QStringLiteral("/ppt/media/image1.png"));
    QCOMPARE(Package::resolve(slide, QStringLiteral("/ppt/media/a.png")),
             QStringLiteral("/ppt/media/a.png"));
    QCOMPARE(Package::resolve(slide, QStringLiteral("./b.xml")),
             QStringLiteral("/ppt/slides/b.xml"));
    QCOMPARE(Package::resolve(slide, QStringLiteral("my%20picture.png#frag")),
             QStringLiteral("/ppt/slides/my picture.png"));
    // Never past the package's root.
    QCOMPARE(Package::resolve(slide, QStringLiteral("../../../../../etc/passwd")),
             QStringLiteral("/etc/passwd"));
    QCOMPARE(Package::relationshipsPartOf(slide),
             QStringLiteral("/ppt/slides/_rels/slide1.xml.rels"));
  }

  // Part names are compared without regard to ASCII case and with
  // percent-encoding decoded, as the package format compares them.
  void partNamesMatchAsThePackageFormatSays() {
    auto zip = ZipArchive::fromBytes(testpptx::buildZip(
        {{QStringLiteral("PPT/Slides/Slide 1.XML"), "x"}, {QStringLiteral("a%41b"), "y"}}));
    QVERIFY(zip->find(QStringLiteral("/ppt/slides/slide%201.xml")));
    QVERIFY(zip->find(QStringLiteral("ppt/slides/slide 1.xml")));
    QVERIFY(zip->find(QStringLiteral("/aab")));
    QVERIFY(!zip->find(QStringLiteral("/ppt/slides/slide2.xml")));
  }

  void aWellFormedDeckOpens() {
    Deck deck;
    deck.addSlide(testpptx::spXml(QStringLiteral("T"), QStringLiteral("hello"), {}, true));
    auto presentation = office::pptx::openPresentation(deck.build());
    QCOMPARE(presentation->Slides()->Count(), 1);
    QCOMPARE(presentation->Slides()->Item(1)->Shapes()->Item(1)->TextFrame()->TextRange()->Text(),
             QStringLiteral("hello"));
  }

  // Slide shows, templates and macro-enabled presentations are read alike.
  void everyKindOfPresentationPackageOpens_data() {
    QTest::addColumn<QByteArray>("mainType");
    QTest::newRow("ppsx") << QByteArray("presentationml.slideshow.main+xml");
    QTest::newRow("potx") << QByteArray("presentationml.template.main+xml");
    QTest::newRow("pptm") << QByteArray("ms-powerpoint.presentation.macroEnabled.main+xml");
  }

  void everyKindOfPresentationPackageOpens() {
    QFETCH(QByteArray, mainType);
    Deck deck;
    deck.addSlide(QString());
    std::vector<ZipItem> items = deck.items();
    for (ZipItem &item : items)
      if (item.name == QLatin1String("[Content_Types].xml"))
        item.data.replace(
            "openxmlformats-officedocument.presentationml.presentation.main+xml",
            mainType.startsWith("ms-") ? mainType : "openxmlformats-officedocument." + mainType);
    QCOMPARE(office::pptx::openPresentation(testpptx::buildZip(items))->Slides()->Count(), 1);
  }

  // What is not a presentation is named as what it is.
  void packagesWithoutAPresentationAreNamed() {
    QVERIFY(openError(testpptx::buildZip({{QStringLiteral("a.txt"), "a"}}))
                .contains(QLatin1String("not a presentation")));
    Deck word;
    std::vector<ZipItem> items = word.items();
    for (ZipItem &item : items)
      if (item.name == QLatin1String("[Content_Types].xml"))
        item.data.replace("presentationml.presentation.main", "wordprocessingml.document.main");
    QVERIFY(openError(testpptx::buildZip(items)).contains(QLatin1String("Word document")));
    Deck noMain;
    items = noMain.items();
    std::erase_if(items,
                  [](const ZipItem &i) { return i.name == QLatin1String("ppt/presentation.xml"); });
    QVERIFY(openError(testpptx::buildZip(items)).contains(QLatin1String("/ppt/presentation.xml")));
  }

  void missingPartsAreReportedByName() {
    // A slide listed without its part.
    Deck deck;
    deck.addSlide(QString());
    std::vector<ZipItem> items = deck.items();
    std::erase_if(
        items, [](const ZipItem &i) { return i.name == QLatin1String("ppt/slides/slide1.xml"); });
    QVERIFY(openError(testpptx::buildZip(items)).contains(QLatin1String("slide 1")));

    // A picture whose part or relationship is missing: a picture error that
    // names what is missing, not a failed job.
    Deck pictures;
    const QString slide = pictures.addSlide(testpptx::picXml(QStringLiteral("rId2")) +
                                            testpptx::picXml(QStringLiteral("rId9")));
    pictures.relate(slide, QStringLiteral("image"), QStringLiteral("/ppt/media/gone.png"));
    auto shapes = firstSlide(pictures.build())->Shapes();
    QTemporaryDir out;
    for (int i = 1; i <= 2; ++i) {
      try {
        shapes->Item(i)->Export(out.filePath(QStringLiteral("x.jpg")),
                                PowerPoint::ppShapeFormatJPG);
        QFAIL("a missing picture was exported");
      } catch (const morvane::PictureError &e) {
        QVERIFY2(e.description().contains(i == 1 ? QLatin1String("/ppt/media/gone.png")
                                                 : QLatin1String("rId9")),
                 qPrintable(e.description()));
      }
    }
    QVERIFY(!QFile::exists(out.filePath(QStringLiteral("x.jpg"))));
  }

  // A slide whose layout relationship leads back to the slide itself, and a
  // layout whose master is the layout: reported, never followed for ever.
  void relationshipCyclesAreReported() {
    Deck deck;
    const QString slide = deck.addSlide(testpptx::spXml(QStringLiteral("T"), QStringLiteral("x")));
    std::vector<ZipItem> items = deck.items();
    for (ZipItem &item : items)
      if (item.name == QLatin1String("ppt/slides/_rels/slide1.xml.rels"))
        item.data.replace("/ppt/slideLayouts/slideLayout1.xml", slide.toUtf8());
    auto s = firstSlide(testpptx::buildZip(items));
    const QString error = errorOf([&] { s->Background()->Fill()->Type(); });
    QVERIFY2(error.contains(QLatin1String("cycle")), qPrintable(error));

    Deck layoutLoop;
    layoutLoop.addSlide(QString());
    items = layoutLoop.items();
    for (ZipItem &item : items)
      if (item.name == QLatin1String("ppt/slideLayouts/_rels/slideLayout1.xml.rels"))
        item.data.replace("/ppt/slideMasters/slideMaster1.xml",
                          "/ppt/slideLayouts/slideLayout1.xml");
    auto layout = office::pptx::openPresentation(testpptx::buildZip(items))
                      ->Designs()
                      ->Item(1)
                      ->CustomLayout(1);
    QVERIFY(errorOf([&] { layout->FollowMasterBackground(); }).contains(QLatin1String("cycle")));
  }

  // Declared sizes that no deflate stream can reach, and entries larger than
  // the file, are refused when the ZIP is opened.
  void bombsAndImpossibleSizesAreRefused() {
    ZipItem bomb{QStringLiteral("ppt/media/big.bin"), QByteArray(1000, 'a')};
    bomb.declaredSize = 10ull << 30;  // 10 GiB from a few bytes
    QString error = errorOf([&] { ZipArchive::fromBytes(testpptx::buildZip({bomb})); });
    QVERIFY2(error.contains(QLatin1String("ZIP bomb")), qPrintable(error));

    ZipItem huge{QStringLiteral("x"), "abc", false};
    huge.declaredCompressedSize = 1u << 30;
    huge.declaredSize = 1u << 30;
    error = errorOf([&] { ZipArchive::fromBytes(testpptx::buildZip({huge})); });
    QVERIFY2(error.contains(QLatin1String("damaged")), qPrintable(error));
  }

  // Honest entries still cannot inflate more than the budget of one file,
  // nor more than the caller's limit for one part.
  void inflationIsBounded() {
    const QByteArray zeros(600 * 1024, '\0');
    ZipLimits limits;
    limits.maxInflatedBytes = 1 << 20;
    auto zip = ZipArchive::fromBytes(
        testpptx::buildZip({{QStringLiteral("a"), zeros}, {QStringLiteral("b"), zeros}}), limits);
    QCOMPARE(zip->read(*zip->find(QStringLiteral("a")), 1 << 20).size(), zeros.size());
    QVERIFY(errorOf([&] {
              zip->read(*zip->find(QStringLiteral("b")), 1 << 20);
            }).contains(QLatin1String("ZIP bomb")));
    QVERIFY(errorOf([&] {
              zip->read(*zip->find(QStringLiteral("a")), 1000);
            }).contains(QLatin1String("too large")));
  }

  // An entry that holds less than it declares is damaged; one that holds
  // more yields only what it declares.
  void actualSizesAreCheckedAgainstDeclared() {
    ZipItem shorter{QStringLiteral("s"), QByteArray(100, 'x')};
    shorter.declaredSize = 150;
    ZipItem longer{QStringLiteral("l"), QByteArray(100, 'y')};
    longer.declaredSize = 60;
    for (const bool central : {true, false}) {
      auto zip = ZipArchive::fromBytes(testpptx::buildZip({shorter, longer}, {central, false}));
      QCOMPARE(zip->recovered(), !central);
      QVERIFY(errorOf([&] {
                zip->read(*zip->find(QStringLiteral("s")), 1000);
              }).contains(QLatin1String("damaged")));
      QByteArray longBytes;
      try {
        longBytes = zip->read(*zip->find(QStringLiteral("l")), 1000);
      } catch (const morvane::Error &) {
        longBytes = QByteArray(60, 'y');  // refusing it is as safe
      }
      QCOMPARE(longBytes, QByteArray(60, 'y'));
    }
  }

  void entryCountsAndNamesAreBounded() {
    ZipLimits limits;
    limits.maxEntries = 3;
    std::vector<ZipItem> four;
    for (int i = 0; i < 4; ++i) four.push_back({QString::number(i), "x"});
    QVERIFY(errorOf([&] {
              ZipArchive::fromBytes(testpptx::buildZip(four), limits);
            }).contains(QLatin1String("ZIP entries")));
    const QString longName(2000, QLatin1Char('n'));
    QVERIFY(errorOf([&] {
              ZipArchive::fromBytes(testpptx::buildZip({{longName, "x"}}));
            }).contains(QLatin1String("name")));
  }

  // A ZIP cut off before its central directory is read from its local
  // headers, with sizes in the headers or after the data; what is cut off
  // is missing, the rest is read.
  void cutOffZipsAreReadFromTheirLocalHeaders() {
    Deck deck;
    const QString slide = deck.addSlide(testpptx::picXml(QStringLiteral("rId2")));
    deck.relate(slide, QStringLiteral("image"), QStringLiteral("/ppt/media/image1.png"));
    deck.addPart(QStringLiteral("/ppt/media/image1.png"), testpptx::pngBytes(40, 30, 0x336699));
    std::vector<ZipItem> items = deck.items();
    const auto image = std::find_if(items.begin(), items.end(), [](const ZipItem &i) {
      return i.name.endsWith(QLatin1String("image1.png"));
    });
    std::rotate(image, image + 1, items.end());  // the picture comes last
    for (const bool descriptors : {false, true}) {
      const QByteArray whole = testpptx::buildZip(items, {false, descriptors});
      const PowerPoint::StoredPicture picture = firstSlide(whole)->Shapes()->Item(1)->Picture();
      QCOMPARE(picture.pixelSize, QSize(40, 30));
      // Cut inside the picture, the last entry: the slide stays, the picture goes.
      const QByteArray cut = whole.left(whole.size() - 20);
      auto shape = firstSlide(cut)->Shapes()->Item(1);
      QVERIFY_THROWS_EXCEPTION(morvane::PictureError, shape->Picture());
    }
  }

  void damagedZipsSaySo() {
    QVERIFY(openError(QByteArray("PK\x03\x04", 4) + QByteArray(100, '\x7f'))
                .contains(QLatin1String("damaged")));
    QVERIFY(openError(QByteArray("PK\x03\x04", 4)).contains(QLatin1String("damaged")));
    // Compressed data that ends before its declared size is reached.
    QByteArray text;
    for (int i = 0; i < 2000; ++i) text += QByteArray::number(i * 7919 % 1000);
    ZipItem shortData{QStringLiteral("a"), text};
    shortData.declaredCompressedSize = 40;
    for (const bool central : {true, false}) {
      auto archive = ZipArchive::fromBytes(testpptx::buildZip({shortData}, {central, false}));
      const QString error =
          errorOf([&] { archive->read(*archive->find(QStringLiteral("a")), 1 << 20); });
      QVERIFY2(error.contains(QLatin1String("damaged")), qPrintable(error));
    }
  }

  void xmlNestingIsBounded() {
    Deck shallow;
    shallow.addSlide(nested(100, testpptx::spXml(QStringLiteral("deep"), QStringLiteral("x"))));
    std::shared_ptr<PowerPoint::Shape> shape = firstSlide(shallow.build())->Shapes()->Item(1);
    for (int i = 0; i < 100; ++i) shape = shape->GroupItems()->Item(1);
    QCOMPARE(shape->TextFrame()->TextRange()->Text(), QStringLiteral("x"));

    Deck deep;
    deep.addSlide(nested(300, QString()));
    const QString error = errorOf([&] { firstSlide(deep.build())->Shapes(); });
    QVERIFY2(error.contains(QLatin1String("deeper")), qPrintable(error));
  }

  // No document type: the classic entity expansions never start.
  void documentTypesAndEntitiesAreRefused() {
    const QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE p:sld [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
        "<p:sld xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\">"
        "<p:cSld><p:spTree>&c;</p:spTree></p:cSld></p:sld>";
    QVERIFY(errorOf([&] {
              office::pptx::XmlStream xml(laughs, QStringLiteral("/s.xml"));
              while (xml.nextChild(0)) xml.readText();
            }).contains(QLatin1String("document type")));
    const QByteArray external = "<!DOCTYPE x SYSTEM \"file:///etc/passwd\"><x>&undeclared;</x>";
    QVERIFY(errorOf([&] {
              office::pptx::XmlStream xml(external, QStringLiteral("/e.xml"));
              while (xml.nextChild(0)) xml.readText();
            }).contains(QLatin1String("/e.xml")));
    const QByteArray undeclared = "<x>&nothing;</x>";
    QVERIFY(errorOf([&] {
              office::pptx::XmlStream xml(undeclared, QStringLiteral("/u.xml"));
              while (xml.nextChild(0)) xml.readText();
            }).contains(QLatin1String("/u.xml")));
  }

  void malformedPartsAreDamaged() {
    Deck deck;
    deck.addSlide(QStringLiteral("<p:sp><p:nvSpPr>"));  // never closed
    const QString error = errorOf([&] { firstSlide(deck.build())->Shapes(); });
    QVERIFY2(error.contains(QLatin1String("/ppt/slides/slide1.xml")) &&
                 error.contains(QLatin1String("damaged")),
             qPrintable(error));
  }

  // A CRC that disagrees with data that inflates whole is tolerated (as
  // other readers do); the data is used.
  void aWrongCrcAloneDoesNotLoseThePart() {
    QByteArray zip = testpptx::buildZip({{QStringLiteral("a"), QByteArray("hello")}});
    zip[14] = char(zip[14] ^ 0xFF);  // the local header's CRC
    const qsizetype central = zip.indexOf(QByteArray("PK\x01\x02", 4));
    zip[central + 16] = char(zip[central + 16] ^ 0xFF);
    auto archive = ZipArchive::fromBytes(zip);
    QCOMPARE(archive->read(*archive->find(QStringLiteral("a")), 100), QByteArray("hello"));
  }

  // The application reads a file by its content: a package named .ppt, a
  // PowerPoint 97-2003 file named .pptx, a folder.
  void theApplicationPicksTheReaderByContent() {
    QTemporaryDir dir;
    Deck deck;
    deck.addSlide(testpptx::spXml(QStringLiteral("T"), QStringLiteral("by content"), {}, true));
    const QString disguised = dir.filePath(QStringLiteral("deck.ppt"));
    QFile file(disguised);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(deck.build());
    file.close();
    auto app = office::powerpoint::createApplication();
    auto presentation = app->Presentations()->Open(disguised);
    QCOMPARE(presentation->Slides()->Item(1)->Shapes()->Item(1)->TextFrame()->TextRange()->Text(),
             QStringLiteral("by content"));
    const QString folder = errorOf([&] { app->Presentations()->Open(dir.path()); });
    QVERIFY2(folder.contains(QLatin1String("folder")), qPrintable(folder));
    const QString shared = qEnvironmentVariable("MORVANE_SHARED_DIR");
    const QString ppt = shared + QStringLiteral("/corpus/SampleShow.ppt");
    if (!QFile::exists(ppt)) QSKIP("no PowerPoint 97-2003 sample in the reference corpus");
    const QString renamed = dir.filePath(QStringLiteral("old.pptx"));
    QVERIFY(QFile::copy(ppt, renamed));
    QVERIFY(app->Presentations()->Open(renamed)->Slides()->Count() > 0);
  }
};

QTEST_MAIN(PptxPackageTest)
#include "test_pptx_package.moc"
