// Reading a chart part (c:chartSpace) and a chartex part (cx:chartSpace).

#include <algorithm>

#include "office/pptx/chart/chartmodel.h"
#include "office/pptx/textbody.h"
#include "office/pptx/xmlstream.h"

namespace office::pptx::chart {

namespace {

// Text sizes are hundredths of a point; line widths EMUs.
constexpr double kEmuPerPoint = 12700.0;

PlotKind plotKindOf(QStringView element, bool *threeD) {
  static const std::pair<const char *, PlotKind> kinds[] = {
      {"barChart", PlotKind::Bar},           {"bar3DChart", PlotKind::Bar},
      {"lineChart", PlotKind::Line},         {"line3DChart", PlotKind::Line},
      {"pieChart", PlotKind::Pie},           {"pie3DChart", PlotKind::Pie},
      {"doughnutChart", PlotKind::Doughnut}, {"areaChart", PlotKind::Area},
      {"area3DChart", PlotKind::Area},       {"scatterChart", PlotKind::Scatter},
      {"radarChart", PlotKind::Radar}};
  *threeD = element.contains(QLatin1StringView("3D"));
  for (const auto &[name, kind] : kinds)
    if (element == QLatin1StringView(name)) return kind;
  return PlotKind::Other;
}

bool isPlotGroup(QStringView element) {
  return element.endsWith(QLatin1StringView("Chart")) && element != QLatin1StringView("chart");
}

MarkerSymbol markerSymbol(QStringView name) {
  static const std::pair<const char *, MarkerSymbol> symbols[] = {
      {"none", MarkerSymbol::None},         {"circle", MarkerSymbol::Circle},
      {"square", MarkerSymbol::Square},     {"diamond", MarkerSymbol::Diamond},
      {"triangle", MarkerSymbol::Triangle}, {"x", MarkerSymbol::X},
      {"star", MarkerSymbol::Star},         {"dash", MarkerSymbol::Dash},
      {"dot", MarkerSymbol::Dot},           {"plus", MarkerSymbol::Plus}};
  for (const auto &[text, symbol] : symbols)
    if (name == QLatin1StringView(text)) return symbol;
  return MarkerSymbol::Auto;
}

class ChartReader {
 public:
  explicit ChartReader(XmlStream &xml) : xml_(xml) {}
  ChartModel read();

 private:
  QStringView value() const { return xml_.attribute(QLatin1StringView("val")); }
  bool boolValue(bool fallback = true) const {
    return xml_.boolAttribute(QLatin1StringView("val"), fallback);
  }
  qint64 intValue(qint64 fallback) const {
    return xml_.intAttribute(QLatin1StringView("val"), fallback);
  }
  std::optional<double> doubleValue() const {
    bool ok = false;
    const double v = value().trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
  }

  void readChartElement(ChartModel &chart);
  void readStyleChoice(ChartModel &chart);
  void readTitle(Title &title);
  void readTitleText(Title &title);
  TextStyle readTextProperties();
  void takeRunStyle(TextStyle &style);
  ShapeStyle readShapeStyle();
  void readLine(ShapeStyle &style);
  void readPlotArea(ChartModel &chart);
  void readGroup(PlotGroup &group, ChartModel &chart);
  void readSeries(Series &series, ChartModel &chart);
  void readMarker(Series &series);
  DataLabels readDataLabels();
  QString readSeriesName();
  void readStrings(std::vector<QString> &out, ChartModel &chart);
  void readNumbers(std::vector<double> &out, ChartModel &chart, QString *formatCode);
  void readCache(std::vector<QString> *strings, std::vector<double> *numbers, ChartModel &chart,
                 QString *formatCode = nullptr);
  void readAxis(Axis &axis);
  void readScaling(Axis &axis);
  void readLegend(Legend &legend);

