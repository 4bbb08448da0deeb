// The external object list: OLE entries with their ProgIDs and chart flag,
// another suite's chart recognised from its own compound file, media
// entries, and damaged entries left out.

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include <QTest>
#include <map>

#include "office/ppt/exobjlist.h"
#include "office/ppt/records.h"
#include "recordwriter.h"

using namespace testsupport;
using office::ppt::ExObject;
using office::ppt::ExObjKind;

Q_DECLARE_METATYPE(office::ppt::ExObjKind)

namespace {

constexpr std::uint16_t kExOleEmbed = 0x0FCC;
constexpr std::uint16_t kExOleLink = 0x0FCE;
constexpr std::uint16_t kExControl = 0x0FEE;
constexpr std::uint16_t kExOleObjStg = 0x1011;

QByteArray cstring(const QString &text, std::uint16_t instance) {
  return atom(0x0FBA, utf16(text), instance);
}

QByteArray oleObjAtom(std::uint32_t exObjId, std::uint32_t persistIdRef) {
  return atom(0x0FC3,
              LeWriter().u32(1).u32(0).u32(exObjId).u32(0).u32(persistIdRef).u32(0).bytes());
}

QByteArray oleEntry(std::uint16_t type, std::uint32_t exObjId, const QString &progId,
                    std::uint32_t persistIdRef = 0) {
  QByteArray body = atom(type == kExOleEmbed ? 0x0FCD : 0x0FD1, QByteArray(8, '\0'));
  body += oleObjAtom(exObjId, persistIdRef);
  body += cstring(QStringLiteral("Menu name"), 1);
  if (!progId.isEmpty()) body += cstring(progId, 2);
  body += cstring(QStringLiteral("Clipboard name"), 3);
  return container(type, body);
}

QByteArray mediaAtom(std::uint32_t exObjId) {
  return atom(0x1004, LeWriter().u32(exObjId).u16(0).u16(0).bytes());
}

QByteArray lengthPrefixed(const QByteArray &ansi) {
  if (ansi.isEmpty()) return LeWriter().u32(0).bytes();
  return LeWriter().u32(std::uint32_t(ansi.size() + 1)).raw(ansi).u8(0).bytes();
}

// A CompObj stream: header, user type, clipboard format (a name, or a
// standard format number when the name is empty), ProgID.
QByteArray compObj(const QByteArray &userType, const QByteArray &clipboardName,
                   const QByteArray &progId) {
  LeWriter w;
  w.u32(0xFFFE0001).u32(0x00000A03).u32(0xFFFFFFFF).fill(16, '\x11');
  w.raw(lengthPrefixed(userType));
  if (clipboardName.isEmpty())
    w.u32(0xFFFFFFFF).u32(3);
  else
    w.raw(lengthPrefixed(clipboardName));
  w.raw(lengthPrefixed(progId));
  w.u32(0x71B239F4);
  return w.bytes();
}

// A compound file holding the given CompObj stream, written with libgsf.
QByteArray compoundFileWith(const QByteArray &compObjStream) {
  GsfOutput *sink = gsf_output_memory_new();
  GsfOutfile *ole = gsf_outfile_msole_new(sink);
  GsfOutput *child = gsf_outfile_new_child(ole, "\001CompObj", FALSE);
  gsf_output_write(child, size_t(compObjStream.size()),
                   reinterpret_cast<const guint8 *>(compObjStream.constData()));
  gsf_output_close(child);
  g_object_unref(child);
  GsfOutput *contents = gsf_outfile_new_child(ole, "contents", FALSE);
  const QByteArray filler(5000, 'c');
  gsf_output_write(contents, size_t(filler.size()),
                   reinterpret_cast<const guint8 *>(filler.constData()));
  gsf_output_close(contents);
  g_object_unref(contents);
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  const QByteArray bytes(
      reinterpret_cast<const char *>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
      qsizetype(gsf_output_size(sink)));
  g_object_unref(sink);  // closed with the compound file
  return bytes;
}

QByteArray objectStorage(const QByteArray &compoundFile, bool compressed) {
  if (!compressed) return atom(kExOleObjStg, compoundFile, 0);
  return atom(
      kExOleObjStg,
      LeWriter().u32(std::uint32_t(compoundFile.size())).raw(zlibCompress(compoundFile)).bytes(),
      1);
}

// The persist directory of a test: id -> record bytes.
struct Persist {
  std::map<std::uint32_t, QByteArray> records;
  office::ppt::PersistLookup lookup() const {
    return [this](std::uint32_t id) -> std::optional<office::ppt::Record> {
      auto it = records.find(id);
      if (it == records.end()) return std::nullopt;
      morvane::ByteReader in = readerOver(it->second);
      return office::ppt::readRecord(in);
    };
  }
};

std::map<std::uint32_t, ExObject> readList(const QByteArray &body, const Persist &persist = {}) {
  return office::ppt::readExObjList(readerOver(body), persist.lookup());
}

}  // namespace

