// Members the records compute (display title, identities, installed models, clip modes), their equality
// and hashing, and the encoding of the two records the application sends.

#include "EngineTypes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

class TestRecordsDerived : public QObject {
    Q_OBJECT
private slots:
    void displayTitle_data() {
        QTest::addColumn<QJsonValue>("title");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QJsonValue("Song") << "https://a/x"
                               << "Song";
        QTest::newRow("trimmed") << QJsonValue(" \t Song \n") << "https://a/x"
                                 << "Song";
        QTest::newRow("inner blanks kept") << QJsonValue("A  B") << "u"
                                           << "A  B";
        QTest::newRow("blank") << QJsonValue(" \t\n ") << " https://a/x "
                               << " https://a/x ";
        QTest::newRow("empty") << QJsonValue("") << "https://a/y"
                               << "https://a/y";
        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << "https://a/z"
                                << "https://a/z";
        QTest::newRow("null") << QJsonValue(QJsonValue::Null) << "https://a/n"
                              << "https://a/n";
    }
    void displayTitle() {
        QFETCH(QJsonValue, title);
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QJsonObject o{{"url", url},
                      {"availableQualities", QJsonArray{}},
                      {"probed", false},
                      {"isListing", false},
                      {"listingKind", ""}};
        if (!title.isUndefined())
            o.insert("title", title);
        QCOMPARE(decodeJson<Analysis>(o).displayTitle(), expected);
    }

    void searchHitIdentity_data() {
        QTest::addColumn<QString>("mediaPath");
        QTest::addColumn<qint64>("startMs");
        QTest::addColumn<QString>("id");
        QTest::newRow("example") << "/a/b.mp4" << qint64(1500) << "/a/b.mp4#1500";
        QTest::newRow("zero") << "/a/b.mp4" << qint64(0) << "/a/b.mp4#0";
        QTest::newRow("negative") << "x" << qint64(-20) << "x#-20";
        QTest::newRow("large, unpadded") << "/m#1" << Q_INT64_C(9007199254740993) << "/m#1#9007199254740993";
        QTest::newRow("empty path") << "" << qint64(7) << "#7";
    }
    void searchHitIdentity() {
        QFETCH(QString, mediaPath);
        QFETCH(qint64, startMs);
        QFETCH(QString, id);
        SearchHit hit{mediaPath, "t", "en", startMs, startMs + 10, "e", "/j.json", true};
        QCOMPARE(hit.id(), id);
        SearchHit other = hit;
        other.excerpt = "different";
        other.endMs += 5;
        QCOMPARE(other.id(), id); // same file, same start: same identity
        QVERIFY(other != hit);    // but not the same value
    }

    void installedModels_data() {
        QTest::addColumn<QList<bool>>("flags");
        QTest::addColumn<QStringList>("installed");
        QTest::newRow("none") << QList<bool>{false, false, false} << QStringList{};
        QTest::newRow("all") << QList<bool>{true, true, true} << QStringList{"m0", "m1", "m2"};
        QTest::newRow("some, in order") << QList<bool>{true, false, true} << QStringList{"m0", "m2"};
        QTest::newRow("no models") << QList<bool>{} << QStringList{};
    }
    void installedModels() {
        QFETCH(QList<bool>, flags);
        QFETCH(QStringList, installed);
        ModelsInfo info;
        for (int i = 0; i < flags.size(); ++i)
            info.models.push_back({QStringLiteral("m%1").arg(i), "f", 100 + i, 200 + i, flags[i]});
        QStringList keys;
        for (const WhisperModel& m : info.installed())
            keys << m.key;
        QCOMPARE(keys, installed);
        if (installed.size() == flags.size())
            QCOMPARE(info.installed(), info.models);
    }

    void clipModes() {
        QCOMPARE(allClipModes.size(), size_t(2));
        QCOMPARE(allClipModes[0], ClipMode::precise);
        QCOMPARE(allClipModes[1], ClipMode::fast);
        QCOMPARE(clipModeValue(ClipMode::precise), QString("precise"));
        QCOMPARE(clipModeValue(ClipMode::fast), QString("fast"));
        for (ClipMode m : allClipModes)
            QCOMPARE(clipModeFromValue(clipModeValue(m)), std::optional(m));
        for (const char* bad : {"Precise", "FAST", "", " fast", "fast ", "slow"})
            QCOMPARE(clipModeFromValue(QString::fromLatin1(bad)), std::nullopt);
    }

