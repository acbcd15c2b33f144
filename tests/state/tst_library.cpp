// Library paging: the whole library page after page, one page in flight, a failed page ends the paging.
#include "StateFixture.h"

#include "Strings.h"

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
        QTRY_COMPARE(f.model->library().size(), size_t(300));
        QTest::qWait(50);
        QCOMPARE(offsets(f), QList<qint64>({0, 120, 240}));
        QVERIFY(!f.model->libraryHasMore());
        QCOMPARE(f.model->libraryTotal(), 300);
        QCOMPARE(f.model->library()[299].path, QString("/m/299"));
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
        QTRY_VERIFY(!f.model->libraryHasMore());
        QStringList paths;
        for (const LibraryItem& i : f.model->library())
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
        QCOMPARE(f.model->library().size(), size_t(120));
        QVERIFY(f.model->libraryHasMore());
        QCOMPARE(StateFixture::errorLines(f.model->log()), QStringList{"index locked"});
        // The pane asks again when its last row shows.
        f.script("library.list", page(120, 10, false, 130));
        QVERIFY(QCoro::waitFor(f.model->loadMoreLibrary()));
        QCOMPARE(f.model->library().size(), size_t(130));
        QVERIFY(!f.model->libraryHasMore());
    }

    // Callers while a page is in flight await it: one request at a time, each offset asked once.
    void onePageInFlight() {
        StateFixture f;
        f.startEngine();
        f.script("library.list", page(0, 0, false, 0));
        f.boot();
        f.control("test.hold", {{"method", "library.list"}});
        auto reload = f.model->reloadLibrary();
        QVERIFY(f.waitForRequests("library.list", 2));
        auto first = f.model->loadMoreLibrary();
        auto second = f.model->loadMoreLibrary();
        QTest::qWait(100);
        QCOMPARE(f.requestsOf("library.list").size(), 2);
        f.script("library.list", page(0, 120, true, 360));
        f.script("library.list", page(120, 120, true, 360));
        f.script("library.list", page(240, 120, false, 360));
        f.control("test.release", {{"method", "library.list"}});
        QCoro::waitFor(std::move(reload));
        QVERIFY(QCoro::waitFor(std::move(first)));
        QVERIFY(QCoro::waitFor(std::move(second)));
        QTRY_COMPARE(f.model->library().size(), size_t(360));
        QTest::qWait(50);
        QCOMPARE(offsets(f), QList<qint64>({0, 0, 120, 240}));
    }

    // A page asked for before a reload belongs to the old list: it is dropped, and the reload starts at 0.
    void aPageOfAnEarlierReloadIsDropped() {
        StateFixture f;
        f.startEngine();
        f.script("library.list", page(0, 0, false, 0));
        f.boot();
        f.control("test.hold", {{"method", "library.list"}});
        auto older = f.model->reloadLibrary();
        QVERIFY(f.waitForRequests("library.list", 2));
        auto newer = f.model->reloadLibrary(); // e.g. a download has just finished
        QTest::qWait(50);
        QCOMPARE(f.requestsOf("library.list").size(), 2);
        f.script("library.list", page(0, 1, false, 1, "/old/"));
        f.script("library.list", page(0, 2, false, 2, "/new/"));
        f.control("test.release", {{"method", "library.list"}});
        QCoro::waitFor(std::move(older));
        QCoro::waitFor(std::move(newer));
        QTRY_COMPARE(f.model->library().size(), size_t(2));
        QCOMPARE(f.model->library()[0].path, QString("/new/0"));
        QCOMPARE(offsets(f), QList<qint64>({0, 0, 0}));
    }
};

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
