// Clips cut by the real engine's ffmpeg out of a video made at test time: success, cancel while ffmpeg
// runs, failure, and a second extraction replacing the first.
#include "Clips.h"
#include "StateFixture.h"

#include "Strings.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>

namespace {
// Thirty seconds of picture and sound, so that a precise cut runs long enough to be caught running.
QString makeVideo(const QString& folder) {
    const QString path = QDir(folder).filePath("talk.mp4");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=30", "-f",
                  "lavfi", "-i", "sine=frequency=440:duration=30", "-c:v", "libx264", "-preset", "ultrafast",
                  "-c:a", "aac", "-shortest", path});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return {};
    return path;
}
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
} // namespace

class TestClips : public QObject {
    Q_OBJECT
    QTemporaryDir m_media;
    QString m_video;

private slots:
    void initTestCase() {
        m_video = makeVideo(m_media.path());
        QVERIFY2(!m_video.isEmpty(), "ffmpeg could not make the test video");
    }
    void init() { Strings::reset(); }

    void suggestAndExtract() {
        StateFixture f;
        f.boot();
        const auto suggestion = QCoro::waitFor(f.model->clipsPart().suggestClip(m_video, 1000, 3500, false));
        QVERIFY(suggestion);
        QCOMPARE(QFileInfo(suggestion->path).dir(), QFileInfo(m_video).dir());
        QVERIFY(!QFileInfo::exists(suggestion->path));

        const int lists = f.requestsOf("library.list").size();
        QSignalSpy replaced(&f.model->clipsPart(), &Clips::clipJobChanged);
        const auto job = f.model->clipsPart().extractClip(m_video, 1000, 3500, ClipMode::fast, false);
        QCOMPARE(replaced.count(), 1);
        QVERIFY(f.model->clipsPart().clipJob() == job);
        QCOMPARE(job->state(), ClipJob::State::Running);
        QTRY_COMPARE_WITH_TIMEOUT(job->state(), ClipJob::State::Done, 30000);
        QCOMPARE(job->fraction(), 1.0);
        QVERIFY(job->destination());
        QCOMPARE(*job->destination(), suggestion->path);
        QVERIFY(QFileInfo(*job->destination()).size() > 0);
        QVERIFY(f.waitForRequests("library.list", lists + 1)); // the new file gets listed
        const LoggedRequest extract = f.requestsOf("clip.extract").first();
        QCOMPARE(extract.params["mode"].toString(), QStringLiteral("fast"));
        QCOMPARE(extract.params["jobId"].toString(), job->id());
        QCOMPARE(extract.raw["params"].toObject().keys(),
                 (QStringList{"audioOnly", "endMs", "jobId", "mode", "path", "startMs"}));
        QFile::remove(*job->destination());
    }

    void cancelWhileRunning() {
        StateFixture f;
        f.boot();
        const QStringList before = filesIn(m_media.path());
        // ffmpeg runs and the partial file is open when the engine stops at its first progress.
        f.control("test.gate", {{"name", "clip.progress"}, {"closed", true}});
        bool progressed = false;
        std::shared_ptr<ClipJob> job;
        connect(&f.model->engine(), &EngineClient::event, this, [&](const EngineEvent& e) {
            if (const auto* p = e.get<EngineEvent::ClipProgress>(); p && job && p->jobId == job->id())
                progressed = true;
        });
        job = f.model->clipsPart().extractClip(m_video, 0, 30000, ClipMode::precise, false);
        QTRY_VERIFY_WITH_TIMEOUT(progressed, 30000);
        QVERIFY(filesIn(m_media.path()).size() > before.size()); // the partial file
        f.model->clipsPart().cancelClip(job);
        QVERIFY(f.waitForRequests("clip.cancel", 1));
        f.control("test.gate", {{"name", "clip.progress"}, {"closed", false}});
        QTRY_COMPARE_WITH_TIMEOUT(job->state(), ClipJob::State::Cancelled, 30000);
        QVERIFY(job->message().has_value());
        QCOMPARE(filesIn(m_media.path()), before);
        QVERIFY(StateFixture::errorLines(f.model->sessionPart().log()).isEmpty());
        QVERIFY(!f.model->sessionPart().lastError());
    }

    void failureIsReportedAsIs() {
        StateFixture f;
        f.boot();
        const QString missing = f.path("nothing here.mp4");
        const auto job = f.model->clipsPart().extractClip(missing, 0, 1000, ClipMode::precise, true);
        QTRY_COMPARE_WITH_TIMEOUT(job->state(), ClipJob::State::Failed, 30000);
        QVERIFY(job->message() && !job->message()->isEmpty());
        // The engine's message alone, no title in front of it.
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{*job->message()});
        QCOMPARE(f.requestsOf("clip.extract").first().params["mode"].toString(), QStringLiteral("precise"));
    }

    void engineNotRunning() {
        StateFixture f;
        f.boot();
        QCoro::waitFor(f.model->engine().stop());
        const auto job = f.model->clipsPart().extractClip(m_video, 0, 1000, ClipMode::fast, false);
        QTRY_COMPARE_WITH_TIMEOUT(job->state(), ClipJob::State::Failed, 10000);
        QVERIFY(job->message() && !job->message()->isEmpty());
        QVERIFY(StateFixture::errorLines(f.model->sessionPart().log()).isEmpty());
    }

    void secondExtractionReplacesFirst() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "clip.extract"}});
        const auto first = f.model->clipsPart().extractClip(m_video, 0, 1000, ClipMode::fast, false);
        const auto second = f.model->clipsPart().extractClip(m_video, 2000, 3000, ClipMode::fast, false);
        QVERIFY(f.model->clipsPart().clipJob() == second);
        QVERIFY(first->id() != second->id());
        QVERIFY(f.waitForRequests("clip.extract", 2));
        f.emitEvent("clip.progress", {{"jobId", first->id()}, {"fraction", 0.7}});
        f.emitEvent("clip.state", {{"jobId", first->id()}, {"state", "failed"}, {"message", "old"}});
        f.emitEvent("clip.state",
                    {{"jobId", second->id()}, {"state", "working"}, {"destination", "/x/y.mp4"}});
        f.emitEvent("clip.progress", {{"jobId", second->id()}, {"fraction", 1.4}});
        QTRY_COMPARE_WITH_TIMEOUT(second->fraction(), 1.0, 10000); // clamped, and after the old events
        QCOMPARE(second->state(), ClipJob::State::Other);          // a word the application does not know
        QCOMPARE(second->destination(), std::optional<QString>("/x/y.mp4"));
        QVERIFY(!second->message());
        f.emitEvent("clip.state", {{"jobId", second->id()}, {"state", "cancelled"}});
        QTRY_COMPARE_WITH_TIMEOUT(second->state(), ClipJob::State::Cancelled, 10000);
        QCOMPARE(second->destination(), std::optional<QString>("/x/y.mp4")); // kept without a new one
        QCOMPARE(first->state(), ClipJob::State::Running);
        QCOMPARE(first->fraction(), 0.0);
        f.control("test.clear");
    }
};

QTEST_GUILESS_MAIN(TestClips)
#include "tst_clips.moc"