    void identities() {
        QCOMPARE((ResolvedEntry{"https://v/1", "t", "", "", "", 0, ""}.id()), QString("https://v/1"));
        QCOMPARE((LibraryItem{"/l/a.mp4", "t", "u", "video", 0, 0, "", "", "", "", true}.id()),
                 QString("/l/a.mp4"));
        QCOMPARE((WhisperModel{"tiny", "f", 0, 0, false}.id()), QString("tiny"));
        QCOMPARE((Favourite{"https://f/", "t"}.id()), QString("https://f/"));
    }

    // Equality and hashing cover every field: changing any one field gives a different value.
    void equalityCoversEveryField() {
        const ResolvedEntry e{"u", "t", "th", "p", "c", 1.5, "s"};
        QCOMPARE(e, (ResolvedEntry{"u", "t", "th", "p", "c", 1.5, "s"}));
        QCOMPARE(qHash(e), qHash(ResolvedEntry{"u", "t", "th", "p", "c", 1.5, "s"}));
        const QList<ResolvedEntry> entryVariants{
            {"x", "t", "th", "p", "c", 1.5, "s"}, {"u", "x", "th", "p", "c", 1.5, "s"},
            {"u", "t", "x", "p", "c", 1.5, "s"},  {"u", "t", "th", "x", "c", 1.5, "s"},
            {"u", "t", "th", "p", "x", 1.5, "s"}, {"u", "t", "th", "p", "c", 2, "s"},
            {"u", "t", "th", "p", "c", 1.5, "x"}};
        for (const auto& v : entryVariants)
            QVERIFY(v != e);

        const BatchNote n{"in", "queue-full", 3, 4};
        for (const BatchNote& v :
             {BatchNote{"x", "queue-full", 3, 4}, BatchNote{"in", "x", 3, 4},
              BatchNote{"in", "queue-full", std::nullopt, 4}, BatchNote{"in", "queue-full", 0, 4},
              BatchNote{"in", "queue-full", 3, std::nullopt}, BatchNote{"in", "queue-full", 3, 5}})
            QVERIFY(v != n);
        // An absent count differs from a present 0, in the hash too (a set keeps both).
        QSet<BatchNote> notes{BatchNote{"a", "r", std::nullopt, std::nullopt},
                              BatchNote{"a", "r", 0, std::nullopt}, BatchNote{"a", "r", std::nullopt, 0},
                              BatchNote{"a", "r", std::nullopt, std::nullopt}};
        QCOMPARE(notes.size(), 3);

        const ResolvedSection s{"n", "src", 4};
        for (const ResolvedSection& v :
             {ResolvedSection{"x", "src", 4}, ResolvedSection{"n", "x", 4}, ResolvedSection{"n", "src", 5}})
            QVERIFY(v != s);

        const LibraryItem item{"/p", "t", "u", "video", 1.0, 10, "tu", "tp", "c", "pl", true};
        LibraryItem renamed = item;
        renamed.title = "other";
        QVERIFY(renamed != item);
        QCOMPARE(renamed.id(), item.id());
        LibraryItem gone = item;
        gone.exists = false;
        QVERIFY(gone != item);
        QSet<LibraryItem> items{item, renamed, gone, item};
        QCOMPARE(items.size(), 3);

        const WhisperModel m{"k", "f", 1, 2, false};
        for (const WhisperModel& v :
             {WhisperModel{"x", "f", 1, 2, false}, WhisperModel{"k", "x", 1, 2, false},
              WhisperModel{"k", "f", 9, 2, false}, WhisperModel{"k", "f", 1, 9, false},
              WhisperModel{"k", "f", 1, 2, true}})
            QVERIFY(v != m);

        QVERIFY((Favourite{"u", "a"}) != (Favourite{"u", "b"}));
        QSet<Favourite> favs{{"u", "a"}, {"u", "b"}, {"u", "a"}};
        QCOMPARE(favs.size(), 2);
    }

    void emptyAllowedOptions() {
        const AllowedOptions& none = AllowedOptions::empty();
        QCOMPARE(none.container, QString("MP4"));
        for (const QStringList* list :
             {&none.qualities, &none.allQualities, &none.containers, &none.allContainers, &none.videoCodecs,
              &none.allVideoCodecs, &none.subtitleModes, &none.allSubtitleModes, &none.cookieSources,
              &none.allCookieSources})
            QVERIFY(list->isEmpty());
        QCOMPARE(&AllowedOptions::empty(), &none); // built once
    }

