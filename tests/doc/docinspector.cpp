#include "docinspector.h"

#include <gsf/gsf-doc-meta-data.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-meta-names.h>
#include <gsf/gsf-msole-utils.h>
#include <gsf/gsf-timestamp.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <functional>

#include "common/bytereader.h"
#include "common/error.h"

namespace docinspect {
namespace {

using morvane::ByteReader;

constexpr quint32 kPage = 512;
constexpr char16_t kMark = 0x000D;
const QByteArray kWordClsid("\x06\x09\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);

// The sti each fixed style slot may hold.
constexpr int kFixedSti[13] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 65, 105, 107};

ByteReader readerOf(const QByteArray &bytes) {
  return ByteReader(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                    std::size_t(bytes.size()));
}

QString utf16(ByteReader &in, quint32 count) {
  QString s;
  for (quint32 i = 0; i < count; ++i) s.append(QChar(in.u16()));
  return s;
}

class Inspector {
 public:
  explicit Inspector(Document &doc) : doc_(doc) {}

  void run(const QByteArray &file) {
    if (!readCompound(file)) return;
    step("file information block", [&] { readFib(); });
    if (!fibOk_) return;
    step("piece table", [&] { readPieces(); });
    step("style sheet", [&] { readStyles(); });
    step("font table", [&] { readFonts(); });
    step("paragraph pages", [&] { readParagraphs(); });
    step("character pages", [&] { readRuns(); });
    step("section table", [&] { readSections(); });
    step("associated strings", [&] { readAssociated(); });
    step("CompObj", [&] { readCompObj(); });
    step("properties", [&] { readProperties(); });
    crossCheck();
  }

 private:
  void problem(const QString &what) { doc_.problems << what; }
  void expect(bool ok, const QString &what) {
    if (!ok) problem(what);
  }
  void step(const char *what, const std::function<void()> &read) {
    try {
      read();
    } catch (const morvane::Error &e) {
      problem(QStringLiteral("%1: %2").arg(QLatin1String(what), e.description()));
    }
  }

  // ---- Compound file ----------------------------------------------------------

