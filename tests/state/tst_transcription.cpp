// Transcription jobs and speech-recognition models against the real stand-in engine: the refusals, the
// start outcomes, the engine's events (also for removed and cleared jobs), and a model's whole life in
// the engine's own model store with a catalogue served on 127.0.0.1.
#include "SpeechModels.h"
#include "StateFixture.h"
#include "Transcriptions.h"

#include "Fraction.h"
#include "Library.h"
#include "Prompts.h"
#include "Strings.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QUrl>

namespace {
QJsonObject modelEntry(const QString& key, qint64 bytes, bool installed) {
    return {{"key", key},
            {"filename", "ggml-" + key + ".bin"},
            {"downloadBytes", bytes},
            {"peakMemoryBytes", 0},
            {"installed", installed}};
}
QJsonObject modelsInfo(bool supported, bool helper, const QJsonObject& diskUsage = {}) {
    return {{"models", QJsonArray{modelEntry("base", 1000, true), modelEntry("small", 5000, false)}},
            {"default", "base"},
            {"supported", supported},
            {"helperAvailable", helper},
            {"appleSilicon", false},
            {"gpu", false},
            {"speedFactor", 1.0},
            {"diskUsage", diskUsage}};
}
QJsonObject result(const QJsonObject& value) {
    return {{"result", value}};
}

// An engine that can transcribe (by its scripted model list) and never answers "transcribe.start"
// unless a test says so.
void bootAvailable(StateFixture& f, bool holdStarts = true) {
    f.startEngine();
    f.script("models.list", result(modelsInfo(true, true)), 0);
    if (holdStarts)
        f.control("test.hold", {{"method", "transcribe.start"}});
    f.boot();
    QVERIFY(f.model->modelsPart().canTranscribe());
}
QJsonObject stateEvent(const QString& id, const QString& state, const QJsonObject& extra = {}) {
    QJsonObject params = extra;
    params.insert("jobId", id);
    params.insert("state", state);
    return params;
}
// Waits for a job the engine announced, which proves every event written before it was applied.
std::shared_ptr<TranscriptionJob> awaitJob(StateFixture& f, const QString& id) {
    if (!QTest::qWaitFor([&] { return f.model->transcriptionsPart().jobs().count(id) > 0; }, 10000))
        return nullptr;
    const auto it = f.model->transcriptionsPart().jobs().find(id);
    return it == f.model->transcriptionsPart().jobs().end() ? nullptr : it->second;
}
// The refusal of a file that is not media, in the installed table's language.
QString refusal(const QString& name) {
    return Strings::text(QStringLiteral("transcribe_not_media"), {{QStringLiteral("name"), name}});
}
} // namespace

