// Each plot type the chart painter draws, checked by summary numbers of the
// drawing (pixels of each series' colour, where they lie) rather than by
// bytes. The numbers were taken from drawings looked at by eye; set
// CHART_DUMP=folder to write them out again.

#include <QDir>
#include <QImage>
#include <QTest>
#include <cmath>

#include "office/pptx/chart/chart.h"
#include "office/pptx/drawingml.h"
#include "office/render/chart/painting.h"

using office::pptx::chart::ChartStyle;

namespace {

const QSize kSize(900, 600);

// Pixels close to colour (antialiased edges left out).
struct Census {
  int count = 0;
  QRect bounds;
};

Census census(const QImage &image, QColor color, const QRect &area = {}) {
  Census c;
  const QRect where = area.isNull() ? image.rect() : area;
  for (int y = where.top(); y <= where.bottom(); ++y) {
    const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = where.left(); x <= where.right(); ++x) {
      const QRgb p = row[x];
      if (std::abs(qRed(p) - color.red()) + std::abs(qGreen(p) - color.green()) +
              std::abs(qBlue(p) - color.blue()) <
          30) {
        ++c.count;
        c.bounds |= QRect(x, y, 1, 1);
      }
    }
  }
  return c;
}

QString values(const QList<double> &list, const char *element = "val") {
  QString pts;
  for (int i = 0; i < list.size(); ++i)
    pts += QStringLiteral("<c:pt idx=\"%1\"><c:v>%2</c:v></c:pt>").arg(i).arg(list[i]);
  return QStringLiteral(
             "<c:%1><c:numRef><c:numCache><c:ptCount val=\"%2\"/>%3</c:numCache></c:numRef></c:%1>")
      .arg(QLatin1String(element))
      .arg(list.size())
      .arg(pts);
}

QString fill(const QString &rgb) {
  return rgb.isEmpty()
             ? QString()
             : QStringLiteral(
                   "<c:spPr><a:solidFill><a:srgbClr val=\"%1\"/></a:solidFill>"
                   "<a:ln><a:solidFill><a:srgbClr val=\"%1\"/></a:solidFill></a:ln></c:spPr>")
                   .arg(rgb);
}

QString series(int index, const QString &rgb, const QList<double> &v, const QString &extra = {}) {
  return QStringLiteral(
             "<c:ser><c:idx val=\"%1\"/><c:order "
             "val=\"%1\"/><c:tx><c:v>S%1</c:v></c:tx>%2%4%3</c:ser>")
      .arg(index)
      .arg(fill(rgb), values(v), extra);
}

QString axes(const QString &catPos = QStringLiteral("b"),
             const QString &valPos = QStringLiteral("l"), bool scatter = false) {
  const QString cat = scatter ? QStringLiteral("valAx") : QStringLiteral("catAx");
  return QStringLiteral(
             "<c:%3><c:axId val=\"1\"/><c:scaling><c:orientation val=\"minMax\"/></c:scaling>"
             "<c:delete val=\"0\"/><c:axPos val=\"%1\"/><c:crossAx val=\"2\"/></c:%3>"
             "<c:valAx><c:axId val=\"2\"/><c:scaling><c:orientation val=\"minMax\"/>"
             "<c:min val=\"0\"/></c:scaling><c:delete val=\"0\"/><c:axPos val=\"%2\"/><c:crossAx "
             "val=\"1\"/></c:valAx>")
      .arg(catPos, valPos, cat);
}

QString chart(const QString &plot, const QString &around = {}) {
  return QStringLiteral(
             "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
             "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><c:chart>"
             "<c:autoTitleDeleted "
             "val=\"1\"/>%2<c:plotArea>%1</c:plotArea></c:chart></c:chartSpace>")
      .arg(plot, around);
}

QString group(const char *element, const QString &inside) {
  return QStringLiteral("<c:%1>%2<c:axId val=\"1\"/><c:axId val=\"2\"/></c:%1>")
      .arg(QLatin1String(element), inside);
}

ChartStyle style(QSize size) {
  ChartStyle s;
  s.pixelSize = size;
  s.colors.scheme = &office::pptx::defaultColorScheme();
  s.background = 0xFFFFFFFF;
  return s;
}

