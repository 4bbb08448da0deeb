#include "office/render/transcode.h"

#include <QColorSpace>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "common/error.h"
#include "office/render/jpegcodec.h"
#include "office/render/pngdecoder.h"
#include "office/render/raster.h"

namespace office::render {

namespace {

[[noreturn]] void unreadable(const QString &reason) {
  throw morvane::PictureError(QStringLiteral("the picture cannot be read (%1)").arg(reason));
}

// Decoded row by row, a picture costs time, not memory: one stored byte per
// kStreamedPixelsPerByte pixels is enough beyond kFreePixels.
constexpr qint64 kStreamedPixelsPerByte = 1024;

void checkDecodedSize(QSize size, qsizetype byteCount) {
  checkSizeAgainstData(size, byteCount, kStreamedPixelsPerByte);
}

class JpegSource : public RowSource {
 public:
  explicit JpegSource(const QByteArray &data) : decoder_(data) {
    checkDecodedSize(decoder_.size(), data.size());
  }
  QSize size() const override { return decoder_.size(); }
  int channels() const override { return 3; }
  bool readRow(uchar *row) override { return decoder_.readRow(row); }
  bool skipRows(int count) override { return decoder_.skipRows(count); }
  QString damage() const override { return decoder_.damage(); }
  QByteArray iccProfile() const override { return decoder_.iccProfile(); }

 private:
  JpegDecoder decoder_;
};

class PngSource : public RowSource {
 public:
  explicit PngSource(const QByteArray &data) : decoder_(data) {
    checkDecodedSize(decoder_.size(), data.size());
  }
  QSize size() const override { return decoder_.size(); }
  int channels() const override { return decoder_.channels(); }
  bool readRow(uchar *row) override { return decoder_.readRow(row); }
  QString damage() const override { return decoder_.damage(); }
  QByteArray iccProfile() const override { return decoder_.iccProfile(); }

 private:
  PngDecoder decoder_;
};

class ImageSource : public RowSource {
 public:
  explicit ImageSource(const QImage &image)
      : image_(image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                             : QImage::Format_RGB888)) {
    if (image_.isNull()) unreadable(QStringLiteral("not enough memory for the picture"));
  }
  QSize size() const override { return image_.size(); }
  int channels() const override { return image_.hasAlphaChannel() ? 4 : 3; }
  bool readRow(uchar *row) override {
    if (next_ >= image_.height()) return false;
    std::memcpy(row, image_.constScanLine(next_++),
                std::size_t(image_.width()) * std::size_t(channels()));
    return true;
  }
  bool skipRows(int count) override {
    next_ += count;
    return true;
  }
  QString damage() const override { return {}; }
  QByteArray iccProfile() const override {
    return image_.colorSpace().isValid() ? image_.colorSpace().iccProfile() : QByteArray();
  }

 private:
  QImage image_;
  int next_ = 0;
};

bool startsWith(const QByteArray &data, const char *signature, qsizetype length) {
  return data.size() >= length &&
         std::memcmp(data.constData(), signature, std::size_t(length)) == 0;
}

// What the leading bytes show; the declared format when they show nothing known.
BlipFormat sniffedFormat(const PictureSource &picture) {
  const QByteArray &d = picture.data;
  if (startsWith(d, "\xFF\xD8\xFF", 3)) return BlipFormat::Jpeg;
  if (startsWith(d, "\x89PNG\r\n\x1A\n", 8)) return BlipFormat::Png;
  if (startsWith(d, "II*\0", 4) || startsWith(d, "MM\0*", 4)) return BlipFormat::Tiff;
  return picture.format;
}

// Rows of the output: the picture's rows placed at origin, the rest background.
class Composer {
 public:
  Composer(RowSource &source, const Crop &crop, QColor background)
      : source_(source),
        size_(source.size()),
        channels_(source.channels()),
        place_(placementFor(size_, crop)),
        background_{uchar(background.red()), uchar(background.green()), uchar(background.blue())},
        in_(std::size_t(size_.width()) * std::size_t(channels_)),
        out_(std::size_t(place_.output.width()) * 3) {}

  QSize outputSize() const { return place_.output; }

  // Produces the output rows one by one.
  void run(const std::function<void(const uchar *)> &deliver) {
    // Rows above the output are passed over; a picture whose very first
    // row cannot be decoded has nothing to show.
    const int firstRow = std::clamp(-place_.origin.y(), 0, size_.height());
    if (firstRow > 0) intact_ = source_.skipRows(firstRow);
    nextSourceRow_ = firstRow;
    for (int y = 0; y < place_.output.height(); ++y) {
      composeRow(y - place_.origin.y());
      deliver(out_.data());
    }
  }

  QString damage() const { return intact_ ? source_.damage() : damageText(); }

 private:
  QString damageText() const {
    const QString reason = source_.damage();
    return reason.isEmpty() ? QStringLiteral("no row could be decoded") : reason;
  }

  void fillBackground(uchar *to, int pixels) const {
    for (int i = 0; i < pixels; ++i, to += 3) std::memcpy(to, background_, 3);
  }

  void composeRow(int sourceRow) {
    uchar *out = out_.data();
    const int width = place_.output.width();
    if (sourceRow < 0 || sourceRow >= size_.height() || !readSourceRow(sourceRow)) {
      fillBackground(out, width);
      return;
    }
    const int left = std::clamp(place_.origin.x(), 0, width);
    const int from = std::max(0, -place_.origin.x());
    const int count = std::clamp(size_.width() - from, 0, width - left);
    fillBackground(out, left);
    fillBackground(out + 3 * (left + count), width - left - count);
    flattenPixels(in_.data() + std::size_t(from) * std::size_t(channels_), out + 3 * left, count);
  }

