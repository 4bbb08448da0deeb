// The PowerPoint 2007+ reader through the object model, on decks built here:
// shape types, text (paragraphs, breaks, fields, symbol fonts, typefaces),
// tables with merged cells, groups, comments, backgrounds and fills, notes,
// designs and layouts, pictures (stored bytes, crop, the colour behind them,
// SVG), embedded objects and their previews.

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "common/error.h"
#include "office/pptx/application.h"
#include "packagebuilder.h"

using testpptx::Deck;

namespace {

const QString kMedia = QStringLiteral("/ppt/media/");

std::shared_ptr<PowerPoint::Presentation> open(const Deck &deck) {
  return office::pptx::openPresentation(deck.build());
}

std::shared_ptr<PowerPoint::Shapes> shapesOf(const Deck &deck, int slide = 1) {
  return open(deck)->Slides()->Item(slide)->Shapes();
}

QString textOf(PowerPoint::Shape &shape) { return shape.TextFrame()->TextRange()->Text(); }

QString frame(const QString &uri, const QString &data, const QString &nvPr = {}) {
  return QStringLiteral(
             "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"5\" name=\"F\"/>"
             "<p:cNvGraphicFramePr/><p:nvPr>%3</p:nvPr></p:nvGraphicFramePr><p:xfrm>"
             "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"1828800\" cy=\"914400\"/></p:xfrm>"
             "<a:graphic><a:graphicData uri=\"%1\">%2</a:graphicData></a:graphic>"
             "</p:graphicFrame>")
      .arg(uri, data, nvPr);
}

QString ole(const QString &progId, const QString &inside) {
  return frame(
      QStringLiteral("http://schemas.openxmlformats.org/presentationml/2006/ole"),
      QStringLiteral("<p:oleObj name=\"O\" progId=\"%1\" spid=\"_x0000_s1025\">%2</p:oleObj>")
          .arg(progId, inside));
}

QString run(const QString &text, const QString &properties = {}) {
  return QStringLiteral("<a:r><a:rPr lang=\"en-US\">%2</a:rPr><a:t>%1</a:t></a:r>")
      .arg(text, properties);
}

QString body(const QString &paragraphs) {
  return QStringLiteral(
             "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"B\"/><p:cNvSpPr txBox=\"1\"/>"
             "<p:nvPr/></p:nvSpPr><p:spPr/><p:txBody><a:bodyPr/>%1</p:txBody></p:sp>")
      .arg(paragraphs);
}

QString group(const QString &children, const QString &xfrm = {}) {
  return QStringLiteral(
             "<p:grpSp><p:nvGrpSpPr><p:cNvPr id=\"7\" name=\"G\"/><p:cNvGrpSpPr/><p:nvPr/>"
             "</p:nvGrpSpPr><p:grpSpPr>%2</p:grpSpPr>%1</p:grpSp>")
      .arg(children, xfrm);
}

QString shapeWithFill(const QString &fill, const QString &attributes = {}) {
  return QStringLiteral(
             "<p:sp%2><p:nvSpPr><p:cNvPr id=\"4\" name=\"S\"/><p:cNvSpPr/><p:nvPr/>"
             "</p:nvSpPr><p:spPr>%1</p:spPr></p:sp>")
      .arg(fill, attributes);
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class PptxReaderTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(out_.isValid()); }

