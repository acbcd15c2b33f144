// Every catalogue method sent through the real engine client to the stand-in engine: the engine's request
// log must show exactly the params the catalogue writes (no "params" member where a method has none),
// and every reply must decode as the catalogue's reply record. Media and listings come from a local HTTP
// server on 127.0.0.1 that this test starts; the model catalogue is a local file.

#include "EngineClient.h"
#include "EngineError.h"
#include "EngineSend.h"
#include "SourceDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <QCoro/QCoroTask>

#include <stdexcept>

namespace M = EngineMethods;

namespace {

QString upperUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

bool runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// QCoro::waitFor loses an exception thrown by the task and then never returns; this one rethrows it.
template <class T> struct Outcome {
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr error;
    bool done = false;
};

template <class T> QCoro::Task<void> drive(QCoro::Task<T> task, Outcome<T>* out) {
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task);
        else
            out->value = co_await std::move(task);
    } catch (...) {
        out->error = std::current_exception();
    }
    out->done = true;
}

template <class T> T wait(QCoro::Task<T> task) {
    Outcome<T> outcome;
    QCoro::Task<void> driver = drive(std::move(task), &outcome);
    while (!outcome.done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

} // namespace

class TestCatalogueLive : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_http;
    QString m_base; // http://127.0.0.1:<port>/
    EngineClient* m_client = nullptr;
    QString m_downloaded;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString logPath() const { return path("requests.jsonl"); }

    // The requests the engine received, parsed, in arrival order.
    QList<std::pair<QByteArray, QJsonObject>> loggedRequests() const {
        QList<std::pair<QByteArray, QJsonObject>> out;
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return out;
        while (!f.atEnd()) {
            const QJsonObject line = QJsonDocument::fromJson(f.readLine()).object();
            if (!line.contains("request"))
                continue;
            const QByteArray raw = line.value("request").toString().toUtf8();
            out.append({raw, QJsonDocument::fromJson(raw).object()});
        }
        return out;
    }

    // The last logged request of M must carry exactly what the catalogue writes for these params.
    template <class T> void checkWire(const typename T::Params& params) const {
        const auto requests = loggedRequests();
        for (auto it = requests.crbegin(); it != requests.crend(); ++it) {
            if (it->second.value("method").toString() != QLatin1String(T::name))
                continue;
            const std::optional<QJsonObject> expected = M::paramsJson<T>(params);
            if (!expected) {
                if (it->second.contains("params") || it->first.contains("\"params\""))
                    throw std::runtime_error(std::string(T::name) +
                                             " carried params: " + it->first.toStdString());
                return;
            }
            if (!it->second.value("params").isObject() || it->second.value("params").toObject() != *expected)
                throw std::runtime_error(std::string(T::name) + " sent " + it->first.toStdString() +
                                         ", expected " + compact(*expected).toStdString());
            return;
        }
        throw std::runtime_error(std::string(T::name) + " is not in the engine's request log");
    }

    // Sends M through the client, waits for its reply, checks what went over the wire.
    template <class T> typename T::Reply exchange(typename T::Params params) {
        try {
            if constexpr (std::is_void_v<typename T::Reply>) {
                wait(M::send<T>(m_client, params));
                checkWire<T>(params);
            } else {
                auto reply = wait(M::send<T>(m_client, params));
                checkWire<T>(params);
                return reply;
            }
        } catch (const EngineError& e) {
            checkWire<T>(params);
            throw std::runtime_error(std::string(T::name) + " failed: " + e.message().toStdString() + " (" +
                                     QString::number(e.code()).toStdString() + ")");
        }
    }

    template <class T> typename T::Reply exchange() requires M::WithoutParams<T> {
        return exchange<T>(M::NoParams{});
    }

    // Sends M, and returns the engine error it ends with, if any, after checking the wire.
    template <class T> std::optional<EngineError> failure(typename T::Params params) {
        try {
            wait(M::send<T>(m_client, params));
        } catch (const EngineError& e) {
            checkWire<T>(params);
            return e;
        }
        checkWire<T>(params);
        return std::nullopt;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).mkpath("www");
        QDir(m_dir.path()).mkpath("out");
        QDir(m_dir.path()).mkpath("support");
        // A plain file server; http.server's own entry looks the host name up, which stalls without a
        // network.
        const QString server = QStringLiteral(
            "import functools, http.server, socketserver, sys\n"
            "class Server(socketserver.ThreadingTCPServer):\n"
            "    daemon_threads = True\n"
            "handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])\n"
            "with Server(('127.0.0.1', 0), handler) as s:\n"
            "    print(s.server_address[1], flush=True)\n"
            "    s.serve_forever()\n");
        m_http.setStandardErrorFile(QProcess::nullDevice());
        m_http.start("python3", {"-c", server, path("www")});
        QVERIFY(m_http.waitForStarted());
        // Two seconds of picture and tone, and a still for the thumbnail, while the server starts.
        QVERIFY(runTool("ffmpeg", {"-v",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "testsrc=size=160x120:rate=10:duration=2",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=frequency=440:duration=2",
                                   "-map",
                                   "0:v",
                                   "-map",
                                   "1:a",
                                   "-c:v",
                                   "mpeg4",
                                   "-c:a",
                                   "aac",
                                   "-shortest",
                                   path("www/clip.mp4"),
                                   "-map",
                                   "0:v",
                                   "-frames:v",
                                   "1",
                                   path("www/thumb.jpg")}));
        QTRY_VERIFY_WITH_TIMEOUT(m_http.canReadLine(), 10000);
        const int port = m_http.readLine().trimmed().toInt();
        QVERIFY(port > 0);
        m_base = QStringLiteral("http://127.0.0.1:%1/").arg(port);

        QFile m3u(path("www/list.m3u"));
        QVERIFY(m3u.open(QIODevice::WriteOnly));
        m3u.write(("#EXTM3U\n#EXTINF:2,First\n" + m_base + "clip.mp4?n=1\n#EXTINF:2,Second\n" + m_base +
                   "clip.mp4?n=2\n")
                      .toUtf8());
        m3u.close();

        // A model catalogue with one small model served from a local file.
        QFile model(path("tiny.bin"));
        QVERIFY(model.open(QIODevice::WriteOnly));
        model.write(QByteArray(4096, 'm'));
        model.close();
        QFile catalogue(path("models.json"));
        QVERIFY(catalogue.open(QIODevice::WriteOnly));
        catalogue.write(compact(QJsonObject{{"default", "tiny"},
                                            {"models", QJsonArray{QJsonObject{{"key", "tiny"},
                                                                              {"filename", "ggml-tiny.bin"},
                                                                              {"url", "tiny.bin"},
                                                                              {"downloadBytes", 4096},
                                                                              {"peakMemoryBytes", 1000}}}}}));
        catalogue.close();

        const QString build = qEnvironmentVariable("VAMBER_TEST_BUILD_DIR");
        QVERIFY(!build.isEmpty());
        EngineLocations locations;
        locations.bundleDir = build;
        locations.executableDir = build + "/lib/vamber";
        locations.resourcesDir = build + "/share/vamber";
        locations.developmentRoot = QStringLiteral(VAMBER_SOURCE_DIR);
        locations.environment = QProcessEnvironment::systemEnvironment();
        locations.environment.insert("VAMBER_ENGINE_TEST", "1");
        locations.environment.insert("VAMBER_SUPPORT_DIR", path("support"));
        locations.environment.insert("VAMBER_ENGINE_TEST_LOG", logPath());
        locations.environment.insert("VAMBER_MODEL_CATALOG", path("models.json"));
        // Whatever this machine has installed, only the system's English model can run here.
        locations.environment.insert("VAMBER_WHISPER_CLI", path("no-whisper-cli"));
        m_client = new EngineClient(locations, this);
        m_client->start();
    }

    void cleanupTestCase() {
        if (m_client)
            wait(m_client->stop());
        m_http.kill();
        m_http.waitForFinished();
    }

    void session() {
        const EngineHello hello = exchange<M::Hello>();
        // The engine serves the whole catalogue.
        std::apply(
            [&](auto... m) {
                for (const char* name : {decltype(m)::name...})
                    QVERIFY2(hello.methods.contains(QLatin1String(name)), name);
            },
            M::All{});
        QVERIFY(hello.mediaExtensions.contains(".mp4"));
        QVERIFY(hello.capabilities.allQualities.contains("1080p"));
    }

    void texts() {
        const StringTable table = exchange<M::I18nTable>();
        QVERIFY(!table.strings.isEmpty());
        const StringTable french = exchange<M::I18nTableInLanguage>({"fr"});
        QCOMPARE(french.language, QString("fr"));
    }

    void settings() {
        exchange<M::SettingsGet>();
        // The format choices go in one request, texts and flags as bare JSON values.
        const SettingsPatch format{{{"quality", SettingValue::text("720p")},
                                    {"container", SettingValue::text("MKV")},
                                    {"videoCodec", SettingValue::text("Auto")},
                                    {"audioOnly", SettingValue::flag(true)},
                                    {"saveThumbnail", SettingValue::flag(false)},
                                    {"embedCover", SettingValue::flag(true)}}};
        const EngineSettings changed = exchange<M::SettingsSet>(format);
        QCOMPARE(changed.quality, QString("720p"));
        QCOMPARE(changed.container, QString("MKV"));
        QVERIFY(changed.audioOnly);
        QVERIFY(changed.embedCover);
        const EngineSettings folder =
            exchange<M::SettingsSet>(SettingsPatch{{{"outputDir", SettingValue::text(path("out"))}}});
        QCOMPARE(QDir(folder.outputDir).canonicalPath(), QDir(path("out")).canonicalPath());
        const EngineSettings cookies = exchange<M::SettingsSetCookieSource>({"None", ""});
        QCOMPARE(cookies.cookieSource, QString("None"));
        // Put the format back to a plain video download for the rest of the run.
        exchange<M::SettingsSet>(SettingsPatch{
            {{"audioOnly", SettingValue::flag(false)}, {"container", SettingValue::text("MP4")}}});
    }

    void options() {
        const AllowedOptions allowed = exchange<M::OptionsAllowed>({"MKV"});
        QCOMPARE(allowed.container, QString("MKV"));
        QVERIFY(!allowed.allQualities.isEmpty());
    }

    void analyze() {
        const Analysis a = exchange<M::Analyze>({m_base + "clip.mp4", "None", "", false});
        QVERIFY(!a.isListing);
        QVERIFY(!a.displayTitle().isEmpty());
    }

    void resolveAndPage() {
        const QueueResolution r =
            exchange<M::QueueResolve>({{m_base + "clip.mp4", "not a link"}, "None", ""});
        QVERIFY(std::any_of(r.singles.begin(), r.singles.end(),
                            [&](const ResolvedEntry& e) { return e.url == m_base + "clip.mp4"; }));
        QVERIFY(std::any_of(r.notes.begin(), r.notes.end(),
                            [](const BatchNote& n) { return n.input == "not a link"; }));
        const ::ListingPage page = exchange<M::ListingPage>({m_base + "list.m3u", 0, 10, "", "None", ""});
        QVERIFY(!page.entries.empty());
    }

    void download() {
        DownloadRequest request;
        request.url = m_base + "clip.mp4";
        request.quality = "1080p";
        request.container = "MP4";
        request.videoCodec = "Auto";
        request.subtitleMode = "off";
        request.outputDir = path("out");
        request.jobId = upperUuid();
        request.cookieSource = "None";
        const DownloadResult result = exchange<M::DownloadStart>(request);
        QCOMPARE(result.jobId, request.jobId);
        QVERIFY2(QFile::exists(result.path), qPrintable(result.path));
        m_downloaded = result.path;
        // Pausing or cancelling a job that already ended is answered, whatever the answer says.
        failure<M::DownloadPause>({request.jobId});
        failure<M::DownloadCancel>({request.jobId});
    }

    void queue() {
        const std::vector<StoredRow> rows{
            {m_base + "a", "A", "720p", "MP4", false, "", "", "Chan", "waiting"},
            {m_base + "b", "", "audio", "M4A", true, m_base + "thumb.jpg", "PL", "", "paused"},
            {m_base + "c", "C", "480p", "MKV", false, "", "", "", "paused", "9C-1", "file", "VP9", true,
             true}};
        QCOMPARE(exchange<M::QueueSave>({rows}).saved, qint64(3));
        QCOMPARE(exchange<M::QueueLoad>().items, rows);
    }

    void library() {
        QVERIFY2(!m_downloaded.isEmpty(), "needs the download of download()");
        const LibraryPage first = exchange<M::LibraryList>({0, {}});
        QCOMPARE(first.offset, qint64(0));
        QVERIFY(std::any_of(first.items.begin(), first.items.end(),
                            [&](const LibraryItem& i) { return i.path == m_downloaded; }));
        exchange<M::LibraryList>({120, first.cursor});
        // Revealing a file that is gone is refused (and opens nothing).
        QVERIFY(failure<M::LibraryReveal>({path("out/gone.mp4")}).has_value());
        exchange<M::LibraryRemove>({{m_downloaded}, false});
        QVERIFY(QFile::exists(m_downloaded));
    }

    void thumbnail() {
        const auto reply = exchange<M::ThumbnailResolve>({m_base + "thumb.jpg", "", "None", "", ""});
        QVERIFY(!reply.path.isEmpty());
    }

    void search() {
        exchange<M::SearchStatus>();
        exchange<M::SearchReindex>();
        QCOMPARE(exchange<M::SearchQuery>({"tone"}).query, QString("tone"));
    }

    void models() {
        const ModelsInfo info = exchange<M::ModelsList>();
        // The system's English model is installed and, without whisper.cpp, the one that runs.
        QCOMPARE(info.defaultModel, QString("sphinx-en"));
        QVERIFY(info.helperAvailable);
        QCOMPARE(info.installed().size(), std::size_t(1));
        QCOMPARE(exchange<M::ModelsOffer>({"tiny"}).downloadBytes, qint64(4096));
        exchange<M::ModelsDownload>({"tiny"});
        QTRY_VERIFY_WITH_TIMEOUT(exchange<M::ModelsList>().installed().size() == 2, 10000);
        exchange<M::ModelsCancel>({"tiny"});
        exchange<M::ModelsDelete>({"tiny"});
        QCOMPARE(exchange<M::ModelsList>().installed().size(), std::size_t(1));
        QVERIFY(failure<M::ModelsDelete>({"sphinx-en"}).has_value());
    }

    void transcription() {
        const QString job = upperUuid();
        const QString media = m_downloaded.isEmpty() ? path("www/clip.mp4") : m_downloaded;
        // A tone holds no words, but the whole reply decodes as the client's record.
        const TranscribeResult result = exchange<M::TranscribeStart>({media, job});
        QCOMPARE(result.jobId, job);
        QCOMPARE(result.path, media);
        QCOMPARE(result.language, QString("en"));
        QVERIFY(QFile::exists(result.srt));
        QVERIFY(QFile::exists(result.txt));
        exchange<M::TranscribeCancel>({job});
    }

    void clips() {
        const QString source = path("www/clip.mp4");
        const ClipSuggestion suggestion = exchange<M::ClipSuggest>({source, 500, 1500, false});
        QVERIFY(!suggestion.name.isEmpty());
        const QString job = upperUuid();
        const ClipResult clip = exchange<M::ClipExtract>({source, 0, 1000, job, ClipMode::fast, false});
        QCOMPARE(clip.jobId, job);
        QVERIFY(QFile::exists(clip.path));
        exchange<M::ClipCancel>({job});
    }

    void smallServices() {
        exchange<M::JsRuntime>({});
        // No update source is configured here: the engine says so instead of "nothing newer".
        const std::optional<EngineError> noSource = failure<M::UpdateCheck>(M::NoParams{});
        QVERIFY(noSource);
        QCOMPARE(noSource->detail(), std::optional<QString>("no-update-source"));
        const auto report = exchange<M::ReportSend>({"It broke", "", "line 1\nline 2"});
        QVERIFY(!report.sent);
        QVERIFY(report.savedTo && QFile::exists(*report.savedTo));
    }

    void favourites() {
        QVERIFY(exchange<M::FavouritesList>().items.empty());
        const Favourites added = exchange<M::FavouritesAdd>({"https://f.example/", "F"});
        QCOMPARE(added.items, (std::vector<Favourite>{{"https://f.example/", "F"}}));
        QVERIFY(exchange<M::FavouritesRemove>({"https://f.example/"}).items.empty());
    }

    // The shapes that matter most, read straight from the engine's log.
    void wireShowsTheFixedShapes() {
        QList<QJsonObject> pages, settings, downloads, saves;
        for (const auto& [raw, request] : loggedRequests()) {
            const QString method = request.value("method").toString();
            const QJsonObject params = request.value("params").toObject();
            if (method == "library.list")
                pages << params;
            else if (method == "settings.set")
                settings << params;
            else if (method == "download.start")
                downloads << params;
            else if (method == "queue.save")
                saves << params;
            else if (method == "search.status" || method == "models.list" || method == "queue.load" ||
                     method == "favourites.list" || method == "update.check")
                QVERIFY2(!raw.contains("\"params\""), raw.constData());
        }
        QCOMPARE(pages.size(), 2);
        for (const QJsonObject& page : pages)
            QCOMPARE(page.value("limit"), QJsonValue(120));
        QVERIFY(!settings.isEmpty());
        const QJsonObject format = settings.first().value("values").toObject();
        QCOMPARE(format.value("quality"), QJsonValue("720p"));
        QCOMPARE(format.value("audioOnly"), QJsonValue(true));
        QCOMPARE(format.value("saveThumbnail"), QJsonValue(false));
        QCOMPARE(downloads.size(), 1);
        QCOMPARE(downloads.first().size(), 16);
        QCOMPARE(downloads.first().value("fileName"), QJsonValue(""));
        QCOMPARE(downloads.first().value("singleVideo"), QJsonValue(true));
        QCOMPARE(saves.size(), 1);
        // Rows saved before the job's id and whole format were kept have the nine keys; the others all 14.
        const QJsonArray rows = saves.first().value("items").toArray();
        QCOMPARE(rows.size(), 3);
        for (qsizetype n = 0; n < rows.size(); ++n) {
            QStringList expected{"audio_only", "channel",   "container", "playlist", "quality",
                                 "status",     "thumb_url", "title",     "url"};
            if (n == 2)
                expected << "embedCover"
                         << "id"
                         << "saveThumbnail"
                         << "subtitleMode"
                         << "videoCodec";
            expected.sort();
            QCOMPARE(rows[n].toObject().keys(), expected);
        }
    }

    void everyLoggedRequestIsACatalogueMethod() {
        QSet<QString> names;
        std::apply([&](auto... m) { (names.insert(QString::fromLatin1(decltype(m)::name)), ...); }, M::All{});
        for (const auto& [raw, request] : loggedRequests())
            QVERIFY2(names.contains(request.value("method").toString()), raw.constData());
    }

    void shutdown() {
        exchange<M::Shutdown>();
        QTRY_VERIFY_WITH_TIMEOUT(!m_client->isRunning(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestCatalogueLive)
#include "tst_catalogue_live.moc"
