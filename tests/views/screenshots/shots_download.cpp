// The Download tab in every stage: empty, analysing, a preview, a listing, a failed analysis, a download
// running with its speed figures, paused, failed and done; with the options open, with every banner, and
// at the window's minimum size.
#include "Composition.h"
#include "DownloadQueue.h"
#include "JobStates.h"
#include "Shots.h"
#include "Strings.h"

#include "Session.h"
#include "Spawn.h"
#include "download/DownloadPane.h"

#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QTemporaryDir>

namespace {

const QString address = QStringLiteral("https://media.example.org/watch/a-talk-about-testing");

// A picture for the thumbnails: a gradient with a mark, so a wrongly scaled or cut picture shows.
QString picture() {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("thumb.png"));
    if (!QFile::exists(path)) {
        QImage image(640, 360, QImage::Format_RGB32);
        QPainter p(&image);
        QLinearGradient g(0, 0, 640, 360);
        g.setColorAt(0, QColor(40, 90, 160));
        g.setColorAt(1, QColor(220, 120, 60));
        p.fillRect(image.rect(), g);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(320, 180), 60, 60);
        p.end();
        image.save(path);
    }
    return path;
}

QJsonObject analysis(const QString& url, bool listing = false, bool probed = true) {
    return QJsonObject{
        {QStringLiteral("url"), url},
        {QStringLiteral("availableQualities"),
         QJsonArray{QStringLiteral("1080p"), QStringLiteral("720p"), QStringLiteral("480p")}},
        {QStringLiteral("probed"), probed},
        {QStringLiteral("isListing"), listing},
        {QStringLiteral("listingKind"), listing ? QStringLiteral("playlist") : QString()},
        {QStringLiteral("title"), QStringLiteral("A talk about testing: how small fixtures catch "
                                                 "real faults in a desktop application")},
        {QStringLiteral("channel"), QStringLiteral("Conference Recordings")},
        {QStringLiteral("duration"), 3725.0},
        {QStringLiteral("thumbnail"), QStringLiteral("https://media.example.org/thumb.jpg")}};
}

void answerThumbnails(ShotContext& c) {
    c.fixture.script(
        QStringLiteral("thumbnail.resolve"),
        QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("path"), picture()}}}}, 0);
}

void analyse(ShotContext& c, const QJsonObject& result) {
    answerThumbnails(c);
    c.fixture.script(QStringLiteral("analyze"), QJsonObject{{QStringLiteral("result"), result}});
    c.model().compositionPart().setPastedText(result.value(QStringLiteral("url")).toString());
    QCoro::waitFor(c.model().compositionPart().analyzeCurrent());
}

// Starts a download the engine holds open, and makes it look as far as `fraction`.
std::shared_ptr<Job> running(ShotContext& c, double fraction) {
    analyse(c, analysis(address));
    c.fixture.control(QStringLiteral("test.hold"),
                      QJsonObject{{QStringLiteral("method"), QStringLiteral("download.start")}});
    auto job = c.fixture.enqueue(std::nullopt);
    c.waitFor([&] { return job->requestOpen() && job->state().kind == Job::State::Analyzing; });
    c.fixture.emitEvent(QStringLiteral("job.started"), QJsonObject{{QStringLiteral("jobId"), job->id()}});
    const qint64 total = 734'003'200;
    const QJsonObject speed{{QStringLiteral("speed"), 4'200'000.0},
                            {QStringLiteral("average"), 3'650'000.0},
                            {QStringLiteral("downloaded"), qint64(total * fraction)},
                            {QStringLiteral("total"), total},
                            {QStringLiteral("eta"), 75.0},
                            {QStringLiteral("connections"), 4},
                            {QStringLiteral("protocol"), QStringLiteral("https")}};
    c.fixture.emitEvent(QStringLiteral("job.progress"),
                        QJsonObject{{QStringLiteral("jobId"), job->id()},
                                    {QStringLiteral("speedEngine"), speed},
                                    {QStringLiteral("downloaded"), qint64(total * fraction)},
                                    {QStringLiteral("total"), total},
                                    {QStringLiteral("fraction"), fraction},
                                    {QStringLiteral("speed"), 4'200'000.0},
                                    {QStringLiteral("eta"), 75.0},
                                    {QStringLiteral("fragment"), 0},
                                    {QStringLiteral("fragmentCount"), 0}});
    c.waitFor([&] { return job->speedEngine().has_value(); });
    return job;
}

