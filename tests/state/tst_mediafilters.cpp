// The file chooser's media filters, built from the engine's media extensions through the desktop's MIME
// database: a table of extension lists and the groups they give (every audio and video type first, then
// audio, then video; each pattern once; nothing that is neither sound nor pictures), the name filters
// in that order, and the state's filters from the stand-in engine's own list.
#include "StateFixture.h"
#include "Transcriptions.h"

#include "MediaFilters.h"
#include "Strings.h"

#include <QSet>

using MediaFilters::Patterns;

class TestMediaFilters : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void kinds_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<bool>("video");
        QTest::newRow("film") << ".mp4" << false << true;
        QTest::newRow("sound") << ".mp3" << true << false;
        QTest::newRow("without its point, upper case") << "WAV" << true << false;
        QTest::newRow("a video stream, also a translation catalogue") << ".ts" << false << true;
        QTest::newRow("sound or pictures") << ".ogg" << true << true;
        QTest::newRow("subtitles") << ".ass" << false << false;
        QTest::newRow("text") << ".txt" << false << false;
        QTest::newRow("unknown") << ".nosuchextension" << false << false;
        QTest::newRow("a pattern, not a name") << ".mp*" << false << false;
        QTest::newRow("two names") << ".mp3 *.txt" << false << false;
        QTest::newRow("empty") << "" << false << false;
    }
    void kinds() {
        QFETCH(QString, extension);
        QFETCH(bool, audio);
        QFETCH(bool, video);
        QCOMPARE(MediaFilters::kindsOf(extension), (MediaFilters::Kinds{audio, video}));
        QCOMPARE(MediaFilters::typeOf(extension).isEmpty(), !audio && !video);
    }

    void patterns_data() {
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QStringList>("all");
        QTest::addColumn<QStringList>("audio");
        QTest::addColumn<QStringList>("video");
        QTest::newRow("the engine's list")
            << QStringList{".mp4",  ".m4v",  ".mkv", ".webm", ".mov",  ".avi", ".flv",  ".wmv",
                           ".mpg",  ".mpeg", ".ts",  ".3gp",  ".ogv",  ".mp3", ".m4a",  ".aac",
                           ".opus", ".ogg",  ".oga", ".wav",  ".flac", ".wma", ".aiff", ".aif"}
            << QStringList{"*.mp4",  "*.m4v",  "*.mkv", "*.webm", "*.mov",  "*.avi", "*.flv",  "*.wmv",
                           "*.mpg",  "*.mpeg", "*.ts",  "*.3gp",  "*.ogv",  "*.mp3", "*.m4a",  "*.aac",
                           "*.opus", "*.ogg",  "*.oga", "*.wav",  "*.flac", "*.wma", "*.aiff", "*.aif"}
            << QStringList{"*.mp3", "*.m4a",  "*.aac", "*.opus", "*.ogg", "*.oga",
                           "*.wav", "*.flac", "*.wma", "*.aiff", "*.aif"}
            << QStringList{"*.mp4", "*.m4v", "*.mkv",  "*.webm", "*.mov", "*.avi", "*.flv",
                           "*.wmv", "*.mpg", "*.mpeg", "*.ts",   "*.3gp", "*.ogv", "*.ogg"};
        QTest::newRow("each once, whatever its spelling")
            << QStringList{".mp4", ".MP4", "mp4", " .mp3 ", ".mp3"} << QStringList{"*.mp4", "*.mp3"}
            << QStringList{"*.mp3"} << QStringList{"*.mp4"};
        QTest::newRow("neither sound nor pictures left out")
            << QStringList{".srt", ".wav", ".ass", ".txt", ".nosuchextension", ".mkv"}
            << QStringList{"*.wav", "*.mkv"} << QStringList{"*.wav"} << QStringList{"*.mkv"};
        QTest::newRow("sound only") << QStringList{".flac", ".opus"} << QStringList{"*.flac", "*.opus"}
                                    << QStringList{"*.flac", "*.opus"} << QStringList{};
        QTest::newRow("nothing") << QStringList{} << QStringList{} << QStringList{} << QStringList{};
    }
    void patterns() {
        QFETCH(QStringList, extensions);
        QFETCH(QStringList, all);
        QFETCH(QStringList, audio);
        QFETCH(QStringList, video);
        const Patterns got = MediaFilters::patterns(extensions);
        QCOMPARE(got.all, all);
        QCOMPARE(got.audio, audio);
        QCOMPARE(got.video, video);
        for (const QStringList& group : {got.all, got.audio, got.video})
            QCOMPARE(QSet<QString>(group.begin(), group.end()).size(), group.size());
    }

    void nameFilters_data() {
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QStringList>("filters");
        QTest::newRow("both kinds") << QStringList{".mp4", ".mp3", ".mkv", ".wav"}
                                    << QStringList{"Media (*.mp4 *.mp3 *.mkv *.wav)", "Sound (*.mp3 *.wav)",
                                                   "Film (*.mp4 *.mkv)"};
        QTest::newRow("no video: no video filter")
            << QStringList{".mp3"} << QStringList{"Media (*.mp3)", "Sound (*.mp3)"};
        QTest::newRow("nothing: any file") << QStringList{".txt"} << QStringList{};
    }
    void nameFilters() {
        QFETCH(QStringList, extensions);
        QFETCH(QStringList, filters);
        QCOMPARE(MediaFilters::nameFilters(MediaFilters::patterns(extensions), "Media", "Sound", "Film"),
                 filters);
    }

    // What the state hands the file chooser, from the stand-in engine's own list.
    void stateFiltersFromTheEngine() {
        StateFixture f;
        QVERIFY(
            f.model->transcriptionsPart().mediaFileFilters().isEmpty()); // any file before the engine said
        f.boot();
        const QStringList filters = f.model->transcriptionsPart().mediaFileFilters();
        QCOMPARE(filters.size(), 3);
        QVERIFY(filters[0].startsWith(Strings::text("filter_media_files") + " ("));
        QVERIFY(filters[1].startsWith(Strings::text("filter_audio_files") + " ("));
        QVERIFY(filters[2].startsWith(Strings::text("filter_video_files") + " ("));
        for (const char* pattern : {"*.mp4", "*.mp3", "*.wav"})
            QVERIFY2(filters[0].contains(pattern), qPrintable(filters[0]));
        QVERIFY(filters[1].contains("*.mp3") && filters[1].contains("*.wav") &&
                !filters[1].contains("*.mp4"));
        QVERIFY(filters[2].contains("*.mp4") && !filters[2].contains("*.mp3"));
        for (const QString& filter : filters)
            QVERIFY2(!filter.contains("*.ass") && !filter.contains("*.srt"), qPrintable(filter));
        // The types, once each, sound or pictures only.
        const QStringList types = f.model->transcriptionsPart().mediaContentTypes();
        QCOMPARE(QSet<QString>(types.begin(), types.end()).size(), types.size());
        for (const QString& type : types)
            QVERIFY2(type.startsWith("audio/") || type.startsWith("video/"), qPrintable(type));
        QVERIFY(types.contains("video/mp2t"));
    }
};

QTEST_GUILESS_MAIN(TestMediaFilters)
#include "tst_mediafilters.moc"
