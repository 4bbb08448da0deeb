#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "common/atomicfile.h"
#include "common/error.h"
#include "common/filenames.h"
#include "office/render/export.h"

using namespace morvane;
using office::render::BlipFormat;
using office::render::exportBmp;
using office::render::exportJpeg;
using office::render::PictureSource;

namespace {

QByteArray readAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// Everything in folder other than . and .., hidden files included.
QStringList entries(const QString &folder) {
  return QDir(folder).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

PictureSource jpegPicture() {
  PictureSource picture;
  picture.format = BlipFormat::Jpeg;
  picture.data = QByteArray("\xFF\xD8\xFF\xE0 not decoded when passed through", 38);
  return picture;
}

}  // namespace

// Atomic output files, and file names that are not UTF-8.
class AtomicFileTest : public QObject {
  Q_OBJECT

 private slots:
  void writesNewFileAndLeavesNoTemporary() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Img0001.Jpg");
    writeFileAtomically(path, "hello");
    QCOMPARE(readAll(path), QByteArray("hello"));
    QCOMPARE(entries(dir.path()), QStringList{"Img0001.Jpg"});
  }

  void replacesExistingFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Graph0001.Bmp");
    writeFile(path, "an older, longer content");
    writeFileAtomically(path, "new");
    QCOMPARE(readAll(path), QByteArray("new"));
    QCOMPARE(entries(dir.path()), QStringList{"Graph0001.Bmp"});
  }

  void replacesPlantedSymlinkWithoutTouchingItsTarget() {
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim.txt");
    writeFile(victim, "precious");
    const QString path = dir.filePath("Img0001.Jpg");
    QVERIFY(QFile::link(victim, path));
    exportJpeg(jpegPicture(), path);
    QCOMPARE(readAll(victim), QByteArray("precious"));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(readAll(path), jpegPicture().data);
  }

  void danglingSymlinkIsReplacedNotFollowed() {
    QTemporaryDir dir;
    const QString target = dir.filePath("elsewhere.txt");
    const QString path = dir.filePath("Img0002.Jpg");
    QVERIFY(QFile::link(target, path));
    writeFileAtomically(path, "x");
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFileInfo(path).isSymLink());
  }

  void failuresLeaveNothingBehind() {
    if (::geteuid() == 0) QSKIP("running as root: folder permissions do not stop writes");
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, writeFileAtomically(folder + "/Img0001.Jpg", "x"));
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(entries(folder).isEmpty());
  }

  void writeFailingMidwayLeavesOldFileAndNoTemporary() {
    // A file size limit makes write() fail part-way, even for root.
    QTemporaryDir dir;
    const QString path = dir.filePath("Graph0001.Bmp");
    writeFile(path, "old");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
      writeFileAtomically(path, QByteArray(64 * 1024, 'x'));
    } catch (const morvane::Error &) {
      threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(threw);
    QCOMPARE(readAll(path), QByteArray("old"));
    QCOMPARE(entries(dir.path()), QStringList{"Graph0001.Bmp"});
  }

  void missingFolderFailsWithPathInMessage() {
    QTemporaryDir dir;
    const QString path = dir.filePath("no/such/folder/Img0001.Jpg");
    try {
      exportJpeg(jpegPicture(), path);
      QFAIL("no failure");
    } catch (const morvane::Error &error) {
      QVERIFY2(error.description().contains(path), qPrintable(error.description()));
    }
  }

  void renameFailureRemovesTemporary() {
    // A folder at the output name cannot be replaced by a file.
    QTemporaryDir dir;
    const QString path = dir.filePath("Img0001.Jpg");
    QVERIFY(QDir().mkdir(path));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, writeFileAtomically(path, "x"));
    QCOMPARE(entries(dir.path()), QStringList{"Img0001.Jpg"});
    QVERIFY(QFileInfo(path).isDir());
  }

  void abandonedWriteRemovesTemporary() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Img0001.Jpg");
    QString temporary;
    {
      AtomicFile file(path);
      temporary = file.temporaryPath();
      file.write("partial");
      QVERIFY(QFile::exists(temporary));
      QVERIFY(QFileInfo(temporary).absolutePath() == dir.path());
    }
    QVERIFY(!QFile::exists(temporary));
    QVERIFY(!QFile::exists(path));
  }

  void damagedPictureLeavesNoFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Img0001.Jpg");
    PictureSource picture;
    picture.format = BlipFormat::Png;
    picture.data = QByteArray("\x89PNG\r\n\x1a\n broken", 16);
    QVERIFY_THROWS_EXCEPTION(morvane::Error, exportJpeg(picture, path));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, exportBmp(picture, dir.filePath("Graph0001.Bmp")));
    QVERIFY(entries(dir.path()).isEmpty());
  }

  void commitWithoutReplacingRefusesAnExistingName() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Notes.doc");
    writeFile(path, "keep");
    AtomicFile file(path);
    file.write("new");
    QVERIFY_THROWS_EXCEPTION(morvane::Error, file.commitWithoutReplacing());
    QCOMPARE(readAll(path), QByteArray("keep"));
    QCOMPARE(entries(dir.path()), QStringList{"Notes.doc"});
    AtomicFile fresh(dir.filePath("Other.doc"));
    fresh.write("text");
    fresh.commitWithoutReplacing();
    QCOMPARE(readAll(dir.filePath("Other.doc")), QByteArray("text"));
    QCOMPARE(entries(dir.path()), (QStringList{"Notes.doc", "Other.doc"}));
  }

  // A temporary that a killed job left is ours by its name and goes; files
  // that only look similar stay.
  void staleTemporariesAreRecognisedByName() {
    QTemporaryDir dir;
    QString leftover;
    {
      AtomicFile file(dir.filePath("Img0001.Jpg"));
      leftover = file.temporaryPath();
      QCOMPARE(::link(QFile::encodeName(leftover).constData(),
                      QFile::encodeName(leftover + "-copy").constData()),
               0);
    }
    QVERIFY(QFile::rename(leftover + "-copy", leftover));
    writeFile(dir.filePath(".Img0002.Jpg.tmp"), "not ours");
    writeFile(dir.filePath(".notes.abc.morvane.tmp"), "random part too short");
    writeFile(dir.filePath("Img0001.Jpg"), "output");
    QCOMPARE(removeStaleTemporaries(dir.path()), 1);
    QCOMPARE(entries(dir.path()),
             (QStringList{".Img0002.Jpg.tmp", ".notes.abc.morvane.tmp", "Img0001.Jpg"}));
  }

  // Bytes that are not UTF-8 survive the trip through QString, and an output
  // lands in a folder of such a name.
  void fileNamesThatAreNotUtf8RoundTrip() {
    const QList<QByteArray> names{QByteArray("caf\xe9/\xe9t\xe9.ppt"),
                                  QByteArray("\xff\xfe"),
                                  QByteArray("ok-\xc3\xa9-\xe2\x82\xac-\xf0\x9f\x98\x80"),
                                  QByteArray("overlong-\xc0\xaf"),
                                  QByteArray("cut-\xe2\x82"),
                                  QByteArray("surrogate-\xed\xa0\x80")};
    for (const QByteArray &name : names) QCOMPARE(fileNameBytes(fileNameFromBytes(name)), name);
    QCOMPARE(fileNameFromBytes("ok-\xc3\xa9"), QStringLiteral("ok-\u00e9"));

    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/Vortr\xe4ge";
    QCOMPARE(::mkdir(folder.constData(), 0755), 0);
    const QString path = fileNameFromBytes(folder) + QStringLiteral("/Img0001.Jpg");
    writeFileAtomically(path, "x");
    QCOMPARE(::access((folder + "/Img0001.Jpg").constData(), F_OK), 0);

    // What a Qt file dialog returns for that file (U+FFFD for the byte) leads
    // back to it; an existing or unrelated path stays as it is.
    const QString lossy = QString::fromUtf8(folder + "/Img0001.Jpg");
    QVERIFY(lossy.contains(QChar::ReplacementCharacter));
    QCOMPARE(fileNameBytes(recoverFileName(lossy)), folder + "/Img0001.Jpg");
    QCOMPARE(recoverFileName(dir.path()), dir.path());
    const QString missing = dir.path() + QStringLiteral("/x\uFFFDy");
    QCOMPARE(recoverFileName(missing), missing);
  }
};

QTEST_GUILESS_MAIN(AtomicFileTest)
#include "test_files.moc"