// The chart read and described by the reader, drawn as the export draws it.
QImage draw(const QString &xml, QString *warning = nullptr, QSize size = kSize) {
  const office::pptx::chart::BuiltChart built =
      office::pptx::chart::buildChart(xml.toUtf8(), QStringLiteral("/chart.xml"), style(size));
  const QImage image = office::render::chart::drawChart(built.spec);
  if (warning) *warning = built.warning;
  const QString dump = qEnvironmentVariable("CHART_DUMP");
  if (!dump.isEmpty())
    image.save(QDir(dump).filePath(QString::fromLatin1(QTest::currentTestFunction()) +
                                   QStringLiteral(".png")));
  return image;
}

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kGreen(0, 255, 0);

// a / b within tolerance of expected.
bool ratio(double a, double b, double expected, double tolerance = 0.05) {
  return b > 0 && std::fabs(a / b - expected) <= expected * tolerance;
}

}  // namespace

class PptxChartTest : public QObject {
  Q_OBJECT

 private slots:
  void clusteredColumns() {
    const QImage image = draw(chart(
        group("barChart", QStringLiteral("<c:barDir val=\"col\"/><c:grouping val=\"clustered\"/>") +
                              series(0, QStringLiteral("FF0000"), {2, 4}) +
                              series(1, QStringLiteral("0000FF"), {4, 2})) +
        axes()));
    const Census red = census(image, kRed), blue = census(image, kBlue);
    QVERIFY(ratio(red.count, blue.count, 1.0));
    // The first category's red bar is half as tall as the second's.
    const int middle = image.width() / 2;
    const double left = census(image, kRed, QRect(0, 0, middle, image.height())).count;
    const double right = census(image, kRed, QRect(middle, 0, middle, image.height())).count;
    QVERIFY2(ratio(right, left, 2.0), qPrintable(QStringLiteral("%1 %2").arg(left).arg(right)));
    QVERIFY(red.bounds.left() < blue.bounds.left());  // series side by side, red first
  }

  void stackedAndPercentColumns() {
    QImage image = draw(chart(
        group("barChart",
              QStringLiteral(
                  "<c:barDir val=\"col\"/><c:grouping val=\"stacked\"/><c:overlap val=\"100\"/>") +
                  series(0, QStringLiteral("FF0000"), {1, 1}) +
                  series(1, QStringLiteral("0000FF"), {3, 1})) +
        axes()));
    QVERIFY(ratio(census(image, kBlue).count, census(image, kRed).count, 2.0));
    // Red lies under blue in each stack.
    QVERIFY(census(image, kRed).bounds.bottom() > census(image, kBlue).bounds.bottom());
    image = draw(
        chart(group("barChart", QStringLiteral("<c:barDir val=\"col\"/><c:grouping "
                                               "val=\"percentStacked\"/><c:overlap val=\"100\"/>") +
                                    series(0, QStringLiteral("FF0000"), {1, 3}) +
                                    series(1, QStringLiteral("0000FF"), {3, 1})) +
              axes()));
    const Census red = census(image, kRed), blue = census(image, kBlue);
    QVERIFY(ratio(red.count, blue.count, 1.0));
    // Both stacks reach 100 %, the top of the scale.
    const Census rightBlue =
        census(image, kBlue, QRect(image.width() / 2, 0, image.width() / 2, image.height()));
    QVERIFY(std::abs(blue.bounds.top() - rightBlue.bounds.top()) <= 2);
    QVERIFY(blue.bounds.top() < image.height() / 10);
  }

  void horizontalBars() {
    const QImage image = draw(chart(
        group("barChart", QStringLiteral("<c:barDir val=\"bar\"/><c:grouping val=\"clustered\"/>") +
                              series(0, QStringLiteral("FF0000"), {1, 3})) +
        axes(QStringLiteral("l"), QStringLiteral("b"))));
    // The first category is at the bottom, a third as long as the second.
    const int middle = image.height() / 2;
    const Census top = census(image, kRed, QRect(0, 0, image.width(), middle));
    const Census bottom = census(image, kRed, QRect(0, middle, image.width(), middle));
    QVERIFY(ratio(top.bounds.width(), bottom.bounds.width(), 3.0));
  }

