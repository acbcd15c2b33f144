// The ffmpeg frame source on generated files: one picture per time asked, in order, never taller than
// asked and never enlarged; a file of sound alone gives only failures; a new request drops the run
// before it.
#include "MediaFiles.h"
#include "clips/FfmpegFrameSource.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestFrameSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void picturesOfAVideo_data();
    void picturesOfAVideo();
    void soundAloneOnlyFails();
    void aNewRequestDropsTheOldRun();

private:
    QTemporaryDir m_dir;
    QString m_video;
    QString m_audio;
};

void TestFrameSource::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_video = MediaFiles::video(QDir(m_dir.path()), QStringLiteral("three.mp4"), 3);
    m_audio = MediaFiles::audio(QDir(m_dir.path()), QStringLiteral("tone.m4a"), 2);
    QVERIFY(!m_video.isEmpty());
    QVERIFY(!m_audio.isEmpty());
}

void TestFrameSource::picturesOfAVideo_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("maxHeight");
    QTest::addColumn<QSize>("size");
    // The film is 320×240: scaled down to the height asked, kept when it is smaller.
    QTest::newRow("four, 104 high") << 4 << 104 << QSize(138, 104);
    QTest::newRow("one") << 1 << 104 << QSize(138, 104);
    QTest::newRow("never enlarged") << 2 << 400 << QSize(320, 240);
}

void TestFrameSource::picturesOfAVideo() {
    QFETCH(int, count);
    QFETCH(int, maxHeight);
    QFETCH(QSize, size);
    FfmpegFrameSource source;
    QSignalSpy ready(&source, &FrameSource::frameReady);
    QSignalSpy failed(&source, &FrameSource::frameFailed);
    QSignalSpy finished(&source, &FrameSource::finished);
    QList<double> times;
    for (int i = 0; i < count; ++i)
        times << 3000.0 / count * (i + 0.5);
    const int run = source.request(m_video, times, maxHeight);
    // Nothing is taken on the caller's thread: the answers come later.
    QCOMPARE(ready.size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1, 30000);
    QCOMPARE(finished.first().first().toInt(), run);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(ready.size(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(ready[i][0].toInt(), run);
        QCOMPARE(ready[i][1].toInt(), i);
        const QImage image = ready[i][2].value<QImage>();
        QCOMPARE(image.size(), size);
    }
}

void TestFrameSource::soundAloneOnlyFails() {
    FfmpegFrameSource source;
    QSignalSpy ready(&source, &FrameSource::frameReady);
    QSignalSpy failed(&source, &FrameSource::frameFailed);
    QSignalSpy finished(&source, &FrameSource::finished);
    source.request(m_audio, {500, 1500}, 104);
    QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1, 30000);
    QCOMPARE(ready.size(), 0);
    QCOMPARE(failed.size(), 2);
    QCOMPARE(failed[0][1].toInt(), 0);
    QCOMPARE(failed[1][1].toInt(), 1);
}

void TestFrameSource::aNewRequestDropsTheOldRun() {
    FfmpegFrameSource source;
    QSignalSpy ready(&source, &FrameSource::frameReady);
    QSignalSpy finished(&source, &FrameSource::finished);
    const int first = source.request(m_video, {100, 600, 1100, 1600, 2100, 2600}, 104);
    const int second = source.request(m_video, {1500}, 104);
    QVERIFY(second != first);
    QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1, 30000);
    // Only the second run ever answers: the first neither finishes nor hands over a picture.
    QCOMPARE(finished.first().first().toInt(), second);
    QCOMPARE(ready.size(), 1);
    QCOMPARE(ready.first().first().toInt(), second);
}

QTEST_MAIN(TestFrameSource)
#include "tst_framesource.moc"
