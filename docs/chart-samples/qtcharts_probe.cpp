// The evaluation probe behind docs/chart-rendering.md: draws the four
// corpus chart templates (bar, line, pie, scatter; their cached values typed
// in) with Qt Charts, offscreen, at the same pixel size as Morvane draws
// them, and writes qtcharts-<name>.png. With "--empty" it only creates the
// application object and exits (start-up cost). Not part of the build:
//   g++ -std=c++20 -O2 -fPIC docs/chart-samples/qtcharts_probe.cpp -o /tmp/qtcharts_probe \
//     $(pkg-config --cflags --libs Qt6Charts Qt6Widgets Qt6Gui Qt6Core)
//   QT_QPA_PLATFORM=offscreen /tmp/qtcharts_probe docs/chart-samples

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QPieSeries>
#include <QScatterSeries>
#include <QValueAxis>

namespace {

const QStringList kQuarters = {"1st Qtr", "2nd Qtr", "3rd Qtr", "4th Qtr"};
const QList<qreal> kSales = {8.2, 3.2, 1.4, 1.2};
const QColor kAccent1(0x4F, 0x81, 0xBD);
constexpr QSize kPixels(1000, 667);  // 6.67 x 4.44 inches at 150 dpi

void save(QChart *chart, const QString &folder, const QString &name) {
  chart->setTitle(QStringLiteral("Sales"));
  QFont title = chart->titleFont();
  title.setPixelSize(45);
  title.setBold(true);
  chart->setTitleFont(title);
  QFont legend = chart->legend()->font();
  legend.setPixelSize(37);
  chart->legend()->setFont(legend);
  chart->legend()->setAlignment(Qt::AlignRight);
  QChartView view(chart);
  view.setRenderHint(QPainter::Antialiasing);
  view.resize(kPixels);
  view.grab().save(QDir(folder).filePath(QStringLiteral("qtcharts-%1.png").arg(name)));
}

void setAxisFonts(QChart *chart) {
  for (QAbstractAxis *axis : chart->axes()) {
    QFont f = axis->labelsFont();
    f.setPixelSize(37);
    axis->setLabelsFont(f);
  }
}

}  // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--empty")) return 0;
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

  auto *bars = new QHorizontalBarSeries;
  auto *set = new QBarSet(QStringLiteral("Sales"));
  set->append(kSales);
  set->setColor(kAccent1);
  bars->append(set);
  auto *barChart = new QChart;
  barChart->addSeries(bars);
  auto *categories = new QBarCategoryAxis;
  categories->append(kQuarters);
  barChart->addAxis(categories, Qt::AlignLeft);
  bars->attachAxis(categories);
  auto *values = new QValueAxis;
  barChart->addAxis(values, Qt::AlignBottom);
  bars->attachAxis(values);
  setAxisFonts(barChart);
  save(barChart, folder, QStringLiteral("bar"));

  auto *line = new QLineSeries;
  line->setName(QStringLiteral("Sales"));
  for (int i = 0; i < kSales.size(); ++i) line->append(i, kSales[i]);
  line->setPen(QPen(kAccent1, 5));
  auto *lineChart = new QChart;
  lineChart->addSeries(line);
  lineChart->createDefaultAxes();
  setAxisFonts(lineChart);
  save(lineChart, folder, QStringLiteral("line"));

  auto *pie = new QPieSeries;
  const QColor accents[] = {kAccent1, QColor(0xC0, 0x50, 0x4D), QColor(0x9B, 0xBB, 0x59),
                            QColor(0x80, 0x64, 0xA2)};
  for (int i = 0; i < kSales.size(); ++i)
    pie->append(kQuarters[i], kSales[i])->setColor(accents[i]);
  auto *pieChart = new QChart;
  pieChart->addSeries(pie);
  save(pieChart, folder, QStringLiteral("pie"));

  auto *scatter = new QScatterSeries;
  scatter->setName(QStringLiteral("Sales"));
  for (int i = 0; i < kSales.size(); ++i) scatter->append(i + 1, kSales[i]);
  scatter->setColor(kAccent1);
  scatter->setMarkerSize(12);
  auto *scatterChart = new QChart;
  scatterChart->addSeries(scatter);
  scatterChart->createDefaultAxes();
  setAxisFonts(scatterChart);
  save(scatterChart, folder, QStringLiteral("scatter"));
  return 0;
}