  void linesRiseAndFall() {
    const QImage image = draw(
        chart(group("lineChart",
                    QStringLiteral("<c:grouping val=\"standard\"/>") +
                        series(0, QStringLiteral("FF0000"), {1, 5, 1},
                               QStringLiteral("<c:marker><c:symbol val=\"none\"/></c:marker>")) +
                        QStringLiteral("<c:marker val=\"1\"/>")) +
              axes()));
    const Census red = census(image, kRed);
    QVERIFY(red.count > 500 && red.count < 20000);  // a line, not an area
    const Census left = census(image, kRed, QRect(0, 0, red.bounds.left() + 5, image.height()));
    const Census middle = census(image, kRed, QRect(image.width() / 2 - 3, 0, 6, image.height()));
    QVERIFY(middle.bounds.top() < left.bounds.top() - image.height() / 3);
  }

  void areasFillDownToTheirBase() {
    const QImage image =
        draw(chart(group("areaChart", QStringLiteral("<c:grouping val=\"stacked\"/>") +
                                          series(0, QStringLiteral("FF0000"), {1, 1, 1}) +
                                          series(1, QStringLiteral("0000FF"), {1, 1, 1})) +
                   axes()));
    const Census red = census(image, kRed), blue = census(image, kBlue);
    QVERIFY(ratio(red.count, blue.count, 1.0));
    QVERIFY(red.bounds.top() > blue.bounds.top());
    QVERIFY(red.count > 50000);
  }

  void pieAndDoughnutSlicesFollowTheirValues() {
    const QString points =
        QStringLiteral(
            "<c:dPt><c:idx val=\"0\"/>%1</c:dPt><c:dPt><c:idx val=\"1\"/>%2</c:dPt>"
            "<c:dPt><c:idx val=\"2\"/>%3</c:dPt>")
            .arg(fill(QStringLiteral("FF0000")), fill(QStringLiteral("00FF00")),
                 fill(QStringLiteral("0000FF")));
    for (const char *kind : {"pieChart", "doughnutChart"}) {
      const QString extra = QLatin1String(kind) == QLatin1String("doughnutChart")
                                ? QStringLiteral("<c:holeSize val=\"50\"/>")
                                : QString();
      const QImage image = draw(
          chart(QStringLiteral("<c:%1><c:varyColors val=\"1\"/>%2%3</c:%1>")
                    .arg(QLatin1String(kind), series(0, QString(), {1, 1, 2}, points), extra)));
      const double red = census(image, kRed).count, green = census(image, kGreen).count,
                   blue = census(image, kBlue).count;
      QVERIFY2(ratio(green, red, 1.0) && ratio(blue, red, 2.0),
               qPrintable(QStringLiteral("%1 %2 %3").arg(red).arg(green).arg(blue)));
      const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
      QCOMPARE(centre == Qt::white, extra.size() > 0);
      // The first slice starts at the top and runs clockwise.
      QVERIFY(census(image, kRed).bounds.left() >= image.width() / 2 - 2);
    }
  }

  void scatterMarkersLieAtTheirValues() {
    const QString marker =
        QStringLiteral("<c:marker><c:symbol val=\"square\"/><c:size val=\"7\"/>%1</c:marker>")
            .arg(fill(QStringLiteral("FF0000")));
    const QString ser = QStringLiteral(
                            "<c:ser><c:idx val=\"0\"/><c:order "
                            "val=\"0\"/><c:spPr><a:ln><a:noFill/></a:ln></c:spPr>%1%2%3</c:ser>")
                            .arg(marker, values({1, 2, 3}, "xVal"), values({1, 3, 2}, "yVal"));
    const QImage image = draw(
        chart(group("scatterChart", QStringLiteral("<c:scatterStyle val=\"lineMarker\"/>") + ser) +
              axes(QStringLiteral("b"), QStringLiteral("l"), true)));
    const Census red = census(image, kRed);
    QVERIFY(red.count > 100 && red.count < 2000);  // three markers, no line
    const int third = red.bounds.width() / 3;
    const Census first = census(image, kRed, QRect(red.bounds.left(), 0, third, image.height()));
    const Census second =
        census(image, kRed, QRect(red.bounds.left() + third, 0, third, image.height()));
    QVERIFY(second.bounds.top() < first.bounds.top());
  }

