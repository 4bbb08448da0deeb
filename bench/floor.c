/* The practical floor for taking JPEG pictures out of a .ppt file: open the
 * compound file with libgsf, walk the records of the "Pictures" stream and
 * copy the stored bytes of every JPEG blip to Img0001.jpg, Img0002.jpg ...
 * in OUTDIR. Nothing else: no slide is read, nothing is decoded or checked
 * beyond what the copy needs. The benchmark compares morvane-extract with it.
 *
 * Usage: floor FILE [OUTDIR]   copy the JPEG pictures (OUTDIR defaults to .)
 *        floor --count FILE    print "jpeg N other M": the blips by kind
 */

#include <errno.h>
#include <fcntl.h>
#include <gsf/gsf.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

/* [MS-ODRAW] record header and the JPEG blip records. */
enum {
  RECORD_HEADER_BYTES = 8,
  RT_OFFICE_ART_BLIP_JPEG = 0xF01D,
  RT_OFFICE_ART_BLIP_JPEG_CMYK = 0xF02A,
  UID_BYTES = 16,
  BITMAP_TAG_BYTES = 1,
  /* recInstance of a JPEG blip with one UID; the next value means two. */
  INSTANCE_JPEG_RGB = 0x46A,
  INSTANCE_JPEG_CMYK = 0x6E2,
  COPY_CHUNK = 64 * 1024,
};

struct record_header {
  unsigned instance;
  unsigned type;
  uint32_t length;
};

static int read_header(GsfInput *stream, struct record_header *header) {
  guint8 bytes[RECORD_HEADER_BYTES];
  if (gsf_input_remaining(stream) < RECORD_HEADER_BYTES) return 0;
  if (!gsf_input_read(stream, RECORD_HEADER_BYTES, bytes)) return 0;
  header->instance = (bytes[0] | bytes[1] << 8) >> 4;
  header->type = bytes[2] | bytes[3] << 8;
  header->length = (uint32_t)bytes[4] | (uint32_t)bytes[5] << 8 | (uint32_t)bytes[6] << 16 |
                   (uint32_t)bytes[7] << 24;
  return 1;
}

static int is_jpeg(const struct record_header *header) {
  return header->type == RT_OFFICE_ART_BLIP_JPEG || header->type == RT_OFFICE_ART_BLIP_JPEG_CMYK;
}

static size_t jpeg_prefix_bytes(unsigned instance) {
  int two_uids = instance == INSTANCE_JPEG_RGB + 1 || instance == INSTANCE_JPEG_CMYK + 1;
  return (two_uids ? 2 : 1) * UID_BYTES + BITMAP_TAG_BYTES;
}

static int skip(GsfInput *stream, gsf_off_t bytes) {
  return gsf_input_seek(stream, bytes, G_SEEK_CUR) == FALSE;
}

static int copy_bytes(GsfInput *stream, size_t bytes, const char *path) {
  guint8 buffer[COPY_CHUNK];
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 0;
  while (bytes > 0) {
    size_t chunk = bytes < sizeof buffer ? bytes : sizeof buffer;
    if (!gsf_input_read(stream, chunk, buffer) || write(fd, buffer, chunk) != (ssize_t)chunk) {
      close(fd);
      return 0;
    }
    bytes -= chunk;
  }
  return close(fd) == 0;
}

static int copy_jpeg(GsfInput *stream, const struct record_header *header, const char *folder,
                     int number) {
  size_t prefix = jpeg_prefix_bytes(header->instance);
  if (header->length < prefix || (gsf_off_t)header->length > gsf_input_remaining(stream)) return 0;
  if (!skip(stream, prefix)) return 0;
  char path[4096];
  snprintf(path, sizeof path, "%s/Img%04d.jpg", folder, number);
  return copy_bytes(stream, header->length - prefix, path);
}

/* Walks the stream; copies JPEG blips when folder is set, else counts. */
static int walk(GsfInput *stream, const char *folder) {
  struct record_header header;
  int jpegs = 0, others = 0;
  while (read_header(stream, &header)) {
    if (folder && is_jpeg(&header)) {
      if (!copy_jpeg(stream, &header, folder, ++jpegs)) return 1;
      continue;
    }
    if ((gsf_off_t)header.length > gsf_input_remaining(stream)) break;
    if (is_jpeg(&header))
      ++jpegs;
    else
      ++others;
    if (!skip(stream, header.length)) return 1;
  }
  if (!folder) printf("jpeg %d other %d\n", jpegs, others);
  return 0;
}

int main(int argc, char **argv) {
  int count_only = argc == 3 && strcmp(argv[1], "--count") == 0;
  if (argc < 2 || argc > 3) {
    fputs("usage: floor FILE [OUTDIR] | floor --count FILE\n", stderr);
    return 2;
  }
  const char *file = count_only ? argv[2] : argv[1];
  const char *folder = count_only ? NULL : argc == 3 ? argv[2] : ".";
  GError *error = NULL;
  GsfInput *input = gsf_input_stdio_new(file, &error);
  GsfInfile *compound = input ? gsf_infile_msole_new(input, &error) : NULL;
  if (!compound) {
    fprintf(stderr, "floor: %s: %s\n", file, error ? error->message : "cannot open");
    return 1;
  }
  GsfInput *pictures = gsf_infile_child_by_name(compound, "Pictures");
  int status = pictures ? walk(pictures, folder) : 0;
  if (!pictures && count_only) printf("jpeg 0 other 0\n");
  if (status) fprintf(stderr, "floor: %s: cannot copy a picture\n", file);
  return status;
}