  XmlStream &xml_;
  std::size_t points_ = 0;
  std::size_t series_ = 0;
};

ChartModel ChartReader::read() {
  ChartModel chart;
  while (xml_.nextChild(0)) {
    while (xml_.nextChild(1)) {
      const QStringView name = xml_.name();
      if (name == QLatin1StringView("chart")) {
        readChartElement(chart);
      } else if (name == QLatin1StringView("spPr")) {
        chart.chartSpace = readShapeStyle();
      } else if (name == QLatin1StringView("txPr")) {
        chart.text = readTextProperties();
      } else if (name == QLatin1StringView("style")) {
        chart.style = int(intValue(2));
      } else if (name == QLatin1StringView("AlternateContent")) {
        readStyleChoice(chart);
      } else if (name == QLatin1StringView("clrMapOvr")) {
        ColorMap map;
        for (const char *key : {"bg1", "tx1", "bg2", "tx2", "accent1", "accent2", "accent3",
                                "accent4", "accent5", "accent6", "hlink", "folHlink"}) {
          const QStringView v = xml_.attribute(QLatin1StringView(key));
          if (!v.isEmpty()) map.insert(QLatin1String(key), v.toString());
        }
        chart.colorMap = map;
      }
    }
  }
  for (PlotGroup &group : chart.groups)
    std::stable_sort(group.series.begin(), group.series.end(),
                     [](const Series &a, const Series &b) { return a.order < b.order; });
  return chart;
}

// mc:AlternateContent around c14:style (a style number plus 100) and c:style.
void ChartReader::readStyleChoice(ChartModel &chart) {
  const int depth = xml_.depth();
  bool taken = false;
  while (xml_.nextChild(depth)) {
    const int branch = xml_.depth();
    while (xml_.nextChild(branch)) {
      if (!xml_.is(QLatin1StringView("style")) || taken) continue;
      const qint64 v = intValue(2);
      chart.style = int(v > 100 ? v - 100 : v);
      taken = true;
    }
  }
}

void ChartReader::readChartElement(ChartModel &chart) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("title"))
      readTitle(chart.title);
    else if (name == QLatin1StringView("autoTitleDeleted"))
      chart.autoTitleDeleted = boolValue();
    else if (name == QLatin1StringView("plotArea"))
      readPlotArea(chart);
    else if (name == QLatin1StringView("legend"))
      readLegend(chart.legend);
  }
}

void ChartReader::readTitle(Title &title) {
  title.present = true;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("tx")))
      readTitleText(title);
    else if (xml_.is(QLatin1StringView("txPr")))
      title.style = readTextProperties();
  }
}

// c:tx of a title: rich text, or a cell reference with its cached text.
void ChartReader::readTitleText(Title &title) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("rich"))) {
      const int richDepth = xml_.depth();
      QStringList paragraphs;
      while (xml_.nextChild(richDepth)) {
        if (!xml_.is(QLatin1StringView("p"))) continue;
        QString text;
        const int paragraphDepth = xml_.depth();
        while (xml_.nextChild(paragraphDepth)) {
          if (xml_.is(QLatin1StringView("pPr"))) {
            const int pPrDepth = xml_.depth();
            while (xml_.nextChild(pPrDepth))
              if (xml_.is(QLatin1StringView("defRPr"))) takeRunStyle(title.style);
          } else if (xml_.is(QLatin1StringView("r")) || xml_.is(QLatin1StringView("fld"))) {
            const int runDepth = xml_.depth();
            while (xml_.nextChild(runDepth)) {
              if (xml_.is(QLatin1StringView("rPr")))
                takeRunStyle(title.style);
              else if (xml_.is(QLatin1StringView("t")))
                text += xml_.readText();
            }
          } else if (xml_.is(QLatin1StringView("br"))) {
            text += QLatin1Char('\n');
          }
        }
        paragraphs << text;
      }
      title.text = paragraphs.join(QLatin1Char('\n'));
    } else if (xml_.is(QLatin1StringView("strRef"))) {
      std::vector<QString> cached;
      ChartModel scratch;
      readStrings(cached, scratch);
      title.text = cached.empty() ? QString() : cached.front();
    }
  }
}