  // Every rule of the type table, in document order, with the comments
  // (legacy and modern) after the shapes.
  void shapeTypesFollowTheRules() {
    Deck deck;
    const QString placeholder = QStringLiteral("<p:ph type=\"title\"/>");
    const QString shapes =
        testpptx::spXml(QStringLiteral("box"), QStringLiteral("a"), {}, true) +
        testpptx::spXml(
            QStringLiteral("art"), QStringLiteral("b"), {}, true,
            QStringLiteral("<a:bodyPr><a:prstTxWarp prst=\"textArchUp\"/></a:bodyPr>")) +
        testpptx::spXml(QStringLiteral("title"), QStringLiteral("c"), placeholder) +
        testpptx::spXml(QStringLiteral("plain"), QStringLiteral("d")) +
        testpptx::picXml(QStringLiteral("rId2")) +
        QStringLiteral(
            "<p:pic><p:nvPicPr><p:cNvPr id=\"8\" name=\"L\"/><p:cNvPicPr/><p:nvPr/>"
            "</p:nvPicPr><p:blipFill><a:blip r:link=\"rId3\"/></p:blipFill><p:spPr/></p:pic>") +
        QStringLiteral(
            "<p:pic><p:nvPicPr><p:cNvPr id=\"9\" name=\"M\"/><p:cNvPicPr/><p:nvPr>"
            "<a:videoFile r:link=\"rId3\"/></p:nvPr></p:nvPicPr><p:blipFill><a:blip "
            "r:embed=\"rId2\"/></p:blipFill><p:spPr/></p:pic>") +
        group(testpptx::spXml(QStringLiteral("inner"), QStringLiteral("e"))) +
        QStringLiteral(
            "<p:cxnSp><p:nvCxnSpPr><p:cNvPr id=\"6\" name=\"C\"/><p:cNvCxnSpPr/><p:nvPr/>"
            "</p:nvCxnSpPr><p:spPr/></p:cxnSp>") +
        frame(
            QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/table"),
            QStringLiteral("<a:tbl><a:tblGrid><a:gridCol w=\"1\"/></a:tblGrid><a:tr h=\"1\"><a:tc>"
                           "<a:txBody><a:bodyPr/><a:p><a:r><a:t>t</a:t></a:r></a:p></a:txBody>"
                           "</a:tc></a:tr></a:tbl>")) +
        frame(QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/chart"),
              QStringLiteral("<c:chart xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/"
                             "chart\" r:id=\"rId4\"/>")) +
        ole(QStringLiteral("Excel.Chart.8"), QString()) +
        ole(QStringLiteral("MSGraph.Chart.8"), QString()) +
        ole(QStringLiteral("Word.Document.12"), QString()) +
        frame(QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/diagram"),
              QString()) +
        frame(QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/diagram"), QString(),
              QStringLiteral("<p:ph idx=\"1\"/>")) +
        QStringLiteral(
            "<mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-"
            "compatibility/2006\"><mc:Choice Requires=\"p14\">") +
        testpptx::spXml(QStringLiteral("choice"), QStringLiteral("f"), {}, true) +
        QStringLiteral("</mc:Choice><mc:Fallback>") + testpptx::picXml(QStringLiteral("rId2")) +
        QStringLiteral("</mc:Fallback></mc:AlternateContent><p:contentPart r:id=\"rId9\"/>");
    const QString slide = deck.addSlide(shapes);
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("p.png"));
    deck.relate(slide, QStringLiteral("image"), QStringLiteral("file:///elsewhere.png"), true);
    deck.addPart(kMedia + QStringLiteral("p.png"), testpptx::pngBytes(4, 4, 0xFF0000));
    deck.relate(slide, QStringLiteral("comments"), QStringLiteral("/ppt/comments/comment1.xml"));
    deck.addPart(QStringLiteral("/ppt/comments/comment1.xml"),
                 "<p:cmLst xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\">"
                 "<p:cm authorId=\"0\" idx=\"1\"><p:text>first</p:text></p:cm>"
                 "<p:cm authorId=\"0\" idx=\"2\"><p:text>second</p:text></p:cm></p:cmLst>");
    deck.relate(slide, QStringLiteral("comments2018"), QStringLiteral("/ppt/comments/modern.xml"));
    deck.addPart(
        QStringLiteral("/ppt/comments/modern.xml"),
        "<p188:cmLst xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:p188=\"http://schemas.microsoft.com/office/powerpoint/2018/8/main\">"
        "<p188:cm id=\"{1}\"><p188:replyLst><p188:reply id=\"{2}\"><p188:txBody><a:bodyPr/>"
        "<a:p><a:r><a:t>reply</a:t></a:r></a:p></p188:txBody></p188:reply></p188:replyLst>"
        "<p188:txBody><a:bodyPr/><a:p><a:r><a:t>thread</a:t></a:r></a:p></p188:txBody>"
        "</p188:cm></p188:cmLst>");
    auto s = shapesOf(deck);
    QStringList types;
    for (int i = 1; i <= s->Count(); ++i) types << QString::number(s->Item(i)->Type());
    QCOMPARE(types.join(QLatin1Char(' ')),
             QStringLiteral("17 15 14 1 13 11 16 6 9 19 3 3 3 7 1 14 17 1 4 4 4"));
    QCOMPARE(textOf(*s->Item(19)), QStringLiteral("first"));
    QCOMPARE(textOf(*s->Item(20)), QStringLiteral("second"));
    QCOMPARE(textOf(*s->Item(21)), QStringLiteral("thread\rreply"));
    QCOMPARE(s->Item(21)->HasTextFrame(), PowerPoint::msoTrue);
    QCOMPARE(s->Item(5)->HasTextFrame(), PowerPoint::msoFalse);
    QVERIFY_THROWS_EXCEPTION(morvane::Error, s->Item(5)->TextFrame());
    QVERIFY_THROWS_EXCEPTION(morvane::Error, s->Item(1)->GroupItems());
    QCOMPARE(textOf(*s->Item(8)->GroupItems()->Item(1)), QStringLiteral("e"));
    QCOMPARE(textOf(*s->Item(10)), QStringLiteral("t\r"));
  }

  // Paragraphs are separated by CR, line breaks are VT, fields give their
  // stored text; runs keep their typefaces.
  void textKeepsParagraphsBreaksAndTypefaces() {
    Deck deck;
    const QString latin = QStringLiteral("<a:latin typeface=\"Arial\"/>");
    deck.addSlide(
        body(QStringLiteral("<a:p>") + run(QStringLiteral("one"), latin) +
             QStringLiteral("<a:br><a:rPr/></a:br>") + run(QStringLiteral("two")) +
             QStringLiteral("</a:p><a:p><a:fld id=\"{1}\" type=\"slidenum\"><a:rPr/>"
                            "<a:t>7</a:t></a:fld></a:p><a:p/><a:p>") +
             run(QStringLiteral("\ttab"), QStringLiteral("<a:latin typeface=\"+mj-lt\"/>")) +
             QStringLiteral("</a:p>")));
    auto range = shapesOf(deck)->Item(1)->TextFrame()->TextRange();
    QCOMPARE(range->Text(), QStringLiteral("one\vtwo\r7\r\r\ttab"));
    QCOMPARE(range->Font()->Name(), QStringLiteral("Arial"));
    QCOMPARE(range->Characters(5, 3)->Text(), QStringLiteral("two"));
    QCOMPARE(range->Characters(5, 3)->Font()->Name(), QStringLiteral("Body Face"));
    QCOMPARE(range->Characters(13, 4)->Font()->Name(), QStringLiteral("Heading Face"));
    QCOMPARE(range->Characters(100, 5)->Text(), QString());
    QCOMPARE(range->Characters(14, 100)->Text(), QStringLiteral("ab"));
  }

  // Text set in a symbol font shows as the characters it stands for; a
  // character without an equivalent keeps its private-use code; the range
  // still tells its original typeface.
  void symbolFontTextIsMappedToUnicode() {
    Deck deck;
    deck.addSlide(body(
        QStringLiteral("<a:p>") +
        run(QStringLiteral("abp"), QStringLiteral("<a:latin typeface=\"Symbol\"/>")) +
        run(QStringLiteral("x") + QChar(0xF0D6) + QStringLiteral("y"),
            QStringLiteral("<a:sym typeface=\"Symbol\"/>")) +
        run(QString(QChar(0xF0E0)), QStringLiteral("<a:sym typeface=\"Wingdings\"/>")) +
        run(QStringLiteral("l"), QStringLiteral("<a:latin typeface=\"Wingdings\"/>")) +
        run(QStringLiteral("a"), QStringLiteral("<a:latin typeface=\"Marlett\" charset=\"2\"/>")) +
        QStringLiteral("</a:p>")));
    auto range = shapesOf(deck)->Item(1)->TextFrame()->TextRange();
    // Wingdings 0xE0 is U+1F86A, beyond the Basic Multilingual Plane; 0x6C is U+25CF.
    QCOMPARE(range->Text(), QStringLiteral("αβπx√y") + QString::fromUcs4(U"\U0001F86A") +
                                QChar(0x25CF) + QChar(0xF061));
    QCOMPARE(range->Characters(1, 1)->Font()->Name(), QStringLiteral("Symbol"));
    QCOMPARE(range->Characters(4, 1)->Font()->Name(), QStringLiteral("Body Face"));
    QCOMPARE(range->Characters(5, 1)->Font()->Name(), QStringLiteral("Symbol"));
    QCOMPARE(range->Characters(7, 2)->Font()->Name(), QStringLiteral("Wingdings"));
    QCOMPARE(range->Characters(9, 1)->Font()->Name(), QStringLiteral("Wingdings"));
    QCOMPARE(range->Characters(10, 1)->Font()->Name(), QStringLiteral("Marlett"));
  }

  // One field per grid column in every row: covered cells of merged cells
  // are empty, a short row is padded.
  void tablesGiveEveryRowTheSameFields() {
    Deck deck;
    const auto cell = [](const QString &text, const QString &attributes = {}) {
      return QStringLiteral(
                 "<a:tc%2><a:txBody><a:bodyPr/><a:p><a:r><a:t>%1</a:t></a:r></a:p>"
                 "</a:txBody></a:tc>")
          .arg(text, attributes);
    };
    deck.addSlide(frame(
        QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/table"),
        QStringLiteral("<a:tbl><a:tblGrid><a:gridCol/><a:gridCol/><a:gridCol/></a:tblGrid>"
                       "<a:tr>") +
            cell(QStringLiteral("wide"), QStringLiteral(" gridSpan=\"2\"")) +
            cell(QStringLiteral("hidden"), QStringLiteral(" hMerge=\"1\"")) +
            cell(QStringLiteral("c")) + QStringLiteral("</a:tr><a:tr>") +
            cell(QStringLiteral("d")) + cell(QStringLiteral("x"), QStringLiteral(" vMerge=\"1\"")) +
            cell(QStringLiteral("f")) + QStringLiteral("</a:tr><a:tr>") +
            cell(QStringLiteral("g")) + QStringLiteral("</a:tr></a:tbl>")));
    QCOMPARE(textOf(*shapesOf(deck)->Item(1)), QStringLiteral("wide\t\tc\rd\t\tf\rg\t\t\r"));
  }

  // Groups at any depth; a child's size is scaled by each group's child space.
  void groupsNestAndScaleTheirChildren() {
    Deck deck;
    const QString scale = QStringLiteral(
        "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"1828800\" cy=\"1828800\"/>"
        "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"914400\" cy=\"914400\"/></a:xfrm>");
    const QString slide = deck.addSlide(group(
        group(group(testpptx::picXml(QStringLiteral("rId2"), {}, 914400, 457200), scale)), scale));
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("g.png"));
    deck.addPart(kMedia + QStringLiteral("g.png"), testpptx::pngBytes(10, 10, 0x00FF00));
    auto picture =
        shapesOf(deck)->Item(1)->GroupItems()->Item(1)->GroupItems()->Item(1)->GroupItems()->Item(
            1);
    QCOMPARE(picture->Type(), PowerPoint::msoPicture);
    // 1 x 0.5 inches, doubled by two scaling groups.
    QCOMPARE(office::pptx::pictureOf(*picture).shapeSizeInches, QSizeF(4, 2));
  }

  // The colour behind a picture: its own fill, else the slide's background,
  // else the layout's or the master's (a style reference through the theme).
  void picturesKnowWhatLiesBehindThem() {
    Deck deck;
    deck.setMasterBackground(
        QStringLiteral("<p:bg><p:bgRef idx=\"1003\"><a:schemeClr val=\"bg1\"/></p:bgRef></p:bg>"));
    const QString filled = QStringLiteral(
        "<p:pic><p:nvPicPr><p:cNvPr id=\"3\" name=\"P\"/><p:cNvPicPr/><p:nvPr/>"
        "</p:nvPicPr><p:blipFill><a:blip r:embed=\"rId2\"/></p:blipFill>"
        "<p:spPr><a:solidFill><a:srgbClr val=\"112233\"/></a:solidFill></p:spPr></p:pic>");
    const QString s1 = deck.addSlide(testpptx::picXml(QStringLiteral("rId2")) + filled);
    const QString s2 =
        deck.addSlide(testpptx::picXml(QStringLiteral("rId2")),
                      QStringLiteral("<p:bg><p:bgPr><a:gradFill><a:gsLst><a:gs pos=\"0\">"
                                     "<a:srgbClr val=\"000000\"/></a:gs><a:gs pos=\"1\">"
                                     "<a:srgbClr val=\"0000FE\"/></a:gs></a:gsLst></a:gradFill>"
                                     "</p:bgPr></p:bg>"));
    for (const QString &s : {s1, s2})
      deck.relate(s, QStringLiteral("image"), kMedia + QStringLiteral("t.png"));
    deck.addPart(kMedia + QStringLiteral("t.png"), testpptx::pngBytes(8, 8, 0xFFFFFF, true));
    auto presentation = open(deck);
    auto first = presentation->Slides()->Item(1)->Shapes();
    QCOMPARE(office::pptx::pictureOf(*first->Item(1)).background, QColor(0x33, 0x66, 0x99));
    QCOMPARE(office::pptx::pictureOf(*first->Item(2)).background, QColor(0x11, 0x22, 0x33));
    auto second = presentation->Slides()->Item(2)->Shapes();
    QCOMPARE(office::pptx::pictureOf(*second->Item(1)).background, QColor(0, 0, 0x7F));
  }

  // Stored pictures: an uncropped JPEG is written byte for byte; the stored
  // description and original bytes; a crop as fractions.
  void storedPicturesAreDescribedAndKeptUnchanged() {
    Deck deck;
    const QString slide = deck.addSlide(
        testpptx::picXml(QStringLiteral("rId2")) +
        testpptx::picXml(
            QStringLiteral("rId2"),
            QStringLiteral("<a:srcRect l=\"25000\" t=\"10000\" r=\"25000\" b=\"-10000\"/>")));
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("photo.jpeg"));
    const QByteArray jpeg = testpptx::jpegBytes(64, 48, 0x884422);
    deck.addPart(kMedia + QStringLiteral("photo.jpeg"), jpeg);
    auto s = shapesOf(deck);
    const QString plain = out_.filePath(QStringLiteral("Img0001.Jpg"));
    s->Item(1)->Export(plain, PowerPoint::ppShapeFormatJPG);
    QCOMPARE(readFile(plain), jpeg);
    const PowerPoint::StoredPicture stored = s->Item(2)->Picture();
    QCOMPARE(stored.format, QStringLiteral("JPEG"));
    QCOMPARE(stored.extension, QStringLiteral("jpg"));
    QCOMPARE(stored.pixelSize, QSize(64, 48));
    QCOMPARE(stored.storedBytes, qint64(jpeg.size()));
    QCOMPARE(stored.cropLeft, 0.25);
    QCOMPARE(stored.cropBottom, -0.1);
    QCOMPARE(s->Item(2)->OriginalPicture(), jpeg);
    const QString cropped = out_.filePath(QStringLiteral("Img0002.Jpg"));
    s->Item(2)->Export(cropped, PowerPoint::ppShapeFormatJPG);
    QCOMPARE(QImage(cropped).size(), QSize(32, 48));
  }

  // SVG pictures: the PNG fallback is what the slide shows when there is
  // one; the SVG is the original. Without a fallback, QtSvg draws it.
  void svgPicturesUseTheirFallbackOrAreDrawn() {
    Deck deck;
    const QString svgBlip = QStringLiteral(
        "<p:pic><p:nvPicPr><p:cNvPr id=\"3\" name=\"S\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
        "<p:blipFill><a:blip r:embed=\"rId2\"><a:extLst><a:ext uri=\"{96DAC541}\"><asvg:svgBlip "
        "xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/2016/SVG/main\" "
        "r:embed=\"rId3\"/>"
        "</a:ext></a:extLst></a:blip></p:blipFill><p:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/>"
        "<a:ext cx=\"914400\" cy=\"914400\"/></a:xfrm></p:spPr></p:pic>");
    const QString slide =
        deck.addSlide(svgBlip + testpptx::picXml(QStringLiteral("rId3"), {}, 914400, 914400));
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("fallback.png"));
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("drawing.svg"));
    deck.addPart(kMedia + QStringLiteral("fallback.png"), testpptx::pngBytes(20, 20, 0x00FF00));
    const QByteArray svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><rect width=\"10\" "
        "height=\"10\" fill=\"#0000ff\"/></svg>";
    deck.addPart(kMedia + QStringLiteral("drawing.svg"), svg);
    auto s = shapesOf(deck);
    QCOMPARE(s->Item(1)->Picture().format, QStringLiteral("SVG"));
    QCOMPARE(s->Item(1)->OriginalPicture(), svg);
    const QString withFallback = out_.filePath(QStringLiteral("svg1.jpg"));
    s->Item(1)->Export(withFallback, PowerPoint::ppShapeFormatJPG);
    QVERIFY(QImage(withFallback).pixelColor(10, 10).green() > 200);
    const QString drawn = out_.filePath(QStringLiteral("svg2.jpg"));
    s->Item(2)->Export(drawn, PowerPoint::ppShapeFormatJPG);
    const QImage image(drawn);
    QCOMPARE(image.size(), QSize(150, 150));  // one inch at 150 dpi
    QVERIFY(image.pixelColor(75, 75).blue() > 200 && image.pixelColor(75, 75).red() < 60);
  }

  // A picture damaged part way is written as far as it decodes, with a note.
  void damagedPicturesAreWrittenWithANote() {
    Deck deck;
    const QString slide = deck.addSlide(testpptx::picXml(QStringLiteral("rId2")));
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("cut.png"));
    QImage noise(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) noise.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "png");
    deck.addPart(kMedia + QStringLiteral("cut.png"), png.left(png.size() * 2 / 3));
    auto shape = shapesOf(deck)->Item(1);
    const QString path = out_.filePath(QStringLiteral("cut.jpg"));
    shape->Export(path, PowerPoint::ppShapeFormatJPG);
    QCOMPARE(QImage(path).size(), QSize(256, 256));
    QVERIFY2(shape->ExportWarning().contains(QLatin1String("filled in")),
             qPrintable(shape->ExportWarning()));
  }

  // Pictures that are not in the file: a picture error with the reason.
  void unreadablePicturesThrowPictureErrors() {
    Deck deck;
    const QString slide = deck.addSlide(QStringLiteral(
        "<p:pic><p:nvPicPr><p:cNvPr id=\"8\" name=\"L\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
        "<p:blipFill><a:blip r:link=\"rId2\"/></p:blipFill><p:spPr/></p:pic>"
        "<p:pic><p:nvPicPr><p:cNvPr id=\"9\" name=\"E\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
        "<p:blipFill/><p:spPr/></p:pic>"));
    deck.relate(slide, QStringLiteral("image"), QStringLiteral("http://example.com/a.png"), true);
    auto s = shapesOf(deck);
    try {
      s->Item(1)->Export(out_.filePath(QStringLiteral("l.jpg")), PowerPoint::ppShapeFormatJPG);
      QFAIL("a linked picture was exported");
    } catch (const morvane::PictureError &e) {
      QVERIFY(e.description().contains(QLatin1String("http://example.com/a.png")));
    }
    QVERIFY_THROWS_EXCEPTION(morvane::PictureError, s->Item(2)->Picture());
    QVERIFY_THROWS_EXCEPTION(
        morvane::PictureError,
        s->Item(2)->Export(out_.filePath(QStringLiteral("e.jpg")), PowerPoint::ppShapeFormatJPG));
  }

  // Embedded objects: the preview picture of p:oleObj, or of the legacy
  // drawing for PowerPoint 2007 files; none is a picture error.
  void embeddedObjectsExportTheirPreview() {
    Deck deck;
    const QString preview = QStringLiteral(
        "<p:embed/><p:pic><p:nvPicPr><p:cNvPr id=\"0\" name=\"\"/><p:cNvPicPr/>"
        "<p:nvPr/></p:nvPicPr><p:blipFill><a:blip r:embed=\"rId2\"/>"
        "</p:blipFill><p:spPr/></p:pic>");
    const QString slide = deck.addSlide(
        ole(QStringLiteral("Excel.Chart.8"), preview) +
        ole(QStringLiteral("Visio.Drawing.11"), QStringLiteral("<p:embed/>")) +
        frame(QStringLiteral("http://schemas.openxmlformats.org/presentationml/2006/ole"),
              QStringLiteral("<p:oleObj progId=\"Paint.Picture\"><p:embed/></p:oleObj>")));
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("preview.png"));
    deck.relate(slide, QStringLiteral("vmlDrawing"),
                QStringLiteral("/ppt/drawings/vmlDrawing1.vml"));
    deck.addPart(kMedia + QStringLiteral("preview.png"), testpptx::pngBytes(30, 20, 0xFF00FF));
    deck.addPart(QStringLiteral("/ppt/drawings/vmlDrawing1.vml"),
                 "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
                 "xmlns:o=\"urn:schemas-microsoft-com:office:office\">"
                 "<v:shape id=\"_x0000_s1025\"><v:imagedata o:relid=\"rId1\" "
                 "o:title=\"\"/></v:shape></xml>");
    deck.relate(QStringLiteral("/ppt/drawings/vmlDrawing1.vml"), QStringLiteral("image"),
                kMedia + QStringLiteral("legacy.png"));
    deck.addPart(kMedia + QStringLiteral("legacy.png"), testpptx::pngBytes(12, 6, 0x00FFFF));
    auto s = shapesOf(deck);
    QCOMPARE(s->Item(1)->Type(), PowerPoint::msoChart);
    QCOMPARE(s->Item(1)->Picture().pixelSize, QSize(30, 20));
    QCOMPARE(s->Item(2)->Type(), PowerPoint::msoEmbeddedOLEObject);
    QCOMPARE(s->Item(2)->Picture().pixelSize, QSize(12, 6));
    const QString path = out_.filePath(QStringLiteral("Graph0001.Bmp"));
    s->Item(1)->Export(path, PowerPoint::ppShapeFormatBMP);
    QVERIFY(QImage(path).pixelColor(1, 1).blue() > 200);
    QVERIFY_THROWS_EXCEPTION(morvane::PictureError, s->Item(3)->Picture());
  }

  void fillsReportTheirKind() {
    Deck deck;
    const QString slide = deck.addSlide(
        shapeWithFill(QStringLiteral("<a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill>")) +
        shapeWithFill(QStringLiteral("<a:gradFill><a:gsLst/></a:gradFill>")) +
        shapeWithFill(QStringLiteral("<a:pattFill prst=\"pct5\"/>")) +
        shapeWithFill(
            QStringLiteral("<a:blipFill><a:blip r:embed=\"rId2\"/><a:stretch/></a:blipFill>")) +
        shapeWithFill(
            QStringLiteral("<a:blipFill><a:blip r:embed=\"rId2\"/><a:tile/></a:blipFill>")) +
        shapeWithFill(QString(), QStringLiteral(" useBgFill=\"1\"")) +
        shapeWithFill(QStringLiteral("<a:noFill/>")));
    deck.relate(slide, QStringLiteral("image"), kMedia + QStringLiteral("fill.png"));
    deck.addPart(kMedia + QStringLiteral("fill.png"), testpptx::pngBytes(5, 5, 0x123456));
    auto s = shapesOf(deck);
    const PowerPoint::MsoFillType expected[] = {
        PowerPoint::msoFillSolid,   PowerPoint::msoFillGradient, PowerPoint::msoFillPatterned,
        PowerPoint::msoFillPicture, PowerPoint::msoFillTextured, PowerPoint::msoFillBackground,
        PowerPoint::msoFillSolid};
    for (int i = 1; i <= 7; ++i) QCOMPARE(s->Item(i)->Fill()->Type(), expected[i - 1]);
    // Only a shape without a fill shows nothing of its own.
    for (int i = 1; i <= 7; ++i)
      QCOMPARE(s->Item(i)->Fill()->Visible(), i == 7 ? PowerPoint::msoFalse : PowerPoint::msoTrue);
    // A picture fill exports its picture.
    QCOMPARE(s->Item(4)->Picture().pixelSize, QSize(5, 5));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, s->Item(1)->Picture());
  }

  // The background of a slide: its own, else its master's; a picture
  // background exports its picture.
  void backgroundsAreOwnOrFollowTheMaster() {
    Deck deck;
    deck.setMasterBackground(
        QStringLiteral("<p:bg><p:bgPr><a:blipFill><a:blip r:embed=\"rId3\"/><a:stretch/>"
                       "</a:blipFill></p:bgPr></p:bg>"));
    deck.relate(deck.masterPart(), QStringLiteral("image"), kMedia + QStringLiteral("bg.jpeg"));
    const QByteArray jpeg = testpptx::jpegBytes(80, 60, 0x224466);
    deck.addPart(kMedia + QStringLiteral("bg.jpeg"), jpeg);
    deck.addSlide(QString());
    deck.addSlide(QString(), QStringLiteral("<p:bg><p:bgPr><a:solidFill><a:srgbClr "
                                            "val=\"00FF00\"/></a:solidFill></p:bgPr></p:bg>"));
    auto slides = open(deck)->Slides();
    auto follows = slides->Item(1);
    QCOMPARE(follows->FollowMasterBackground(), PowerPoint::msoTrue);
    QCOMPARE(follows->Background()->Fill()->Type(), PowerPoint::msoFillPicture);
    const QString path = out_.filePath(QStringLiteral("bg.jpg"));
    follows->Background()->Export(path, PowerPoint::ppShapeFormatJPG);
    QCOMPARE(readFile(path), jpeg);
    QCOMPARE(follows->Background()->OriginalPicture(), jpeg);
    auto own = slides->Item(2);
    QCOMPARE(own->FollowMasterBackground(), PowerPoint::msoFalse);
    QCOMPARE(own->Background()->Fill()->Type(), PowerPoint::msoFillSolid);
    QVERIFY_THROWS_EXCEPTION(morvane::Error,
                             own->Background()->Export(path, PowerPoint::ppShapeFormatJPG));
  }

  void notesPagesDesignsAndLayouts() {
    Deck deck;
    const QString slide =
        deck.addSlide(testpptx::spXml(QStringLiteral("T"), QStringLiteral("slide")));
    deck.addSlide(QString());
    deck.relate(slide, QStringLiteral("notesSlide"),
                QStringLiteral("/ppt/notesSlides/notesSlide1.xml"));
    deck.addPart(
        QStringLiteral("/ppt/notesSlides/notesSlide1.xml"),
        "<p:notes xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"><p:cSld><p:spTree>"
        "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"N\"/><p:cNvSpPr/><p:nvPr><p:ph type=\"body\" "
        "idx=\"1\"/>"
        "</p:nvPr></p:nvSpPr><p:spPr/><p:txBody><a:bodyPr/><a:p><a:r><a:t>speaker notes</a:t></a:r>"
        "</a:p></p:txBody></p:sp></p:spTree></p:cSld></p:notes>");
    auto presentation = open(deck);
    auto first = presentation->Slides()->Item(1);
    QCOMPARE(first->HasNotesPage(), PowerPoint::msoTrue);
    auto notes = first->NotesPage()->Shapes();
    QCOMPARE(notes->Item(1)->Type(), PowerPoint::msoPlaceholder);
    QCOMPARE(textOf(*notes->Item(1)), QStringLiteral("speaker notes"));
    QCOMPARE(presentation->Slides()->Item(2)->HasNotesPage(), PowerPoint::msoFalse);
    QVERIFY_THROWS_EXCEPTION(morvane::Error, presentation->Slides()->Item(2)->NotesPage());
    auto designs = presentation->Designs();
    QCOMPARE(designs->Count(), 1);
    QCOMPARE(designs->Item(1)->CustomLayoutCount(), 1);
    QCOMPARE(designs->Item(1)->SlideMaster()->Shapes()->Count(), 0);
    QCOMPARE(designs->Item(1)->CustomLayout(1)->Shapes()->Count(), 0);
    QVERIFY_THROWS_EXCEPTION(morvane::Error, designs->Item(1)->CustomLayout(2));
    QCOMPARE(designs->Item(1)->HasTitleMaster(), PowerPoint::msoFalse);
  }

 private:
  QTemporaryDir out_;
};

QTEST_MAIN(PptxReaderTest)
#include "test_pptx_reader.moc"
