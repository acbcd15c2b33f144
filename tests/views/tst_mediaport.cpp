// The media port over Qt Multimedia on generated files, offscreen and without a sound card: it opens a
// video (playable, its duration), lands an exact seek on the picture asked for, pauses at a boundary in
// time and again at each later crossing, plays a file that ended again from its beginning, keeps its sound
// level and silence, gives up a file it cannot play, and stays silent once closed, also while it is still
// opening.
#include "MediaFiles.h"
#include "clips/QtMediaPort.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

class TestMediaPort : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void opensAVideo();
    void exactSeekLandsOnThePicture_data();
    void exactSeekLandsOnThePicture();
    void stopPausesAtItsMark();
    void playsAgainAfterTheEnd();
    void soundLevelAndSilence();
    void soundAloneHasNoPictures();
    void unreadableFileIsNotPlayable_data();
    void unreadableFileIsNotPlayable();
    void closedWhileOpeningNeverPlays();

private:
    QTemporaryDir m_dir;
    QString m_video;
    QString m_audio;
};

void TestMediaPort::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_video = MediaFiles::video(QDir(m_dir.path()), QStringLiteral("three.mp4"), 3);
    m_audio = MediaFiles::audio(QDir(m_dir.path()), QStringLiteral("tone.m4a"), 2);
    QVERIFY(!m_video.isEmpty());
    QVERIFY(!m_audio.isEmpty());
}

void TestMediaPort::opensAVideo() {
    QtMediaPort port;
    QSignalSpy frames(&port, &MediaPort::frameShown);
    QSignalSpy ticks(&port, &MediaPort::ticked);
    const MediaInfo info = QCoro::waitFor(port.load(m_video));
    QVERIFY(info.playable);
    QVERIFY(info.hasVideo);
    QVERIFY2(qAbs(info.durationMs - 3000) <= 50, qPrintable(QString::number(info.durationMs)));
    QVERIFY(!port.isPlaying());
    // Paused at the start, it shows the first picture and reports its position.
    QTRY_VERIFY(!frames.isEmpty());
    const QImage first = frames.first().first().value<QImage>();
    QCOMPARE(first.size(), QSize(320, 240));
    QTRY_VERIFY(!ticks.isEmpty());
    QCOMPARE(ticks.first().first().toLongLong(), 0);
}

void TestMediaPort::exactSeekLandsOnThePicture_data() {
    QTest::addColumn<qint64>("target");
    QTest::newRow("on a picture") << qint64(1480);
    QTest::newRow("between pictures") << qint64(2010);
    QTest::newRow("near the start") << qint64(120);
}

void TestMediaPort::exactSeekLandsOnThePicture() {
    QFETCH(qint64, target);
    QtMediaPort port;
    QVERIFY(QCoro::waitFor(port.load(m_video)).playable);
    QCoro::waitFor(port.seekAndWait(target));
    QVERIFY(port.lastFrameMs().has_value());
    // One picture lasts 40 ms: the picture shown is the one that covers the time asked for.
    const qint64 landed = *port.lastFrameMs();
    QVERIFY2(landed <= target && target - landed < 40,
             qPrintable(QStringLiteral("asked %1, landed %2").arg(target).arg(landed)));
    QVERIFY(qAbs(port.position() - target) < 40);
}

void TestMediaPort::stopPausesAtItsMark() {
    QtMediaPort port;
    QVERIFY(QCoro::waitFor(port.load(m_video)).playable);
    QCoro::waitFor(port.seekAndWait(500));
    port.setStop(1500);
    QSignalSpy playing(&port, &MediaPort::playingChanged);
    port.play();
    QTRY_VERIFY_WITH_TIMEOUT(playing.size() >= 2, 5000);
    QCOMPARE(playing.at(0).at(0).toBool(), true);
    QCOMPARE(playing.at(1).at(0).toBool(), false);
    const qint64 pausedAt = port.position();
    QVERIFY2(qAbs(pausedAt - 1500) <= 100, qPrintable(QString::number(pausedAt)));

    // The stop stays: played again from before it, playback pauses there once more.
    QCoro::waitFor(port.seekAndWait(1000));
    playing.clear();
    port.play();
    QTRY_VERIFY_WITH_TIMEOUT(playing.size() >= 2, 5000);
    QVERIFY2(qAbs(port.position() - 1500) <= 100, qPrintable(QString::number(port.position())));

    // Resumed at the stop, playback runs on past it to the end of the file.
    playing.clear();
    port.play();
    QTRY_VERIFY_WITH_TIMEOUT(port.position() > 1800, 5000);
    QVERIFY(port.isPlaying());
}