// a:defRPr or a:rPr: size, bold and colour, where given.
void ChartReader::takeRunStyle(TextStyle &style) {
  const qint64 size = xml_.intAttribute(QLatin1StringView("sz"), 0);
  if (size >= 100 && size <= 400000) style.sizePt = double(size) / 100.0;
  if (xml_.hasAttribute(QLatin1StringView("b")))
    style.bold = xml_.boolAttribute(QLatin1StringView("b"), false);
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (!xml_.is(QLatin1StringView("solidFill"))) continue;
    const ColorSpec color = readColorChild(xml_);
    if (color.isSet()) style.color = color;
  }
}

// c:txPr: the first paragraph's default run properties.
TextStyle ChartReader::readTextProperties() {
  TextStyle style;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (!xml_.is(QLatin1StringView("p"))) continue;
    const int paragraphDepth = xml_.depth();
    while (xml_.nextChild(paragraphDepth)) {
      if (!xml_.is(QLatin1StringView("pPr"))) continue;
      const int pPrDepth = xml_.depth();
      while (xml_.nextChild(pPrDepth))
        if (xml_.is(QLatin1StringView("defRPr"))) takeRunStyle(style);
    }
  }
  return style;
}

void ChartReader::readLine(ShapeStyle &style) {
  const qint64 width = xml_.intAttribute(QLatin1StringView("w"), 0);
  if (width > 0 && width < 20 * 1000 * 1000) style.lineWidthPt = double(width) / kEmuPerPoint;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) readFill(xml_, style.line);
}

ShapeStyle ChartReader::readShapeStyle() {
  ShapeStyle style;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("ln")))
      readLine(style);
    else
      readFill(xml_, style.fill);
  }
  return style;
}

void ChartReader::readPlotArea(ChartModel &chart) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (isPlotGroup(name)) {
      PlotGroup group;
      group.element = name.toString();
      group.kind = plotKindOf(name, &group.threeD);
      readGroup(group, chart);
      chart.groups.push_back(std::move(group));
    } else if (name == QLatin1StringView("catAx") || name == QLatin1StringView("valAx") ||
               name == QLatin1StringView("dateAx") || name == QLatin1StringView("serAx")) {
      Axis axis;
      axis.kind = name == QLatin1StringView("catAx")    ? AxisKind::Category
                  : name == QLatin1StringView("dateAx") ? AxisKind::Date
                  : name == QLatin1StringView("serAx")  ? AxisKind::Series
                                                        : AxisKind::Value;
      readAxis(axis);
      chart.axes.push_back(std::move(axis));
    } else if (name == QLatin1StringView("spPr")) {
      chart.plotArea = readShapeStyle();
    }
  }
}