    void downloadRequestWritesAllSixteenKeys_data() {
        QTest::addColumn<DownloadRequest>("request");
        QTest::newRow("empty strings and false flags") << DownloadRequest{};
        QTest::newRow("filled") << DownloadRequest{"https://v/1", "720p",   "MKV",  true,  "AV1", "both",
                                                   true,          true,     "/out", true,  true,  "JOB-1",
                                                   "Fox",         "/c.txt", true,   "name"};
    }
    void downloadRequestWritesAllSixteenKeys() {
        QFETCH(DownloadRequest, request);
        const QJsonObject o = request.toJson();
        QStringList keys = o.keys();
        QStringList expected{"url",          "quality",      "container",     "audioOnly",
                             "videoCodec",   "subtitleMode", "saveThumbnail", "embedCover",
                             "outputDir",    "singleVideo",  "allowListing",  "jobId",
                             "cookieSource", "cookiesFile",  "forceGeneric",  "fileName"};
        keys.sort();
        expected.sort();
        QCOMPARE(keys, expected);
        const QStringList strings{"url",       "quality", "container",    "videoCodec",  "subtitleMode",
                                  "outputDir", "jobId",   "cookieSource", "cookiesFile", "fileName"};
        for (const QString& k : strings)
            QVERIFY2(o.value(k).isString(), qPrintable(k));
        for (const QString& k : expected)
            if (!strings.contains(k))
                QVERIFY2(o.value(k).isBool(), qPrintable(k));
        QCOMPARE(o.value("url").toString(), request.url);
        QCOMPARE(o.value("quality").toString(), request.quality);
        QCOMPARE(o.value("container").toString(), request.container);
        QCOMPARE(o.value("audioOnly").toBool(), request.audioOnly);
        QCOMPARE(o.value("videoCodec").toString(), request.videoCodec);
        QCOMPARE(o.value("subtitleMode").toString(), request.subtitleMode);
        QCOMPARE(o.value("saveThumbnail").toBool(), request.saveThumbnail);
        QCOMPARE(o.value("embedCover").toBool(), request.embedCover);
        QCOMPARE(o.value("outputDir").toString(), request.outputDir);
        QCOMPARE(o.value("singleVideo").toBool(), request.singleVideo);
        QCOMPARE(o.value("allowListing").toBool(), request.allowListing);
        QCOMPARE(o.value("jobId").toString(), request.jobId);
        QCOMPARE(o.value("cookieSource").toString(), request.cookieSource);
        QCOMPARE(o.value("cookiesFile").toString(), request.cookiesFile);
        QCOMPARE(o.value("forceGeneric").toBool(), request.forceGeneric);
        QCOMPARE(o.value("fileName").toString(), request.fileName);
    }

    void newDownloadRequestIsASingleVideo() {
        const QJsonObject o = DownloadRequest{}.toJson();
        QCOMPARE(o.value("singleVideo"), QJsonValue(true));
        QCOMPARE(o.value("fileName"), QJsonValue(""));
    }

    // Rows keep their job's id and whole format; a row without them (saved before) writes the nine keys.
    void storedRowWritesItsKeysAndReadsBack_data() {
        QTest::addColumn<StoredRow>("row");
        QTest::addColumn<QStringList>("extraKeys");
        QTest::newRow("empty") << StoredRow{} << QStringList{};
        QTest::newRow("nine keys") << StoredRow{"https://v/1", "T",  "720p", "MP4",   true,
                                                "https://i/1", "PL", "Ch",   "paused"}
                                   << QStringList{};
        QTest::newRow("whole format")
            << StoredRow{"https://v/1", "T",       "720p",  "MP4",  false,   "",   "",
                         "Ch",          "waiting", "1F-2A", "both", "H.265", true, false}
            << QStringList{"embedCover", "id", "saveThumbnail", "subtitleMode", "videoCodec"};
    }
    void storedRowWritesItsKeysAndReadsBack() {
        QFETCH(StoredRow, row);
        QFETCH(QStringList, extraKeys);
        const QJsonObject o = row.toJson();
        QStringList keys = o.keys();
        keys.sort();
        QStringList expected{"audio_only", "channel",   "container", "playlist", "quality",
                             "status",     "thumb_url", "title",     "url"};
        expected += extraKeys;
        expected.sort();
        QCOMPARE(keys, expected);
        QVERIFY(o.value("audio_only").isBool());
        // What the application saves reads back field for field, through a real JSON round trip.
        const QByteArray text = QJsonDocument(o).toJson(QJsonDocument::Compact);
        QCOMPARE(decodeJson<StoredRow>(QJsonDocument::fromJson(text).object()), row);
    }
};

QTEST_GUILESS_MAIN(TestRecordsDerived)
#include "tst_records_derived.moc"
