#pragma once

// The picture parts of a package as the picture export takes them: the
// format (by the bytes, else the content type, else the part name), the
// export's picture source, what the stored picture is (for listing and for
// writing it unchanged), the check an SVG picture passes before it is drawn,
// and the average colour of a picture used as a background.

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <optional>

#include "office/model/powerpoint.h"
#include "office/render/export.h"

namespace office::pptx {

// Chart: not a picture but a chart part, which the export draws.
enum class PictureFormat { Jpeg, Png, Gif, Tiff, Bmp, Emf, Wmf, Pict, Svg, Wdp, Unknown, Chart };

// The format of a picture: its bytes decide where they are recognisable,
// then the content type, then the part name's extension.
PictureFormat pictureFormat(const QByteArray &bytes, const QString &contentType,
                            const QString &partName);

// "JPEG", "PNG", ... as StoredPicture names them.
QString formatName(PictureFormat format);

// The export's source for a stored picture; throws morvane::PictureError for
// a format that cannot be drawn (SVG is drawn by drawSvg instead).
office::render::PictureSource pictureSource(const QByteArray &bytes, PictureFormat format);

// What the stored picture is: format, pixel size (read from its header
// only), crop, bytes, extension.
PowerPoint::StoredPicture storedPicture(const QByteArray &bytes, PictureFormat format,
                                        const office::render::Crop &crop);

// Throws morvane::PictureError unless the SVG's XML is one the drawing may
// see: no document type (no entities), bounded nesting, well-formed, at
// most 16 MB.
void checkSvg(const QByteArray &svg);

// The picture's average colour; nullopt when it cannot be decoded.
std::optional<QRgb> averagePictureColor(const QByteArray &bytes, PictureFormat format);

}  // namespace office::pptx
