#pragma once

// Test helper: the metafile pictures of a presentation's "Pictures" stream,
// decompressed, with the stored metafile header's size.

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

struct StoredMetafile {
  int recordType = 0;  // 0xF01A EMF, 0xF01B WMF, 0xF01C PICT
  QByteArray data;
  QSize sizeEmu;
};

// Empty when the file or its Pictures stream cannot be read; damaged blips are left out.
QList<StoredMetafile> readStoredMetafiles(const QString &pptPath);