QWidget* pane(ShotContext& c) {
    return new DownloadPane(&c.model());
}

const ShotRegistration empty("download-empty", pane);

const ShotRegistration analysing("download-analysing", [](ShotContext& c) -> QWidget* {
    c.fixture.control(QStringLiteral("test.hold"),
                      QJsonObject{{QStringLiteral("method"), QStringLiteral("analyze")}});
    c.model().compositionPart().setPastedText(address);
    AppModel* model = &c.model();
    spawn(model, [model]() -> QCoro::Task<void> { co_await model->compositionPart().analyzeCurrent(); });
    c.waitFor([&] { return c.model().compositionPart().isAnalyzing(); });
    return pane(c);
});

const ShotRegistration preview("download-preview", [](ShotContext& c) -> QWidget* {
    analyse(c, analysis(address));
    return pane(c);
});

const ShotRegistration previewOptions("download-preview-options", [](ShotContext& c) -> QWidget* {
    analyse(c, analysis(address));
    c.model().compositionPart().toggleOptions();
    return pane(c);
});

const ShotRegistration
    previewMinimum("download-preview-options-minimum",
                   [](ShotContext& c) -> QWidget* {
                       analyse(c, analysis(address));
                       c.model().compositionPart().toggleOptions();
                       return pane(c);
                   },
                   {.size = {900 - 200, 620}}); // the pane beside the sidebar of a 900-wide window

const ShotRegistration undetected("download-preview-undetected", [](ShotContext& c) -> QWidget* {
    analyse(c, analysis(address, false, false));
    return pane(c);
});

const ShotRegistration listing("download-listing", [](ShotContext& c) -> QWidget* {
    analyse(c, analysis(QStringLiteral("https://media.example.org/playlist/42"), true));
    return pane(c);
});

const ShotRegistration failed("download-analysis-failed", [](ShotContext& c) -> QWidget* {
    c.fixture.scriptError(QStringLiteral("analyze"), 1,
                          QStringLiteral("No video was found at this address. The page may need a login."));
    c.model().compositionPart().setPastedText(address);
    QCoro::waitFor(c.model().compositionPart().analyzeCurrent());
    return pane(c);
});

const ShotRegistration downloading("download-running",
                                   [](ShotContext& c) -> QWidget* {
                                       running(c, 0.42);
                                       return pane(c);
                                   },
                                   {.size = {900, 620}});

const ShotRegistration paused("download-paused", [](ShotContext& c) -> QWidget* {
    auto job = running(c, 0.42);
    putInState(*job, {Job::State::Paused, {}});
    return pane(c);
});

const ShotRegistration jobFailed("download-job-failed", [](ShotContext& c) -> QWidget* {
    auto job = running(c, 0.42);
    putInState(*job, Job::State::failed(QStringLiteral("The server closed the connection.")));
    c.model().sessionPart().report(
        QStringLiteral("A talk about testing \u2014 The server closed the connection."));
    return pane(c);
});

const ShotRegistration done("download-done", [](ShotContext& c) -> QWidget* {
    auto job = running(c, 1.0);
    putInState(*job, {Job::State::Done, {}});
    return pane(c);
});

const ShotRegistration
    banners("download-banners",
            [](ShotContext& c) -> QWidget* {
                c.model().sessionPart().applyJSRuntime(false, true);
                c.model().sessionPart().report(QStringLiteral(
                    "The engine could not read the settings: the file is damaged and was replaced."));
                c.model().sessionPart().setUpdate(UpdateInfo{
                    true, QStringLiteral("2.4.0"), QStringLiteral("https://example.org/download"), {}});
                return pane(c);
            },
            {.size = {900, 620}});

// The notice of stored files the engine set aside at its start, the longest text the error banner shows.
const ShotRegistration setAside("download-set-aside",
                                [](ShotContext& c) -> QWidget* {
                                    const QMap<QString, QString> files{
                                        {QStringLiteral("files"),
                                         QStringLiteral("settings.json, queue.json, library.sqlite3")}};
                                    c.model().sessionPart().report(
                                        Strings::text(QStringLiteral("notice_files_set_aside"), files));
                                    return pane(c);
                                },
                                {.size = {900, 620}});

} // namespace
