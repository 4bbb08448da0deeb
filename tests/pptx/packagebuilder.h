#pragma once

// Builds ZIP files and presentation packages in memory for the reader's
// tests: well-formed ones, and ones that lie about their sizes, lack their
// central directory, nest too deep or refer to parts that are missing.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace testpptx {

struct ZipItem {
  QString name;
  QByteArray data;
  bool deflate = true;
  // Sizes written instead of the true ones (both headers).
  std::optional<quint64> declaredSize = {};
  std::optional<quint32> declaredCompressedSize = {};
};

struct ZipOptions {
  bool centralDirectory = true;
  bool dataDescriptors = false;  // sizes after the data (flag bit 3)
};

QByteArray buildZip(const std::vector<ZipItem> &items, const ZipOptions &options = {});

// Raw deflate of data (no zlib header).
QByteArray deflateRaw(const QByteArray &data);

// A presentation package put together part by part. Parts get their
// content types from their names; relationships are listed per source.
class Deck {
 public:
  Deck();
  // A slide whose spTree children are shapesXml; returns its part name.
  QString addSlide(const QString &shapesXml, const QString &slideExtraXml = {});
  void addPart(const QString &partName, const QByteArray &data);
  // A relationship from source ("" for the package) and its id.
  QString relate(const QString &source, const QString &type, const QString &target,
                 bool external = false);
  void setPresentationXml(const QString &xml) { presentationXml_ = xml; }
  QString layoutPart() const { return QStringLiteral("/ppt/slideLayouts/slideLayout1.xml"); }
  QString masterPart() const { return QStringLiteral("/ppt/slideMasters/slideMaster1.xml"); }
  // Master background (the XML of p:bg); empty for none.
  void setMasterBackground(const QString &bgXml) { masterBackground_ = bgXml; }
  void setLayoutBackground(const QString &bgXml) { layoutBackground_ = bgXml; }
  QByteArray build() const;
  // The items build() zips, to be altered by a test.
  std::vector<ZipItem> items() const;

 private:
  struct Part {
    QString name;
    QByteArray data;
  };
  struct Rel {
    QString source, id, type, target;
    bool external;
  };
  std::vector<Part> parts_;
  std::vector<Rel> rels_;
  QStringList slideIds_;
  QString presentationXml_;
  QString masterBackground_, layoutBackground_;
};

// The relationship type URI of a kind ("slide", "image" ...).
QString relType(const QString &kind);

// XML snippets.
QString spXml(const QString &name, const QString &text, const QString &extraNvPr = {},
              bool textBox = false, const QString &bodyPrXml = {});
QString picXml(const QString &relId, const QString &extraBlipFill = {}, qint64 cx = 1828800,
               qint64 cy = 1371600);

// A small PNG (solid colour, optionally with transparent left half) and JPEG.
QByteArray pngBytes(int w, int h, unsigned rgb, bool transparentLeft = false);
QByteArray jpegBytes(int w, int h, unsigned rgb);

}  // namespace testpptx