  bool readSourceRow(int sourceRow) {
    if (!intact_ || sourceRow != nextSourceRow_) return false;
    ++nextSourceRow_;
    intact_ = source_.readRow(in_.data());
    if (intact_) ++rowsDecoded_;
    // Nothing at all can be decoded: the picture is not written.
    if (!intact_ && sourceRow == 0) unreadable(damageText());
    return intact_;
  }

  void flattenPixels(const uchar *in, uchar *out, int count) const {
    if (channels_ == 3) {
      std::memcpy(out, in, std::size_t(count) * 3);
      return;
    }
    for (int i = 0; i < count; ++i, in += 4, out += 3) {
      const int a = in[3];
      for (int c = 0; c < 3; ++c)
        out[c] = uchar((in[c] * a + background_[c] * (255 - a) + 127) / 255);
    }
  }

  RowSource &source_;
  const QSize size_;
  const int channels_;
  const Placement place_;
  const uchar background_[3];
  std::vector<uchar> in_;
  std::vector<uchar> out_;
  int nextSourceRow_ = 0;
  qint64 rowsDecoded_ = 0;
  bool intact_ = true;
};

// Rows handed from the thread that decodes to the thread that encodes,
// through a ring of kPipeRows row buffers: decoding and encoding a large
// picture overlap on two cores, in memory for a few hundred rows only. A
// side is woken only when the other may be waiting (the ring was empty, or
// full), not for every row.
class RowPipe {
 public:
  static constexpr int kPipeRows = 256;

  explicit RowPipe(std::size_t rowBytes) : rows_(kPipeRows, std::vector<uchar>(rowBytes)) {}

  // Producer side; false once the consumer has given up.
  bool push(const uchar *row) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return count_ < kPipeRows || cancelled_; });
    if (cancelled_) return false;
    std::memcpy(rows_[std::size_t((first_ + count_) % kPipeRows)].data(), row, rows_[0].size());
    if (++count_ == 1) changed_.notify_all();
    return true;
  }
  void finish(std::exception_ptr failure = nullptr) {
    const std::lock_guard lock(mutex_);
    finished_ = true;
    failure_ = failure;
    changed_.notify_all();
  }

  // Consumer side: hands the next row to use; false at the end.
  template <class Use>
  bool pop(Use use) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return count_ > 0 || finished_; });
    if (count_ == 0) {
      if (failure_) std::rethrow_exception(failure_);
      return false;
    }
    const std::vector<uchar> &row = rows_[std::size_t(first_)];
    lock.unlock();
    use(row.data());  // the producer never writes into a full slot
    lock.lock();
    first_ = (first_ + 1) % kPipeRows;
    if (count_-- == kPipeRows) changed_.notify_all();
    return true;
  }
  void cancel() {
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<uchar>> rows_;
  int first_ = 0, count_ = 0;
  bool finished_ = false, cancelled_ = false;
  std::exception_ptr failure_;
};

// Smaller pictures are not worth a thread.
constexpr qint64 kPipelinedPixels = 2LL * 1024 * 1024;

Encoded encodeInTwoThreads(Composer &composer, JpegEncoder &encoder, std::size_t rowBytes) {
  RowPipe pipe(rowBytes);
  struct Cancelled {};
  std::thread decoder([&] {
    try {
      composer.run([&](const uchar *row) {
        if (!pipe.push(row)) throw Cancelled{};
      });
      pipe.finish();
    } catch (const Cancelled &) {
      pipe.finish();
    } catch (...) {
      pipe.finish(std::current_exception());
    }
  });
  try {
    while (pipe.pop([&](const uchar *row) { encoder.writeRow(row); })) {
    }
  } catch (...) {
    pipe.cancel();
    decoder.join();
    throw;
  }
  decoder.join();
  return {encoder.finish(), composer.damage()};
}

}  // namespace

bool RowSource::skipRows(int count) {
  std::vector<uchar> row(std::size_t(size().width()) * std::size_t(channels()));
  for (int i = 0; i < count; ++i)
    if (!readRow(row.data())) return false;
  return true;
}

std::unique_ptr<RowSource> openBitmap(const PictureSource &picture) {
  if (picture.data.isEmpty()) unreadable(QStringLiteral("no picture data"));
  switch (sniffedFormat(picture)) {
    case BlipFormat::Jpeg:
      return std::make_unique<JpegSource>(picture.data);
    case BlipFormat::Png:
      return std::make_unique<PngSource>(picture.data);
    default:
      return std::make_unique<ImageSource>(decodeBitmap(picture));
  }
}

std::unique_ptr<RowSource> imageSource(const QImage &image) {
  return std::make_unique<ImageSource>(image);
}

Encoded transcodeToJpeg(RowSource &source, const Crop &crop, QColor background, int dotsPerInch) {
  Composer composer(source, crop, background);
  const QSize size = composer.outputSize();
  JpegEncoder encoder(size, dotsPerInch, source.iccProfile());
  if (qint64(size.width()) * size.height() >= kPipelinedPixels)
    return encodeInTwoThreads(composer, encoder, std::size_t(size.width()) * 3);
  composer.run([&](const uchar *row) { encoder.writeRow(row); });
  return {encoder.finish(), composer.damage()};
}

QImage composeImage(RowSource &source, const Crop &crop, QColor background, QString *damage) {
  Composer composer(source, crop, background);
  QImage image(composer.outputSize(), QImage::Format_RGB888);
  if (image.isNull()) unreadable(QStringLiteral("not enough memory for the picture"));
  int y = 0;
  const std::size_t rowBytes = std::size_t(image.width()) * 3;
  composer.run([&](const uchar *row) { std::memcpy(image.scanLine(y++), row, rowBytes); });
  if (damage) *damage = composer.damage();
  return image;
}

}  // namespace office::render
