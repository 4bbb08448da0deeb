// The web link opener with the desktop seams replaced: what it probes, what
// it starts, and which lookup answers count as failure.

#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "info/mOpenURL.h"
#include "seamfakes.h"

class TestOpenUrl : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cutAtNull_data();
  void cutAtNull();
  void tempFolderHasTrailingSeparator();
  void probeIsPrivateEmptyAndRemoved();
  void plantedLinkNeverTruncatesItsTarget();
  void missingTempFolderFailsQuietly();
  void resultCodes_data();
  void resultCodes();
  void addressWithBlanksIsOneArgument();
  void failedStartIsFalse();

 private:
  QStringList tempEntries() const {
    return QDir(temp_->path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  }
  std::unique_ptr<QTemporaryDir> temp_;
};

void TestOpenUrl::init() {
  qunsetenv("TMPDIR");
  temp_ = std::make_unique<QTemporaryDir>();
  qputenv("TMPDIR", QFile::encodeName(temp_->path()));
}

void TestOpenUrl::cutAtNull_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("expected");
  QTest::newRow("no NUL") << QStringLiteral("C:\\Temp\\") << QStringLiteral("C:\\Temp\\");
  QTest::newRow("empty") << QString() << QString();
  QTest::newRow("starts with NUL") << QString::fromLatin1("\0abc", 4) << QString();
  QTest::newRow("three letters, NUL, blanks")
      << QString(QStringLiteral("abc") + QChar(u'\0') + QString(256, QLatin1Char(' ')))
      << QStringLiteral("abc");
  QTest::newRow("first of two NULs") << QString::fromLatin1("a\0b\0", 4) << QStringLiteral("a");
}

void TestOpenUrl::cutAtNull() {
  QFETCH(QString, text);
  QFETCH(QString, expected);
  QCOMPARE(mOpenURL::CutAtNull(text), expected);
}

void TestOpenUrl::tempFolderHasTrailingSeparator() {
  QCOMPARE(mOpenURL::GetTempFolder(), temp_->path() + QLatin1Char('/'));
  qputenv("TMPDIR", QFile::encodeName(temp_->path()) + "//");
  QCOMPARE(mOpenURL::GetTempFolder(), temp_->path() + QLatin1Char('/'));
  qunsetenv("TMPDIR");
  QCOMPARE(mOpenURL::GetTempFolder(), QStringLiteral("/tmp/"));
}

// While the lookup runs, the probe is an empty regular file "dummy.html" in
// a folder of its own inside the temporary folder, open to its owner only.
// Afterwards neither is left.
void TestOpenUrl::probeIsPrivateEmptyAndRemoved() {
  FakeDefaultApp lookup(42, QStringLiteral("/usr/bin/browser"));
  QString probeFolder;
  bool probeLooksRight = false;
  lookup.whileAsked = [&](const QString &path) {
    const QFileInfo probe(path);
    probeFolder = probe.absolutePath();
    struct stat folderStat {};
    stat(QFile::encodeName(probeFolder).constData(), &folderStat);
    probeLooksRight = probe.fileName() == QLatin1String("dummy.html") && probe.isFile() &&
                      !probe.isSymLink() && probe.size() == 0 &&
                      (folderStat.st_mode & 07777) == 0700 &&
                      QFileInfo(probeFolder).absolutePath() == temp_->path();
  };
  std::int32_t code = 0;
  QCOMPARE(mOpenURL::FindBrowserPath(code), QStringLiteral("/usr/bin/browser"));
  QCOMPARE(code, 42);
  QCOMPARE(lookup.askedFor.size(), 1);
  QVERIFY(probeLooksRight);
  QVERIFY(!QFileInfo::exists(probeFolder));
  QVERIFY(tempEntries().isEmpty());
}

void TestOpenUrl::plantedLinkNeverTruncatesItsTarget() {
  const QString victim = temp_->filePath(QStringLiteral("victim.txt"));
  QFile file(victim);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("precious");
  file.close();
  QVERIFY(QFile::link(victim, temp_->filePath(QStringLiteral("dummy.html"))));

  FakeDefaultApp lookup(42, QStringLiteral("/usr/bin/browser"));
  std::int32_t code = 0;
  mOpenURL::FindBrowserPath(code);

  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), QByteArray("precious"));
  QVERIFY(QFileInfo(temp_->filePath(QStringLiteral("dummy.html"))).isSymLink());
  QVERIFY(lookup.askedFor.at(0) != temp_->filePath(QStringLiteral("dummy.html")));
  QCOMPARE(tempEntries().size(), 2);
}

// No probe can be made: the lookup is not asked and the answer is a failure
// code, not an exception.
void TestOpenUrl::missingTempFolderFailsQuietly() {
  qputenv("TMPDIR", QFile::encodeName(temp_->filePath(QStringLiteral("missing"))));
  FakeDefaultApp lookup(42, QStringLiteral("/usr/bin/browser"));
  FakeProcess process;
  std::int32_t code = 99;
  QCOMPARE(mOpenURL::FindBrowserPath(code), QString());
  QVERIFY(code <= 32);
  QVERIFY(!mOpenURL::OpenURL(QStringLiteral("https://morvane.example.org/")));
  QVERIFY(lookup.askedFor.isEmpty());
  QVERIFY(process.programs.isEmpty());
}

void TestOpenUrl::resultCodes_data() {
  QTest::addColumn<int>("code");
  QTest::addColumn<bool>("starts");
  QTest::newRow("file not found") << 2 << false;
  QTest::newRow("no association") << 31 << false;
  QTest::newRow("exactly 32") << 32 << false;
  QTest::newRow("33") << 33 << true;
  QTest::newRow("found") << 42 << true;
}

void TestOpenUrl::resultCodes() {
  QFETCH(int, code);
  QFETCH(bool, starts);
  FakeDefaultApp lookup(code, QStringLiteral("/opt/browser/run"));
  FakeProcess process;
  QCOMPARE(mOpenURL::OpenURL(QStringLiteral("https://morvane.example.org/")), starts);
  QCOMPARE(process.programs.size(), starts ? 1 : 0);
  if (starts) QCOMPARE(process.programs.at(0), QStringLiteral("/opt/browser/run"));
}

void TestOpenUrl::addressWithBlanksIsOneArgument() {
  FakeDefaultApp lookup(42, QStringLiteral("/opt/browser/run"));
  FakeProcess process;
  const QString address = QStringLiteral("https://morvane.example.org/a page  with blanks ");
  QVERIFY(mOpenURL::OpenURL(address));
  QCOMPARE(process.argumentLists, QList<QStringList>{{address}});
}

void TestOpenUrl::failedStartIsFalse() {
  FakeDefaultApp lookup(42, QStringLiteral("/opt/browser/run"));
  FakeProcess process;
  process.answer = false;
  QVERIFY(!mOpenURL::OpenURL(QStringLiteral("https://morvane.example.org/")));
}

QTEST_GUILESS_MAIN(TestOpenUrl)
#include "test_info_openurl.moc"
