// The job core without a window, on a scripted presentation: which
// pictures --every-picture takes and in what order, how repeats are
// skipped, what --list and --original write, and where a picture that
// cannot be read leaves its number.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "fakedeck.h"
#include "job/extractionjob.h"

namespace {

using fakedeck::Deck;
using fakedeck::Page;

class RecordingLog : public job::Log {
 public:
  void replace(const QString &piece) override { text = piece; }
  void append(const QString &piece) override { text += piece; }
  void output(const job::OutputRecord &record) override { records.push_back(record); }
  QString text;
  std::vector<job::OutputRecord> records;
};

QByteArray readAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A deck with a picture in every place --every-picture looks.
Deck everyPlace() {
  Deck deck;
  Page first;
  first.background = fakedeck::filled("background");
  first.shapes = {fakedeck::picture("top"),
                  fakedeck::group({fakedeck::textBox("caption"),
                                   fakedeck::group({fakedeck::group({fakedeck::picture("deep")}),
                                                    fakedeck::filled("fill")})}),
                  fakedeck::textBox("not a picture")};
  fakedeck::ShapeSpec object = fakedeck::picture("object preview");
  object.type = PowerPoint::msoEmbeddedOLEObject;
  fakedeck::ShapeSpec chart = fakedeck::picture("chart preview");
  chart.type = PowerPoint::msoChart;
  Page second;  // follows the master's background
  second.shapes = {object, chart};
  deck.slides = {first, second};
  deck.master.background = fakedeck::filled("master background");
  deck.master.shapes = {fakedeck::picture("logo")};
  Page title;
  title.shapes = {fakedeck::picture("title logo")};
  deck.titleMaster = title;
  return deck;
}

struct Run {
  QTemporaryDir dir;
  RecordingLog log;
  job::ExtractionJob extraction{log};

  explicit Run(const Deck &deck) {
    extraction.PowerPointApp.setFactory(
        [deck] { return std::make_shared<fakedeck::Application>(deck); });
    extraction.PowerPointApp->Presentations()->Open(QStringLiteral("deck.ppt"));
    extraction.OutputFolder = dir.path() + QLatin1Char('/');
  }
  QString path(const QString &name) const { return dir.filePath(name); }
  QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
};

}  // namespace

class TestJobWalks : public QObject {
  Q_OBJECT

 private slots:
  // Without --every-picture only the top-level pictures count.
  void defaultTakesTopLevelPicturesOnly() {
    Run run(everyPlace());
    run.extraction.pics_extract();
    QCOMPARE(run.files(), QStringList{"Img0001.Jpg"});
    QCOMPARE(readAll(run.path("Img0001.Jpg")), QByteArray("top"));
  }

  // Slide by slide: its own background, then its shapes in z-order with
  // groups entered at any depth, fills and object previews (not charts);
  // then the master, then the title master.
  void everyPictureOrder() {
    Run run(everyPlace());
    run.extraction.options.everyPicture = true;
    run.extraction.pics_extract();
    const QList<QByteArray> expected{
        "background",        "top",  "deep",      "fill", "object preview",
        "master background", "logo", "title logo"};
    QCOMPARE(run.files().size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
      QCOMPARE(readAll(run.path(QStringLiteral("Img%1.Jpg").arg(i + 1, 4, 10, QLatin1Char('0')))),
               expected[i]);
    QStringList places;
    for (const auto &r : run.log.records) places << r.place + QLatin1Char(' ') + r.shape;
    QCOMPARE(places,
             (QStringList{"slide 1 background", "slide 1 1", "slide 1 2.2.1.1", "slide 1 2.2.2",
                          "slide 2 1", "master 1 background", "master 1 1", "title master 1 1"}));
    QVERIFY(run.log.text.startsWith(QStringLiteral("8 image files are save in folder : ")));
  }

  // An output that repeats one already written for the deck (a background
  // every slide has of its own, say) is dropped and its number used again.
  void repeatedOutputsAreSkipped() {
    Deck deck;
    for (int i = 0; i < 3; ++i) {
      Page slide;
      slide.background = fakedeck::filled("same background");
      slide.shapes = {fakedeck::picture(QByteArray("picture ") + char('A' + i))};
      deck.slides.push_back(slide);
    }
    deck.master.shapes = {fakedeck::picture("picture A")};
    Run run(deck);
    run.extraction.options.everyPicture = true;
    run.extraction.pics_extract();
    QCOMPARE(run.files(),
             (QStringList{"Img0001.Jpg", "Img0002.Jpg", "Img0003.Jpg", "Img0004.Jpg"}));
    QCOMPARE(readAll(run.path("Img0001.Jpg")), QByteArray("same background"));
    QCOMPARE(readAll(run.path("Img0002.Jpg")), QByteArray("picture A"));
    QCOMPARE(readAll(run.path("Img0004.Jpg")), QByteArray("picture C"));

    // A listing skips the same pictures, by what is stored.
    Run listed(deck);
    listed.extraction.options.everyPicture = true;
    listed.extraction.options.list = true;
    listed.extraction.pics_extract();
    QVERIFY(listed.files().isEmpty());
    QStringList outputs;
    for (const auto &r : listed.log.records) outputs << r.output;
    QCOMPARE(outputs, (QStringList{"Img0001.Jpg", "Img0002.Jpg", "Img0003.Jpg", "Img0004.Jpg"}));
  }

  // --original: the stored bytes under the stored format's extension, with
  // the same numbering; a picture that cannot be read keeps its number.
  void originalAndUnreadable() {
    Deck deck;
    Page slide;
    fakedeck::ShapeSpec broken = fakedeck::picture("x");
    broken.unreadable = true;
    slide.shapes = {fakedeck::picture("one"), broken, fakedeck::picture("three")};
    deck.slides = {slide};
    Run run(deck);
    run.extraction.options.original = true;
    run.extraction.pics_extract();
    QCOMPARE(run.files(), (QStringList{"Img0001.png", "Img0003.png"}));
    QCOMPARE(readAll(run.path("Img0003.png")), QByteArray("three"));
    QVERIFY(run.log.text.contains(QStringLiteral(
        "Warning: Img0002 was not written: the picture of slide 1 cannot be read\r\n")));
    QCOMPARE(run.log.records.size(), size_t(3));
    QCOMPARE(run.log.records[1].writtenBytes, qint64(-1));
    QCOMPARE(run.log.records[1].problem, QStringLiteral("damaged"));
  }
};

QTEST_GUILESS_MAIN(TestJobWalks)
#include "test_job_walks.moc"