class ExObjListTest : public QObject {
  Q_OBJECT

 private slots:
  void progIdDecidesChart_data();
  void progIdDecidesChart();
  void otherSuiteChartFromItsStorage_data();
  void otherSuiteChartFromItsStorage();
  void unreadableStorageIsNoChart();
  void mediaEntriesAndHyperlinks();
  void damagedEntriesAreLeftOut();
  void storagesAreInflatedOnceAndBounded();
};

void ExObjListTest::progIdDecidesChart_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QString>("progId");
  QTest::addColumn<ExObjKind>("kind");
  QTest::addColumn<bool>("chart");
  QTest::newRow("Graph 97") << int(kExOleEmbed) << "MSGraph.Chart.8" << ExObjKind::Embedded << true;
  QTest::newRow("Excel chart") << int(kExOleEmbed) << "Excel.Chart.8" << ExObjKind::Embedded
                               << true;
  QTest::newRow("linked Excel chart")
      << int(kExOleLink) << "Excel.Chart.8" << ExObjKind::Linked << true;
  QTest::newRow("LibreOffice name")
      << int(kExOleEmbed) << "LibreOffice.ChartDocument.1" << ExObjKind::Embedded << true;
  QTest::newRow("worksheet") << int(kExOleEmbed) << "Excel.Sheet.8" << ExObjKind::Embedded << false;
  QTest::newRow("equation") << int(kExOleEmbed) << "Equation.3" << ExObjKind::Embedded << false;
  QTest::newRow("org chart") << int(kExOleEmbed) << "OrgPlusWOPX.4" << ExObjKind::Embedded << false;
  QTest::newRow("control") << int(kExControl) << "Forms.CommandButton.1" << ExObjKind::Other
                           << false;
  QTest::newRow("no ProgID, no storage") << int(kExOleEmbed) << "" << ExObjKind::Embedded << false;
}

void ExObjListTest::progIdDecidesChart() {
  QFETCH(int, type);
  QFETCH(QString, progId);
  QFETCH(ExObjKind, kind);
  QFETCH(bool, chart);
  const QByteArray list = atom(0x040A, LeWriter().u32(9).bytes()) +
                          oleEntry(std::uint16_t(type), 7, progId, 3) +
                          oleEntry(kExOleEmbed, 8, QStringLiteral("Word.Document.8"));
  const auto objects = readList(list);
  QCOMPARE(objects.size(), std::size_t(2));
  const ExObject &object = objects.at(7);
  QCOMPARE(object.kind, kind);
  QCOMPARE(object.progId, progId);
  QCOMPARE(object.isChart, chart);
  QVERIFY(!objects.at(8).isChart);
}

void ExObjListTest::otherSuiteChartFromItsStorage_data() {
  QTest::addColumn<QByteArray>("compObjStream");
  QTest::addColumn<bool>("compressed");
  QTest::addColumn<QString>("userType");
  QTest::addColumn<bool>("chart");
  const QByteArray libreOffice =
      compObj("LibreOffice.ChartDocument.1", "LibreOffice.ChartDocument.1", "");
  QTest::newRow("LibreOffice, compressed")
      << libreOffice << true << "LibreOffice.ChartDocument.1" << true;
  QTest::newRow("LibreOffice, stored")
      << libreOffice << false << "LibreOffice.ChartDocument.1" << true;
  QTest::newRow("OpenOffice.org, ProgID after a standard format")
      << compObj("OpenOffice.org 1.1 Chart", "", "soffice.StarChartDocument.6") << true
      << "OpenOffice.org 1.1 Chart" << true;
  QTest::newRow("LibreOffice text") << compObj("LibreOffice.TextDocument.1", "", "") << true
                                    << "LibreOffice.TextDocument.1" << false;
  QTest::newRow("CompObj cut short")
      << compObj("LibreOffice.ChartDocument.1", "", "").left(40) << true << "" << false;
}

void ExObjListTest::otherSuiteChartFromItsStorage() {
  QFETCH(QByteArray, compObjStream);
  QFETCH(bool, compressed);
  QFETCH(QString, userType);
  QFETCH(bool, chart);
  Persist persist;
  persist.records[5] = objectStorage(compoundFileWith(compObjStream), compressed);
  const auto objects = readList(oleEntry(kExOleEmbed, 0x20000001, QString(), 5), persist);
  const ExObject &object = objects.at(0x20000001);
  QCOMPARE(object.userType, userType);
  QCOMPARE(object.isChart, chart);
  QVERIFY(object.progId.isEmpty());
}

