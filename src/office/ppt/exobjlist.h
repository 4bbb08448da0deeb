#pragma once

// The document's list of external objects (ExObjList): embedded and linked
// OLE objects, controls, sounds and movies, each with the object identifier
// that shapes refer to through their ExObjRefAtom.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>

#include "common/bytereader.h"
#include "office/ppt/stream.h"

namespace office::ppt {

enum class ExObjKind { Embedded, Linked, Media, Other };

struct ExObject {
  ExObjKind kind = ExObjKind::Other;
  QString progId;
  QString userType;  // from the embedded object's own storage, when read
  bool isChart = false;
};

// Keyed by exObjId. exObjListBody: the body of the ExObjListContainer.
// persist finds the embedded objects' storages (ExOleObjStg records).
// Damaged entries are left out; the list itself never throws for them.
std::map<std::uint32_t, ExObject> readExObjList(morvane::ByteReader exObjListBody,
                                                const PersistLookup &persist);

// What an OLE object's "\001CompObj" stream names it.
struct CompObjNames {
  QString userType;
  QString progId;
};

// Reads the CompObj stream of an OLE compound file held in memory; empty
// names when the file or the stream is missing or damaged.
CompObjNames readCompObjNames(const QByteArray &compoundFile);

// True for the names another office suite gives its charts
// ("LibreOffice.ChartDocument.1" and its OpenOffice.org and StarOffice kin).
bool isOtherSuiteChartName(const QString &name);

}  // namespace office::ppt