void TestMediaPort::playsAgainAfterTheEnd() {
    QtMediaPort port;
    QVERIFY(QCoro::waitFor(port.load(m_video)).playable);
    QCoro::waitFor(port.seekAndWait(2'500));
    QSignalSpy playing(&port, &MediaPort::playingChanged);
    port.play();
    QTRY_VERIFY_WITH_TIMEOUT(playing.size() >= 2, 5000);
    QCOMPARE(playing.last().first().toBool(), false);
    QVERIFY(!port.isPlaying());
    // Played to its end: play starts it again from the beginning, not from the end.
    QSignalSpy ticks(&port, &MediaPort::ticked);
    port.play();
    QTRY_VERIFY_WITH_TIMEOUT(port.isPlaying(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!ticks.isEmpty() && ticks.last().first().toLongLong() > 0, 5000);
    QVERIFY2(port.position() < 1'500, qPrintable(QString::number(port.position())));
    QVERIFY(port.isPlaying());
    port.pause();
}

void TestMediaPort::soundLevelAndSilence() {
    QtMediaPort port;
    QVERIFY(QCoro::waitFor(port.load(m_audio)).playable);
    QCOMPARE(port.volume(), 1.0);
    QVERIFY(!port.isMuted());
    port.setVolume(0.5);
    QVERIFY(qAbs(port.volume() - 0.5) < 0.001);
    port.setVolume(2.0);
    QVERIFY(qAbs(port.volume() - 1.0) < 0.001);
    port.setVolume(0);
    QCOMPARE(port.volume(), 0.0);
    port.setMuted(true);
    QVERIFY(port.isMuted());
    // Both stay as set while it plays.
    port.play();
    QTRY_VERIFY(port.isPlaying());
    QVERIFY(port.isMuted());
    QCOMPARE(port.volume(), 0.0);
    port.setMuted(false);
    QVERIFY(!port.isMuted());
    port.pause();
}

void TestMediaPort::soundAloneHasNoPictures() {
    QtMediaPort port;
    QSignalSpy frames(&port, &MediaPort::frameShown);
    const MediaInfo info = QCoro::waitFor(port.load(m_audio));
    QVERIFY(info.playable);
    QVERIFY(!info.hasVideo);
    QVERIFY2(qAbs(info.durationMs - 2000) <= 100, qPrintable(QString::number(info.durationMs)));
    // A seek with nothing to show still ends (after its short wait), at the time asked for.
    QCoro::waitFor(port.seekAndWait(900));
    QVERIFY(qAbs(port.position() - 900) <= 50);
    QCOMPARE(frames.size(), 0);
}

void TestMediaPort::unreadableFileIsNotPlayable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing") << "missing.mp4" << QByteArray();
    QTest::newRow("not media") << "notes.mp4" << QByteArray("just some words, not a film\n").repeated(50);
}

void TestMediaPort::unreadableFileIsNotPlayable() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = m_dir.filePath(name);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QtMediaPort port;
    const MediaInfo info = QCoro::waitFor(port.load(path));
    QVERIFY(!info.playable);
}

void TestMediaPort::closedWhileOpeningNeverPlays() {
    QtMediaPort port;
    QSignalSpy playing(&port, &MediaPort::playingChanged);
    auto opening = port.load(m_video);
    port.close();
    // The load ends at once, not playable; nothing plays or reports afterwards.
    const MediaInfo info = QCoro::waitFor(std::move(opening));
    QVERIFY(!info.playable);
    port.play();
    QSignalSpy ticks(&port, &MediaPort::ticked);
    // A later file, opened by another port, proves time enough for a report has passed.
    QtMediaPort other;
    QVERIFY(QCoro::waitFor(other.load(m_video)).playable);
    QSignalSpy otherTicks(&other, &MediaPort::ticked);
    QTRY_VERIFY(otherTicks.size() >= 2);
    QCOMPARE(ticks.size(), 0);
    QCOMPARE(playing.size(), 0);
    QVERIFY(!port.isPlaying());
}

QTEST_MAIN(TestMediaPort)
#include "tst_mediaport.moc"
