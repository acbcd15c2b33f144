// Thumbnails: read and scaled off the GUI thread, one engine request for two views of one picture,
// nothing asked without an address, nothing written into a view that is gone.
#include "ViewHelpers.h"

#include "rows/Thumbnail.h"
#include "rows/ThumbnailCache.h"
#include "rows/ThumbnailImage.h"

#include <QImageWriter>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestThumbnail : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noAddressAsksNothing();
    void twoViewsOneRequest();
    void knownPathIsReadWithoutAsking();
    void viewDestroyedWhileTheEngineAnswers();
    void fileThatIsNoImage();
    void webpAndScaling();
    void readsOffTheGuiThread();
    void cacheForPaintedRows();

private:
    // A picture file of `size` in `format`.
    static QString picture(const QTemporaryDir& dir, const QString& name, QSize size, const char* format) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(200, 40, 40));
        const QString path = dir.filePath(name);
        if (!image.save(path, format))
            return {};
        return path;
    }
    static void answerThumbnails(StateFixture& f, const QString& path) {
        f.script(QStringLiteral("thumbnail.resolve"),
                 QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("path"), path}}}}, 0);
    }
};

void TestThumbnail::noAddressAsksNothing() {
    StateFixture f;
    f.boot();
    QTemporaryDir dir;
    const QString path = picture(dir, QStringLiteral("a.png"), QSize(64, 36), "PNG");
    answerThumbnails(f, path);
    Thumbnail empty(&f.model->libraryPart(), QSize(64, 36), 4);
    empty.setSource(QString(), QString(), QStringLiteral("https://example.com/page"), path);
    QVERIFY(showAt(&empty, QSize(64, 36)));
    QVERIFY(QTest::qWaitFor([&] { return empty.finishedLoads() == 1; }));
    QVERIFY(empty.image().isNull()); // even though a known file was named

    // A later view that does ask proves the moment has passed: its request is the only one.
    Thumbnail asking(&f.model->libraryPart(), QSize(64, 36), 4);
    asking.setSource(QStringLiteral("https://example.com/t.jpg"), QString(), QString());
    QVERIFY(showAt(&asking, QSize(64, 36)));
    QVERIFY(QTest::qWaitFor([&] { return asking.finishedLoads() == 1; }));
    QVERIFY(!asking.image().isNull());
    QCOMPARE(f.requestsOf(QStringLiteral("thumbnail.resolve")).size(), 1);
}

void TestThumbnail::twoViewsOneRequest() {
    StateFixture f;
    f.boot();
    QTemporaryDir dir;
    const QString path = picture(dir, QStringLiteral("b.jpg"), QSize(320, 180), "JPG");
    answerThumbnails(f, path);
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("thumbnail.resolve")}});
    QWidget window;
    auto* first = new Thumbnail(&f.model->libraryPart(), QSize(64, 36), 4, &window);
    auto* second = new Thumbnail(&f.model->libraryPart(), QSize(132, 74), 6, &window);
    second->move(0, 40);
    for (Thumbnail* t : {first, second})
        t->setSource(QStringLiteral("https://example.com/b.jpg"), QString(),
                     QStringLiteral("https://example.com/p"));
    QVERIFY(showAt(&window, QSize(200, 120)));
    QVERIFY(f.waitForRequests(QStringLiteral("thumbnail.resolve"), 1));
    f.control(QStringLiteral("test.release"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("thumbnail.resolve")}});
    QVERIFY(QTest::qWaitFor([&] { return first->finishedLoads() == 1 && second->finishedLoads() == 1; }));
    QVERIFY(!first->image().isNull());
    QVERIFY(!second->image().isNull());
    QCOMPARE(f.requestsOf(QStringLiteral("thumbnail.resolve")).size(), 1);

    // The page address alone changes nothing; a new media path loads again (from the model's cache or
    // the engine, not from the view).
    first->setSource(QStringLiteral("https://example.com/b.jpg"), QString(),
                     QStringLiteral("https://other.example/p"));
    QCoreApplication::processEvents();
    QCOMPARE(first->finishedLoads(), 1);
}

void TestThumbnail::knownPathIsReadWithoutAsking() {
    StateFixture f;
    f.boot();
    QTemporaryDir dir;
    const QString path = picture(dir, QStringLiteral("c.png"), QSize(100, 100), "PNG");
    Thumbnail view(&f.model->libraryPart(), QSize(64, 36), 4);
    view.setSource(QStringLiteral("https://example.com/c.png"), QString(), QString(), path);
    QVERIFY(showAt(&view, QSize(64, 36)));
    QVERIFY(QTest::qWaitFor([&] { return view.finishedLoads() == 1; }));
    QVERIFY(!view.image().isNull());
    QCOMPARE(f.requestsOf(QStringLiteral("thumbnail.resolve")).size(), 0);
}

