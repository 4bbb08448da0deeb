// Development tool: dumps the metafiles of presentations and renders them.
//   metafile_tool [--dpi N] OUTDIR FILE.ppt...
// writes OUTDIR/<file>-<offset>.{emf,wmf} (with a placeable header added to
// WMF files so that other viewers know their frame) and <...>.png rendered at
// 96 (or N) dots per inch, printing the render time of each.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QtEndian>
#include <cstdio>

#include "common/error.h"
#include "corpus_metafiles.h"
#include "office/render/metafile/metafile.h"

namespace {

QByteArray placeableHeader(const office::render::PictureSource &p) {
  QByteArray h(22, '\0');
  auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, h.data() + at); };
  qToLittleEndian(quint32(0x9AC6CDD7), h.data());
  QRect b = p.metafileBounds;
  put16(6, quint16(b.left()));
  put16(8, quint16(b.top()));
  put16(10, quint16(b.right() + 1));
  put16(12, quint16(b.bottom() + 1));
  double inches = p.metafileSizeEmu.width() / 914400.0;
  put16(14, quint16(inches > 0 ? qBound(1.0, b.width() / inches, 65535.0) : 1440));
  quint16 sum = 0;
  for (int i = 0; i < 20; i += 2) sum ^= qFromLittleEndian<quint16>(h.constData() + i);
  put16(20, sum);
  return h;
}

}  // namespace

int main(int argc, char **argv) {
  QGuiApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  double dpi = 96;
  if (args.size() >= 2 && args[0] == QLatin1String("--dpi")) {
    dpi = args[1].toDouble();
    args = args.mid(2);
  }
  if (args.size() < 2 || dpi <= 0) return 2;
  QDir out(args.takeFirst());
  out.mkpath(".");
  for (const QString &path : args) {
    std::vector<metafile_test::StoredMetafile> blips;
    try {
      blips = metafile_test::storedMetafiles(path);
    } catch (const morvane::Error &e) {
      std::printf("%s: %s\n", qPrintable(path), e.what());
      continue;
    }
    for (const auto &blip : blips) {
      bool emf = blip.picture.format == office::render::BlipFormat::Emf;
      QString base =
          QStringLiteral("%1-%2").arg(QFileInfo(path).completeBaseName()).arg(blip.offset);
      QFile raw(out.filePath(base + (emf ? ".emf" : ".wmf")));
      raw.open(QIODevice::WriteOnly);
      bool placeable = !emf && !blip.picture.data.startsWith("\xD7\xCD\xC6\x9A");
      raw.write((placeable ? placeableHeader(blip.picture) : QByteArray()) + blip.picture.data);
      raw.close();
      QElapsedTimer timer;
      timer.start();
      try {
        QSizeF inches = office::render::metafileNaturalSizeInches(blip.picture);
        QSize px = (inches * dpi).toSize().expandedTo(QSize(1, 1));
        QImage img = office::render::renderMetafile(blip.picture, px);
        double ms = timer.nsecsElapsed() / 1e6;
        img.save(out.filePath(base + ".png"));
        std::printf("%s %d bytes %dx%d %.2f ms\n", qPrintable(base), int(blip.picture.data.size()),
                    px.width(), px.height(), ms);
      } catch (const morvane::Error &e) {
        std::printf("%s: error %s\n", qPrintable(base), e.what());
      }
    }
  }
  return 0;
}