void ChartReader::readGroup(PlotGroup &group, ChartModel &chart) {
  if (group.kind == PlotKind::Bar) group.grouping = Grouping::Clustered;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("barDir")) {
      group.horizontal = value() == QLatin1StringView("bar");
    } else if (name == QLatin1StringView("grouping")) {
      const QStringView g = value();
      group.grouping = g == QLatin1StringView("stacked")          ? Grouping::Stacked
                       : g == QLatin1StringView("percentStacked") ? Grouping::PercentStacked
                       : g == QLatin1StringView("clustered")      ? Grouping::Clustered
                                                                  : Grouping::Standard;
    } else if (name == QLatin1StringView("varyColors")) {
      group.varyColors = boolValue();
    } else if (name == QLatin1StringView("gapWidth")) {
      group.gapWidth = int(std::clamp<qint64>(intValue(150), 0, 500));
    } else if (name == QLatin1StringView("overlap")) {
      group.overlap = int(std::clamp<qint64>(intValue(0), -100, 100));
    } else if (name == QLatin1StringView("holeSize")) {
      group.holeSize = int(std::clamp<qint64>(intValue(50), 1, 90));
    } else if (name == QLatin1StringView("firstSliceAng")) {
      group.firstSliceAngle = int(std::clamp<qint64>(intValue(0), 0, 360));
    } else if (name == QLatin1StringView("marker")) {
      group.markers = boolValue();
    } else if (name == QLatin1StringView("radarStyle")) {
      group.filled = value() == QLatin1StringView("filled");
      group.markers = value() == QLatin1StringView("marker");
    } else if (name == QLatin1StringView("scatterStyle")) {
      group.scatterLines = value() != QLatin1StringView("marker");
    } else if (name == QLatin1StringView("dLbls")) {
      group.labels = readDataLabels();
    } else if (name == QLatin1StringView("axId") && group.axisIds.size() < 3) {
      group.axisIds.push_back(unsigned(intValue(0)));
    } else if (name == QLatin1StringView("ser")) {
      if (++series_ > kMaxSeries) {
        chart.truncated = true;
        continue;
      }
      Series series;
      series.order = int(group.series.size());
      readSeries(series, chart);
      group.series.push_back(std::move(series));
    }
  }
}

DataLabels ChartReader::readDataLabels() {
  DataLabels labels;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("showVal"))) labels.value = boolValue();
    if (xml_.is(QLatin1StringView("showPercent"))) labels.percent = boolValue();
    if (xml_.is(QLatin1StringView("showCatName"))) labels.category = boolValue();
  }
  return labels;
}

void ChartReader::readSeries(Series &series, ChartModel &chart) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("order")) {
      series.order = int(std::clamp<qint64>(intValue(series.order), 0, 1 << 20));
    } else if (name == QLatin1StringView("tx")) {
      series.name = readSeriesName();
    } else if (name == QLatin1StringView("spPr")) {
      series.style = readShapeStyle();
    } else if (name == QLatin1StringView("marker")) {
      readMarker(series);
    } else if (name == QLatin1StringView("dPt") && series.points.size() < kMaxPointsPerSeries) {
      DataPoint point;
      const int pointDepth = xml_.depth();
      while (xml_.nextChild(pointDepth)) {
        if (xml_.is(QLatin1StringView("idx")))
          point.index = int(std::clamp<qint64>(intValue(0), 0, kMaxPointsPerSeries));
        else if (xml_.is(QLatin1StringView("spPr")))
          point.style = readShapeStyle();
      }
      series.points.push_back(std::move(point));
    } else if (name == QLatin1StringView("cat")) {
      readStrings(series.categories, chart);
    } else if (name == QLatin1StringView("xVal")) {
      readCache(&series.categories, &series.xValues, chart);
    } else if (name == QLatin1StringView("val") || name == QLatin1StringView("yVal")) {
      readNumbers(series.values, chart, &series.formatCode);
    } else if (name == QLatin1StringView("smooth")) {
      series.smooth = boolValue();
    }
  }
}

void ChartReader::readMarker(Series &series) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("symbol")))
      series.marker = markerSymbol(value());
    else if (xml_.is(QLatin1StringView("size")))
      series.markerSizePt = double(std::clamp<qint64>(intValue(5), 2, 72));
    else if (xml_.is(QLatin1StringView("spPr")))
      series.markerStyle = readShapeStyle();
  }
}

// c:tx of a series: a cell reference with its cached text, or a value.
QString ChartReader::readSeriesName() {
  QString name;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    if (xml_.is(QLatin1StringView("v"))) {
      name = xml_.readText();
    } else if (xml_.is(QLatin1StringView("strRef"))) {
      std::vector<QString> cached;
      ChartModel scratch;
      readStrings(cached, scratch);
      if (!cached.empty()) name = cached.front();
    }
  }
  return name;
}