  void filledRadarAreasGrowWithTheSquareOfTheirValues() {
    const QImage image =
        draw(chart(group("radarChart", QStringLiteral("<c:radarStyle val=\"filled\"/>") +
                                           series(0, QStringLiteral("FF0000"), {2, 2, 2, 2}) +
                                           series(1, QStringLiteral("0000FF"), {1, 1, 1, 1})) +
                   axes()));
    const double red = census(image, kRed).count, blue = census(image, kBlue).count;
    QVERIFY2(ratio(red + blue, blue, 4.0, 0.08),
             qPrintable(QStringLiteral("%1 %2").arg(red).arg(blue)));
  }

  // Without colours of their own, series take the theme's accents in turn.
  void seriesWithoutColoursUseTheThemeAccents() {
    const QImage image =
        draw(chart(group("barChart", QStringLiteral("<c:barDir val=\"col\"/>") +
                                         series(0, QString(), {1}) + series(1, QString(), {1})) +
                   axes()));
    QVERIFY(census(image, QColor(0x4F, 0x81, 0xBD)).count > 1000);
    QVERIFY(census(image, QColor(0xC0, 0x50, 0x4D)).count > 1000);
  }

  // Title on top, legend on the right with one swatch per series.
  void titleAndLegend() {
    const QString around = QStringLiteral(
        "<c:title><c:tx><c:rich><a:bodyPr/><a:p><a:r><a:t>Sales</a:t></a:r></a:p>"
        "</c:rich></c:tx></c:title>");
    const QImage image =
        draw(chart(group("barChart", QStringLiteral("<c:barDir val=\"col\"/>") +
                                         series(0, QStringLiteral("FF0000"), {1}) +
                                         series(1, QStringLiteral("0000FF"), {2})) +
                       axes() + QString(),
                   around + QStringLiteral("<c:legend><c:legendPos val=\"r\"/></c:legend>")));
    const QRect legendBand(image.width() * 3 / 4, 0, image.width() / 4, image.height());
    QVERIFY(census(image, kRed, legendBand).count > 50);
    QVERIFY(census(image, kBlue, legendBand).count > 50);
    const Census title = census(image, Qt::black, QRect(0, 0, image.width(), image.height() / 12));
    QVERIFY(title.count > 100);
    QVERIFY(std::abs(title.bounds.center().x() - image.width() / 2) < image.width() / 10);
  }

  // A plot type we do not draw: its title and legend, and a warning.
  void otherPlotTypesKeepTitleAndLegend() {
    QString warning;
    const QImage image =
        draw(chart(group("bubbleChart", series(0, QString(), {1, 2})),
                   QStringLiteral("<c:title><c:tx><c:rich><a:bodyPr/><a:p><a:r><a:t>Bubbles</a:t>"
                                  "</a:r></a:p></c:rich></c:tx></c:title><c:legend>"
                                  "<c:legendPos val=\"b\"/></c:legend>")),
             &warning);
    QCOMPARE(warning,
             QStringLiteral("the chart type bubble is drawn only with its title and legend"));
    QVERIFY(census(image, Qt::black, QRect(0, 0, image.width(), image.height() / 8)).count > 50);
    const QRect legendBand(0, image.height() * 7 / 8, image.width(), image.height() / 8);
    QVERIFY(census(image, QColor(0x4F, 0x81, 0xBD), legendBand).count > 20);
  }

  // Hostile data: indices far beyond the limits, hundreds of series.
  void hostileDataIsBounded() {
    QString many;
    for (int i = 0; i < 300; ++i) many += series(i, QString(), {1});
    QString warning;
    draw(chart(
             group("barChart",
                   many + QStringLiteral(
                              "<c:ser><c:idx val=\"0\"/><c:val><c:numRef><c:numCache>"
                              "<c:pt idx=\"2147483647\"><c:v>1</c:v></c:pt></c:numCache></c:numRef>"
                              "</c:val></c:ser>")) +
             axes()),
         &warning);
    QVERIFY(warning.contains(QLatin1String("more data than is drawn")));
    // A chart of no size, and one asking for an enormous picture.
    QVERIFY(!draw(chart(QString()), nullptr, QSize(0, 0)).isNull());
    QVERIFY(draw(chart(QString()), nullptr, QSize(100000, 100000)).width() <= 16384);
  }
};

QTEST_MAIN(PptxChartTest)
#include "test_pptx_charts.moc"
