#include "office/render/jpegcodec.h"

// clang-format off
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "common/error.h"

namespace office::render {

namespace {

constexpr int kJpegQuality = 90;
constexpr std::size_t kOutputChunk = 256 * 1024;
constexpr UINT8 kDensityUnitDotsPerInch = 1;

// libjpeg reports errors through this manager: error_exit jumps back to the
// call that started the failing step, warnings are collected.
struct ErrorManager {
  jpeg_error_mgr pub{};
  std::jmp_buf jump{};
  QString message;
  bool damaged = false;
  QString damageMessage;
};

QString messageOf(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX] = {};
  info->err->format_message(info, text);
  return QString::fromLocal8Bit(text);
}

[[noreturn]] void jumpOnError(j_common_ptr info) {
  auto *manager = reinterpret_cast<ErrorManager *>(info->err);
  manager->message = messageOf(info);
  std::longjmp(manager->jump, 1);
}

// Warnings that mean the entropy-coded data is cut or corrupt: the rows
// decoded from then on are guesses, not the picture.
bool isDamageWarning(int code) {
  switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
      return true;
    default:
      return false;
  }
}

void noteWarning(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace messages
  auto *manager = reinterpret_cast<ErrorManager *>(info->err);
  if (manager->damaged || !isDamageWarning(info->err->msg_code)) return;
  manager->damaged = true;
  manager->damageMessage = messageOf(info);
}

void installErrorManager(ErrorManager &manager) {
  jpeg_std_error(&manager.pub);
  manager.pub.error_exit = jumpOnError;
  manager.pub.emit_message = noteWarning;
}

// A libjpeg destination that appends to a QByteArray.
struct ByteArrayDestination {
  jpeg_destination_mgr pub{};
  QByteArray bytes;
};

void growDestination(ByteArrayDestination &dest) {
  const qsizetype used = dest.bytes.size();
  dest.bytes.resize(used + qsizetype(kOutputChunk));
  dest.pub.next_output_byte = reinterpret_cast<JOCTET *>(dest.bytes.data() + used);
  dest.pub.free_in_buffer = kOutputChunk;
}

void initDestination(j_compress_ptr info) {
  auto *dest = reinterpret_cast<ByteArrayDestination *>(info->dest);
  dest->bytes.clear();
  growDestination(*dest);
}

boolean emptyDestination(j_compress_ptr info) {
  auto *dest = reinterpret_cast<ByteArrayDestination *>(info->dest);
  // libjpeg hands back the whole buffer when it asks for more room.
  dest->pub.free_in_buffer = 0;
  growDestination(*dest);
  return TRUE;
}

void terminateDestination(j_compress_ptr info) {
  auto *dest = reinterpret_cast<ByteArrayDestination *>(info->dest);
  dest->bytes.chop(qsizetype(dest->pub.free_in_buffer));
}

[[noreturn]] void failEncoding(const QString &reason) {
  throw morvane::PictureError(
      QStringLiteral("the picture cannot be encoded as JPEG (%1)").arg(reason));
}

[[noreturn]] void failDecoding(const QString &reason) {
  throw morvane::PictureError(QStringLiteral("the JPEG data cannot be read (%1)").arg(reason));
}

}  // namespace

// ---- encoder ----

struct JpegEncoder::State {
  jpeg_compress_struct info{};
  ErrorManager errors;
  ByteArrayDestination destination;
  bool created = false;

  ~State() {
    if (created) jpeg_destroy_compress(&info);
  }
};

namespace {

// Each step that calls into libjpeg sets its jump point first; the frames
// between it and libjpeg hold no objects with destructors.
bool startCompress(JpegEncoder::State &s, QSize size, int dotsPerInch, const QByteArray &icc) {
  if (setjmp(s.errors.jump)) return false;
  jpeg_create_compress(&s.info);
  s.created = true;
  s.destination.pub.init_destination = initDestination;
  s.destination.pub.empty_output_buffer = emptyDestination;
  s.destination.pub.term_destination = terminateDestination;
  s.info.dest = &s.destination.pub;
  s.info.image_width = JDIMENSION(size.width());
  s.info.image_height = JDIMENSION(size.height());
  s.info.input_components = 3;
  s.info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&s.info);
  jpeg_set_quality(&s.info, kJpegQuality, TRUE);
  for (int c = 0; c < s.info.num_components; ++c) {
    s.info.comp_info[c].h_samp_factor = 1;
    s.info.comp_info[c].v_samp_factor = 1;
  }
  s.info.optimize_coding = qint64(size.width()) * size.height() <= kOptimizedJpegPixels;
  s.info.write_JFIF_header = TRUE;
  s.info.density_unit = kDensityUnitDotsPerInch;
  s.info.X_density = UINT16(dotsPerInch);
  s.info.Y_density = UINT16(dotsPerInch);
  jpeg_start_compress(&s.info, TRUE);
  if (!icc.isEmpty())
    jpeg_write_icc_profile(&s.info, reinterpret_cast<const JOCTET *>(icc.constData()),
                           unsigned(icc.size()));
  return true;
}

bool writeScanline(JpegEncoder::State &s, const uchar *rgb) {
  if (setjmp(s.errors.jump)) return false;
  JSAMPROW row = const_cast<JSAMPROW>(rgb);
  jpeg_write_scanlines(&s.info, &row, 1);
  return true;
}

