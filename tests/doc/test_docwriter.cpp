// The Word 97-2003 writer, checked from outside: every document is read back
// by independent readers (antiword, catdoc, and LibreOffice when installed)
// and its compound-file structure is parsed back with libgsf.

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

#include "common/error.h"
#include "office/doc/docwriter.h"
#include "office/doc/wordapp.h"

namespace {

// ---- Little-endian reads with bounds checks --------------------------------

quint32 u16At(const QByteArray &b, qsizetype at) {
  if (at < 0 || at + 2 > b.size()) throw morvane::Error(QStringLiteral("read past the end"));
  return quint8(b[at]) | quint32(quint8(b[at + 1])) << 8;
}
quint32 u32At(const QByteArray &b, qsizetype at) { return u16At(b, at) | u16At(b, at + 2) << 16; }

// ---- The compound file, read back with libgsf ---------------------------

struct Compound {
  QMap<QString, QByteArray> streams;
  QByteArray rootClsid;
};

Compound readCompound(const QByteArray &file) {
  gsf_init();
  Compound result;
  GsfInput *input =
      gsf_input_memory_new(reinterpret_cast<const guint8 *>(file.constData()), file.size(), FALSE);
  GError *error = nullptr;
  GsfInfile *root = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (!root) {
    const QString message = QString::fromUtf8(error ? error->message : "unknown");
    if (error) g_error_free(error);
    throw morvane::Error(QStringLiteral("not a compound file: ") + message);
  }
  guint8 clsid[16];
  if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root), clsid))
    result.rootClsid = QByteArray(reinterpret_cast<const char *>(clsid), 16);
  for (int i = 0; i < gsf_infile_num_children(root); ++i) {
    GsfInput *child = gsf_infile_child_by_index(root, i);
    const auto size = gsf_input_size(child);
    QByteArray bytes(qsizetype(size), '\0');
    if (size > 0) gsf_input_read(child, size, reinterpret_cast<guint8 *>(bytes.data()));
    result.streams.insert(QString::fromUtf8(gsf_input_name(child)), bytes);
    g_object_unref(child);
  }
  g_object_unref(root);
  return result;
}

// ---- The independent readers ---------------------------------------------

std::optional<QString> runReader(const QString &program, const QStringList &arguments) {
  const QString path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) return std::nullopt;
  QProcess process;
  process.start(path, arguments);
  if (!process.waitForFinished(300000) || process.exitCode() != 0) {
    qWarning() << program << process.readAllStandardError();
    return QString();
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The expected text as the readers print it: one line per paragraph, a
// manual line break as a new line.
QString asLines(const QString &text) {
  QString lines = office::doc::documentText(text);
  lines.replace(QChar(0x0D), QChar(u'\n'));
  lines.replace(QChar(0x0B), QChar(u'\n'));
  return lines;
}

// antiword lays text out: a tab becomes spaces, blank lines surround the
// text. Compare with white space runs folded and blank lines at either end
// removed.
QString foldedForAntiword(QString text) {
  text.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
  text.replace(QRegularExpression(QStringLiteral(" +\\n")), QStringLiteral("\n"));
  while (text.startsWith(u'\n')) text.remove(0, 1);
  while (text.endsWith(u'\n')) text.chop(1);
  return text;
}

// catdoc -w prints each paragraph as one line but leaves out empty ones.
QString withoutEmptyLines(const QString &text) {
  QStringList lines = text.split(QChar(u'\n'));
  lines.removeAll(QString());
  return lines.join(QChar(u'\n'));
}

QString mixedScripts() {
  return QStringLiteral(
      "Chinese 中文文本，汉字测试\rРусский текст: Съешь же ещё этих мягких булок\r"
      "Ελληνικά: Ξεσκεπάζω την ψυχοφθόρα βδελυγμία\rSymbols € £ © ® ™ ∑ √ ∞ ≠ ← → ♠ ♥ ✓\r"
      "Japanese 日本語のテキスト\vKorean 한국어 텍스트\tArabic العربية");
}

QString manyParagraphs(int count) {
  QStringList paragraphs;
  for (int i = 1; i <= count; ++i)
    paragraphs << QStringLiteral("Paragraph %1 of the long document").arg(i);
  return paragraphs.join(QChar(u'\r'));
}

}  // namespace

