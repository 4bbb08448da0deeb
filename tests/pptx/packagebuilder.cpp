#include "packagebuilder.h"

#include <zlib.h>

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QPainter>

namespace testpptx {

namespace {

constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kCentralHeader = 0x02014b50;
constexpr quint32 kEndOfCentralDirectory = 0x06054b50;
constexpr quint32 kDataDescriptor = 0x08074b50;
constexpr quint16 kZip64Extra = 0x0001;
constexpr quint16 kDosDate1980 = 0x21;

struct Written {
  quint32 offset;
  quint32 crc;
  quint64 size;
  quint64 compressed;
  bool zip64;
  QByteArray name;
  quint16 flags;
  quint16 method;
};

QByteArray zip64Extra(quint64 size, quint64 compressed) {
  QByteArray extra;
  QDataStream out(&extra, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << kZip64Extra << quint16(16) << size << compressed;
  return extra;
}

const char *contentTypeOf(const QString &part) {
  if (part == QLatin1String("/ppt/presentation.xml"))
    return "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml";
  if (part.startsWith(QLatin1String("/ppt/slides/")))
    return "application/vnd.openxmlformats-officedocument.presentationml.slide+xml";
  if (part.startsWith(QLatin1String("/ppt/slideLayouts/")))
    return "application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml";
  if (part.startsWith(QLatin1String("/ppt/slideMasters/")))
    return "application/vnd.openxmlformats-officedocument.presentationml.slideMaster+xml";
  if (part.startsWith(QLatin1String("/ppt/notesSlides/")))
    return "application/vnd.openxmlformats-officedocument.presentationml.notesSlide+xml";
  if (part.startsWith(QLatin1String("/ppt/theme/")))
    return "application/vnd.openxmlformats-officedocument.theme+xml";
  if (part.startsWith(QLatin1String("/ppt/charts/")))
    return "application/vnd.openxmlformats-officedocument.drawingml.chart+xml";
  if (part.startsWith(QLatin1String("/ppt/comments/")))
    return "application/vnd.openxmlformats-officedocument.presentationml.comments+xml";
  return nullptr;
}

const char kNamespaces[] =
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";

QString tree(const QString &shapes) {
  return QStringLiteral(
             "<p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/>"
             "</p:nvGrpSpPr><p:grpSpPr/>") +
         shapes + QStringLiteral("</p:spTree>");
}

const char kTheme[] =
    "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"T\">"
    "<a:themeElements><a:clrScheme name=\"C\">"
    "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
    "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>"
    "<a:dk2><a:srgbClr val=\"1F497D\"/></a:dk2><a:lt2><a:srgbClr val=\"EEECE1\"/></a:lt2>"
    "<a:accent1><a:srgbClr val=\"FF0000\"/></a:accent1><a:accent2><a:srgbClr "
    "val=\"00FF00\"/></a:accent2>"
    "<a:accent3><a:srgbClr val=\"0000FF\"/></a:accent3><a:accent4><a:srgbClr "
    "val=\"FFFF00\"/></a:accent4>"
    "<a:accent5><a:srgbClr val=\"FF00FF\"/></a:accent5><a:accent6><a:srgbClr "
    "val=\"00FFFF\"/></a:accent6>"
    "<a:hlink><a:srgbClr val=\"0000FF\"/></a:hlink><a:folHlink><a:srgbClr "
    "val=\"800080\"/></a:folHlink>"
    "</a:clrScheme><a:fontScheme name=\"F\"><a:majorFont><a:latin typeface=\"Heading Face\"/>"
    "</a:majorFont><a:minorFont><a:latin typeface=\"Body Face\"/></a:minorFont></a:fontScheme>"
    "<a:fmtScheme name=\"S\"><a:fillStyleLst><a:solidFill><a:schemeClr "
    "val=\"phClr\"/></a:solidFill>"
    "<a:solidFill><a:srgbClr val=\"123456\"/></a:solidFill><a:solidFill><a:srgbClr val=\"654321\"/>"
    "</a:solidFill></a:fillStyleLst><a:lnStyleLst/><a:effectStyleLst/><a:bgFillStyleLst>"
    "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill><a:gradFill><a:gsLst>"
    "<a:gs pos=\"0\"><a:srgbClr val=\"000000\"/></a:gs><a:gs pos=\"100000\"><a:srgbClr "
    "val=\"FFFFFF\"/>"
    "</a:gs></a:gsLst></a:gradFill><a:solidFill><a:srgbClr val=\"336699\"/></a:solidFill>"
    "</a:bgFillStyleLst></a:fmtScheme></a:themeElements></a:theme>";

}  // namespace

QByteArray deflateRaw(const QByteArray &data) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  QByteArray out(int(deflateBound(&z, uLong(data.size()))), '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
  z.avail_in = uInt(data.size());
  z.next_out = reinterpret_cast<Bytef *>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(qsizetype(z.total_out));
  deflateEnd(&z);
  return out;
}

QByteArray buildZip(const std::vector<ZipItem> &items, const ZipOptions &options) {
  QByteArray zip;
  QDataStream out(&zip, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  std::vector<Written> written;
  for (const ZipItem &item : items) {
    Written w;
    w.offset = quint32(zip.size());
    w.name = item.name.toUtf8();
    w.method = item.deflate ? 8 : 0;
    w.flags = options.dataDescriptors ? 0x0008 : 0;
    w.crc = quint32(
        crc32(0, reinterpret_cast<const Bytef *>(item.data.constData()), uInt(item.data.size())));
    const QByteArray stored = item.deflate ? deflateRaw(item.data) : item.data;
    w.size = item.declaredSize.value_or(quint64(item.data.size()));
    w.compressed = item.declaredCompressedSize.value_or(quint32(stored.size()));
    w.zip64 = w.size > 0xFFFFFFFFull;
    const QByteArray extra = w.zip64 ? zip64Extra(w.size, w.compressed) : QByteArray();
    const bool trailing = options.dataDescriptors;
    out << kLocalHeader << quint16(w.zip64 ? 45 : 20) << w.flags << w.method << quint16(0)
        << kDosDate1980 << (trailing ? 0u : w.crc)
        << quint32(trailing  ? 0
                   : w.zip64 ? 0xFFFFFFFFu
                             : quint32(w.compressed))
        << quint32(trailing  ? 0
                   : w.zip64 ? 0xFFFFFFFFu
                             : quint32(w.size))
        << quint16(w.name.size()) << quint16(extra.size());
    out.writeRawData(w.name.constData(), int(w.name.size()));
    out.writeRawData(extra.constData(), int(extra.size()));
    out.writeRawData(stored.constData(), int(stored.size()));
    if (trailing) out << kDataDescriptor << w.crc << quint32(w.compressed) << quint32(w.size);
    written.push_back(w);
  }
  if (!options.centralDirectory) return zip;
  const quint32 directoryStart = quint32(zip.size());
  for (const Written &w : written) {
    const QByteArray extra = w.zip64 ? zip64Extra(w.size, w.compressed) : QByteArray();
    out << kCentralHeader << quint16(45) << quint16(w.zip64 ? 45 : 20) << w.flags << w.method
        << quint16(0) << kDosDate1980 << w.crc
        << quint32(w.zip64 ? 0xFFFFFFFFu : quint32(w.compressed))
        << quint32(w.zip64 ? 0xFFFFFFFFu : quint32(w.size)) << quint16(w.name.size())
        << quint16(extra.size()) << quint16(0) << quint16(0) << quint16(0) << quint32(0)
        << w.offset;
    out.writeRawData(w.name.constData(), int(w.name.size()));
    out.writeRawData(extra.constData(), int(extra.size()));
  }
  const quint32 directorySize = quint32(zip.size()) - directoryStart;
  out << kEndOfCentralDirectory << quint16(0) << quint16(0) << quint16(written.size())
      << quint16(written.size()) << directorySize << directoryStart << quint16(0);
  return zip;
}

QString relType(const QString &kind) {
  if (kind == QLatin1String("comments2018"))
    return QStringLiteral("http://schemas.microsoft.com/office/2018/10/relationships/comments");
  return QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/") +
         kind;
}

Deck::Deck() {
  relate(QString(), QStringLiteral("officeDocument"), QStringLiteral("/ppt/presentation.xml"));
  relate(QStringLiteral("/ppt/presentation.xml"), QStringLiteral("slideMaster"), masterPart());
  relate(masterPart(), QStringLiteral("slideLayout"), layoutPart());
  relate(masterPart(), QStringLiteral("theme"), QStringLiteral("/ppt/theme/theme1.xml"));
  relate(layoutPart(), QStringLiteral("slideMaster"), masterPart());
  addPart(QStringLiteral("/ppt/theme/theme1.xml"), kTheme);
}

void Deck::addPart(const QString &partName, const QByteArray &data) {
  parts_.push_back({partName, data});
}

QString Deck::relate(const QString &source, const QString &type, const QString &target,
                     bool external) {
  int n = 1;
  for (const Rel &r : rels_)
    if (r.source == source) ++n;
  const QString id = QStringLiteral("rId%1").arg(n);
  rels_.push_back({source, id, relType(type), target, external});
  return id;
}

QString Deck::addSlide(const QString &shapesXml, const QString &slideExtraXml) {
  const QString part = QStringLiteral("/ppt/slides/slide%1.xml").arg(slideIds_.size() + 1);
  slideIds_ << relate(QStringLiteral("/ppt/presentation.xml"), QStringLiteral("slide"), part);
  relate(part, QStringLiteral("slideLayout"), layoutPart());
  addPart(part, (QStringLiteral("<p:sld %1><p:cSld>").arg(QLatin1String(kNamespaces)) +
                 slideExtraXml + tree(shapesXml) + QStringLiteral("</p:cSld></p:sld>"))
                    .toUtf8());
  return part;
}

std::vector<ZipItem> Deck::items() const {
  std::vector<ZipItem> items;
  QString types = QStringLiteral(
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package."
      "relationships+xml\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Default Extension=\"png\" ContentType=\"image/png\"/>"
      "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
      "<Default Extension=\"svg\" ContentType=\"image/svg+xml\"/>");
  std::vector<Part> all = parts_;
  QString presentation = presentationXml_;
  if (presentation.isEmpty()) {
    presentation = QStringLiteral(
                       "<p:presentation %1><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" "
                       "r:id=\"rId1\"/></p:sldMasterIdLst><p:sldIdLst>")
                       .arg(QLatin1String(kNamespaces));
    for (int i = 0; i < slideIds_.size(); ++i)
      presentation +=
          QStringLiteral("<p:sldId id=\"%1\" r:id=\"%2\"/>").arg(256 + i).arg(slideIds_[i]);
    presentation +=
        QStringLiteral("</p:sldIdLst><p:sldSz cx=\"9144000\" cy=\"6858000\"/></p:presentation>");
  }
  all.push_back({QStringLiteral("/ppt/presentation.xml"), presentation.toUtf8()});
  all.push_back(
      {masterPart(),
       (QStringLiteral("<p:sldMaster %1><p:cSld>%2%3</p:cSld><p:clrMap bg1=\"lt1\" "
                       "tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" accent1=\"accent1\" "
                       "accent2=\"accent2\" accent3=\"accent3\" accent4=\"accent4\" "
                       "accent5=\"accent5\" accent6=\"accent6\" hlink=\"hlink\" "
                       "folHlink=\"folHlink\"/><p:sldLayoutIdLst><p:sldLayoutId "
                       "id=\"2147483649\" r:id=\"rId1\"/></p:sldLayoutIdLst></p:sldMaster>")
            .arg(QLatin1String(kNamespaces), masterBackground_, tree(QString())))
           .toUtf8()});
  all.push_back(
      {layoutPart(), (QStringLiteral("<p:sldLayout %1><p:cSld>%2%3</p:cSld></p:sldLayout>")
                          .arg(QLatin1String(kNamespaces), layoutBackground_, tree(QString())))
                         .toUtf8()});
  for (const Part &p : all)
    if (const char *type = contentTypeOf(p.name))
      types += QStringLiteral("<Override PartName=\"%1\" ContentType=\"%2\"/>")
                   .arg(p.name, QLatin1String(type));
  types += QStringLiteral("</Types>");
  items.push_back({QStringLiteral("[Content_Types].xml"), types.toUtf8()});
  QStringList sources;
  for (const Rel &r : rels_)
    if (!sources.contains(r.source)) sources << r.source;
  for (const QString &source : sources) {
    QString xml = QStringLiteral(
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    for (const Rel &r : rels_)
      if (r.source == source)
        xml += QStringLiteral("<Relationship Id=\"%1\" Type=\"%2\" Target=\"%3\"%4/>")
                   .arg(r.id, r.type, r.target.toHtmlEscaped(),
                        r.external ? QStringLiteral(" TargetMode=\"External\"") : QString());
    xml += QStringLiteral("</Relationships>");
    const qsizetype slash = source.lastIndexOf(QLatin1Char('/'));
    const QString relsName = source.isEmpty() ? QStringLiteral("_rels/.rels")
                                              : source.mid(1, slash) + QStringLiteral("_rels/") +
                                                    source.mid(slash + 1) + QStringLiteral(".rels");
    items.push_back({relsName, xml.toUtf8()});
  }
  for (const Part &p : all) items.push_back({p.name.mid(1), p.data});
  return items;
}

QByteArray Deck::build() const { return buildZip(items()); }

QString spXml(const QString &name, const QString &text, const QString &extraNvPr, bool textBox,
              const QString &bodyPrXml) {
  QString paragraphs;
  for (const QString &p : text.split(QLatin1Char('\n')))
    paragraphs += QStringLiteral("<a:p><a:r><a:t>%1</a:t></a:r></a:p>").arg(p.toHtmlEscaped());
  return QStringLiteral(
             "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"%1\"/><p:cNvSpPr%2/><p:nvPr>%3"
             "</p:nvPr></p:nvSpPr><p:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
             "cx=\"914400\" cy=\"914400\"/></a:xfrm></p:spPr><p:txBody>%4<a:lstStyle/>%5"
             "</p:txBody></p:sp>")
      .arg(name, textBox ? QStringLiteral(" txBox=\"1\"") : QString(), extraNvPr,
           bodyPrXml.isEmpty() ? QStringLiteral("<a:bodyPr/>") : bodyPrXml, paragraphs);
}

QString picXml(const QString &relId, const QString &extraBlipFill, qint64 cx, qint64 cy) {
  return QStringLiteral(
             "<p:pic><p:nvPicPr><p:cNvPr id=\"3\" name=\"Picture\"/><p:cNvPicPr/><p:nvPr/>"
             "</p:nvPicPr><p:blipFill><a:blip r:embed=\"%1\"/>%2<a:stretch><a:fillRect/>"
             "</a:stretch></p:blipFill><p:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
             "cx=\"%3\" cy=\"%4\"/></a:xfrm></p:spPr></p:pic>")
      .arg(relId, extraBlipFill)
      .arg(cx)
      .arg(cy);
}

QByteArray pngBytes(int w, int h, unsigned rgb, bool transparentLeft) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(QColor::fromRgb(rgb));
  if (transparentLeft) {
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(0, 0, w / 2, h, Qt::transparent);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "png");
  return bytes;
}

QByteArray jpegBytes(int w, int h, unsigned rgb) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(QColor::fromRgb(rgb));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "jpeg");
  return bytes;
}

}  // namespace testpptx
