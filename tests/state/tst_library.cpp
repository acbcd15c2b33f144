// Library paging: the whole library page after page, one page in flight, a failed page ends the paging,
// reloads keep what is shown and coalesce.
#include "DownloadQueue.h"
#include "LibrarySeed.h"
#include "StateFixture.h"

#include "Library.h"
#include "Strings.h"

#include <algorithm>
#include <climits>

namespace {
QJsonObject item(const QString& path, const QString& kind = "video") {
    return {{"path", path},   {"title", path},   {"url", "http://x" + path},
            {"kind", kind},   {"addedAt", 1.0},  {"sizeBytes", 10},
            {"thumbURL", ""}, {"thumbPath", ""}, {"channel", ""},
            {"playlist", ""}, {"exists", true}};
}
QJsonObject page(qint64 offset, int count, bool hasMore, qint64 total, const QString& prefix = "/m/") {
    QJsonArray items;
    for (int i = 0; i < count; ++i)
        items.append(item(prefix + QString::number(offset + i)));
    return {{"result",
             QJsonObject{{"items", items}, {"total", total}, {"offset", offset}, {"hasMore", hasMore}}}};
}
QList<qint64> offsets(const StateFixture& f) {
    QList<qint64> out;
    for (const LoggedRequest& r : f.requestsOf("library.list")) {
        out << r.params["offset"].toInteger();
        if (r.params["limit"].toInt() != 120)
            out << -1;
    }
    return out;
}
} // namespace