bool finishCompress(JpegEncoder::State &s) {
  if (setjmp(s.errors.jump)) return false;
  jpeg_finish_compress(&s.info);
  return true;
}

}  // namespace

JpegEncoder::JpegEncoder(QSize size, int dotsPerInch, const QByteArray &iccProfile)
    : state_(std::make_unique<State>()) {
  installErrorManager(state_->errors);
  state_->info.err = &state_->errors.pub;
  if (size.width() <= 0 || size.height() <= 0 || size.width() > JPEG_MAX_DIMENSION ||
      size.height() > JPEG_MAX_DIMENSION)
    failEncoding(QStringLiteral("%1 x %2 pixels").arg(size.width()).arg(size.height()));
  if (!startCompress(*state_, size, std::clamp(dotsPerInch, 1, 65535), iccProfile))
    failEncoding(state_->errors.message);
}

JpegEncoder::~JpegEncoder() = default;

void JpegEncoder::writeRow(const uchar *rgb) {
  if (!writeScanline(*state_, rgb)) failEncoding(state_->errors.message);
}

QByteArray JpegEncoder::finish() {
  if (!finishCompress(*state_)) failEncoding(state_->errors.message);
  return std::move(state_->destination.bytes);
}

// ---- decoder ----

struct JpegDecoder::State {
  jpeg_decompress_struct info{};
  ErrorManager errors;
  QByteArray data;  // keeps the source bytes alive
  bool created = false;
  bool cmyk = false;
  bool multiScan = false;
  bool failed = false;  // decoding stopped for good
  std::vector<JSAMPLE> cmykRow;
  QByteArray icc;

  ~State() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

namespace {

bool startDecompress(JpegDecoder::State &s) {
  if (setjmp(s.errors.jump)) return false;
  jpeg_create_decompress(&s.info);
  s.created = true;
  jpeg_mem_src(&s.info, reinterpret_cast<const unsigned char *>(s.data.constData()),
               static_cast<unsigned long>(s.data.size()));
  jpeg_save_markers(&s.info, JPEG_APP0 + 2, 0xFFFF);  // ICC profile chunks
  jpeg_read_header(&s.info, TRUE);
  s.cmyk = s.info.jpeg_color_space == JCS_CMYK || s.info.jpeg_color_space == JCS_YCCK;
  s.info.out_color_space = s.cmyk ? JCS_CMYK : JCS_RGB;
  s.multiScan = jpeg_has_multiple_scans(&s.info);
  JOCTET *profile = nullptr;
  unsigned int profileLength = 0;
  if (jpeg_read_icc_profile(&s.info, &profile, &profileLength) && profile) {
    s.icc = QByteArray(reinterpret_cast<const char *>(profile), qsizetype(profileLength));
    std::free(profile);
  }
  jpeg_start_decompress(&s.info);
  return true;
}

bool readScanline(JpegDecoder::State &s, JSAMPROW row) {
  if (setjmp(s.errors.jump)) return false;
  return jpeg_read_scanlines(&s.info, &row, 1) == 1;
}

bool skipScanlines(JpegDecoder::State &s, int count) {
  if (setjmp(s.errors.jump)) return false;
  jpeg_skip_scanlines(&s.info, JDIMENSION(count));
  return true;
}

// Adobe's CMYK JPEGs store the inks inverted; others store them as they are.
void cmykToRgb(const JSAMPLE *cmyk, uchar *rgb, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    rgb[0] = uchar((c * k + 127) / 255);
    rgb[1] = uchar((m * k + 127) / 255);
    rgb[2] = uchar((y * k + 127) / 255);
  }
}

}  // namespace

JpegDecoder::JpegDecoder(const QByteArray &data) : state_(std::make_unique<State>()) {
  installErrorManager(state_->errors);
  state_->info.err = &state_->errors.pub;
  state_->data = data;
  if (data.isEmpty()) failDecoding(QStringLiteral("no data"));
  if (!startDecompress(*state_)) failDecoding(state_->errors.message);
  // A multi-scan file is read whole before its first row: damage found then
  // leaves a coarser picture, not lost rows.
  if (state_->multiScan) state_->errors.damaged = false;
  if (state_->cmyk) state_->cmykRow.resize(std::size_t(state_->info.output_width) * 4);
}

JpegDecoder::~JpegDecoder() = default;

QSize JpegDecoder::size() const {
  return QSize(int(state_->info.output_width), int(state_->info.output_height));
}

QByteArray JpegDecoder::iccProfile() const { return state_->icc; }

bool JpegDecoder::skipRows(int count) {
  State &s = *state_;
  if (s.failed || count <= 0) return !s.failed;
  if (!skipScanlines(s, count) || s.errors.damaged) s.failed = true;
  return !s.failed;
}

bool JpegDecoder::readRow(uchar *rgb) {
  State &s = *state_;
  if (s.failed) return false;
  JSAMPROW target = s.cmyk ? s.cmykRow.data() : rgb;
  if (!readScanline(s, target) || s.errors.damaged) {
    s.failed = true;
    return false;
  }
  if (s.cmyk) cmykToRgb(s.cmykRow.data(), rgb, int(s.info.output_width), s.info.saw_Adobe_marker);
  return true;
}

QString JpegDecoder::damage() const {
  const State &s = *state_;
  if (!s.errors.damageMessage.isEmpty()) return s.errors.damageMessage;
  return s.failed ? s.errors.message : QString();
}

}  // namespace office::render