  bool readCompound(const QByteArray &file) {
    gsf_init();
    GsfInput *input = gsf_input_memory_new(reinterpret_cast<const guint8 *>(file.constData()),
                                           file.size(), FALSE);
    GError *error = nullptr;
    GsfInfile *root = gsf_infile_msole_new(input, &error);
    g_object_unref(input);
    if (!root) {
      problem(QStringLiteral("not a compound file: ") +
              QString::fromUtf8(error ? error->message : "unknown"));
      if (error) g_error_free(error);
      return false;
    }
    guint8 clsid[16];
    if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root), clsid))
      doc_.rootClsid = QByteArray(reinterpret_cast<const char *>(clsid), 16);
    for (int i = 0; i < gsf_infile_num_children(root); ++i) {
      GsfInput *child = gsf_infile_child_by_index(root, i);
      const auto size = gsf_input_size(child);
      QByteArray bytes(qsizetype(size), '\0');
      if (size > 0) gsf_input_read(child, size, reinterpret_cast<guint8 *>(bytes.data()));
      doc_.streams.insert(QString::fromUtf8(gsf_input_name(child)), bytes);
      g_object_unref(child);
    }
    g_object_unref(root);
    expect(doc_.rootClsid == kWordClsid, QStringLiteral("the root is not a Word document"));
    for (const char *name : {"WordDocument", "1Table", "\001CompObj", "\005SummaryInformation",
                             "\005DocumentSummaryInformation"})
      expect(doc_.streams.contains(QString::fromLatin1(name)),
             QStringLiteral("no stream %1").arg(QString::fromLatin1(name).mid(name[0] < 32)));
    word_ = doc_.streams.value(QStringLiteral("WordDocument"));
    table_ = doc_.streams.value(QStringLiteral("1Table"));
    return !word_.isEmpty() && !table_.isEmpty();
  }

  // ---- FIB --------------------------------------------------------------------

  void readFib() {
    ByteReader in = readerOf(word_);
    expect(in.u16() == 0xA5EC, QStringLiteral("wIdent"));
    expect(in.u16() == 0x00C1, QStringLiteral("nFib"));
    in.seek(0x0A);
    const quint16 flags = in.u16();
    expect(flags & 0x0200, QStringLiteral("fWhichTblStm: not 1Table"));
    expect(flags & 0x1000, QStringLiteral("fExtChar"));
    expect(!(flags & 0x0104), QStringLiteral("fComplex or fEncrypted"));
    const quint16 nFibBack = in.u16();
    expect(nFibBack == 0xBF || nFibBack == 0xC1, QStringLiteral("nFibBack"));
    in.seek(0x20);
    expect(in.u16() == 14, QStringLiteral("csw"));
    in.seek(0x3E);
    expect(in.u16() == 22, QStringLiteral("cslw"));
    const quint32 cbMac = in.u32();
    expect(cbMac <= quint32(word_.size()), QStringLiteral("cbMac past the stream"));
    in.seek(0x4C);
    ccpText_ = in.u32();
    for (int i = 0; i < 6; ++i)  // ccpFtn, ccpHdd, ccpMcr, ccpAtn, ccpEdn, ccpTxbx
      expect(in.u32() == 0, QStringLiteral("a story other than the main text"));
    in.seek(0x98);
    expect(in.u16() == 0x5D, QStringLiteral("cbRgFcLcb"));
    in.seek(0x382);
    expect(in.u16() == 0, QStringLiteral("cswNew"));
    expect(word_.size() >= 4096, QStringLiteral("WordDocument shorter than 4,096 bytes"));
    expect(ccpText_ > 0, QStringLiteral("no text"));
    for (int index : {1, 6, 12, 13, 15, 31, 33})
      expect(blob(index).size() > 0,
             QStringLiteral("empty structure %1 of FibRgFcLcb97").arg(index));
    fibOk_ = true;
  }

  // A structure of the table stream by its index in FibRgFcLcb97.
  QByteArray blob(int index) const {
    ByteReader in = readerOf(word_);
    in.seek(0x9A + 8 * quint32(index));
    const quint32 fc = in.u32();
    const quint32 lcb = in.u32();
    if (quint64(fc) + lcb > quint64(table_.size()))
      throw morvane::Error(QStringLiteral("structure %1 outside the table stream").arg(index));
    return table_.mid(fc, lcb);
  }

  // ---- Text -------------------------------------------------------------------

  void readPieces() {
    const QByteArray clx = blob(33);
    ByteReader in = readerOf(clx);
    while (in.u8() == 0x01) in.skip(quint16(in.i16()));  // Prc
    in.seek(in.pos() - 1);
    expect(in.u8() == 0x02, QStringLiteral("no Pcdt"));
    const quint32 lcb = in.u32();
    expect(lcb == in.remaining(), QStringLiteral("PlcPcd size"));
    expect(lcb >= 16 && (lcb - 4) % 12 == 0, QStringLiteral("PlcPcd size"));
    const quint32 pieces = (lcb - 4) / 12;
    ByteReader plc = in.sub(lcb);
    std::vector<quint32> cps;
    for (quint32 i = 0; i <= pieces; ++i) cps.push_back(plc.u32());
    expect(cps.front() == 0, QStringLiteral("the pieces do not start at 0"));
    expect(cps.back() == ccpText_, QStringLiteral("the pieces do not end at ccpText"));
    for (quint32 i = 0; i < pieces; ++i) {
      expect(cps[i] < cps[i + 1], QStringLiteral("piece CPs out of order"));
      plc.u16();
      const quint32 fc = plc.u32();
      plc.u16();
      const quint32 count = cps[i + 1] - cps[i];
      const bool compressed = fc & 0x40000000;
      const quint32 at = compressed ? (fc & 0x3FFFFFFF) / 2 : fc & 0x3FFFFFFF;
      ByteReader text = readerOf(word_).slice(at, quint64(count) * (compressed ? 1 : 2));
      if (i == 0) fcText_ = at;
      expect(!compressed && (i == 0 || at == fcText_ + 2 * cps[i]),
             QStringLiteral("the text is not one run of UTF-16"));
      for (quint32 c = 0; c < count; ++c)
        doc_.text.append(QChar(compressed ? char16_t(text.u8()) : char16_t(text.u16())));
    }
    expect(doc_.text.endsWith(QChar(kMark)), QStringLiteral("the text does not end with a mark"));
    ByteReader fib = readerOf(word_);
    fib.seek(0x18);
    expect(fib.u32() == fcText_ && fib.u32() == fcText_ + 2 * ccpText_,
           QStringLiteral("fcMin and fcMac do not frame the text"));
  }

  qsizetype cpOf(quint32 fc) const {
    if (fc < fcText_ || (fc - fcText_) % 2 || (fc - fcText_) / 2 > ccpText_)
      throw morvane::Error(QStringLiteral("FC %1 outside the text").arg(fc));
    return (fc - fcText_) / 2;
  }

  // ---- Formatting pages -------------------------------------------------------

  // Walks the pages of a bin table; visit gets each page, the index of an
  // entry, the CPs it spans and its property offset in words.
  void walkPages(int blobIndex, quint32 maxEntries, quint32 entrySize,
                 const std::function<void(ByteReader &, qsizetype, qsizetype, quint8)> &visit) {
    const QByteArray bte = blob(blobIndex);
    expect(bte.size() >= 12 && (bte.size() - 4) % 8 == 0, QStringLiteral("bin table size"));
    const quint32 pages = quint32(bte.size() - 4) / 8;
    ByteReader in = readerOf(bte);
    std::vector<quint32> firsts;
    for (quint32 i = 0; i <= pages; ++i) firsts.push_back(in.u32());
    quint32 expected = fcText_;
    for (quint32 p = 0; p < pages; ++p) {
      const quint32 pn = in.u32() & 0x3FFFFF;
      ByteReader page = readerOf(word_).slice(quint64(pn) * kPage, kPage);
      page.seek(kPage - 1);
      const quint32 count = page.u8();
      expect(count >= 1 && count <= maxEntries, QStringLiteral("entries on a page: %1").arg(count));
      page.seek(0);
      expect(firsts[p] == expected, QStringLiteral("bin table and pages disagree"));
      expect(page.u32() == expected, QStringLiteral("pages do not follow each other"));
      for (quint32 i = 0; i < count; ++i) {
        const quint32 limit = page.u32();
        expect(limit > expected, QStringLiteral("FCs out of order"));
        const std::size_t back = page.pos();
        page.seek(4 * (count + 1) + i * entrySize);
        const quint8 offset = page.u8();
        expect(offset == 0 || offset * 2u >= 4 * (count + 1) + count * entrySize,
               QStringLiteral("properties over the page's index"));
        visit(page, cpOf(expected), cpOf(limit), offset);
        page.seek(back);
        expected = limit;
      }
    }
    expect(firsts.back() == expected && expected == fcText_ + 2 * ccpText_,
           QStringLiteral("the pages do not cover the text"));
  }

  void readParagraphs() {
    walkPages(13, 0x1D, 13, [&](ByteReader &page, qsizetype start, qsizetype end, quint8 offset) {
      Paragraph paragraph{start, end, 0, false};
      expect(offset != 0, QStringLiteral("a paragraph without properties"));
      page.seek(offset * 2u);
      quint32 size = page.u8();
      size = size ? 2 * size - 1 : 2 * page.u8();
      expect(size >= 2, QStringLiteral("PapxInFkp without istd"));
      ByteReader grpprl = page.sub(size);
      paragraph.istd = grpprl.u16();
      const QByteArray sprms(reinterpret_cast<const char *>(grpprl.current()),
                             qsizetype(grpprl.remaining()));
      int bidi = 0;
      paragraph.rightToLeft = findSprm(sprms, 0x2441, &bidi) && bidi == 1;
      expect(end <= doc_.text.size() && doc_.text[end - 1] == kMark,
             QStringLiteral("a paragraph that does not end with its mark"));
      doc_.paragraphs.push_back(paragraph);
    });
    expect(qsizetype(doc_.paragraphs.size()) == doc_.text.count(QChar(kMark)),
           QStringLiteral("paragraphs and marks differ in number"));
  }

  void readRuns() {
    walkPages(12, 0x65, 1, [&](ByteReader &page, qsizetype start, qsizetype end, quint8 offset) {
      Run run{start, end, -1, false, false};
      if (offset) {
        page.seek(offset * 2u);
        const quint8 size = page.u8();
        ByteReader grpprl = page.sub(size);
        const QByteArray sprms(reinterpret_cast<const char *>(grpprl.current()), size);
        int operand = 0;
        if (findSprm(sprms, 0x4A4F, &operand)) run.font = operand;
        run.rightToLeft = findSprm(sprms, 0x085A, &operand) && operand == 1;
        run.complexScript = findSprm(sprms, 0x0882, &operand) && operand == 1;
      }
      doc_.runs.push_back(run);
    });
  }

  // ---- Style sheet ------------------------------------------------------------

  void readStyles() {
    const QByteArray stsh = blob(1);
    ByteReader in = readerOf(stsh);
    const quint16 cbStshi = in.u16();
    ByteReader stshi = in.sub(cbStshi);
    const quint16 cstd = stshi.u16();
    const quint16 cbStdBase = stshi.u16();
    expect(cstd >= 15 && cstd < 0x0FFE, QStringLiteral("%1 styles").arg(cstd));
    expect(cbStdBase == 0x0A || cbStdBase == 0x12, QStringLiteral("cbSTDBaseInFile"));
    expect((stshi.u16() & 1) == 1, QStringLiteral("fStdStylenamesWritten"));
    doc_.stiMaxWhenSaved = stshi.u16();
    expect(stshi.u16() == 15, QStringLiteral("istdMaxFixedWhenSaved"));
    stshi.skip(8);
    if (stshi.remaining() >= 4) {
      stshi.u16();  // ftcBi
      const quint16 cbLsd = stshi.u16();
      expect(cbLsd == 4 && stshi.remaining() >= 4u * doc_.stiMaxWhenSaved,
             QStringLiteral("latent style data"));
    }
    for (quint16 istd = 0; istd < cstd; ++istd) {
      const quint16 cbStd = in.u16();
      ByteReader std = in.sub(cbStd);
      doc_.styles.push_back(cbStd ? readStyle(std, cbStdBase, cbStd) : Style{});
    }
    expect(in.atEnd(), QStringLiteral("bytes behind the last style"));
    for (int istd = 0; istd < 15 && istd < int(doc_.styles.size()); ++istd) {
      const Style &style = doc_.styles[std::size_t(istd)];
      if (istd >= 13)
        expect(style.empty, QStringLiteral("reserved style slot %1 in use").arg(istd));
      else
        expect(style.empty || style.sti == kFixedSti[istd],
               QStringLiteral("style slot %1 holds sti %2").arg(istd).arg(style.sti));
    }
    for (const Style &style : doc_.styles) {
      expect(style.empty || style.sti == 0x0FFE || style.sti < doc_.stiMaxWhenSaved,
             QStringLiteral("stiMaxWhenSaved below sti %1").arg(style.sti));
    }
  }

  Style readStyle(ByteReader &std, quint16 cbStdBase, quint16 cbStd) {
    Style style;
    style.empty = false;
    style.sti = std.u16() & 0x0FFF;
    style.stk = std.u16() & 0x000F;
    const quint16 cupx = std.u16() & 0x000F;
    expect(std.u16() == cbStd, QStringLiteral("bchUpe"));
    std.seek(cbStdBase);
    style.name = utf16(std, std.u16());
    expect(std.u16() == 0, QStringLiteral("style name without terminator"));
    expect(!style.name.isEmpty(), QStringLiteral("a style without a name"));
    const quint16 expectedUpx = style.stk == 1 ? 2 : style.stk == 2 ? 1 : cupx;
    expect(cupx == expectedUpx, QStringLiteral("cupx of %1").arg(style.name));
    for (quint16 i = 0; i < cupx; ++i) {
      const quint16 size = std.u16();
      ByteReader upx = std.sub(size);
      if (size % 2) std.u8();
      const QByteArray bytes(reinterpret_cast<const char *>(upx.current()), size);
      if (style.stk == 1 && i == 0) {
        style.paragraphProperties = bytes.mid(2);
        expect(size >= 2, QStringLiteral("paragraph UPX without istd"));
      } else {
        style.characterProperties = bytes;
      }
    }
    return style;
  }

  void readFonts() {
    const QByteArray sttbfFfn = blob(15);
    ByteReader in = readerOf(sttbfFfn);
    const quint16 count = in.u16();
    expect(in.u16() == 0, QStringLiteral("cbExtra of the font table"));
    for (quint16 i = 0; i < count; ++i) {
      ByteReader ffn = in.sub(in.u8());  // cbFfnM1: the bytes that follow
      ffn.skip(39);
      QString name;
      for (quint16 c = ffn.u16(); c != 0; c = ffn.u16()) name.append(QChar(c));
      expect(name.size() <= 64, QStringLiteral("a font name longer than 64"));
      doc_.fonts << name;
    }
    expect(in.atEnd(), QStringLiteral("bytes behind the last font"));
  }

  // ---- Sections, strings, CompObj, properties ---------------------------------

  void readSections() {
    const QByteArray plcfSed = blob(6);
    ByteReader in = readerOf(plcfSed);
    expect(in.size() == 4 * 2 + 12, QStringLiteral("not one section"));
    expect(in.u32() == 0 && in.u32() == ccpText_,
           QStringLiteral("the section does not cover the text"));
    in.u16();
    const quint32 fcSepx = in.u32();
    ByteReader sepx = readerOf(word_).slice(fcSepx, 2);
    readerOf(word_).slice(fcSepx + 2, sepx.u16());
  }

  void readAssociated() {
    const QByteArray sttbfAssoc = blob(32);
    ByteReader in = readerOf(sttbfAssoc);
    expect(in.u16() == 0xFFFF, QStringLiteral("SttbfAssoc fExtend"));
    const quint16 count = in.u16();
    expect(count == 18, QStringLiteral("SttbfAssoc holds %1 strings").arg(count));
    expect(in.u16() == 0, QStringLiteral("SttbfAssoc cbExtra"));
    for (quint16 i = 0; i < count; ++i) doc_.associatedStrings << utf16(in, in.u16());
  }

  void readCompObj() {
    const QByteArray compObj = doc_.streams.value(QStringLiteral("\001CompObj"));
    ByteReader in = readerOf(compObj);
    in.skip(28);
    const auto ansi = [&] {
      const quint32 length = in.u32();
      ByteReader s = in.sub(length);
      expect(length > 0, QStringLiteral("an empty CompObj string"));
      const QByteArray bytes(reinterpret_cast<const char *>(s.current()), qsizetype(length));
      expect(bytes.endsWith('\0'), QStringLiteral("CompObj string without terminator"));
      return QString::fromLatin1(bytes.chopped(1));
    };
    doc_.compObjStrings << ansi();
    const quint32 marker = in.u32();
    expect(marker >= 1 && marker <= 0x190, QStringLiteral("CompObj clipboard format"));
    in.seek(in.pos() - 4);
    doc_.compObjStrings << ansi() << ansi();
    if (in.atEnd()) return;
    expect(in.u32() == 0x71B239F4, QStringLiteral("CompObj Unicode marker"));
    for (int i = 0; i < 3; ++i) {
      const quint32 length = in.u32();
      const QString s = length ? utf16(in, length) : QString();
      expect(s.chopped(s.isEmpty() ? 0 : 1) == doc_.compObjStrings[i],
             QStringLiteral("CompObj Unicode string %1").arg(i));
    }
    expect(in.atEnd(), QStringLiteral("bytes behind the CompObj strings"));
  }

  void readProperties() {
    for (const char *name : {"\005SummaryInformation", "\005DocumentSummaryInformation"}) {
      const QByteArray bytes = doc_.streams.value(QString::fromLatin1(name));
      GsfInput *input = gsf_input_memory_new(reinterpret_cast<const guint8 *>(bytes.constData()),
                                             bytes.size(), FALSE);
      GsfDocMetaData *meta = gsf_doc_meta_data_new();
      GError *error = gsf_doc_meta_data_read_from_msole(meta, input);
      expect(error == nullptr, QStringLiteral("unreadable property set %1").arg(name + 1));
      if (error) g_error_free(error);
      if (name[1] == 'S') readSummary(meta);
      g_object_unref(meta);
      g_object_unref(input);
    }
  }

  void readSummary(GsfDocMetaData *meta) {
    const auto value = [&](const char *name) -> const GValue * {
      GsfDocProp *prop = gsf_doc_meta_data_lookup(meta, name);
      return prop ? gsf_doc_prop_get_val(prop) : nullptr;
    };
    const auto text = [&](const char *name) {
      const GValue *v = value(name);
      return v && G_VALUE_HOLDS_STRING(v) ? QString::fromUtf8(g_value_get_string(v)) : QString();
    };
    const auto time = [&](const char *name) {
      const GValue *v = value(name);
      if (!v || !VAL_IS_GSF_TIMESTAMP(v)) return QDateTime();
      const auto *stamp = static_cast<const GsfTimestamp *>(g_value_get_boxed(v));
      return QDateTime::fromSecsSinceEpoch(stamp->timet, Qt::UTC);
    };
    doc_.title = text(GSF_META_NAME_TITLE);
    doc_.application = text(GSF_META_NAME_GENERATOR);
    doc_.created = time(GSF_META_NAME_DATE_CREATED);
    doc_.saved = time(GSF_META_NAME_DATE_MODIFIED);
    expect(!doc_.application.isEmpty(), QStringLiteral("no application name"));
    expect(doc_.created.isValid() && doc_.saved.isValid(),
           QStringLiteral("no creation or save time"));
  }

  // ---- Between structures -----------------------------------------------------

  void crossCheck() {
    for (const Paragraph &p : doc_.paragraphs) {
      const bool known = p.istd < int(doc_.styles.size()) &&
                         !doc_.styles[std::size_t(p.istd)].empty &&
                         doc_.styles[std::size_t(p.istd)].stk == 1;
      expect(known,
             QStringLiteral("a paragraph in style %1, which is no paragraph style").arg(p.istd));
    }
    for (const Run &r : doc_.runs)
      expect(r.font < doc_.fonts.size(),
             QStringLiteral("a run in font %1 of %2").arg(r.font).arg(doc_.fonts.size()));
  }

  Document &doc_;
  QByteArray word_;
  QByteArray table_;
  quint32 ccpText_ = 0;
  quint32 fcText_ = 0;
  bool fibOk_ = false;
};

}  // namespace

bool findSprm(const QByteArray &grpprl, quint16 sprm, int *operand) {
  ByteReader in = readerOf(grpprl);
  while (in.remaining() >= 2) {
    const quint16 code = in.u16();
    const int spra = code >> 13;
    static const int kSizes[8] = {1, 1, 2, 4, 2, 2, -1, 3};
    int size = kSizes[spra];
    if (size < 0) size = in.u8();
    if (quint32(size) > in.remaining()) return false;
    int value = 0;
    for (int i = 0; i < size; ++i) {
      const int b = in.u8();
      if (i < 2) value |= b << (8 * i);
    }
    if (code == sprm) {
      if (operand) *operand = value;
      return true;
    }
  }
  return false;
}

Document inspect(const QByteArray &file) {
  Document doc;
  Inspector(doc).run(file);
  return doc;
}

Document inspectFile(const QString &path) {
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) return inspect(file.readAll());
  Document doc;
  doc.problems << QStringLiteral("cannot read %1").arg(path);
  return doc;
}

}  // namespace docinspect
