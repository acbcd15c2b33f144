// The library filter, the existence check, removal (into a trash of the test's own) and reveal.
#include "Composition.h"
#include "Job.h"
#include "LibrarySeed.h"
#include "StateFixture.h"

#include "Library.h"
#include "Prompts.h"
#include "Strings.h"

#include <QDir>
#include <QSignalSpy>

namespace {
QJsonObject item(const QString& path, const QString& title, const QString& channel = "",
                 const QString& playlist = "", const QString& kind = "video") {
    return {{"path", path},         {"title", title},  {"url", "http://x" + path},
            {"kind", kind},         {"addedAt", 1.0},  {"sizeBytes", 10},
            {"thumbURL", ""},       {"thumbPath", ""}, {"channel", channel},
            {"playlist", playlist}, {"exists", true}};
}
QJsonObject onePage(const QJsonArray& items, bool hasMore = false, qint64 offset = 0) {
    return {
        {"result",
         QJsonObject{{"items", items}, {"total", items.size()}, {"offset", offset}, {"hasMore", hasMore}}}};
}
QStringList paths(const std::vector<LibraryItem>& items) {
    QStringList out;
    for (const LibraryItem& i : items)
        out << i.path;
    return out;
}
bool touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("media") == 5;
}
} // namespace

class TestLibraryActions : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void theFilter_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << "" << QStringList{"/m/Alpha.mp4", "/m/beta.mp4", "/lib/c.mp4", "/m/d.mp4"};
        QTest::newRow("blanks only") << " \t\n "
                                     << QStringList{"/m/Alpha.mp4", "/m/beta.mp4", "/lib/c.mp4", "/m/d.mp4"};
        QTest::newRow("title") << "sunrise" << QStringList{"/m/Alpha.mp4"};
        QTest::newRow("path") << "/lib/" << QStringList{"/lib/c.mp4"};
        QTest::newRow("channel in capitals, inside a word") << "ORCHEST" << QStringList{"/m/beta.mp4"};
        QTest::newRow("playlist") << "road trip" << QStringList{"/m/d.mp4"};
        QTest::newRow("trimmed") << "  Sunrise \n" << QStringList{"/m/Alpha.mp4"};
        QTest::newRow("several fields, engine order")
            << "a" << QStringList{"/m/Alpha.mp4", "/m/beta.mp4", "/m/d.mp4"};
        QTest::newRow("no match") << "zzz" << QStringList{};
    }
    void theFilter() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        StateFixture f;
        f.startEngine();
        f.script("library.list",
                 onePage({item("/m/Alpha.mp4", "Sunrise"), item("/m/beta.mp4", "B", "the orchestra"),
                          item("/lib/c.mp4", "C"), item("/m/d.mp4", "D", "", "Road Trip 2")}));
        f.boot();
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(4));
        QSignalSpy changed(&f.model->libraryPart(), &Library::filteredLibraryChanged);
        f.model->libraryPart().setLibrarySearch(filter);
        QCOMPARE(paths(f.model->libraryPart().filteredLibrary()), expected);
        QCOMPARE(changed.size(), filter.trimmed().isEmpty() ? 0 : 1);
        // White space around the same text filters nothing new and says so.
        f.model->libraryPart().setLibrarySearch(filter + "  ");
        QCOMPARE(changed.size(), filter.trimmed().isEmpty() ? 0 : 1);
    }

    // A page that says more follow but holds only thumbnails moves the offset nowhere: paging stops.
    void aPageWithoutMediaEndsThePaging() {
        StateFixture f;
        f.startEngine();
        f.script("library.list", onePage({item("/t.jpg", "t", "", "", "thumbnail")}, true));
        f.boot();
        // a later request: the paging had its chance
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QCOMPARE(f.requestsOf("library.list").size(), 1);
        QVERIFY(!f.model->libraryPart().libraryHasMore());
        QCOMPARE(f.model->libraryPart().library().size(), size_t(1));
        QVERIFY(QCoro::waitFor(f.model->libraryPart().loadMoreLibrary()));
        QCOMPARE(f.requestsOf("library.list").size(), 1);
    }

    void stillThere_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<bool>("there");
        QTest::newRow("empty path") << "empty" << false;
        QTest::newRow("missing file") << "missing" << false;
        QTest::newRow("present file") << "present" << true;
        QTest::newRow("present folder") << "folder" << true;
    }
    void stillThere() {
        QFETCH(QString, which);
        QFETCH(bool, there);
        StateFixture f;
        f.boot();
        const QString present = f.path("media/here.mp4");
        QVERIFY(touch(present));
        const QString path = which == "empty"     ? QString()
                             : which == "missing" ? f.path("media/gone.mp4")
                             : which == "folder"  ? f.path("media")
                                                  : present;
        const qsizetype lists = f.requestsOf("library.list").size();
        QSignalSpy notice(&f.model->promptsPart(), &Prompts::fileMissingNoticeChanged);
        QCOMPARE(f.model->libraryPart().stillThere(path), there);
        QCOMPARE(f.model->promptsPart().fileMissingNotice(), !there);
        QCOMPARE(notice.size(), there ? 0 : 1);
        QCoreApplication::processEvents();
        // sent after any reload the check started
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QCOMPARE(f.requestsOf("library.list").size(), lists + (there ? 0 : 1));
        f.model->promptsPart().setFileMissingNotice(false); // the alert clears it
        QVERIFY(!f.model->promptsPart().fileMissingNotice());
    }

    // The engine forgets the entry, moves the file into the (test's own) trash, and the list and the
    // index status are read again.
    void removingMovesTheFileToTheTrash() {
        StateFixture f;
        const QString kept = f.path("media/kept.mp4");
        const QString gone = f.path("media/gone.mp4");
        QVERIFY(touch(kept));
        QVERIFY(touch(gone));
        QVERIFY(seedLibrary(f.path("support"), QJsonArray{QJsonObject{{"path", kept}, {"title", "Kept"}},
                                                          QJsonObject{{"path", gone}, {"title", "Gone"}}}));
        f.boot();
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(2));
        const qsizetype before = f.requests().size();
        QCoro::waitFor(f.model->libraryPart().removeLibrary({gone}, true));
        const auto after = f.requests().mid(before);
        QStringList methods;
        for (const LoggedRequest& r : after)
            methods << r.method;
        QCOMPARE(methods, QStringList({"library.remove", "library.list", "search.status"}));
        QCOMPARE(after[0].params, QJsonObject({{"paths", QJsonArray{gone}}, {"deleteFiles", true}}));
        QCOMPARE(after[1].params["offset"].toInt(), 0);
        QVERIFY(!QFileInfo::exists(gone));
        QVERIFY(QFileInfo::exists(f.path("data/Trash/files/gone.mp4")));
        QVERIFY(QFileInfo::exists(f.path("data/Trash/info/gone.mp4.trashinfo")));
        QTRY_COMPARE(paths(f.model->libraryPart().library()), QStringList{kept});
        QVERIFY(!f.model->sessionPart().lastError());
    }

    // Only the entry goes; the file stays where it is.
    void removingFromTheListKeepsTheFile() {
        StateFixture f;
        const QString file = f.path("media/a.mp4");
        QVERIFY(touch(file));
        QVERIFY(seedLibrary(f.path("support"), QJsonArray{QJsonObject{{"path", file}, {"title", "A"}}}));
        f.boot();
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(1));
        QCoro::waitFor(f.model->libraryPart().removeLibrary({file}, false));
        QCOMPARE(f.requestsOf("library.remove").last().params,
                 QJsonObject({{"paths", QJsonArray{file}}, {"deleteFiles", false}}));
        QVERIFY(QFileInfo::exists(file));
        QTRY_VERIFY(f.model->libraryPart().library().empty());
    }

    // A failed removal is reported and still followed by the reload and the status refresh.
    void aFailedRemovalStillReloads() {
        StateFixture f;
        f.boot();
        f.scriptError("library.remove", 5, "disk says no");
        const qsizetype before = f.requests().size();
        QCoro::waitFor(f.model->libraryPart().removeLibrary({"/nowhere.mp4"}, true));
        QStringList methods;
        for (const LoggedRequest& r : f.requests().mid(before))
            methods << r.method;
        QCOMPARE(methods, QStringList({"library.remove", "library.list", "search.status"}));
        QVERIFY(f.model->sessionPart().lastError());
        QCOMPARE(f.model->sessionPart().lastError()->message, QString("disk says no"));
    }

    // Reveal hands the engine a path only, after checking the file is there; revealPath checks nothing.
    void revealSendsOnlyPaths() {
        StateFixture f;
        f.boot();
        f.script("library.reveal", {{"result", QJsonObject{}}}, 0); // no file manager in tests
        const QString file = f.path("media/a.mp4");
        QVERIFY(touch(file));
        LibraryItem present;
        present.path = file;
        present.url = "https://example.org/watch";
        f.model->libraryPart().reveal(present);
        QVERIFY(f.waitForRequests("library.reveal", 1));
        QCOMPARE(f.requestsOf("library.reveal")[0].params, QJsonObject({{"path", file}}));

        LibraryItem missing;
        missing.path = f.path("media/none.mp4");
        f.model->libraryPart().reveal(missing);
        QVERIFY(f.model->promptsPart().fileMissingNotice());
        f.model->promptsPart().setFileMissingNotice(false);

        Job job("https://example.org/v", f.model->compositionPart().format(), "v", false);
        f.model->libraryPart().revealJob(job); // no output path yet: nothing at all
        QVERIFY(!f.model->promptsPart().fileMissingNotice());
        job.setOutputPath(file);
        f.model->libraryPart().revealJob(job);
        QVERIFY(f.waitForRequests("library.reveal", 2));

        // not checked: the engine says if it is missing
        f.model->libraryPart().revealPath(f.path("transcripts/t.json"));
        QVERIFY(f.waitForRequests("library.reveal", 3));
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        const auto reveals = f.requestsOf("library.reveal");
        QCOMPARE(reveals.size(), 3);
        QCOMPARE(reveals[1].params, QJsonObject({{"path", file}}));
        QCOMPARE(reveals[2].params, QJsonObject({{"path", f.path("transcripts/t.json")}}));
    }
};

QTEST_GUILESS_MAIN(TestLibraryActions)
#include "tst_libraryactions.moc"