// Storages that cannot be read are no charts, and nothing is allocated for
// their declared size.
void ExObjListTest::unreadableStorageIsNoChart() {
  const QByteArray file = compoundFileWith(compObj("LibreOffice.ChartDocument.1", "", ""));
  const QByteArray packed = zlibCompress(file);
  Persist persist;
  persist.records[1] = atom(kExOleObjStg, LeWriter().u32(0xFFFFFFF0).raw(packed).bytes(), 1);
  persist.records[2] = atom(kExOleObjStg, LeWriter().u32(100).raw(packed).bytes(), 1);
  persist.records[3] =
      atom(kExOleObjStg, LeWriter().u32(5000).raw(QByteArray(300, 'x')).bytes(), 1);
  persist.records[4] = atom(kExOleObjStg, file.left(600), 0);
  persist.records[5] = atom(0x0FC3, file, 0);  // not a storage record
  QByteArray list;
  for (std::uint32_t id = 1; id <= 6; ++id) list += oleEntry(kExOleEmbed, id, QString(), id);
  const auto objects = readList(list, persist);
  QCOMPARE(objects.size(), std::size_t(6));
  for (const auto &[id, object] : objects) {
    QVERIFY2(!object.isChart, qPrintable(QString::number(id)));
    QVERIFY(object.userType.isEmpty());
  }
}

void ExObjListTest::mediaEntriesAndHyperlinks() {
  const QByteArray name = cstring(QStringLiteral("clip"), 0);
  QByteArray list;
  list += container(0x1006, container(0x1005, mediaAtom(11) + name));             // AVI movie
  list += container(0x1007, container(0x1005, mediaAtom(12) + name));             // MCI movie
  list += container(0x100D, mediaAtom(13) + name);                                // MIDI
  list += container(0x100E, mediaAtom(14) + atom(0x1012, QByteArray(16, '\0')));  // CD
  list += container(0x100F, mediaAtom(15) + name + atom(0x1013, QByteArray(8, '\0')));
  list += container(0x1010, mediaAtom(16) + name);                             // WAV link
  list += container(0x0FD7, atom(0x0FD3, LeWriter().u32(17).bytes()) + name);  // hyperlink
  list += container(0x1006, name);  // a movie without its media atom
  const auto objects = readList(list);
  QCOMPARE(objects.size(), std::size_t(6));
  for (std::uint32_t id = 11; id <= 16; ++id) {
    QVERIFY2(objects.count(id), qPrintable(QString::number(id)));
    QCOMPARE(objects.at(id).kind, ExObjKind::Media);
    QVERIFY(!objects.at(id).isChart);
  }
}

void ExObjListTest::damagedEntriesAreLeftOut() {
  QByteArray shortAtom = container(kExOleEmbed, atom(0x0FC3, QByteArray(10, '\0')) +
                                                    cstring(QStringLiteral("Excel.Chart.8"), 2));
  QByteArray overrun = oleEntry(kExOleEmbed, 3, QStringLiteral("MSGraph.Chart.8"));
  overrun[4] = char(0x7F);  // its length now runs past the list
  const QByteArray list = oleEntry(kExOleEmbed, 1, QStringLiteral("MSGraph.Chart.8")) + shortAtom +
                          oleEntry(kExOleEmbed, 2, QStringLiteral("Equation.3")) + overrun;
  const auto objects = readList(list);
  QCOMPARE(objects.size(), std::size_t(2));
  QVERIFY(objects.at(1).isChart);
  QCOMPARE(objects.at(2).progId, QStringLiteral("Equation.3"));

  // The same object id twice: the first entry counts.
  const auto twice = readList(oleEntry(kExOleEmbed, 4, QStringLiteral("Excel.Chart.8")) +
                              oleEntry(kExOleEmbed, 4, QStringLiteral("Word.Document.8")));
  QVERIFY(twice.at(4).isChart);
}

// Fifty entries sharing one id, each with a storage inflating to 64 MiB: the
// first entry of the id counts and its storage is read once. Fifty distinct
// ids with such storages: what they inflate to together is bounded, so only
// the first few are opened.
void ExObjListTest::storagesAreInflatedOnceAndBounded() {
  QByteArray file = compoundFileWith(compObj("LibreOffice.ChartDocument.1", "", ""));
  file.resize(64 * 1024 * 1024, '\0');
  const QByteArray stored = objectStorage(file, true);
  Persist persist;
  QByteArray sameId, distinctIds;
  for (std::uint32_t i = 1; i <= 50; ++i) {
    persist.records[i] = stored;
    sameId += oleEntry(kExOleEmbed, 7, QString(), i);
    distinctIds += oleEntry(kExOleEmbed, i, QString(), i);
  }
  int lookups = 0;
  const office::ppt::PersistLookup counting = [&](std::uint32_t id) {
    ++lookups;
    return persist.lookup()(id);
  };
  auto objects = office::ppt::readExObjList(readerOver(sameId), counting);
  QCOMPARE(objects.size(), std::size_t(1));
  QVERIFY(objects.at(7).isChart);
  QCOMPARE(lookups, 1);

  objects = readList(distinctIds, persist);
  QCOMPARE(objects.size(), std::size_t(50));
  int opened = 0;
  for (const auto &[id, object] : objects) opened += object.isChart ? 1 : 0;
  QCOMPARE(opened, 4);  // 256 MiB in all
}

QTEST_GUILESS_MAIN(ExObjListTest)
#include "test_exobjlist.moc"