class TestDocWriter : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void readersGiveBackTheText_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("one paragraph") << QStringLiteral("HelloWorld");
    QTest::newRow("paragraphs, line breaks, tabs")
        << QStringLiteral("Title\rFirst line\vsecond line\rcell one\tcell two\r\rafter a blank");
    QTest::newRow("mixed scripts") << mixedScripts();
    QTest::newRow("10,000 paragraphs") << manyParagraphs(10000);
  }

  // Each document is read by antiword and catdoc; both must give back the
  // text, paragraph by paragraph.
  void readersGiveBackTheText() {
    QFETCH(QString, text);
    const QString path = dir_.filePath(QStringLiteral("%1.doc").arg(++count_));
    office::doc::writeDocument(text, path);

    const auto catdoc =
        runReader(QStringLiteral("catdoc"),
                  {QStringLiteral("-d"), QStringLiteral("utf-8"), QStringLiteral("-w"), path});
    if (!catdoc) QSKIP("catdoc is not installed");
    QCOMPARE(withoutEmptyLines(*catdoc), withoutEmptyLines(asLines(text)));

    const auto antiword =
        runReader(QStringLiteral("antiword"), {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"),
                                               QStringLiteral("-w"), QStringLiteral("0"), path});
    if (!antiword) QSKIP("antiword is not installed");
    QCOMPARE(foldedForAntiword(*antiword), foldedForAntiword(asLines(text)));
  }

  // LibreOffice Writer, when present, reads the same paragraphs.
  void libreOfficeGivesBackTheText() {
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
      QSKIP("LibreOffice is not installed");
    const QString text = mixedScripts() + QStringLiteral("\rlast");
    const QString path = dir_.filePath(QStringLiteral("libreoffice.doc"));
    office::doc::writeDocument(text, path);
    const QString profile =
        QUrl::fromLocalFile(dir_.filePath(QStringLiteral("profile"))).toString();
    auto output = runReader(QStringLiteral("soffice"),
                            {QStringLiteral("-env:UserInstallation=") + profile,
                             QStringLiteral("--headless"), QStringLiteral("--cat"), path});
    QVERIFY(output);
    // It may print warnings of its own before the text, and a byte order mark.
    output->remove(QChar(0xFEFF));
    const QString expected = asLines(text);
    QVERIFY2(output->contains(expected), qPrintable(*output));
  }

  // The structure Word expects: the FIB fields, the streams and their sizes,
  // the piece table and the paragraph pages.
  void structureIsWordNinetySeven() {
    const QString text = manyParagraphs(1000) + QStringLiteral("\v€");
    const QString body = office::doc::documentText(text);
    const Compound file = readCompound(office::doc::buildDocument(text));

    const QByteArray clsid("\x06\x09\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    QCOMPARE(file.rootClsid, clsid);
    QVERIFY(file.streams.contains(QStringLiteral("\005SummaryInformation")));
    QVERIFY(file.streams.contains(QStringLiteral("\005DocumentSummaryInformation")));
    const QByteArray doc = file.streams.value(QStringLiteral("WordDocument"));
    const QByteArray table = file.streams.value(QStringLiteral("1Table"));
    QVERIFY(doc.size() >= 4096);
    QVERIFY(!table.isEmpty());

    QCOMPARE(u16At(doc, 0x00), 0xA5ECu);  // wIdent
    QCOMPARE(u16At(doc, 0x02), 0x00C1u);  // nFib
    const quint32 flags = u16At(doc, 0x0A);
    QVERIFY(flags & 0x0200);                           // fWhichTblStm: 1Table
    QVERIFY(flags & 0x1000);                           // fExtChar
    QCOMPARE(flags & 0x0104, 0u);                      // neither fComplex nor fEncrypted
    QCOMPARE(u16At(doc, 0x20), 14u);                   // csw
    QCOMPARE(u16At(doc, 0x3E), 22u);                   // cslw
    QCOMPARE(u16At(doc, 0x98), 0x5Du);                 // cbRgFcLcb
    QCOMPARE(u32At(doc, 0x40), quint32(doc.size()));   // cbMac
    QCOMPARE(u32At(doc, 0x4C), quint32(body.size()));  // ccpText

    const auto blob = [&](int index) {
      const quint32 fc = u32At(doc, 0x9A + 8 * index);
      const quint32 lcb = u32At(doc, 0x9A + 8 * index + 4);
      if (lcb == 0 || fc + lcb > quint32(table.size()))
        throw morvane::Error(QStringLiteral("bad blob"));
      return table.mid(fc, lcb);
    };

    // Piece table: one piece of UTF-16 text holding the whole document text.
    const QByteArray clx = blob(33);
    QCOMPARE(quint8(clx[0]), quint8(0x02));
    QCOMPARE(u32At(clx, 1), quint32(clx.size() - 5));
    QCOMPARE(u32At(clx, 5), 0u);
    QCOMPARE(u32At(clx, 9), quint32(body.size()));
    const quint32 fc = u32At(clx, 15);
    QCOMPARE(fc & 0x40000000u, 0u);  // not compressed
    const QByteArray stored = doc.mid(fc, 2 * body.size());
    QCOMPARE(
        QString::fromUtf16(reinterpret_cast<const char16_t *>(stored.constData()), body.size()),
        body);

    // Paragraph pages: one entry per paragraph, contiguous over the text.
    const QByteArray btePapx = blob(13);
    const qsizetype pages = (btePapx.size() - 4) / 8;
    quint32 expectedFc = fc;
    qsizetype paragraphs = 0;
    for (qsizetype p = 0; p < pages; ++p) {
      QCOMPARE(u32At(btePapx, 4 * p), expectedFc);
      const QByteArray page =
          doc.mid(512 * qsizetype(u32At(btePapx, 4 * (pages + 1) + 4 * p)), 512);
      QCOMPARE(page.size(), 512);
      const int cpara = quint8(page[511]);
      QVERIFY(cpara > 0);
      QCOMPARE(u32At(page, 0), expectedFc);
      for (int i = 1; i <= cpara; ++i) {
        const quint32 limit = u32At(page, 4 * i);
        QCOMPARE(u16At(doc, limit - 2), 0x000Du);  // each paragraph ends with its mark
        expectedFc = limit;
      }
      paragraphs += cpara;
    }
    QCOMPARE(u32At(btePapx, 4 * pages), fc + 2 * quint32(body.size()));
    QCOMPARE(expectedFc, fc + 2 * quint32(body.size()));
    QCOMPARE(paragraphs, body.count(QChar(0x0D)));

    // Character page: one run over the whole text.
    const QByteArray bteChpx = blob(12);
    QCOMPARE(u32At(bteChpx, 0), fc);
    QCOMPARE(u32At(bteChpx, 4), fc + 2 * quint32(body.size()));

    // Style sheet with "Normal" first; fonts; a Word 97 DOP; one section.
    const QByteArray stsh = blob(1);
    QVERIFY(blob(0) == stsh);
    const quint32 cbStshi = u16At(stsh, 0);
    const qsizetype normal = 2 + cbStshi + 2;
    QCOMPARE(u16At(stsh, normal) & 0x0FFF, 0u);  // sti Normal
    QCOMPARE(u16At(stsh, normal + 10), 6u);
    QCOMPARE(
        QString::fromUtf16(reinterpret_cast<const char16_t *>(stsh.constData() + normal + 12), 6),
        QStringLiteral("Normal"));
    const QByteArray ffn = blob(15);
    QCOMPARE(u16At(ffn, 0), 3u);
    QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(ffn.constData() + 5 + 39), 15),
             QStringLiteral("Times New Roman"));
    QCOMPARE(blob(31).size(), 500);
    const QByteArray sed = blob(6);
    QCOMPARE(u32At(sed, 4), quint32(body.size()));
  }

  // The text mapping: breaks, tabs and the final paragraph mark; control
  // characters that Word would read as fields or objects are dropped.
  void documentTextMapsBreaks() {
    using office::doc::documentText;
    QCOMPARE(documentText(QString()), QStringLiteral("\r"));
    QCOMPARE(documentText(QStringLiteral("a\rb\vc\td")), QStringLiteral("a\rb\vc\td\r"));
    QCOMPARE(documentText(QStringLiteral("a\r\nb\nc\r")), QStringLiteral("a\rb\rc\r\r"));
    QCOMPARE(documentText(QStringLiteral("f\x13x\x14y\x15\x07\x01z")), QStringLiteral("fxyz\r"));
    const QString pair = QString::fromUcs4(U"\U0001F600");
    QCOMPARE(documentText(pair + QChar(0xD800) + QStringLiteral("x") + QChar(0xDC00)),
             pair + QStringLiteral("\uFFFDx\uFFFD\r"));
  }

  // Saving never replaces a file, and a failure leaves nothing behind.
  void savingIsAllOrNothing() {
    QTemporaryDir folder;
    const QString existing = folder.filePath(QStringLiteral("Notes.doc"));
    {
      QFile f(existing);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("keep me");
    }
    QVERIFY_THROWS_EXCEPTION(morvane::Error,
                             office::doc::writeDocument(QStringLiteral("x"), existing));
    QFile kept(existing);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep me"));

    const QString missingFolder = folder.filePath(QStringLiteral("no/such/Notes.doc"));
    QVERIFY_THROWS_EXCEPTION(morvane::Error,
                             office::doc::writeDocument(QStringLiteral("x"), missingFolder));

    // A name of the longest length the folder takes still works.
    const QString longName = folder.filePath(QString(251, u'n') + QStringLiteral(".doc"));
    office::doc::writeDocument(QStringLiteral("x"), longName);
    const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, QStringList(
                       {QString(251, u'n') + QStringLiteral(".doc"), QStringLiteral("Notes.doc")}));
  }

  // The word processor's object model: the harvest's calls produce a saved
  // document holding the inserted text; misuse fails with an error.
  void wordProcessorSavesInsertedText() {
    auto app = office::doc::createApplication();
    auto document = app->Documents()->Add();
    QVERIFY_THROWS_EXCEPTION(morvane::Error, document->Paragraphs()->Item(2));
    document->Paragraphs()->Item(1)->Range()->InsertAfter(QStringLiteral("one\rtwo"));
    document->Paragraphs()->Item(1)->Range()->InsertAfter(QStringLiteral("inserted\r"));
    const QString path = dir_.filePath(QStringLiteral("model.doc"));
    document->SaveAs(path);
    document->Close();
    QVERIFY_THROWS_EXCEPTION(morvane::Error,
                             document->SaveAs(dir_.filePath(QStringLiteral("again.doc"))));
    app->Quit();
    QVERIFY_THROWS_EXCEPTION(morvane::Error, app->Documents());

    const auto catdoc =
        runReader(QStringLiteral("catdoc"),
                  {QStringLiteral("-d"), QStringLiteral("utf-8"), QStringLiteral("-w"), path});
    if (!catdoc) QSKIP("catdoc is not installed");
    QCOMPARE(*catdoc, QStringLiteral("one\ninserted\ntwo\n"));
  }

 private:
  QTemporaryDir dir_;
  int count_ = 0;
};

QTEST_GUILESS_MAIN(TestDocWriter)
#include "test_docwriter.moc"
