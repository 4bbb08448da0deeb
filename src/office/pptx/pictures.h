#pragma once

// The picture parts of a package as the picture export takes them: the
// format (by the bytes, else the content type, else the part name), the
// export's picture source, what the stored picture is (for listing and for
// writing it unchanged), SVG pictures drawn with QtSvg (through Qt's image
// plugin, loaded only when an SVG picture is drawn), and the average colour
// of a picture used as a background.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include "office/model/powerpoint.h"
#include "office/render/export.h"

namespace office::pptx {

enum class PictureFormat { Jpeg, Png, Gif, Tiff, Bmp, Emf, Wmf, Pict, Svg, Wdp, Unknown };

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

// An SVG picture drawn at pixelSize onto background; throws
// morvane::PictureError when it cannot be read.
QImage drawSvg(const QByteArray &svg, QSize pixelSize, const QColor &background);

// A bitmap picture decoded at about size (its own when size is empty); null
// when it cannot be decoded or is not a bitmap.
QImage decodeBitmapPicture(const QByteArray &bytes, PictureFormat format, QSize size = {});

// The picture's average colour, from a small decoded copy; invalid when it
// cannot be decoded.
QColor averagePictureColor(const QByteArray &bytes, PictureFormat format);

}  // namespace office::pptx