void TestThumbnail::viewDestroyedWhileTheEngineAnswers() {
    StateFixture f;
    f.boot();
    QTemporaryDir dir;
    const QString path = picture(dir, QStringLiteral("d.png"), QSize(64, 36), "PNG");
    answerThumbnails(f, path);
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("thumbnail.resolve")}});
    auto* view = new Thumbnail(&f.model->libraryPart(), QSize(64, 36), 4);
    view->setSource(QStringLiteral("https://example.com/d.png"), QString(), QString());
    QVERIFY(showAt(view, QSize(64, 36)));
    QVERIFY(f.waitForRequests(QStringLiteral("thumbnail.resolve"), 1));
    delete view;
    f.control(QStringLiteral("test.release"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("thumbnail.resolve")}});
    // A second view of the same picture gets the path the first asked for, and shows it: the state went
    // on working after the first view was gone.
    Thumbnail again(&f.model->libraryPart(), QSize(64, 36), 4);
    again.setSource(QStringLiteral("https://example.com/d.png"), QString(), QString());
    QVERIFY(showAt(&again, QSize(64, 36)));
    QVERIFY(QTest::qWaitFor([&] { return again.finishedLoads() == 1; }));
    QVERIFY(!again.image().isNull());
    QCOMPARE(f.requestsOf(QStringLiteral("thumbnail.resolve")).size(), 1);
}

void TestThumbnail::fileThatIsNoImage() {
    StateFixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("e.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is text, not a picture");
    file.close();
    Thumbnail view(&f.model->libraryPart(), QSize(64, 36), 4);
    view.setSource(QStringLiteral("https://example.com/e.jpg"), QString(), QString(), path);
    QVERIFY(showAt(&view, QSize(64, 36)));
    QVERIFY(QTest::qWaitFor([&] { return view.finishedLoads() == 1; }));
    QVERIFY(view.image().isNull());
    QVERIFY(ThumbnailImage::readScaled(path, QSize(64, 36)).isNull());
    QVERIFY(ThumbnailImage::readScaled(dir.filePath(QStringLiteral("missing.png")), QSize(64, 36)).isNull());
}

void TestThumbnail::webpAndScaling() {
    QVERIFY2(QImageWriter::supportedImageFormats().contains("webp"), "the image-formats plugin is missing");
    QTemporaryDir dir;
    const QString path = picture(dir, QStringLiteral("f.webp"), QSize(1280, 720), "WEBP");
    QVERIFY(!path.isEmpty());
    const QImage image = ThumbnailImage::readScaled(path, QSize(128, 72));
    QVERIFY(!image.isNull());
    // Scaled on reading to cover the frame, not kept at full size.
    QCOMPARE(image.size(), QSize(128, 72));
    const QImage tall = ThumbnailImage::readScaled(
        picture(dir, QStringLiteral("g.png"), QSize(400, 800), "PNG"), QSize(128, 72));
    QCOMPARE(tall.width(), 128);
    QVERIFY(tall.height() >= 72);
    QCOMPARE(ThumbnailImage::coverRect(QSizeF(400, 800), QRectF(0, 0, 128, 72)).width(), 128.0);
}

void TestThumbnail::readsOffTheGuiThread() {
    // The file is a pipe that only the GUI thread fills, after the read began: a read on the GUI thread
    // would wait for itself and never end.
    QTemporaryDir dir;
    const QString source = picture(dir, QStringLiteral("h.png"), QSize(64, 36), "PNG");
    QFile png(source);
    QVERIFY(png.open(QIODevice::ReadOnly));
    const QByteArray bytes = png.readAll();
    const QString pipe = dir.filePath(QStringLiteral("pipe.png"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    bool written = false;
    QTimer::singleShot(50, [&] {
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY);
        if (fd < 0)
            return;
        written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
        ::close(fd);
    });
    const QImage image = QCoro::waitFor(ThumbnailImage::load(pipe, QSize(64, 36)));
    QVERIFY(written);
    QVERIFY(!image.isNull());
}

void TestThumbnail::cacheForPaintedRows() {
    StateFixture f;
    f.boot();
    QTemporaryDir dir;
    answerThumbnails(f, picture(dir, QStringLiteral("i.png"), QSize(64, 36), "PNG"));
    ThumbnailCache cache(&f.model->libraryPart(), QSize(64, 36));
    QSignalSpy loaded(&cache, &ThumbnailCache::loaded);
    QVERIFY(cache.image(QString(), QString(), QString()).isNull()); // nothing to ask for
    QVERIFY(cache.image(QStringLiteral("https://example.com/i.png"), QString(), QString()).isNull());
    QVERIFY(cache.image(QStringLiteral("https://example.com/i.png"), QString(), QString()).isNull());
    QVERIFY(loaded.wait(10000));
    QVERIFY(!cache.image(QStringLiteral("https://example.com/i.png"), QString(), QString()).isNull());
    QCOMPARE(f.requestsOf(QStringLiteral("thumbnail.resolve")).size(), 1);
}

QTEST_MAIN(TestThumbnail)
#include "tst_thumbnail.moc"
