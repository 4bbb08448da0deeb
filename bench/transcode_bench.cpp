// Transcoding side by side: one picture decoded, cropped, flattened and
// encoded as a quality-90 JPEG by Qt's image plugins (the export before
// libjpeg-turbo), by libjpeg-turbo's TurboJPEG API (whole-image buffers; PNG
// decoded by libpng) and by Morvane's export (row by row); and the fidelity
// of Morvane's output on the corpus. Run by bench/transcode.sh, which also
// times libvips's command-line tool on the same files.
//
//   transcode_bench qt|turbojpeg|morvane IN OUT [crop]   prints milliseconds
//   transcode_bench psnr SOURCE JPEG                      prints dB
//   transcode_bench corpus DECK...                        PSNR of each transcode

#include <png.h>
#include <turbojpeg.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "common/error.h"
#include "office/model/powerpoint.h"
#include "office/ppt/application.h"
#include "office/render/export.h"

namespace {

using office::render::Crop;

QByteArray readFile(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(path));
  return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
    qFatal("cannot write %s", qPrintable(path));
}

bool isPng(const QByteArray &d) { return d.startsWith("\x89PNG"); }

QRect cropRect(QSize size, const Crop &c) {
  const int left = int(std::round(c.left * size.width()));
  const int top = int(std::round(c.top * size.height()));
  const int right = int(std::round(c.right * size.width()));
  const int bottom = int(std::round(c.bottom * size.height()));
  return QRect(left, top, size.width() - left - right, size.height() - top - bottom);
}

// Qt: decode whole, crop, paint onto white, encode (Qt's writer: 4:2:0).
QByteArray viaQt(const QByteArray &in, const Crop &crop) {
  QBuffer buffer;
  buffer.setData(in);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, isPng(in) ? "png" : "jpeg");
  QImage image = reader.read();
  image = image.copy(cropRect(image.size(), crop));
  QImage flat(image.size(), QImage::Format_RGB32);
  flat.fill(Qt::white);
  QPainter(&flat).drawImage(0, 0, image);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  QImageWriter writer(&out, "jpeg");
  writer.setQuality(90);
  writer.setOptimizedWrite(true);
  writer.write(flat);
  return out.data();
}

// libpng's simplified API: the whole picture as RGBA, flattened onto white.
std::vector<unsigned char> pngToRgb(const QByteArray &in, int &width, int &height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_memory(&image, in.constData(), std::size_t(in.size()));
  image.format = PNG_FORMAT_RGB;
  png_color white{255, 255, 255};
  width = int(image.width), height = int(image.height);
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, &white, rgb.data(), 0, nullptr);
  return rgb;
}

// TurboJPEG: decode whole (JPEG by TurboJPEG, PNG by libpng), crop by
// pointer arithmetic, encode 4:4:4.
QByteArray viaTurboJpeg(const QByteArray &in, const Crop &crop) {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  if (isPng(in)) {
    rgb = pngToRgb(in, width, height);
  } else {
    tjhandle decoder = tjInitDecompress();
    int subsampling = 0, colorspace = 0;
    tjDecompressHeader3(decoder, reinterpret_cast<const unsigned char *>(in.constData()),
                        static_cast<unsigned long>(in.size()), &width, &height, &subsampling,
                        &colorspace);
    rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    tjDecompress2(decoder, reinterpret_cast<const unsigned char *>(in.constData()),
                  static_cast<unsigned long>(in.size()), rgb.data(), width, 0, height, TJPF_RGB, 0);
    tjDestroy(decoder);
  }
  const QRect r = cropRect(QSize(width, height), crop);
  const unsigned char *start = rgb.data() + (std::size_t(r.top()) * width + r.left()) * 3;
  tjhandle encoder = tjInitCompress();
  unsigned char *jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(encoder, start, r.width(), width * 3, r.height(), TJPF_RGB, &jpeg, &size, TJSAMP_444,
              90, 0);
  QByteArray out(reinterpret_cast<const char *>(jpeg), qsizetype(size));
  tjFree(jpeg);
  tjDestroy(encoder);
  return out;
}

QByteArray viaMorvane(const QByteArray &in, const Crop &crop, const QString &out) {
  office::render::PictureSource picture;
  picture.format = isPng(in) ? office::render::BlipFormat::Png : office::render::BlipFormat::Jpeg;
  picture.data = in;
  picture.crop = crop;
  office::render::exportJpeg(picture, out);
  return {};
}

