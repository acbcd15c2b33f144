// The Batch tab: empty, resolving, a queue with every job state, the notes of every reason, 10,000 jobs
// scrolled to the middle, at the window's minimum size; and the listing picker flat, with sections,
// inside a section and while a page loads.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "Shots.h"

#include "BatchFixture.h"
#include "ListingPick.h"
#include "batch/BatchPane.h"
#include "batch/ListingPicker.h"
#include "batch/QueueListView.h"
#include "shell/RootView.h"

#include <QScrollArea>
#include <QScrollBar>

namespace {

using Kind = Job::State::Kind;

std::shared_ptr<Job> job(int i, Kind kind, double fraction = 0, const QString& message = {}) {
    const QString url = QStringLiteral("https://media.example.org/watch/%1").arg(i);
    static const char* titles[] = {"A talk about testing: how small fixtures catch real faults",
                                   "Evening concert, second half",
                                   "Field recording: rain on a tin roof",
                                   "Interview with the maintainers",
                                   "Lecture 12 – Numerical methods for stiff equations",
                                   "Short film (director's cut)"};
    auto made = std::make_shared<Job>(url, FormatChoice{}, QString::fromUtf8(titles[i % 6]), true);
    made->setChannel(QStringLiteral("Conference Recordings"));
    putInState(*made, kind == Kind::Failed ? Job::State::failed(message) : Job::State{kind, {}});
    if (fraction > 0) {
        const qint64 total = 420'000'000;
        made->setBytesTotal(total);
        made->setBytesDone(qint64(double(total) * fraction));
        made->setFraction(fraction);
        made->setSpeedBytesPerSecond(3'400'000);
        made->setEtaSeconds(95);
    }
    return made;
}

std::vector<std::shared_ptr<Job>> everyState() {
    return {
        job(0, Kind::Waiting),         job(1, Kind::Queued),
        job(2, Kind::Analyzing),       job(3, Kind::Downloading, 0.42),
        job(4, Kind::Paused, 0.6),     job(5, Kind::Processing, 1.0),
        job(6, Kind::Converting, 1.0), job(7, Kind::Done),
        job(8, Kind::Cancelled),       job(9, Kind::Failed, 0, QStringLiteral("HTTP Error 403: Forbidden"))};
}

QWidget* pane(ShotContext& c) {
    return new BatchPane(&c.model());
}

QWidget* root(ShotContext& c) {
    c.model().setTab(AppModel::Tab::Batch);
    return new RootView(c.model(), ViewFactories::standard());
}

QJsonArray everyNote() {
    using namespace BatchJson;
    return QJsonArray{note(QStringLiteral("https://list.example.org/very-long-playlist"),
                           QStringLiteral("listing-truncated"), 4200, 1000),
                      note(QStringLiteral("just some words"), QStringLiteral("not-a-url")),
                      note(QStringLiteral("r/videos"), QStringLiteral("subreddit-expanded"), 25),
                      note(QStringLiteral("https://broken.example.org/"), QStringLiteral("unreadable")),
                      note(QStringLiteral("https://channel.example.org/"), QStringLiteral("expand-failed")),
                      note(QStringLiteral("Members only"), QStringLiteral("listing-skipped")),
                      note(QStringLiteral("https://more.example.org/501"), QStringLiteral("queue-full")),
                      note(QStringLiteral("something the engine has no words for"), QStringLiteral("other"))};
}

const ShotRegistration empty("batch-empty", pane);
const ShotRegistration emptyMinimum("batch-minimum", root, {.size = {900, 620}});

const ShotRegistration resolving("batch-resolving", [](ShotContext& c) -> QWidget* {
    c.fixture.control(QStringLiteral("test.hold"),
                      QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    c.model().queuePart().insertJobs(0, {job(0, Kind::Waiting), job(1, Kind::Downloading, 0.3)});
    auto* made = new BatchPane(&c.model());
    c.model().queuePart().setBatchURLs(
        QStringLiteral("https://media.example.org/watch/1\nhttps://media.example.org/watch/2\n"));
    made->add();
    c.waitFor([&c] { return c.model().queuePart().isResolving(); });
    return made;
});

const ShotRegistration typed("batch-typed", [](ShotContext& c) -> QWidget* {
    QStringList lines;
    for (int i = 1; i <= 12; ++i)
        lines << QStringLiteral("https://media.example.org/watch/%1").arg(i);
    c.model().queuePart().setBatchURLs(lines.join(u'\n'));
    c.model().queuePart().insertJobs(0, {job(0, Kind::Waiting)});
    return pane(c);
});

const ShotRegistration states("batch-states", [](ShotContext& c) -> QWidget* {
    c.model().queuePart().insertJobs(0, everyState());
    auto* made = new BatchPane(&c.model());
    // The queue in sight: the field and its buttons scrolled away.
    QTimer::singleShot(0, made, [made] {
        made->scrollArea()->verticalScrollBar()->setValue(made->scrollArea()->verticalScrollBar()->maximum());
    });
    return made;
});

const ShotRegistration notes("batch-notes", [](ShotContext& c) -> QWidget* {
    resolveWith(c.fixture, BatchJson::resolution({}, {}, everyNote()));
    c.model().queuePart().insertJobs(0, {job(0, Kind::Waiting), job(3, Kind::Downloading, 0.42),
                                         job(9, Kind::Failed, 0, QStringLiteral("Not found"))});
    return pane(c);
});

// After a paste of 2,000 links into a full batch: three taken (their downloads held), the rest back in the
// field, one note counting them.
const ShotRegistration fullPaste("batch-full-paste", [](ShotContext& c) -> QWidget* {
    c.fixture.control(QStringLiteral("test.hold"),
                      QJsonObject{{QStringLiteral("method"), QStringLiteral("download.start")}});
    QStringList links;
    for (int i = 1; i <= 2000; ++i)
        links << QStringLiteral("https://media.example.org/watch/%1").arg(i);
    QJsonArray singles;
    for (int i = 0; i < 3; ++i)
        singles.append(BatchJson::entry(links[i], QString::fromUtf8("Evening concert, part %1").arg(i + 1)));
    resolveWith(c.fixture,
                BatchJson::resolution(
                    singles, {}, QJsonArray{BatchJson::note(links[3], QStringLiteral("queue-full"), 1997)}),
                links.join(u'\n'));
    return pane(c);
});

// Many notes: the block keeps to about ten lines and scrolls.
const ShotRegistration manyNotes("batch-notes-many", [](ShotContext& c) -> QWidget* {
    // A long one first: it wraps.
    QJsonArray notes{BatchJson::note(
        QStringLiteral("https://media.example.org/collections/2026/conference-recordings/day-two/"
                       "afternoon-session/room-b/lightning-talks-part-three-with-questions-from-the-floor"
                       "?utm_source=newsletter&utm_medium=email&utm_campaign=autumn"),
        QStringLiteral("unreadable"))};
    for (int i = 1; i <= 300; ++i)
        notes.append(
            BatchJson::note(QStringLiteral("pasted words, line %1").arg(i), QStringLiteral("not-a-url")));
    notes.append(BatchJson::note(QStringLiteral("https://list.example.org/very-long-playlist"),
                                 QStringLiteral("listing-truncated"), 4200, 1000));
    resolveWith(c.fixture, BatchJson::resolution({}, {}, notes));
    return pane(c);
});

const ShotRegistration many("batch-10000", [](ShotContext& c) -> QWidget* {
    std::vector<std::shared_ptr<Job>> jobs;
    const Kind kinds[] = {Kind::Waiting, Kind::Downloading, Kind::Done,
                          Kind::Paused,  Kind::Failed,      Kind::Queued};
    for (int i = 0; i < 10000; ++i)
        jobs.push_back(job(i, kinds[i % 6], kinds[i % 6] == Kind::Downloading ? 0.1 + (i % 9) / 10.0 : 0,
                           QStringLiteral("Connection reset by peer")));
    c.model().queuePart().insertJobs(0, jobs);
    auto* made = new BatchPane(&c.model());
    QTimer::singleShot(0, made, [made] {
        QScrollBar* bar = made->scrollArea()->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
    });
    return made;
});

// ---- the listing picker ----

const ShotRegistration pickerFlat("picker-flat", [](ShotContext& c) -> QWidget* {
    QJsonArray items = BatchJson::entries(QStringLiteral("Episode"), 30);
    // One entry without a title shows its address.
    items.append(
        BatchJson::entry(QStringLiteral("https://podcast.example.org/episodes/untitled-31.mp3"), QString()));
    resolveWith(
        c.fixture,
        BatchJson::resolution(
            {}, {BatchJson::listing(QStringLiteral("Weekly podcast – every episode of 2026"), items)}));
    c.model().queuePart().pendingListings().front()->toggle(1);
    return root(c);
});

const ShotRegistration pickerSections("picker-sections", [](ShotContext& c) -> QWidget* {
    resolveWith(c.fixture, BatchJson::resolution({}, {BatchJson::channel(50)}));
    return root(c);
});

const ShotRegistration pickerInside("picker-section-open", [](ShotContext& c) -> QWidget* {
    resolveWith(c.fixture, BatchJson::resolution({}, {BatchJson::channel(50)}));
    const auto pick = c.model().queuePart().pendingListings().front();
    pick->open(QStringLiteral("Videos"));
    pick->toggle(2);
    return root(c);
});

const ShotRegistration pickerLoading("picker-loading", [](ShotContext& c) -> QWidget* {
    resolveWith(c.fixture, BatchJson::resolution({}, {BatchJson::channel(10)}));
    const auto pick = c.model().queuePart().pendingListings().front();
    pick->open(QStringLiteral("Videos"));
    c.fixture.control(QStringLiteral("test.hold"),
                      QJsonObject{{QStringLiteral("method"), QStringLiteral("listing.page")}});
    c.model().queuePart().loadMoreSection(pick);
    return root(c);
});

const ShotRegistration pickerBack("picker-sections-back", [](ShotContext& c) -> QWidget* {
    resolveWith(c.fixture, BatchJson::resolution({}, {BatchJson::channel(50)}));
    const auto pick = c.model().queuePart().pendingListings().front();
    pick->open(QStringLiteral("Shorts"));
    pick->setAll(false);
    pick->leave();
    pick->setAudioOnly(true);
    return root(c);
});

} // namespace

// ---- the keyboard ----

// The queue with the focus on a running job; a download of unknown size shows a moving bar, one below a
// megabyte counts in kilobytes.
const ShotRegistration queueFocus("batch-focused-row", [](ShotContext& c) -> QWidget* {
    auto unknown = job(1, Kind::Downloading);
    unknown->setBytesDone(3'200'000);
    unknown->setSpeedBytesPerSecond(1'250'000);
    auto small = job(2, Kind::Downloading);
    small->setBytesTotal(100'000);
    small->setBytesDone(20'000);
    small->setFraction(0.2);
    small->setSpeedBytesPerSecond(43'000);
    c.model().queuePart().insertJobs(0, {job(0, Kind::Waiting), unknown, small,
                                         job(3, Kind::Downloading, 0.42), job(7, Kind::Done),
                                         job(9, Kind::Failed, 0, QStringLiteral("HTTP Error 404"))});
    auto* made = new BatchPane(&c.model());
    QTimer::singleShot(0, made, [made] {
        made->activateWindow();
        made->queueList()->setFocus(Qt::TabFocusReason);
        made->queueList()->setCurrentRow(3);
    });
    return made;
});

QWidget* focusedPicker(ShotContext& c, const std::optional<QString>& open, int row) {
    resolveWith(c.fixture, BatchJson::resolution({}, {BatchJson::channel(50)}));
    const auto pick = c.model().queuePart().pendingListings().front();
    if (open)
        pick->open(*open);
    pick->toggle(1);
    auto* picker = new ListingPicker(&c.model().queuePart(), pick);
    QTimer::singleShot(0, picker, [picker, row] {
        picker->activateWindow();
        picker->list()->setFocus(Qt::TabFocusReason);
        picker->list()->setCurrentRow(row);
    });
    return picker;
}

const ShotRegistration pickerFocusSections("picker-focused-section",
                                           [](ShotContext& c) -> QWidget* {
                                               return focusedPicker(c, std::nullopt, 1);
                                           },
                                           {.size = ListingPicker::fixedSize});
const ShotRegistration pickerFocusEntry("picker-focused-entry",
                                        [](ShotContext& c) -> QWidget* {
                                            return focusedPicker(c, QStringLiteral("Videos"), 2);
                                        },
                                        {.size = ListingPicker::fixedSize});
