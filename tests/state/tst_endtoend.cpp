// The whole road with the real engine and a local web server: analyse a page, download its video,
// follow the job through its states to the file on disk and the library.
#include "Composition.h"
#include "DownloadQueue.h"
#include "MediaServerProcess.h"
#include "StateFixture.h"

#include "Library.h"
#include "Strings.h"

#include <QFileInfo>

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void analyseDownloadAndFindInLibrary() {
        MediaServerProcess server;
        QVERIFY(server.start());
        const QString page = server.page;
        const qint64 size = server.size;

        StateFixture f;
        const QString out = f.path("out");
        f.startEngine();
        f.control("settings.set", {{"values", QJsonObject{{"outputDir", out}}}});
        f.boot();
        QCOMPARE(f.model->sessionPart().settings()->outputDir, out);

        f.model->compositionPart().setPastedText(page);
        QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
        QVERIFY(f.model->compositionPart().freshAnalysis());
        QCOMPARE(f.model->compositionPart().freshAnalysis()->displayTitle(), QString("A talk about testing"));

        const auto job = f.enqueue(std::nullopt);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("A talk about testing"));
        QList<int> states;
        QObject::connect(job.get(), &Job::changed, job.get(), [&] {
            if (states.isEmpty() || states.last() != job->state().kind)
                states << job->state().kind;
        });
        QTRY_VERIFY_WITH_TIMEOUT(job->state().isFinished(), 60000);
        QCOMPARE(int(job->state().kind), int(Job::State::Done));
        QVERIFY(states.contains(Job::State::Downloading));
        QCOMPARE(states.last(), int(Job::State::Done));
        QVERIFY(states.indexOf(Job::State::Downloading) < states.indexOf(Job::State::Done));

        const QString path = job->outputPath().value_or("");
        QCOMPARE(QFileInfo(path).absolutePath(), out);
        QCOMPARE(QFileInfo(path).size(), size);
        QCOMPARE(job->fraction(), 1.0);
        QTRY_VERIFY(std::any_of(f.model->libraryPart().library().begin(),
                                f.model->libraryPart().library().end(),
                                [&](const LibraryItem& i) { return i.path == path; }));
        QVERIFY(!f.model->sessionPart().lastError());
        QVERIFY(server.finish());
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
