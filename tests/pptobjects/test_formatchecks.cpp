// Compound files that are not PowerPoint 97-2003 presentations get a reason
// the user can act on: a PowerPoint 4.0 file (its "PP40" stream) is as old as
// a PowerPoint 95 one, and an encrypted Office 2007+ file (the EncryptionInfo
// and EncryptedPackage streams beside a "\006DataSpaces" storage) is
// password-protected, not damaged.

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "common/error.h"
#include "office/ppt/application.h"

namespace {

struct Entry {
  QByteArray name;   // a storage when it ends in '/'
  QByteArray bytes;  // stream contents
};

void writeCompoundFile(const QString &path, const QList<Entry> &entries) {
  gsf_init();
  GError *error = nullptr;
  GsfOutput *output = gsf_output_stdio_new(QFile::encodeName(path).constData(), &error);
  QVERIFY(output);
  GsfOutfile *root = gsf_outfile_msole_new(output);
  g_object_unref(output);
  for (const Entry &entry : entries) {
    const bool storage = entry.name.endsWith('/');
    const QByteArray name = storage ? entry.name.chopped(1) : entry.name;
    GsfOutput *child = gsf_outfile_new_child(root, name.constData(), storage);
    if (storage) {
      // A storage with one stream in it, as the data spaces map is kept.
      GsfOutput *inner = gsf_outfile_new_child(GSF_OUTFILE(child), "DataSpaceMap", FALSE);
      gsf_output_write(inner, 8, reinterpret_cast<const guint8 *>("\x08\0\0\0\x01\0\0\0"));
      gsf_output_close(inner);
      g_object_unref(inner);
    } else {
      gsf_output_write(child, gsf_off_t(entry.bytes.size()),
                       reinterpret_cast<const guint8 *>(entry.bytes.constData()));
    }
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(root));
  g_object_unref(root);
}

QString openingError(const QString &path) {
  try {
    office::ppt::openPresentationFile(path);
  } catch (const morvane::Error &error) {
    return error.description();
  }
  return {};
}

}  // namespace

Q_DECLARE_METATYPE(QList<Entry>)

class FormatChecksTest : public QObject {
  Q_OBJECT

 private slots:
  void olderAndEncryptedFilesAreNamed_data() {
    QTest::addColumn<QList<Entry>>("entries");
    QTest::addColumn<QString>("reason");
    const QByteArray pp40(3000, 'p');
    QTest::newRow("PowerPoint 4.0")
        << QList<Entry>{{"PP40", pp40}, {"\005SummaryInformation", QByteArray(200, '\0')}}
        << QStringLiteral("saved by PowerPoint 95 or earlier");
    // Version 4.4 encryption information, then an encrypted package of
    // 8 bytes of size and the ciphertext.
    const QByteArray info =
        QByteArray("\x04\x00\x04\x00\x40\x00\x00\x00", 8) + QByteArray(200, 'i');
    const QByteArray package =
        QByteArray("\x00\x10\x00\x00\x00\x00\x00\x00", 8) + QByteArray(4096, 'c');
    QTest::newRow("encrypted Office 2007+") << QList<Entry>{{"\006DataSpaces/", {}},
                                                            {"EncryptionInfo", info},
                                                            {"EncryptedPackage", package}}
                                            << QStringLiteral("encrypted (password-protected)");
  }

  void olderAndEncryptedFilesAreNamed() {
    QFETCH(QList<Entry>, entries);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deck.ppt"));
    writeCompoundFile(path, entries);
    const QString error = openingError(path);
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY2(!error.contains(QLatin1String("damaged")), qPrintable(error));
  }
};

QTEST_GUILESS_MAIN(FormatChecksTest)
#include "test_formatchecks.moc"
