// Transcript search while typing (debounced on the fake clock), stale and failed answers, the index
// status against real subtitle files, and thumbnails asked for once.
#include "LibrarySeed.h"
#include "StateFixture.h"

#include "Library.h"
#include "Strings.h"

#include <QDir>
#include <QSignalSpy>

namespace {
QJsonObject hit(const QString& media, qint64 start) {
    return {{"mediaPath", media},    {"title", "T"},       {"language", "en"},           {"startMs", start},
            {"endMs", start + 1000}, {"excerpt", "a ‹b›"}, {"jsonPath", media + ".srt"}, {"exists", true}};
}
QJsonObject results(const QString& query, const QJsonArray& hits) {
    return {{"result", QJsonObject{{"query", query}, {"hits", hits}}}};
}
QStringList queries(const StateFixture& f) {
    QStringList out;
    for (const LoggedRequest& r : f.requestsOf("search.query"))
        out << r.params["text"].toString();
    return out;
}
// Shows hits for "ab" so that a test can see them cleared or kept.
void showHits(StateFixture& f) {
    f.script("search.query", results("ab", {hit("/m/a.mp4", 1000)}));
    f.model->libraryPart().setLibrarySearch("ab");
    QCoro::waitFor(f.model->libraryPart().runSearch());
    QCOMPARE(f.model->libraryPart().searchHits().size(), size_t(1));
}
bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    // Too short to search: the hits go at once and nothing is sent.
    void aShortTextClearsTheHits_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("one letter") << "a";
        QTest::newRow("one grapheme of two code points") << QString::fromUtf8("e\u0301");
        QTest::newRow("one letter in blanks") << " x\n";
        QTest::newRow("blanks") << "   ";
        QTest::newRow("empty") << "";
    }
    void aShortTextClearsTheHits() {
        QFETCH(QString, text);
        StateFixture f;
        f.boot();
        showHits(f);
        f.model->libraryPart().setLibrarySearch(text);
        f.model->libraryPart().scheduleSearch();
        QVERIFY(f.model->libraryPart().searchHits().empty());
        QVERIFY(!f.model->libraryPart().isSearching());
        f.fakes.clock.advance(1000);
        QCoreApplication::processEvents();
        // any search would have been sent before this
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QCOMPARE(queries(f), QStringList{"ab"});
        // runSearch itself refuses the text too.
        QCoro::waitFor(f.model->libraryPart().runSearch());
        QCOMPARE(queries(f), QStringList{"ab"});
    }

    // Typing in a burst sends one search, for the last text, once it rested for the debounce time.
    void aBurstOfTypingSendsOneSearch() {
        StateFixture f;
        f.boot();
        f.script("search.query", results("abc", {hit("/m/a.mp4", 0), hit("/m/b.mp4", 5000)}));
        for (const QString& text : {"a", "ab", "abc"}) {
            f.model->libraryPart().setLibrarySearch(text);
            f.model->libraryPart().scheduleSearch();
            f.fakes.clock.advance(Library::searchDebounceMs - 1);
        }
        QCoreApplication::processEvents();
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QVERIFY(queries(f).isEmpty());
        f.fakes.clock.advance(1);
        QTRY_COMPARE(f.model->libraryPart().searchHits().size(), size_t(2));
        QVERIFY(!f.model->libraryPart().isSearching());
        f.fakes.clock.advance(5000);
        QCoreApplication::processEvents();
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QCOMPARE(queries(f), QStringList{"abc"});
    }

    // A text cleared during the debounce sends nothing.
    void clearingDuringTheDebounceCancelsTheSearch() {
        StateFixture f;
        f.boot();
        f.model->libraryPart().setLibrarySearch("abc");
        f.model->libraryPart().scheduleSearch();
        f.fakes.clock.advance(100);
        f.model->libraryPart().setLibrarySearch("");
        f.model->libraryPart().scheduleSearch();
        f.fakes.clock.advance(1000);
        QCoreApplication::processEvents();
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QVERIFY(queries(f).isEmpty());
    }

    // The answer for a text the user has typed past is dropped; the flag still comes down.
    void anAnswerForAnOlderTextIsDropped() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "search.query"}});
        f.model->libraryPart().setLibrarySearch("ab");
        QSignalSpy searching(&f.model->libraryPart(), &Library::isSearchingChanged);
        auto search = f.model->libraryPart().runSearch();
        QVERIFY(f.waitForRequests("search.query", 1));
        QVERIFY(f.model->libraryPart().isSearching());
        f.model->libraryPart().setLibrarySearch("abc");
        f.script("search.query", results("ab", {hit("/m/a.mp4", 0)}));
        f.control("test.release", {{"method", "search.query"}});
        QCoro::waitFor(std::move(search));
        QVERIFY(f.model->libraryPart().searchHits().empty());
        QVERIFY(!f.model->libraryPart().isSearching());
        QCOMPARE(searching.size(), 2);
    }

    // A failed search is silent and keeps the hits shown.
    void aFailedSearchKeepsTheHits() {
        StateFixture f;
        f.boot();
        showHits(f);
        f.scriptError("search.query", 3, "index busy");
        QCoro::waitFor(f.model->libraryPart().runSearch());
        QCOMPARE(f.model->libraryPart().searchHits().size(), size_t(1));
        QVERIFY(!f.model->libraryPart().isSearching());
        QVERIFY(!f.model->sessionPart().lastError());
        QVERIFY(StateFixture::errorLines(f.model->sessionPart().log()).isEmpty());
    }

    // Against the real engine: subtitles saved beside a downloaded video are indexed and found, with the
    // time range of their cue.
    void aWordOfASubtitleBesideAVideoIsFound() {
        StateFixture f;
        const QString video = f.path("media/Harbour talk.mp4");
        QVERIFY(writeFile(video, "not really a video"));
        QVERIFY(writeFile(f.path("media/Harbour talk.en.srt"),
                          "1\n00:00:01,500 --> 00:00:04,250\nThe lighthouse keeper waved\n\n"
                          "2\n00:01:00,000 --> 00:01:02,000\nnothing else here\n"));
        QVERIFY(
            seedLibrary(f.path("support"), QJsonArray{QJsonObject{{"path", video}, {"title", "Harbour"}}}));
        f.boot();
        QVERIFY(f.model->libraryPart().searchStatus());
        QCOMPARE(f.model->libraryPart().transcribedPaths(), QSet<QString>{video});
        QCOMPARE(f.model->libraryPart().searchStatus()->segments, 2);
        f.model->libraryPart().setLibrarySearch("  lighthouse ");
        QCoro::waitFor(f.model->libraryPart().runSearch());
        QCOMPARE(queries(f), QStringList{"lighthouse"});
        QCOMPARE(f.model->libraryPart().searchHits().size(), size_t(1));
        const SearchHit& found = f.model->libraryPart().searchHits()[0];
        QCOMPARE(found.mediaPath, video);
        QCOMPARE(found.startMs, 1500);
        QCOMPARE(found.endMs, 4250);
        QCOMPARE(found.language, QString("en"));
        QVERIFY2(found.excerpt.contains(QString::fromUtf8("\u2039lighthouse\u203a")),
                 qPrintable(found.excerpt));
        QVERIFY(found.exists);
    }

    // A failed status or rebuild is reported and changes nothing; a rebuild always refreshes the status.
    void statusAndRebuild() {
        StateFixture f;
        f.boot();
        const auto status = f.model->libraryPart().searchStatus();
        QVERIFY(status);
        f.scriptError("search.status", 7, "index unreadable");
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QCOMPARE(f.model->libraryPart().searchStatus(), status);
        QCOMPARE(f.model->sessionPart().lastError()->message, QString("index unreadable"));
        f.model->sessionPart().setLastError(std::nullopt);
        f.scriptError("search.reindex", 7, "no room");
        f.script("search.status",
                 {{"result", QJsonObject{{"documents", 1},
                                         {"segments", 4},
                                         {"sizeBytes", 10},
                                         {"transcribed", QJsonArray{"/m/x.mp4", "/m/x.mp4", "/m/y.mp4"}}}}});
        QCoro::waitFor(f.model->libraryPart().reindexSearch());
        QCOMPARE(f.model->sessionPart().lastError()->message, QString("no room"));
        QCOMPARE(f.model->libraryPart().searchStatus()->segments, 4);
        QCOMPARE(f.model->libraryPart().transcribedPaths(), QSet<QString>({"/m/x.mp4", "/m/y.mp4"}));
    }

    // Two callers at once share one request, whatever page each names; the answer is kept.
    void thumbnailCallersShareOneRequest() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "thumbnail.resolve"}});
        auto first = f.model->libraryPart().thumbnailPath("http://img.example/1.jpg", "/m/a.mp4",
                                                          "http://a.example/page");
        auto second = f.model->libraryPart().thumbnailPath("http://img.example/1.jpg", "/m/a.mp4",
                                                           "http://b.example/other");
        QVERIFY(f.waitForRequests("thumbnail.resolve", 1));
        f.script("thumbnail.resolve", {{"result", QJsonObject{{"path", "/cache/1.jpg"}}}});
        f.control("test.release", {{"method", "thumbnail.resolve"}});
        QCOMPARE(QCoro::waitFor(std::move(first)), QString("/cache/1.jpg"));
        QCOMPARE(QCoro::waitFor(std::move(second)), QString("/cache/1.jpg"));
        QCOMPARE(
            QCoro::waitFor(f.model->libraryPart().thumbnailPath("http://img.example/1.jpg", "/m/a.mp4", "")),
            QString("/cache/1.jpg"));
        // Another media file is another thumbnail.
        f.script("thumbnail.resolve", {{"result", QJsonObject{{"path", "/cache/2.jpg"}}}});
        QCOMPARE(
            QCoro::waitFor(f.model->libraryPart().thumbnailPath("http://img.example/1.jpg", "/m/b.mp4", "")),
            QString("/cache/2.jpg"));
        QCOMPARE(f.requestsOf("thumbnail.resolve").size(), 2);
    }

    // A failure is silent, becomes "" and is never asked again.
    void aFailedThumbnailIsCached() {
        StateFixture f;
        f.boot();
        f.scriptError("thumbnail.resolve", 4, "no picture");
        QCOMPARE(QCoro::waitFor(f.model->libraryPart().thumbnailPath("http://img.example/x.jpg", "", "")),
                 QString());
        QCOMPARE(QCoro::waitFor(f.model->libraryPart().thumbnailPath("http://img.example/x.jpg", "", "")),
                 QString());
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QCOMPARE(f.requestsOf("thumbnail.resolve").size(), 1);
        QVERIFY(!f.model->sessionPart().lastError());
    }

    // The page's cookies travel with the request, and the request says which page it came from.
    void thePageCookiesAreSent() {
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"cookieSource", "Built-in Browser"}, {"cookiesFile", "/home/me/cookies.txt"}});
        f.boot();
        f.fakes.browserCookies.filesByHost["pages.example"] = "/run/vamber/pages.example.txt";
        f.script("thumbnail.resolve", {{"result", QJsonObject{{"path", "/cache/p.jpg"}}}});
        QCOMPARE(QCoro::waitFor(f.model->libraryPart().thumbnailPath("http://img.example/p.jpg", "/m/p.mp4",
                                                                     "https://Pages.example/watch?v=1")),
                 QString("/cache/p.jpg"));
        QCOMPARE(f.requestsOf("thumbnail.resolve")[0].params,
                 QJsonObject({{"url", "http://img.example/p.jpg"},
                              {"mediaPath", "/m/p.mp4"},
                              {"cookieSource", "None"},
                              {"cookiesFile", "/run/vamber/pages.example.txt"},
                              {"pageUrl", "https://Pages.example/watch?v=1"}}));
    }

    // The state object goes away while its cookies are being written: no request, no crash, and the
    // callers get "".
    void theStateGoneDuringARequest() {
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"cookieSource", "Built-in Browser"}});
        f.boot();
        f.fakes.browserCookies.holdExports = true;
        auto first =
            f.model->libraryPart().thumbnailPath("http://img.example/g.jpg", "", "https://pages.example/");
        auto second =
            f.model->libraryPart().thumbnailPath("http://img.example/g.jpg", "", "https://pages.example/");
        QTRY_COMPARE(f.fakes.browserCookies.exportedFor.size(), 1);
        QCoro::waitFor(f.model->engine().stop());
        f.model.reset();
        f.fakes.browserCookies.release();
        QCOMPARE(QCoro::waitFor(std::move(first)), QString());
        QCOMPARE(QCoro::waitFor(std::move(second)), QString());
        QCOMPARE(f.fakes.browserCookies.finishedExports, 1);
        QVERIFY(f.requestsOf("thumbnail.resolve").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
