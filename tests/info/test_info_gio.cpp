// The web link opener against the real desktop lookup (GIO) in a private
// desktop, with or without a fake browser registered for text/html. The
// private desktop is set up before any GIO call, so one process tests one
// of the two situations; MORVANE_GIO_REGISTERED picks which at build time.

#include <QCoreApplication>
#include <QDir>
#include <QtTest>

#include "info/mOpenURL.h"
#include "seamfakes.h"
#include "xdgsandbox.h"

namespace {

XdgSandbox *sandbox = nullptr;

QStringList tempEntries() {
  return QDir(sandbox->tempFolder())
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

class TestGio : public QObject {
  Q_OBJECT

 private slots:
  void lookup();
  void openUrl();
  void plantedLinkNeverTruncatesItsTarget();
};

void TestGio::lookup() {
  std::int32_t code = 0;
  const QString path = mOpenURL::FindBrowserPath(code);
#if MORVANE_GIO_REGISTERED
  QVERIFY2(code > 32, qPrintable(QString::number(code)));
  QCOMPARE(path, sandbox->browserPath());
#else
  QVERIFY(code <= 32);
  QCOMPARE(path, QString());
#endif
  QVERIFY(tempEntries().isEmpty());
}

void TestGio::openUrl() {
  const QString address = QStringLiteral("https://morvane.example.org/a page with blanks");
#if MORVANE_GIO_REGISTERED
  QVERIFY(mOpenURL::OpenURL(address));
  QTRY_VERIFY(QFileInfo::exists(sandbox->browserRecord()));
  QFile record(sandbox->browserRecord());
  QVERIFY(record.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(record.readAll()), QStringLiteral("1\n[") + address + "]\n");
#else
  FakeProcess process;
  QVERIFY(!mOpenURL::OpenURL(address));
  QVERIFY(process.programs.isEmpty());
#endif
  QVERIFY(tempEntries().isEmpty());
}

void TestGio::plantedLinkNeverTruncatesItsTarget() {
  const QString victim = sandbox->tempFolder() + QStringLiteral("/victim.txt");
  QFile file(victim);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("precious");
  file.close();
  QVERIFY(QFile::link(victim, sandbox->tempFolder() + QStringLiteral("/dummy.html")));
  std::int32_t code = 0;
  mOpenURL::FindBrowserPath(code);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), QByteArray("precious"));
  QCOMPARE(tempEntries().size(), 2);
}

int main(int argc, char *argv[]) {
  XdgSandbox privateDesktop(MORVANE_GIO_REGISTERED);
  sandbox = &privateDesktop;
  QCoreApplication app(argc, argv);
  TestGio test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_info_gio.moc"
