// The window's frame: the launch gate in its states, the root view on every tab, and every sheet and
// alert the root view presents.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "Shots.h"

#include "Prompts.h"
#include "Session.h"
#include "shell/LaunchGate.h"
#include "shell/RootView.h"

#include <QLabel>

namespace {

QWidget* gate(ShotContext& c) {
    return new LaunchGate(c.model(), [&c] { return new RootView(c.model(), ViewFactories::standard()); });
}

QWidget* root(ShotContext& c) {
    return new RootView(c.model(), ViewFactories::standard());
}

std::shared_ptr<Job> job(const QString& url, Job::State::Kind kind) {
    auto made = std::make_shared<Job>(url, FormatChoice{}, url, true);
    putInState(*made, {kind, {}});
    return made;
}

const ShotRegistration splash("window-splash", gate, {.boot = false});

const ShotRegistration
    failure("window-failure",
            [](ShotContext& c) -> QWidget* {
                c.fixture.startEngine();
                c.fixture.scriptError(
                    QStringLiteral("hello"), 7,
                    QStringLiteral("The engine could not start: its interpreter quit while reading the "
                                   "settings. Look at the log for the details."));
                c.fixture.boot();
                return gate(c);
            },
            {.boot = false});

const ShotRegistration rootMinimum("root-minimum", root, {.size = {900, 620}});

struct TabShot {
    const char* name;
    AppModel::Tab tab;
};
const TabShot tabShots[] = {{"root-tab-download", AppModel::Tab::Download},
                            {"root-tab-batch", AppModel::Tab::Batch},
                            {"root-tab-transcription", AppModel::Tab::Transcription},
                            {"root-tab-downloads", AppModel::Tab::Downloads},
                            {"root-tab-browser", AppModel::Tab::Browser},
                            {"root-tab-settings", AppModel::Tab::Settings}};
const bool tabsRegistered = [] {
    for (const TabShot& t : tabShots) {
        const AppModel::Tab tab = t.tab;
        static std::vector<ShotRegistration> keep;
        keep.emplace_back(QString::fromLatin1(t.name), [tab](ShotContext& c) -> QWidget* {
            c.model().queuePart().insertJobs(0, {job("http://q/1", Job::State::Waiting),
                                                 job("http://q/2", Job::State::Downloading),
                                                 job("http://q/3", Job::State::Done)});
            c.model().setTab(tab);
            return root(c);
        });
    }
    return true;
}();

const ShotRegistration clearQueue("alert-clear-queue", [](ShotContext& c) -> QWidget* {
    c.model().queuePart().insertJobs(
        0, {job("http://q/1", Job::State::Waiting), job("http://q/2", Job::State::Done)});
    c.model().promptsPart().setConfirmClearQueue(true);
    return root(c);
});
const ShotRegistration fileMissing("alert-file-missing", [](ShotContext& c) -> QWidget* {
    c.model().promptsPart().setFileMissingNotice(true);
    return root(c);
});
const ShotRegistration clearBrowser("alert-clear-browser-data", [](ShotContext& c) -> QWidget* {
    c.model().promptsPart().setConfirmClearBrowserData(true);
    return root(c);
});
const ShotRegistration browserCleared("alert-browser-data-cleared", [](ShotContext& c) -> QWidget* {
    c.model().promptsPart().setBrowserDataCleared(true);
    return root(c);
});
const ShotRegistration duplicate("alert-batch-duplicate", [](ShotContext& c) -> QWidget* {
    c.model().promptsPart().setBatchDuplicateNotice(true);
    return root(c);
});
const ShotRegistration upToDate("alert-up-to-date", [](ShotContext& c) -> QWidget* {
    c.model().sessionPart().setUpToDate(true);
    return root(c);
});
const ShotRegistration engineFailure("alert-error", [](ShotContext& c) -> QWidget* {
    c.fixture.control(QStringLiteral("test.exit"), {{QStringLiteral("status"), 2}});
    c.waitFor([&c] { return c.model().sessionPart().engineFailure().has_value(); });
    return root(c);
});
const ShotRegistration logSheet("sheet-log", [](ShotContext& c) -> QWidget* {
    c.model().promptsPart().setShowLogSheet(true);
    return root(c);
});
const ShotRegistration reportSheet("sheet-report", [](ShotContext& c) -> QWidget* {
    c.model().promptsPart().setShowReportSheet(true);
    return root(c);
});
const ShotRegistration optInSheet("sheet-model-optin", [](ShotContext& c) -> QWidget* {
    c.model().promptsPart().setModelOptIn(Prompts::ModelOptInRequest{QStringLiteral("base")});
    return root(c);
});
const ShotRegistration listingSheet("sheet-listing", [](ShotContext& c) -> QWidget* {
    const QJsonObject entry{{"url", "http://l/1"}, {"title", "One"},  {"thumbnail", ""}, {"playlist", ""},
                            {"channel", "Ch"},     {"duration", 0.0}, {"section", ""}};
    const QJsonObject listing{{"title", "A playlist"},
                              {"entries", QJsonArray{entry}},
                              {"sections", QJsonArray{}},
                              {"notes", QJsonArray{}}};
    c.fixture.script(QStringLiteral("queue.resolve"),
                     {{"result", QJsonObject{{"singles", QJsonArray{}},
                                             {"listings", QJsonArray{listing}},
                                             {"notes", QJsonArray{}},
                                             {"pageSize", 50}}}});
    QCoro::waitFor(c.model().queuePart().enqueuePasted(QStringLiteral("http://list")));
    return root(c);
});

} // namespace