class TestTranscription : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void fractionsAndPercents_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("clamped");
        QTest::addColumn<int>("percent");
        QTest::newRow("NaN") << std::nan("") << 0.0 << 0;
        QTest::newRow("below zero") << -0.5 << 0.0 << 0;
        QTest::newRow("above one") << 1.7 << 1.0 << 100;
        QTest::newRow("0.29 is 29, not 28") << 0.29 << 0.29 << 29;
        QTest::newRow("0.999 is 99, never a false 100") << 0.999 << 0.999 << 99;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 1.0 << 100;
    }
    void fractionsAndPercents() {
        QFETCH(double, value);
        QFETCH(double, clamped);
        QFETCH(int, percent);
        QCOMPARE(unitFraction(value), clamped);
        QCOMPARE(percentOf(value), percent);
    }

    void transcribeFile_data() {
        QTest::addColumn<bool>("available");
        QTest::addColumn<QJsonArray>("extensions"); // empty: the engine's own list
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");   // empty: refused
        QTest::addColumn<QString>("refusal"); // "pending", or "not media"
        QTest::newRow("unavailable") << false << QJsonArray{} << "/m/talk.mp4"
                                     << ""
                                     << "pending";
        QTest::newRow("media file, extension in capitals") << true << QJsonArray{} << "/m/Clip.MP4"
                                                           << "Clip"
                                                           << "";
        QTest::newRow("unknown extension") << true << QJsonArray{} << "/m/notes.txt"
                                           << ""
                                           << "not media";
        QTest::newRow("no extension") << true << QJsonArray{} << "/m/README"
                                      << ""
                                      << "not media";
        QTest::newRow("only the last extension counts") << true << QJsonArray{} << "/m/show.part1.wav"
                                                        << "show.part1"
                                                        << "";
        QTest::newRow("an empty list accepts anything")
            << true << QJsonArray{QJsonValue(QJsonValue::Null)} << "/m/notes.txt"
            << "notes"
            << "";
    }
    void transcribeFile() {
        QFETCH(bool, available);
        QFETCH(QJsonArray, extensions);
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QString, refusal);
        StateFixture f;
        f.startEngine();
        if (!extensions.isEmpty()) {
            QJsonObject hello = f.control("hello").toObject();
            hello.insert("mediaExtensions", QJsonArray{});
            f.script("hello", result(hello), 0);
        }
        f.script("models.list", result(modelsInfo(true, available)), 0);
        f.control("test.hold", {{"method", "transcribe.start"}});
        f.boot();
        QCOMPARE(f.model->modelsPart().canTranscribe(), available);

        const auto job = f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile(file));
        if (title.isEmpty()) {
            QVERIFY(!job);
            QVERIFY(f.model->transcriptionsPart().jobs().empty());
            const QString expected = refusal == "pending"
                                         ? Strings::text(QStringLiteral("transcribe_intel_pending"))
                                         : ::refusal(QFileInfo(file).fileName());
            QVERIFY(!expected.isEmpty());
            QCOMPARE(f.model->promptsPart().transcriptionRefusal(), std::optional<QString>(expected));
            return;
        }
        QVERIFY(job);
        QCOMPARE(job->title(), title);
        QCOMPARE(job->path(), file);
        QCOMPARE(job->state(), TranscriptionJob::State::Queued);
        QCOMPARE(job->id(), job->id().toUpper());
        QVERIFY(f.model->transcriptionsPart().jobs().at(job->id()) == job);
        QVERIFY(f.waitForRequests("transcribe.start", 1));
        const LoggedRequest start = f.requestsOf("transcribe.start").first();
        QCOMPARE(start.params, (QJsonObject{{"path", file}, {"jobId", job->id()}}));
        QCOMPARE(start.raw["params"].toObject().keys(), (QStringList{"jobId", "path"}));
        QVERIFY(!f.model->promptsPart().transcriptionRefusal());
    }

    // The refusal of a file that is not media is a looked-up text in the interface's language (the
    // languages without their own words read English).
    void notMediaRefusalFollowsTheLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("expected");
        const QString english =
            QStringLiteral("\u201Cnotes.txt\u201D isn\u2019t an audio or video file Vamber recognises.");
        QTest::newRow("en") << "en" << english;
        QTest::newRow("fr")
            << "fr"
            << QStringLiteral("\u00AB notes.txt \u00BB n'est pas un fichier audio ou vid\u00E9o reconnu.");
        QTest::newRow("de falls back") << "de" << english;
    }
    void notMediaRefusalFollowsTheLanguage() {
        QFETCH(QString, language);
        QFETCH(QString, expected);
        StateFixture f;
        bootAvailable(f);
        QCoro::waitFor(f.model->sessionPart().applyLanguage(language));
        QCOMPARE(Strings::language(), language);
        QVERIFY(!f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/notes.txt")));
        QCOMPARE(f.model->promptsPart().transcriptionRefusal(), std::optional<QString>(expected));
    }

    // The refusal names the last file refused until a file handed over later is taken; files handed over
    // together (one drop, one choice) keep the refusal of any of them.
    void successClearsEarlierRefusal() {
        StateFixture f;
        bootAvailable(f);
        QVERIFY(!f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/a.txt")));
        QVERIFY(f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/a.mp3")));
        QCOMPARE(f.model->promptsPart().transcriptionRefusal(), std::optional<QString>(refusal("a.txt")));
        QCoreApplication::processEvents();
        QVERIFY(f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/b.mp3")));
        QCOMPARE(f.model->promptsPart().transcriptionRefusal(), std::nullopt);
        QCoreApplication::processEvents();
        QVERIFY(!f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/b.txt")));
        QCOMPARE(f.model->promptsPart().transcriptionRefusal(), std::optional<QString>(refusal("b.txt")));
        QCOMPARE(f.model->transcriptionsPart().jobs().size(), size_t(2));
    }

    void transcribeLibraryItem() {
        StateFixture f;
        f.startEngine();
        f.script("models.list", result(modelsInfo(true, false)), 1);
        f.script("models.list", result(modelsInfo(true, true)), 0);
        f.control("test.hold", {{"method", "transcribe.start"}});
        f.boot();
        LibraryItem item;
        item.path = "/m/talk.mp4";
        item.title = "A talk";
        QVERIFY(!f.model->transcriptionsPart().transcribe(item)); // silently: no refusal text
        QVERIFY(!f.model->promptsPart().transcriptionRefusal());
        QCoro::waitFor(f.model->modelsPart().reloadModels());
        const auto job = f.model->transcriptionsPart().transcribe(item);
        QVERIFY(job);
        QCOMPARE(job->title(), QStringLiteral("A talk"));
        QCOMPARE(job->path(), item.path);
    }

    void startOutcomes_data() {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<QString>("settingsModel"); // null: settings left alone
        QTest::addColumn<TranscriptionStatus>("state");
        QTest::addColumn<QString>("reported"); // the error line, empty for none
        QTest::addColumn<QString>("optInKey"); // empty: no offer
        const QJsonObject reply = result({{"jobId", "x"},
                                          {"path", "/m/a.mp3"},
                                          {"srt", ""},
                                          {"txt", ""},
                                          {"language", "en"},
                                          {"segments", 0}});
        auto error = [](int code, const QString& message, const QString& detail = {}) {
            QJsonObject e{{"code", code}, {"message", message}};
            if (!detail.isNull())
                e.insert("detail", detail);
            return QJsonObject{{"error", e}};
        };
        QTest::newRow("reply") << reply << QString() << TranscriptionStatus::Queued << ""
                               << "";
        QTest::newRow("cancelled") << error(1001, "Stopped.") << QString() << TranscriptionStatus::Cancelled
                                   << ""
                                   << "";
        QTest::newRow("other error") << error(5, "Disk full.", "ENOSPC") << QString()
                                     << TranscriptionStatus::Failed << "a \u2014 Disk full."
                                     << "";
        QTest::newRow("model missing, the settings' model")
            << error(7, "No model.", "model-missing") << "small" << TranscriptionStatus::Failed
            << "a \u2014 No model."
            << "small";
        QTest::newRow("model missing, settings name none: the default")
            << error(7, "No model.", "model-missing") << "" << TranscriptionStatus::Failed
            << "a \u2014 No model."
            << "base";
        QTest::newRow("cancelled with model missing still offers")
            << error(1001, "No model.", "model-missing") << "" << TranscriptionStatus::Cancelled << ""
            << "base";
    }
    void startOutcomes() {
        QFETCH(QJsonObject, answer);
        QFETCH(QString, settingsModel);
        QFETCH(TranscriptionStatus, state);
        QFETCH(QString, reported);
        QFETCH(QString, optInKey);
        StateFixture f;
        f.startEngine();
        if (!settingsModel.isNull())
            f.scriptSettings({{"transcriptionModel", settingsModel}});
        f.script("transcribe.start", answer);
        f.script("models.list", result(modelsInfo(true, true)), 0);
        f.boot();
        const int listsBefore = f.requestsOf("models.list").size();
        const auto job = f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/a.mp3"));
        QVERIFY(job);
        if (state == TranscriptionStatus::Queued) {
            // The reply changes nothing; the next request in order proves it was applied.
            QVERIFY(f.waitForRequests("transcribe.start", 1));
            QCoro::waitFor(f.model->sessionPart().reloadSettings());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(job->state(), state, 10000);
        }
        QCOMPARE(job->state(), state);
        if (state != TranscriptionStatus::Queued)
            QVERIFY(job->message().has_value());
        if (optInKey.isEmpty()) {
            QCoro::waitFor(f.model->sessionPart().reloadSettings());
            QVERIFY(!f.model->promptsPart().modelOptIn());
            QCOMPARE(f.requestsOf("models.list").size(), listsBefore);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(f.model->promptsPart().modelOptIn().has_value(), 10000);
            QCOMPARE(f.model->promptsPart().modelOptIn()->key, optInKey);
            QVERIFY(f.requestsOf("models.list").size() > listsBefore);
        }
        const QStringList errors = StateFixture::errorLines(f.model->sessionPart().log());
        if (reported.isEmpty()) {
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join('|')));
            QVERIFY(!f.model->sessionPart().lastError());
        } else {
            QCOMPARE(errors, QStringList{reported});
            QCOMPARE(f.model->sessionPart().lastError()->message, reported);
        }
    }

    void startWithoutEngineFails() {
        StateFixture f;
        bootAvailable(f);
        QCoro::waitFor(f.model->engine().stop());
        const auto job = f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/a.mp3"));
        QTRY_COMPARE_WITH_TIMEOUT(job->state(), TranscriptionJob::State::Failed, 10000);
        QVERIFY(job->message() && !job->message()->isEmpty());
        QVERIFY(StateFixture::errorLines(f.model->sessionPart().log()).isEmpty());
    }

    void eventsUpdateCreateAndFinish() {
        StateFixture f;
        bootAvailable(f);
        f.model->libraryPart().setLibrarySearch(QStringLiteral("hello world"));
        const auto job = f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/a.mp3"));
        QVERIFY(f.waitForRequests("transcribe.start", 1)); // held: the events come before any reply
        QSignalSpy active(&f.model->transcriptionsPart(), &Transcriptions::transcriptionsChanged);

        f.emitEvent("transcribe.state",
                    stateEvent(job->id(), "running",
                               {{"title", ""}, {"estimateSeconds", 42.0}, {"isLongJob", true}}));
        f.emitEvent("transcribe.progress", {{"jobId", job->id()}, {"percent", 150}, {"fraction", 1.5}});
        f.emitEvent("transcribe.progress", {{"jobId", "NOBODY"}, {"percent", 10}, {"fraction", 0.1}});
        f.emitEvent("transcribe.state",
                    stateEvent("ENGINE-1", "running", {{"path", "/m/b.wav"}, {"title", "B"}}));
        const auto other = awaitJob(f, "ENGINE-1");
        QVERIFY(other);
        QCOMPARE(other->title(), QStringLiteral("B"));
        QCOMPARE(other->path(), QStringLiteral("/m/b.wav"));
        QVERIFY(f.model->transcriptionsPart().jobs().at(job->id()) == job); // updated in place
        QCOMPARE(job->state(), TranscriptionJob::State::Running);
        QCOMPARE(job->title(), QStringLiteral("a")); // an empty title keeps the old one
        QCOMPARE(job->estimateSeconds(), 42.0);
        QVERIFY(job->isLongJob());
        QCOMPARE(job->fraction(), 1.0); // clamped
        QCOMPARE(f.model->transcriptionsPart().jobs().count("NOBODY"), size_t(0));
        QCOMPARE(f.model->transcriptionsPart().activeTranscriptionCount(), 2);
        QVERIFY(active.count() >= 2);

        // The active list is ordered by id, whatever the order the jobs came in.
        const auto list = f.model->transcriptionsPart().activeTranscriptions();
        QCOMPARE(list.size(), size_t(2));
        QVERIFY(list[0]->id() < list[1]->id());

        const int statusBefore = f.requestsOf("search.status").size();
        const int queriesBefore = f.requestsOf("search.query").size();
        // The search status the done event asks for replaces the set with the engine's, so each
        // insertion is seen as it happens.
        QSet<QString> marked;
        connect(&f.model->libraryPart(), &Library::transcribedPathsChanged, this,
                [&] { marked.unite(f.model->libraryPart().transcribedPaths()); });
        f.emitEvent("transcribe.state",
                    stateEvent(job->id(), "done", {{"srt", "/m/a.srt"}, {"message", "ok"}}));
        f.emitEvent("transcribe.state", stateEvent("ENGINE-1", "done", {}));
        QTRY_COMPARE_WITH_TIMEOUT(other->state(), TranscriptionJob::State::Done, 10000);
        QCOMPARE(job->fraction(), 1.0);
        QCOMPARE(job->transcriptPath(), std::optional<QString>("/m/a.srt"));
        QCOMPARE(job->message(), std::optional<QString>("ok"));
        QVERIFY(!other->transcriptPath()); // done without a transcript
        QVERIFY(marked.contains("/m/a.mp3"));
        QVERIFY(marked.contains("/m/b.wav"));
        QVERIFY(f.model->transcriptionsPart().activeTranscriptions().empty());
        QVERIFY(f.waitForRequests("search.status", statusBefore + 2));
        QVERIFY(f.waitForRequests("search.query", queriesBefore + 2));
        // Finished jobs stay listed until removed.
        QCOMPARE(f.model->transcriptionsPart().jobs().size(), size_t(2));
    }

    // Late events for a removed or cleared job must not bring it back.
    void droppedJobsStayGone_data() {
        QTest::addColumn<bool>("clear");
        QTest::newRow("remove") << false;
        QTest::newRow("clear") << true;
    }
    void droppedJobsStayGone() {
        QFETCH(bool, clear);
        StateFixture f;
        bootAvailable(f);
        const auto running = f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile("/m/a.mp3"));
        f.emitEvent("transcribe.state", stateEvent("DONE-1", "done", {{"path", "/m/d.mp3"}}));
        const auto done = awaitJob(f, "DONE-1");
        QVERIFY(done);
        if (clear) {
            f.model->transcriptionsPart().clearTranscriptions();
        } else {
            f.model->transcriptionsPart().removeTranscription(running);
            f.model->transcriptionsPart().removeTranscription(done);
        }
        QVERIFY(f.model->transcriptionsPart().jobs().empty());
        // Only the job still running is cancelled at the engine.
        QVERIFY(f.waitForRequests("transcribe.cancel", 1));
        QCOMPARE(f.requestsOf("transcribe.cancel").first().params, (QJsonObject{{"jobId", running->id()}}));

        f.emitEvent("transcribe.state", stateEvent(running->id(), "cancelled", {}));
        f.emitEvent("transcribe.progress", {{"jobId", running->id()}, {"percent", 50}, {"fraction", 0.5}});
        f.emitEvent("transcribe.state", stateEvent("DONE-1", "done", {}));
        f.emitEvent("transcribe.state", stateEvent("LATER", "queued", {}));
        QVERIFY(awaitJob(f, "LATER"));
        QCOMPARE(f.model->transcriptionsPart().jobs().size(), size_t(1));
        QCOMPARE(f.requestsOf("transcribe.cancel").size(), 1);
    }

    void mediaContentTypes() {
        StateFixture f;
        QVERIFY(f.model->transcriptionsPart().mediaContentTypes().isEmpty()); // no hello yet
        f.startEngine();
        QJsonObject hello = f.control("hello").toObject();
        hello.insert("mediaExtensions", QJsonArray{".mp4", ".nosuchextension", ".mp3", ".wav"});
        f.script("hello", result(hello), 0);
        f.boot();
        const QStringList types = f.model->transcriptionsPart().mediaContentTypes();
        QCOMPARE(types.size(), 3);
        QCOMPARE(types.first(), QStringLiteral("video/mp4"));
        QVERIFY(types[1].startsWith("audio/"));
        QVERIFY(types[2].startsWith("audio/"));
    }

    void chooseTranscriptFolder_data() {
        QTest::addColumn<QString>("transcriptDir");
        QTest::addColumn<QString>("outputDir");
        QTest::addColumn<QString>("expectedStart");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("transcript folder first") << "/t"
                                                 << "/o"
                                                 << "/t" << true;
        QTest::newRow("else the download folder") << ""
                                                  << "/o"
                                                  << "/o" << true;
        QTest::newRow("cancelled changes nothing") << ""
                                                   << "/o"
                                                   << "/o" << false;
    }
    void chooseTranscriptFolder() {
        QFETCH(QString, transcriptDir);
        QFETCH(QString, outputDir);
        QFETCH(QString, expectedStart);
        QFETCH(bool, confirm);
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"transcriptDir", transcriptDir}, {"outputDir", outputDir}});
        f.boot();
        const QString chosen = f.path("chosen");
        f.fakes.fileDialogs.folderAnswer = confirm ? std::optional<QString>(chosen) : std::nullopt;
        QCoro::waitFor(f.model->transcriptionsPart().chooseTranscriptFolder());
        QCOMPARE(f.fakes.fileDialogs.calls.size(), 1);
        QCOMPARE(f.fakes.fileDialogs.calls.first().kind, FakeFileDialogs::Call::Folder);
        QCOMPARE(f.fakes.fileDialogs.calls.first().startFolder, expectedStart);
        QCOMPARE(f.fakes.fileDialogs.calls.first().message,
                 Strings::text(QStringLiteral("v2_transcript_folder_prompt")));
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        const auto sets = f.requestsOf("settings.set");
        if (!confirm) {
            QVERIFY(sets.isEmpty());
            return;
        }
        QCOMPARE(sets.size(), 1);
        QCOMPARE(sets.first().params, (QJsonObject{{"values", QJsonObject{{"transcriptDir", chosen}}}}));
    }
};

QTEST_GUILESS_MAIN(TestTranscription)
#include "tst_transcription.moc"