class TestLibrary : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void aReloadPagesInTheWholeLibrary() {
        StateFixture f;
        f.startEngine();
        f.script("library.list", page(0, 120, true, 300));
        f.script("library.list", page(120, 120, true, 300));
        f.script("library.list", page(240, 60, false, 300));
        f.boot();
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(300));
        QTest::qWait(50);
        QCOMPARE(offsets(f), QList<qint64>({0, 120, 240}));
        QVERIFY(!f.model->libraryPart().libraryHasMore());
        QCOMPARE(f.model->libraryPart().libraryTotal(), 300);
        QCOMPARE(f.model->libraryPart().library()[299].path, QString("/m/299"));
    }

    // Thumbnails travel with a page but do not move the offset; paths already listed are not repeated.
    void thumbnailsAndRepeatsOnAPage() {
        StateFixture f;
        f.startEngine();
        QJsonObject first = page(0, 2, true, 3);
        QJsonObject r = first["result"].toObject();
        QJsonArray items = r["items"].toArray();
        items.append(item("/thumb.jpg", "thumbnail"));
        r["items"] = items;
        first["result"] = r;
        f.script("library.list", first);
        f.script("library.list", {{"result", QJsonObject{{"items", QJsonArray{item("/m/1"), item("/m/2")}},
                                                         {"total", 3},
                                                         {"offset", 1},
                                                         {"hasMore", false}}}});
        f.boot();
        QTRY_COMPARE(offsets(f), QList<qint64>({0, 2}));
        QTRY_VERIFY(!f.model->libraryPart().libraryHasMore());
        QStringList paths;
        for (const LibraryItem& i : f.model->libraryPart().library())
            paths << i.path;
        QCOMPARE(paths, QStringList({"/m/0", "/m/1", "/thumb.jpg", "/m/2"}));
    }

    // A failed page stops the paging; no request is repeated by itself.
    void aFailedPageEndsThePaging() {
        StateFixture f;
        f.startEngine();
        f.script("library.list", page(0, 120, true, 300));
        f.script("library.list", {{"error", QJsonObject{{"code", 9}, {"message", "index locked"}}}});
        f.boot();
        QVERIFY(f.waitForRequests("library.list", 2));
        QTest::qWait(300);
        QCOMPARE(offsets(f), QList<qint64>({0, 120}));
        QCOMPARE(f.model->libraryPart().library().size(), size_t(120));
        QVERIFY(f.model->libraryPart().libraryHasMore());
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{"index locked"});
        // The pane asks again when its last row shows.
        f.script("library.list", page(120, 10, false, 130));
        QVERIFY(QCoro::waitFor(f.model->libraryPart().loadMoreLibrary()));
        QCOMPARE(f.model->libraryPart().library().size(), size_t(130));
        QVERIFY(!f.model->libraryPart().libraryHasMore());
    }

    // Callers while a page is in flight ask nothing: one request at a time, each offset asked once.
    void onePageInFlight() {
        StateFixture f;
        f.startEngine();
        f.script("library.list", page(0, 0, false, 0));
        f.boot();
        f.control("test.hold", {{"method", "library.list"}});
        auto reload = f.model->libraryPart().reloadLibrary();
        QVERIFY(f.waitForRequests("library.list", 2));
        auto first = f.model->libraryPart().loadMoreLibrary();
        auto second = f.model->libraryPart().loadMoreLibrary();
        QTest::qWait(100);
        QCOMPARE(f.requestsOf("library.list").size(), 2);
        f.script("library.list", page(0, 120, true, 360));
        f.script("library.list", page(120, 120, true, 360));
        f.script("library.list", page(240, 120, false, 360));
        f.control("test.release", {{"method", "library.list"}});
        QCoro::waitFor(std::move(reload));
        QVERIFY(QCoro::waitFor(std::move(first)));
        QVERIFY(QCoro::waitFor(std::move(second)));
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(360));
        QTest::qWait(50);
        QCOMPARE(offsets(f), QList<qint64>({0, 0, 120, 240}));
    }

    // A reload asked while one reads is read after it, from offset 0: the newer list is the one that stays.
    void aReloadAskedWhileOneReadsFollowsIt() {
        StateFixture f;
        f.startEngine();
        f.script("library.list", page(0, 0, false, 0));
        f.boot();
        f.control("test.hold", {{"method", "library.list"}});
        auto older = f.model->libraryPart().reloadLibrary();
        QVERIFY(f.waitForRequests("library.list", 2));
        auto newer = f.model->libraryPart().reloadLibrary(); // e.g. a download has just finished
        QTest::qWait(50);
        QCOMPARE(f.requestsOf("library.list").size(), 2);
        f.script("library.list", page(0, 1, false, 1, "/old/"));
        f.script("library.list", page(0, 2, false, 2, "/new/"));
        f.control("test.release", {{"method", "library.list"}});
        QCoro::waitFor(std::move(older));
        QCoro::waitFor(std::move(newer));
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(2));
        QCOMPARE(f.model->libraryPart().library()[0].path, QString("/new/0"));
        QCOMPARE(offsets(f), QList<qint64>({0, 0, 0}));
    }

    // Ten downloads finish close together over a library of 1,000 items that the engine has meanwhile
    // grown by ten: what is shown never gets shorter, the burst costs at most two whole reads (one begun by
    // the first download, one more for all the others), and the list ends complete, newest first.
    void finishingDownloadsKeepTheLibraryWhole() {
        StateFixture f;
        auto seed = [&](const QString& prefix, int count, double newest) {
            QJsonArray items;
            for (int i = 0; i < count; ++i)
                items.append(QJsonObject{{"path", prefix + QString::number(i)}, {"addedAt", newest - i}});
            return seedLibrary(f.path("support"), items);
        };
        QVERIFY(seed("/lib/", 1000, 1000));
        f.boot();
        QTRY_VERIFY(f.model->libraryPart().library().size() == 1000 &&
                    !f.model->libraryPart().libraryHasMore() && !f.model->libraryPart().libraryLoading());
        const int wholeRead = int(f.requestsOf("library.list").size());
        QCOMPARE(wholeRead, 9); // 120 a page

        std::size_t shortest = SIZE_MAX;
        auto look = [&] { shortest = std::min(shortest, f.model->libraryPart().library().size()); };
        QObject::connect(&f.model->libraryPart(), &Library::libraryChanged, f.model.get(), look);
        QObject::connect(&f.model->libraryPart(), &Library::filteredLibraryChanged, f.model.get(), look);
        f.control("test.hold", {{"method", "download.start"}});
        f.scriptDownloads(
            {{"result", QJsonObject{{"jobId", "x"}, {"path", "/new/x.mp4"}, {"title", "new"}}}});
        std::vector<std::shared_ptr<Job>> jobs;
        for (int i = 0; i < 10; ++i)
            jobs.push_back(f.enqueue(QString("http://127.0.0.1:9/v/%1").arg(i)));
        QVERIFY(f.waitForRequests("download.start", 10));
        QVERIFY(seed("/new/", 10, 2000));
        f.control("test.release", {{"method", "download.start"}});
        QTRY_VERIFY(std::all_of(jobs.begin(), jobs.end(),
                                [](const auto& job) { return job->state().kind == Job::State::Done; }));
        QTRY_VERIFY_WITH_TIMEOUT(f.model->libraryPart().library().size() == 1010 &&
                                     !f.model->libraryPart().libraryHasMore() &&
                                     !f.model->libraryPart().libraryLoading(),
                                 20000);
        // A request sent after the paging ended has been answered: no page was still to come.
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        const int reads = int(f.requestsOf("library.list").size()) - wholeRead;
        QVERIFY2(reads <= 2 * 9, qPrintable(QString("%1 pages read").arg(reads)));
        QVERIFY2(shortest >= 1000, qPrintable(QString("the library was down to %1 items").arg(shortest)));
        QCOMPARE(f.model->libraryPart().library().front().path, QString("/new/0"));
        QCOMPARE(f.model->libraryPart().library().back().path, QString("/lib/999"));
        QCOMPARE(f.model->libraryPart().libraryTotal(), 1010);
    }
};

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