void ChartReader::readStrings(std::vector<QString> &out, ChartModel &chart) {
  std::vector<double> numbers;
  readCache(&out, &numbers, chart);
  // Numeric categories keep their cached text.
}

void ChartReader::readNumbers(std::vector<double> &out, ChartModel &chart, QString *formatCode) {
  std::vector<QString> strings;
  readCache(&strings, &out, chart, formatCode);
}

// Any data source (strRef, numRef, multiLvlStrRef, strLit, numLit) down to
// its cached points: c:pt idx with c:v. Strings and numbers are both kept;
// multi-level categories keep their first (innermost) level.
void ChartReader::readCache(std::vector<QString> *strings, std::vector<double> *numbers,
                            ChartModel &chart, QString *formatCode) {
  bool levelTaken = false;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("lvl")) {
      if (levelTaken) continue;
      levelTaken = true;
      readCache(strings, numbers, chart, formatCode);
    } else if (name == QLatin1StringView("pt")) {
      const qint64 index = xml_.intAttribute(QLatin1StringView("idx"), -1);
      if (index < 0 || std::uint64_t(index) >= kMaxPointsPerSeries) {
        chart.truncated = true;
        continue;
      }
      if (++points_ > kMaxPointsPerChart) {
        chart.truncated = true;
        continue;
      }
      QString text;
      const int pointDepth = xml_.depth();
      while (xml_.nextChild(pointDepth))
        if (xml_.is(QLatin1StringView("v"))) text = xml_.readText();
      const std::size_t i = std::size_t(index);
      if (strings) {
        if (strings->size() <= i) strings->resize(i + 1);
        (*strings)[i] = text;
      }
      bool ok = false;
      const double v = QStringView(text).trimmed().toDouble(&ok);
      if (numbers) {
        if (numbers->size() <= i) numbers->resize(i + 1, kNoValue);
        (*numbers)[i] = ok && std::isfinite(v) ? v : kNoValue;
      }
    } else if (name == QLatin1StringView("formatCode")) {
      if (formatCode) *formatCode = xml_.readText();
    } else if (name != QLatin1StringView("ptCount") && name != QLatin1StringView("f")) {
      readCache(strings, numbers, chart, formatCode);  // strRef > strCache, numRef > numCache ...
    }
  }
}

void ChartReader::readScaling(Axis &axis) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("orientation"))
      axis.reversed = value() == QLatin1StringView("maxMin");
    else if (name == QLatin1StringView("min"))
      axis.min = doubleValue();
    else if (name == QLatin1StringView("max"))
      axis.max = doubleValue();
    else if (name == QLatin1StringView("logBase"))
      axis.logBase = std::clamp(doubleValue().value_or(10), 2.0, 1000.0);
  }
}

void ChartReader::readAxis(Axis &axis) {
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("axId")) {
      axis.id = unsigned(intValue(0));
    } else if (name == QLatin1StringView("scaling")) {
      readScaling(axis);
    } else if (name == QLatin1StringView("delete")) {
      axis.deleted = boolValue();
    } else if (name == QLatin1StringView("axPos")) {
      const QStringView p = value();
      if (!p.isEmpty()) axis.position = p.front();
    } else if (name == QLatin1StringView("majorGridlines")) {
      axis.majorGridlines = true;
      const int gridDepth = xml_.depth();
      while (xml_.nextChild(gridDepth))
        if (xml_.is(QLatin1StringView("spPr"))) axis.gridlineStyle = readShapeStyle();
    } else if (name == QLatin1StringView("title")) {
      Title title;
      readTitle(title);
      axis.title = title.text;
    } else if (name == QLatin1StringView("numFmt")) {
      axis.numberFormat = xml_.attribute(QLatin1StringView("formatCode")).toString();
      axis.sourceLinked = xml_.boolAttribute(QLatin1StringView("sourceLinked"), false);
    } else if (name == QLatin1StringView("tickLblPos")) {
      axis.tickLabels = value() != QLatin1StringView("none");
    } else if (name == QLatin1StringView("spPr")) {
      axis.lineStyle = readShapeStyle();
    } else if (name == QLatin1StringView("txPr")) {
      axis.text = readTextProperties();
    } else if (name == QLatin1StringView("crossBetween")) {
      axis.betweenCategories = value() != QLatin1StringView("midCat");
    } else if (name == QLatin1StringView("majorUnit")) {
      const auto unit = doubleValue();
      if (unit && *unit > 0) axis.majorUnit = unit;
    }
  }
}

