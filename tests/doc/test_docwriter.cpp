#include <QtTest>
#include "office/doc/docwriter.h"
class TestDocWriter : public QObject {
  Q_OBJECT
 private slots:
  void dev() {
    QFile::remove("/tmp/docdev/a.doc");
    office::doc::writeDocument(QStringLiteral("Hello\rWorld\x0bline\tTab\rЖ漢字 αβγ €"), "/tmp/docdev/a.doc");
  }
};
QTEST_GUILESS_MAIN(TestDocWriter)
#include "test_docwriter.moc"
