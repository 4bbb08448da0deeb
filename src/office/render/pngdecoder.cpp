#include "office/render/pngdecoder.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/error.h"

namespace office::render {

namespace {

constexpr int kMaxEdge = 1 << 16;

[[noreturn]] void failHeader(const QString &reason) {
  throw morvane::PictureError(QStringLiteral("the PNG data cannot be read (%1)").arg(reason));
}

}  // namespace

struct PngDecoder::State {
  png_structp png = nullptr;
  png_infop info = nullptr;
  QByteArray data;
  std::size_t readAt = 0;
  QString error;
  int width = 0, height = 0, channels = 3;
  int passes = 1;
  int nextRow = 0;
  bool failed = false;
  QByteArray icc;
  // An interlaced picture is decoded whole on the first row asked for.
  std::vector<png_byte> wholeImage;
  int interlacedRowsGood = 0;

  ~State() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
  std::size_t rowBytes() const { return std::size_t(width) * std::size_t(channels); }
};

namespace {

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto *s = static_cast<PngDecoder::State *>(png_get_io_ptr(png));
  const std::size_t left = std::size_t(s->data.size()) - s->readAt;
  if (length > left) png_error(png, "the data ends early");
  std::memcpy(out, s->data.constData() + s->readAt, length);
  s->readAt += length;
}

void recordError(png_structp png, png_const_charp message) {
  auto *s = static_cast<PngDecoder::State *>(png_get_error_ptr(png));
  s->error = QString::fromLatin1(message);
  png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// Each step that calls into libpng sets its jump point first; the frames
// between it and libpng hold no objects with destructors.
bool readHeader(PngDecoder::State &s) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_read_fn(s.png, &s, readFromMemory);
  png_set_crc_action(s.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  png_set_user_limits(s.png, kMaxEdge, kMaxEdge);
  png_read_info(s.png, s.info);
  png_set_expand(s.png);
  png_set_scale_16(s.png);
  png_set_gray_to_rgb(s.png);
  s.passes = png_set_interlace_handling(s.png);
  // Pixels an interlaced file never delivers must be told apart: they stay
  // at alpha 0.
  if (s.passes > 1) png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(s.png, s.info);
  s.width = int(png_get_image_width(s.png, s.info));
  s.height = int(png_get_image_height(s.png, s.info));
  s.channels = png_get_channels(s.png, s.info);
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  if (png_get_iCCP(s.png, s.info, &name, &compression, &profile, &length) && profile)
    s.icc = QByteArray(reinterpret_cast<const char *>(profile), qsizetype(length));
  return true;
}

bool readOneRow(PngDecoder::State &s, png_bytep row) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_read_row(s.png, row, nullptr);
  return true;
}

// Adam7 spreads every pass over the whole picture: the passes are read into
// one buffer, and pixels a damaged file never delivers stay transparent.
void readInterlaced(PngDecoder::State &s) {
  s.wholeImage.assign(s.rowBytes() * std::size_t(s.height), 0);
  qint64 rowsRead = 0;
  for (int pass = 0; pass < s.passes && !s.failed; ++pass) {
    for (int y = 0; y < s.height; ++y, ++rowsRead) {
      if (!readOneRow(s, s.wholeImage.data() + s.rowBytes() * std::size_t(y))) {
        s.failed = true;
        break;
      }
    }
  }
  s.interlacedRowsGood = rowsRead > 0 ? s.height : 0;
}

}  // namespace

PngDecoder::PngDecoder(const QByteArray &data) : state_(std::make_unique<State>()) {
  State &s = *state_;
  s.data = data;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, recordError, ignoreWarning);
  if (!s.png) failHeader(QStringLiteral("out of memory"));
  s.info = png_create_info_struct(s.png);
  if (!s.info) failHeader(QStringLiteral("out of memory"));
  if (!readHeader(s)) failHeader(s.error);
  if (s.channels != 3 && s.channels != 4)
    failHeader(QStringLiteral("%1 channels after expansion").arg(s.channels));
  if (s.width <= 0 || s.height <= 0) failHeader(QStringLiteral("no pixels"));
}

PngDecoder::~PngDecoder() = default;

QSize PngDecoder::size() const { return QSize(state_->width, state_->height); }
int PngDecoder::channels() const { return state_->channels; }
QByteArray PngDecoder::iccProfile() const { return state_->icc; }

bool PngDecoder::readRow(uchar *row) {
  State &s = *state_;
  if (s.nextRow >= s.height) return false;
  const int y = s.nextRow++;
  if (s.passes > 1) {
    if (y == 0) readInterlaced(s);
    if (y >= s.interlacedRowsGood) return false;
    std::memcpy(row, s.wholeImage.data() + s.rowBytes() * std::size_t(y), s.rowBytes());
    if (y + 1 == s.height) std::vector<png_byte>().swap(s.wholeImage);
    return true;
  }
  if (s.failed) return false;
  if (!readOneRow(s, row)) s.failed = true;
  return !s.failed;
}

QString PngDecoder::damage() const { return state_->failed ? state_->error : QString(); }

}  // namespace office::render