void ChartReader::readLegend(Legend &legend) {
  legend.present = true;
  const int depth = xml_.depth();
  while (xml_.nextChild(depth)) {
    const QStringView name = xml_.name();
    if (name == QLatin1StringView("legendPos")) {
      legend.position = value().toString();
    } else if (name == QLatin1StringView("txPr")) {
      legend.text = readTextProperties();
    } else if (name == QLatin1StringView("legendEntry")) {
      int index = -1;
      bool deleted = false;
      const int entryDepth = xml_.depth();
      while (xml_.nextChild(entryDepth)) {
        if (xml_.is(QLatin1StringView("idx")))
          index = int(std::clamp<qint64>(intValue(-1), -1, 1 << 20));
        if (xml_.is(QLatin1StringView("delete"))) deleted = boolValue();
      }
      if (deleted && index >= 0 && legend.deletedEntries.size() < kMaxPointsPerSeries)
        legend.deletedEntries.push_back(index);
    }
  }
}

// cx:tx > cx:txData > cx:v, or cx:rich.
QString readChartExText(XmlStream &xml) {
  QString text;
  const int depth = xml.depth();
  while (xml.nextChild(depth)) {
    if (xml.is(QLatin1StringView("v"))) {
      text = xml.readText();
    } else if (xml.is(QLatin1StringView("rich"))) {
      ComposedText composed;
      composeText(readTextBody(xml), nullptr, QString(), composed);
      text = composed.text;
      text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    } else {
      const QString inner = readChartExText(xml);
      if (!inner.isEmpty()) text = inner;
    }
  }
  return text;
}

}  // namespace

ChartModel readChart(const QByteArray &bytes, const QString &partName) {
  XmlStream xml(bytes, partName);
  return ChartReader(xml).read();
}

ChartExModel readChartEx(const QByteArray &bytes, const QString &partName) {
  ChartExModel chart;
  XmlStream xml(bytes, partName);
  while (xml.nextChild(0)) {
    while (xml.nextChild(1)) {
      if (!xml.is(QLatin1StringView("chart"))) continue;
      while (xml.nextChild(2)) {
        if (xml.is(QLatin1StringView("title"))) {
          chart.title.present = true;
          chart.title.text = readChartExText(xml);
        } else if (xml.is(QLatin1StringView("legend"))) {
          chart.legend.present = true;
          const QStringView pos = xml.attribute(QLatin1StringView("pos"));
          if (!pos.isEmpty()) chart.legend.position = pos.left(1).toString();
        } else if (xml.is(QLatin1StringView("plotArea"))) {
          while (xml.nextChild(3)) {
            if (!xml.is(QLatin1StringView("plotAreaRegion"))) continue;
            while (xml.nextChild(4)) {
              if (!xml.is(QLatin1StringView("series"))) continue;
              if (chart.kind.isEmpty())
                chart.kind = xml.attribute(QLatin1StringView("layoutId")).toString();
              QString name;
              while (xml.nextChild(5))
                if (xml.is(QLatin1StringView("tx"))) name = readChartExText(xml);
              if (chart.seriesNames.size() < kMaxSeries) chart.seriesNames.push_back(name);
            }
          }
        }
      }
    }
  }
  return chart;
}

}  // namespace office::pptx::chart