double psnr(const QImage &a, const QImage &b) {
  if (a.size() != b.size()) return -1;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    const QRgb *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
    const QRgb *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x)
      for (int d :
           {qRed(p[x]) - qRed(q[x]), qGreen(p[x]) - qGreen(q[x]), qBlue(p[x]) - qBlue(q[x])})
        sum += double(d) * d;
  }
  const double mse = sum / (3.0 * a.width() * a.height());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

QImage flattened(const QImage &image, const Crop &crop) {
  const QImage part = image.copy(cropRect(image.size(), crop));
  QImage flat(part.size(), QImage::Format_RGB32);
  flat.fill(Qt::white);
  QPainter(&flat).drawImage(0, 0, part);
  return flat;
}

QImage decoded(const QByteArray &bytes) {
  return QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
}

// Every picture of the decks that the export transcodes (not passed through):
// PSNR of Morvane's output and of Qt's against the flattened source.
int corpus(const QStringList &decks) {
  QTemporaryDir dir;
  std::vector<double> ours, qt;
  for (const QString &deck : decks) {
    try {
      auto presentation = office::ppt::openPresentationFile(deck);
      auto slides = presentation->Slides();
      for (int s = 1; s <= slides->Count(); ++s) {
        auto shapes = slides->Item(s)->Shapes();
        for (int i = 1; i <= shapes->Count(); ++i) {
          auto shape = shapes->Item(i);
          if (shape->Type() != PowerPoint::msoPicture) continue;
          office::render::PictureSource picture = office::ppt::pictureOf(*shape);
          using office::render::BlipFormat;
          const bool bitmap =
              picture.format == BlipFormat::Png || picture.format == BlipFormat::Jpeg ||
              picture.format == BlipFormat::Dib || picture.format == BlipFormat::Tiff;
          if (!bitmap || (picture.format == BlipFormat::Jpeg && picture.crop.isNone())) continue;
          QImage source = QImage::fromData(picture.data);
          if (source.isNull() || picture.crop.left < 0 || picture.crop.top < 0 ||
              picture.crop.right < 0 || picture.crop.bottom < 0)
            continue;
          const QString out = dir.filePath(QStringLiteral("p.jpg"));
          office::render::exportJpeg(picture, out);
          const QImage reference = flattened(source, picture.crop);
          const double a = psnr(decoded(readFile(out)), reference);
          const double b = psnr(decoded(viaQt(picture.data, picture.crop)), reference);
          if (a < 0 || b < 0) continue;
          ours.push_back(a);
          qt.push_back(b);
          std::printf("%s slide %d shape %d: morvane %.2f dB, qt %.2f dB\n",
                      qPrintable(deck.section(u'/', -1)), s, i, a, b);
        }
      }
    } catch (const morvane::Error &) {
    }
  }
  const auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::printf("pictures %zu median-morvane %.2f median-qt %.2f\n", ours.size(), median(ours),
              median(qt));
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QImageReader::setAllocationLimit(0);  // the 48-Mpixel references
  const QStringList args = app.arguments();
  if (args.size() >= 2 && args[1] == QLatin1String("corpus")) return corpus(args.mid(2));
  if (args.size() == 4 && args[1] == QLatin1String("psnr")) {
    std::printf("%.2f\n",
                psnr(decoded(readFile(args[3])), flattened(decoded(readFile(args[2])), {})));
    return 0;
  }
  if (args.size() < 4) {
    std::fprintf(stderr, "usage: transcode_bench qt|turbojpeg|morvane IN OUT [crop]\n");
    return 2;
  }
  const QByteArray in = readFile(args[2]);
  const Crop crop = args.size() > 4 ? Crop{0.1, 0.1, 0.1, 0.1} : Crop{};
  QElapsedTimer timer;
  timer.start();
  QByteArray out;
  if (args[1] == QLatin1String("qt"))
    out = viaQt(in, crop);
  else if (args[1] == QLatin1String("turbojpeg"))
    out = viaTurboJpeg(in, crop);
  else
    viaMorvane(in, crop, args[3]);
  const qint64 ms = timer.elapsed();
  if (!out.isEmpty()) writeFile(args[3], out);
  std::printf("%lld\n", static_cast<long long>(ms));
  return 0;
}
