// The library pane against the stand-in engine and a seeded library: what each category and an open group
// list, the section titles, selection and its counts, removal with the requests it sends, the footer.
#include "LibraryPaneHelpers.h"

#include "Library.h"
#include "Prompts.h"
#include "kit/EmptyNotice.h"
#include "kit/LinkButton.h"
#include "library/IndexFooter.h"
#include "rows/RowIcon.h"

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>

using Kind = LibraryPaneModel::Kind;
using Spot = LibraryRowDelegate::Spot;

namespace {

QJsonObject thumbnailOf(const QString& path, const QString& parent, const QString& channel = {},
                        const QString& playlist = {}) {
    QJsonObject item = libraryItem(path, "thumbnail", channel, playlist);
    item["parent"] = parent;
    return item;
}

// A dozen items of every kind (a thumbnail is listed after the file it belongs to). "Trip" is a playlist and
// also a channel; "chan a" differs from "Chan A" only in case; one item is of the kind "shorts", which is no
// short.
QJsonArray dozen() {
    return {libraryItem("/m/v1.mp4", "video", "Chan A", "Trip"),
            libraryItem("/m/v2.mp4", "video", "Chan B"),
            libraryItem("/m/a1.m4a", "audio", "Chan A", "Trip"),
            libraryItem("/m/a2.m4a", "audio", "", "Mix"),
            libraryItem("/m/s1.mp4", "short", "Chan B"),
            libraryItem("/m/s2.mp4", "shorts"),
            thumbnailOf("/m/t1.jpg", "/m/v1.mp4", "Chan A", "Trip"),
            thumbnailOf("/m/t2.jpg", "/m/v6.mp4"),
            libraryItem("/m/v3.mp4", "video", "Trip"),
            libraryItem("/m/v5.mp4", "video", "chan a"),
            libraryItem("/m/a3.m4a", "audio", "Chan A", "Mix"),
            libraryItem("/m/v6.mp4", "video")};
}

QStringList paths(const QStringList& names) {
    QStringList out;
    for (const QString& name : names)
        out << (name.startsWith(u'/') ? name : "/m/" + name);
    return out;
}

QStringList groupTags(const QStringList& names) {
    QStringList out;
    for (const QString& name : names)
        out << "group:" + name;
    return out;
}

struct Seeded {
    ViewFixture f;
    std::unique_ptr<LibraryPane> pane;
    QList<PlayerTarget> opened;

    explicit Seeded(const QJsonArray& items, bool withFactory = true) {
        if (!seedLibrary(f.path("support"), items))
            qFatal("seeding failed");
        f.boot();
        LibraryPane::PlayerFactory factory;
        if (withFactory) {
            factory = [this](AppModel&, const PlayerTarget& target, QWidget* parent) -> QDialog* {
                opened << target;
                auto* dialog = new QDialog(parent);
                dialog->setObjectName("testPlayer");
                return dialog;
            };
        }
        pane = std::make_unique<LibraryPane>(f.model.get(), factory);
    }
    bool show() {
        return showAt(pane.get(), QSize(1000, 700)) && QTest::qWaitFor([&] {
                   return f.model->libraryPart().library().size() == size_t(dozen().size()) ||
                          !f.model->libraryPart().libraryLoading();
               });
    }
    LibraryPaneModel& rows() { return *pane->rows(); }
    QPushButton* selectAll() { return pane->findChild<QPushButton*>("selectAll"); }
    RowIcon* trash() { return pane->findChild<RowIcon*>("deleteSelected"); }
    QLabel* count() { return pane->findChild<QLabel*>("label_selected_count"); }
};

} // namespace

class TestLibraryPane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }
    void cleanup() { LibraryPane::setFileOpener({}); }

    void categories_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("group"); // opened from the category's group rows
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QString>("title");
        const QStringList none;
        QTest::newRow("all: no thumbnails") << "all"
                                            << ""
                                            << ""
                                            << paths({"v1.mp4", "v2.mp4", "a1.m4a", "a2.m4a", "s1.mp4",
                                                      "s2.mp4", "v3.mp4", "v5.mp4", "a3.m4a", "v6.mp4"})
                                            << none << "Downloads (10)";
        QTest::newRow("video") << "video"
                               << ""
                               << "" << paths({"v1.mp4", "v2.mp4", "v3.mp4", "v5.mp4", "v6.mp4"}) << none
                               << "Downloads (5)";
        QTest::newRow("audio") << "audio"
                               << ""
                               << "" << paths({"a1.m4a", "a2.m4a", "a3.m4a"}) << none << "Downloads (3)";
        QTest::newRow("shorts: the kind short, not shorts")
            << "shorts"
            << ""
            << "" << paths({"s1.mp4"}) << none << "Downloads (1)";
        QTest::newRow("thumbnails only under thumbnails")
            << "thumbnails"
            << ""
            << "" << paths({"t1.jpg", "t2.jpg"}) << none << "Thumbnails (2)";
        QTest::newRow("one thumbnail") << "thumbnails"
                                       << ""
                                       << "t2" << paths({"t2.jpg"}) << none << "1 thumbnail";
        QTest::newRow("no thumbnail") << "thumbnails"
                                      << ""
                                      << "a1" << none << none << "";
        QTest::newRow("playlists: groups in order of first sight")
            << "playlists"
            << ""
            << "" << none << groupTags({"Trip", "Mix"}) << "";
        QTest::newRow("channels: exact names")
            << "channels"
            << ""
            << "" << none << groupTags({"Chan A", "Chan B", "Trip", "chan a"}) << "";
        QTest::newRow("the filter narrows the groups") << "channels"
                                                       << ""
                                                       << "a3" << none << groupTags({"Chan A"}) << "";
        QTest::newRow("open playlist also lists the channel of that name")
            << "playlists"
            << "Trip"
            << "" << paths({"v1.mp4", "a1.m4a", "v3.mp4"}) << none << "Downloads (3)";
        QTest::newRow("open channel")
            << "channels"
            << "Chan A"
            << "" << paths({"v1.mp4", "a1.m4a", "a3.m4a"}) << none << "Downloads (3)";
        QTest::newRow("open group under the filter") << "playlists"
                                                     << "Mix"
                                                     << "a3" << paths({"a3.m4a"}) << none << "Downloads (1)";
    }
    void categories() {
        QFETCH(QString, category);
        QFETCH(QString, group);
        QFETCH(QString, filter);
        QFETCH(QStringList, items);
        QFETCH(QStringList, groups);
        QFETCH(QString, title);
        Seeded s(dozen());
        QVERIFY(s.show());
        QTRY_COMPARE(s.f.model->libraryPart().library().size(), size_t(12));
        clickCategory(*s.pane, category);
        if (!group.isEmpty()) {
            QVERIFY(clickRow(*s.pane, s.rows().rowOf("group:" + group), Spot::OpenGroup));
            QCOMPARE(s.rows().openGroup(), std::optional<QString>(group));
            auto* name = s.pane->findChild<QLabel*>("groupName");
            QVERIFY(name->isVisible());
            QCOMPARE(name->text(), group);
            QVERIFY(!s.pane->findChild<SegmentedBar*>("categoryBar")->isVisible());
            auto* back = s.pane->findChild<QPushButton*>("button_back_to_sections");
            QVERIFY(back->isVisible());
            QCOMPARE(back->text(), QString("Back to Sections"));
        }
        if (!filter.isEmpty())
            QTest::keyClicks(s.pane->findChild<QLineEdit*>("placeholder_filter"), filter);
        QCOMPARE(tagsOf(s.rows(), Kind::Item), items);
        QCOMPARE(tagsOf(s.rows(), Kind::Group), groups);
        QCOMPARE(headerText(s.rows(), Kind::ItemsHeader), title);
        auto* content = s.pane->findChild<QStackedWidget*>();
        const bool empty = items.isEmpty() && groups.isEmpty();
        QCOMPARE(s.pane->findChild<EmptyNotice*>("title_downloads")->isVisible(), empty);
        QCOMPARE(s.pane->list()->isVisible(), !empty);
        Q_UNUSED(content);
        // The header stays whatever the list shows.
        QVERIFY(s.pane->findChild<QLineEdit*>("placeholder_filter")->isVisible());
        QVERIFY(s.selectAll()->isVisible());
    }

    // Going back keeps the selection; another category empties it and closes nothing more.
    void backAndCategoryChange() {
        Seeded s(dozen());
        QVERIFY(s.show());
        QTRY_COMPARE(s.f.model->libraryPart().library().size(), size_t(12));
        clickCategory(*s.pane, "playlists");
        QVERIFY(clickRow(*s.pane, s.rows().rowOf("group:Mix"), Spot::Checkbox));
        QVERIFY(clickRow(*s.pane, s.rows().rowOf("group:Trip"), Spot::None, Qt::NoModifier, true));
        QCOMPARE(s.rows().openGroup(), std::optional<QString>("Trip"));
        QSet<QString> kept = s.rows().selection();
        QVERIFY(clickRow(*s.pane, s.rows().rowOf("/m/v3.mp4"), Spot::Checkbox));
        kept.insert("/m/v3.mp4");
        QTest::mouseClick(s.pane->findChild<QPushButton*>("button_back_to_sections"), Qt::LeftButton);
        QCOMPARE(s.rows().openGroup(), std::nullopt);
        QCOMPARE(s.rows().selection(), kept);
        clickCategory(*s.pane, "playlists"); // the same category: nothing changes
        QCOMPARE(s.rows().selection(), kept);
        clickCategory(*s.pane, "audio");
        QVERIFY(s.rows().selection().isEmpty());
        QCOMPARE(s.rows().category(), LibraryCategory::Audio);
    }

    // The counts are those of the paths the selection stands for, groups counting their items.
    void selection_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected"); // selectedPaths
        QTest::addColumn<QString>("button");
        QTest::newRow("nothing") << "all" << QStringList{} << QStringList{} << "Select All";
        QTest::newRow("two checkboxes") << "video" << QStringList{"check /m/v2.mp4", "check /m/v1.mp4"}
                                        << paths({"v1.mp4", "v2.mp4"}) << "Select All";
        QTest::newRow("checkbox twice")
            << "video" << QStringList{"check /m/v2.mp4", "check /m/v2.mp4"} << QStringList{} << "Select All";
        QTest::newRow("select all") << "audio" << QStringList{"all"} << paths({"a1.m4a", "a2.m4a", "a3.m4a"})
                                    << "Select None";
        QTest::newRow("every row by hand")
            << "audio" << QStringList{"check /m/a1.m4a", "check /m/a2.m4a", "check /m/a3.m4a"}
            << paths({"a1.m4a", "a2.m4a", "a3.m4a"}) << "Select None";
        QTest::newRow("select none clears the shown rows only")
            << "audio" << QStringList{"ctrl hit", "all", "all"} << QStringList{} << "Select All";
        QTest::newRow("a hit is never counted")
            << "audio" << QStringList{"ctrl hit"} << QStringList{} << "Select All";
        QTest::newRow("groups count their items")
            << "channels" << QStringList{"check group:Chan A", "check group:chan a"}
            << paths({"v1.mp4", "a1.m4a", "a3.m4a", "v5.mp4"}) << "Select All";
        QTest::newRow("select all groups")
            << "playlists" << QStringList{"all"} << paths({"v1.mp4", "a1.m4a", "a2.m4a", "a3.m4a"})
            << "Select None";
        QTest::newRow("hidden by the filter: kept, not counted")
            << "audio" << QStringList{"check /m/a1.m4a", "check /m/a2.m4a", "filter a2"} << paths({"a2.m4a"})
            << "Select None";
        QTest::newRow("shown again: counted again")
            << "audio" << QStringList{"check /m/a1.m4a", "filter a2", "filter "} << paths({"a1.m4a"})
            << "Select All";
        // What counts is what is listed as selected: group rows are not listed while a group is open.
        QTest::newRow("a group and one of its items: the item alone while the group is open")
            << "playlists" << QStringList{"check group:Trip", "open Trip", "check /m/a1.m4a"}
            << paths({"a1.m4a"}) << "Select All";
        QTest::newRow("a group and one of its items: the group once it is closed")
            << "playlists" << QStringList{"check group:Trip", "open Trip", "check /m/a1.m4a", "back"}
            << paths({"v1.mp4", "a1.m4a"}) << "Select All";
        QTest::newRow("two groups sharing an item: the open one's items")
            << "channels"
            << QStringList{"check group:Chan A", "open Trip", "check /m/v1.mp4", "check /m/a1.m4a"}
            << paths({"v1.mp4", "a1.m4a"}) << "Select All";
        QTest::newRow("a selected group is not counted while another is open")
            << "playlists" << QStringList{"check group:Mix", "open Trip"} << QStringList{} << "Select All";
        QTest::newRow("a plain click selects that row alone")
            << "video" << QStringList{"check /m/v1.mp4", "click /m/v3.mp4"} << paths({"v3.mp4"})
            << "Select All";
        QTest::newRow("ctrl adds, shift extends")
            << "video" << QStringList{"click /m/v1.mp4", "shift /m/v3.mp4", "ctrl /m/v6.mp4"}
            << paths({"v1.mp4", "v2.mp4", "v3.mp4", "v6.mp4"}) << "Select All";
    }
    void selection() {
        QFETCH(QString, category);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        QFETCH(QString, button);
        Seeded s(dozen());
        QVERIFY(s.show());
        QTRY_COMPARE(s.f.model->libraryPart().library().size(), size_t(12));
        // One hit above the items, whatever the filter.
        const QJsonObject hit{{"mediaPath", "/m/a1.m4a"}, {"title", "a1"},  {"language", "en"},
                              {"startMs", 4000},          {"endMs", 6000},  {"excerpt", "x ‹y› z"},
                              {"jsonPath", "/m/a1.srt"},  {"exists", false}};
        auto answerNextSearch = [&](const QString& query) {
            s.f.script("search.query",
                       {{"result", QJsonObject{{"query", query}, {"hits", QJsonArray{hit}}}}});
        };
        answerNextSearch("m/");
        clickCategory(*s.pane, category);
        auto* filter = s.pane->findChild<QLineEdit*>("placeholder_filter");
        QTest::keyClicks(filter, "m/");
        s.f.fakes.clock.advance(Library::searchDebounceMs);
        QTRY_COMPARE(s.f.model->libraryPart().searchHits().size(), size_t(1));
        const QString hitTag = "hit:/m/a1.m4a#4000";
        for (const QString& step : steps) {
            const QString verb = step.section(' ', 0, 0);
            const QString arg = step.section(' ', 1);
            if (verb == "check")
                QVERIFY2(clickRow(*s.pane, s.rows().rowOf(arg), Spot::Checkbox), qPrintable(step));
            else if (verb == "all")
                QTest::mouseClick(s.selectAll(), Qt::LeftButton);
            else if (verb == "ctrl" && arg == "hit")
                QVERIFY(clickRow(*s.pane, s.rows().rowOf(hitTag), Spot::None, Qt::ControlModifier));
            else if (verb == "ctrl")
                QVERIFY(clickRow(*s.pane, s.rows().rowOf(arg), Spot::None, Qt::ControlModifier));
            else if (verb == "shift")
                QVERIFY(clickRow(*s.pane, s.rows().rowOf(arg), Spot::None, Qt::ShiftModifier));
            else if (verb == "click")
                QVERIFY(clickRow(*s.pane, s.rows().rowOf(arg), Spot::None));
            else if (verb == "open")
                QVERIFY(clickRow(*s.pane, s.rows().rowOf("group:" + arg), Spot::OpenGroup));
            else if (verb == "back")
                QTest::mouseClick(s.pane->findChild<QPushButton*>("button_back_to_sections"), Qt::LeftButton);
            else if (verb == "filter") {
                filter->selectAll();
                answerNextSearch("m/" + arg);
                QTest::keyClicks(filter, "m/" + arg);
                s.f.fakes.clock.advance(Library::searchDebounceMs);
                QTRY_COMPARE(s.rows().rowOf(hitTag) >= 0, true);
            } else
                QFAIL(qPrintable("unknown step " + step));
        }
        QCOMPARE(s.rows().selectedPaths(), expected);
        QCOMPARE(s.selectAll()->text(), button);
        const QString n = QString::number(expected.size());
        QCOMPARE(s.count()->isVisible(), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(s.count()->text(), n + " selected");
        QCOMPARE(s.trash()->isEnabled(), !expected.isEmpty());
        QCOMPARE(s.trash()->label(), expected.isEmpty() ? QString("Delete") : "Delete (" + n + ")");
        // A hit's tag is left alone by select all / none.
        QCOMPARE(s.rows().selection().contains(hitTag), steps.contains("ctrl hit"));
        // The hit's file is missing: a plain click opens nothing (the click is handled at once).
        QVERIFY(clickRow(*s.pane, s.rows().rowOf(hitTag), Spot::None));
        QVERIFY(!s.pane->player());
        QVERIFY(s.opened.isEmpty());
    }

    // The selection's removal through the engine: the alert by category, the request as sent, the reload
    // from offset 0, the status refresh, and the selection emptied whatever the engine said.
    void removal_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("fails");
        QTest::newRow("to the trash") << "all"
                                      << "button_move_to_trash" << false;
        QTest::newRow("from the list") << "all"
                                       << "button_remove_from_list" << false;
        QTest::newRow("refused by the engine") << "all"
                                               << "button_move_to_trash" << true;
        QTest::newRow("thumbnails") << "thumbnails"
                                    << "button_move_to_trash" << false;
        QTest::newRow("cancel") << "all"
                                << "button_cancel" << false;
    }
    void removal() {
        QFETCH(QString, category);
        QFETCH(QString, button);
        QFETCH(bool, fails);
        ViewFixture f;
        const QStringList names{"a.mp4", "b.mp4", "c.mp4", "a.jpg", "c.jpg"};
        QJsonArray items;
        for (const QString& name : names) {
            const QString path = f.path("media/" + name);
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
            QJsonObject item = libraryItem(path, name.endsWith(".jpg") ? "thumbnail" : "video");
            if (name.endsWith(".jpg"))
                item["parent"] = f.path("media/" + QFileInfo(name).completeBaseName() + ".mp4");
            items << item;
        }
        QVERIFY(seedLibrary(f.path("support"), items));
        f.boot();
        LibraryPane pane(f.model.get(), {});
        QVERIFY(showAt(&pane, QSize(1000, 700)));
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(5));
        clickCategory(pane, category);
        const bool pictures = category == "thumbnails";
        const QStringList chosen = pictures ? QStringList{f.path("media/a.jpg"), f.path("media/c.jpg")}
                                            : QStringList{f.path("media/a.mp4"), f.path("media/c.mp4")};
        for (const QString& path : chosen)
            QVERIFY(clickRow(pane, pane.rows()->rowOf(path), Spot::Checkbox));
        if (fails)
            f.scriptError("library.remove", 5, "disk says no");
        QTest::mouseClick(pane.findChild<RowIcon*>("deleteSelected"), Qt::LeftButton);
        QMessageBox* box = pane.alert();
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->objectName(), QString("title_remove_selected"));
        QCOMPARE(box->informativeText(), pictures ? QString("Delete the 2 selected thumbnails?")
                                                  : QString("Remove the 2 selected downloads?"));
        QCOMPARE(box->findChild<QPushButton*>("button_remove_from_list") != nullptr, !pictures);
        QVERIFY(box->findChild<QPushButton*>("button_cancel"));
        const qsizetype before = f.requests().size();
        QTest::mouseClick(box->findChild<QPushButton*>(button), Qt::LeftButton);
        auto methodsSince = [&] {
            QStringList methods;
            for (const LoggedRequest& q : f.requests().mid(before)) {
                if (q.method != "thumbnail.resolve")
                    methods << q.method;
            }
            return methods;
        };
        if (button == "button_cancel") {
            QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
            QCOMPARE(methodsSince(), QStringList{"search.status"});
            QCOMPARE(pane.rows()->selectedPaths(), chosen);
            return;
        }
        QTRY_VERIFY(pane.rows()->selection().isEmpty());
        const QStringList methods = methodsSince();
        QCOMPARE(methods.mid(0, 3), QStringList({"library.remove", "library.list", "search.status"}));
        const bool trash = button == "button_move_to_trash";
        const LoggedRequest sent = f.requestsOf("library.remove").last();
        QCOMPARE(sent.params,
                 QJsonObject({{"paths", QJsonArray::fromStringList(chosen)}, {"deleteFiles", trash}}));
        QCOMPARE(f.requestsOf("library.list").last().params["offset"].toInt(), 0);
        QCOMPARE(bool(f.model->sessionPart().lastError()), fails);
        for (const QString& path : chosen) {
            QCOMPARE(QFileInfo::exists(path), fails || !trash);
            QCOMPARE(QFileInfo::exists(f.path("data/Trash/files/" + QFileInfo(path).fileName())),
                     trash && !fails);
            QCOMPARE(pane.rows()->rowOf(path) >= 0, fails);
        }
        if (!pictures)
            QVERIFY(pane.rows()->rowOf(f.path("media/b.mp4")) >= 0);
    }

    // The footer shows while the machine can transcribe or the index holds a document; its lines follow
    // the state; the rebuild button waits for the rebuild and the status after it.
    void footer() {
        ViewFixture f;
        f.startEngine();
        f.script("search.status",
                 {{"result",
                   QJsonObject{
                       {"documents", 0}, {"segments", 0}, {"sizeBytes", 0}, {"transcribed", QJsonArray{}}}}},
                 1);
        f.script("models.list", {{"error", QJsonObject{{"code", 1}, {"message", "no"}}}}, 0);
        f.boot();
        LibraryPane pane(f.model.get(), {});
        QVERIFY(showAt(&pane, QSize(1000, 700)));
        QWidget* footer = pane.findChild<QWidget*>("footer");
        QVERIFY(!footer->isVisible());
        f.script("search.status",
                 {{"result",
                   QJsonObject{
                       {"documents", 3}, {"segments", 9}, {"sizeBytes", 10}, {"transcribed", QJsonArray{}}}}},
                 0);
        f.control("test.hold", {{"method", "search.reindex"}});
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QVERIFY(footer->isVisible());
        auto* footerContent = pane.findChild<IndexFooter*>();
        QCOMPARE(footerContent->indexLine()->text(), QString("3 transcriptions indexed"));
        QVERIFY(!footerContent->workingLine()->isVisible());
        QPushButton* reindex = footerContent->reindexButton();
        QCOMPARE(reindex->text(), QString("Rebuild Index"));
        QTest::mouseClick(reindex, Qt::LeftButton);
        QCOMPARE(reindex->text(), QString("Loading…"));
        QVERIFY(!reindex->isEnabled());
        QVERIFY(f.waitForRequests("search.reindex", 1));
        QTest::mouseClick(reindex, Qt::LeftButton); // disabled: no second rebuild
        const int statuses = f.requestsOf("search.status").size();
        f.control("test.release", {{"method", "search.reindex"}});
        QVERIFY(f.waitForRequests("search.status", statuses + 1));
        QTRY_VERIFY(reindex->isEnabled());
        QCOMPARE(reindex->text(), QString("Rebuild Index"));
        QCOMPARE(f.requestsOf("search.reindex").size(), 1);
    }

    // Two files with subtitles beside them: a word of one file's subtitles typed in the filter finds
    // its passage, the hit shows its time, and opening it hands the player the passage; without a
    // player the placeholder opens with the same target.
    void findBySpokenWordAndOpen_data() {
        QTest::addColumn<bool>("withPlayer");
        QTest::newRow("player") << true;
        QTest::newRow("placeholder") << false;
    }
    void findBySpokenWordAndOpen() {
        QFETCH(bool, withPlayer);
        ViewFixture f;
        const QString one = f.path("media/Harbour talk.mp4");
        const QString two = f.path("media/Garden talk.mp4");
        auto write = [](const QString& path, const QByteArray& bytes) {
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(one, "media"));
        QVERIFY(write(two, "media"));
        QVERIFY(
            write(f.path("media/Harbour talk.en.srt"),
                  "1\n00:00:01,000 --> 00:00:03,000\nWelcome to the harbour.\n\n"
                  "2\n00:01:05,000 --> 00:01:08,500\nThe lighthouse keeper <b>waves</b> at the ferry.\n\n"));
        QVERIFY(write(f.path("media/Garden talk.en.srt"),
                      "1\n00:00:02,000 --> 00:00:04,000\nRoses and tulips grow here.\n\n"));
        QVERIFY(
            seedLibrary(f.path("support"), QJsonArray{libraryItem(one, "video"), libraryItem(two, "video")}));
        f.boot();
        QList<PlayerTarget> opened;
        LibraryPane::PlayerFactory factory;
        if (withPlayer)
            factory = [&](AppModel&, const PlayerTarget& target, QWidget* parent) -> QDialog* {
                opened << target;
                return new QDialog(parent);
            };
        LibraryPane pane(f.model.get(), factory);
        QVERIFY(showAt(&pane, QSize(1000, 700)));
        QTRY_COMPARE(f.model->libraryPart().library().size(), size_t(2));
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QTRY_VERIFY(f.model->libraryPart().searchStatus() &&
                    f.model->libraryPart().searchStatus()->documents == 2);
        // The footer counts the indexed transcripts.
        QVERIFY(pane.findChild<QWidget*>("footer")->isVisible());

        QTest::keyClicks(pane.findChild<QLineEdit*>("placeholder_filter"), "lighthouse");
        QVERIFY(f.model->libraryPart().filteredLibrary().empty()); // no title or path holds the word
        f.fakes.clock.advance(Library::searchDebounceMs);
        QTRY_COMPARE(f.model->libraryPart().searchHits().size(), size_t(1));
        const SearchHit hit = f.model->libraryPart().searchHits().front();
        QCOMPARE(hit.mediaPath, one);
        QCOMPARE(hit.startMs, 65000);
        QCOMPARE(hit.endMs, 68500);
        QVERIFY(hit.excerpt.contains(QString::fromUtf8("\u2039")));
        QCOMPARE(headerText(*pane.rows(), Kind::HitsHeader), QString("In transcriptions"));
        QCOMPARE(tagsOf(*pane.rows(), Kind::Hit), QStringList{"hit:" + one + "#65000"});
        QVERIFY(pane.list()->isVisible());
        QCOMPARE(LibraryRowDelegate::hitTime(hit), QString("1 min 05 s"));

        QVERIFY(clickRow(pane, pane.rows()->rowOf("hit:" + one + "#65000"), Spot::None));
        const PlayerTarget expected{one, hit.title, 65000, 68500, hit.excerpt};
        QCOMPARE(pane.playing(), std::optional<PlayerTarget>(expected));
        QDialog* player = pane.player();
        QVERIFY(player);
        QTRY_VERIFY(player->isVisible());
        if (withPlayer) {
            QCOMPARE(opened, QList<PlayerTarget>{expected});
        } else {
            QCOMPARE(player->objectName(), QString("placeholder"));
            QCOMPARE(player->findChild<QLabel*>("placeholder.detail")->text(),
                     Strings::text("v2_placeholder_player"));
        }
        QTest::keyClick(player, Qt::Key_Escape);
        QTRY_COMPARE(pane.playing(), std::nullopt);

        // A hit whose file went away opens nothing and the library is read again.
        QVERIFY(QFile::remove(one));
        const int lists = f.requestsOf("library.list").size();
        pane.playHit(hit);
        QVERIFY(f.waitForRequests("library.list", lists + 1));
        QCOMPARE(pane.playing(), std::nullopt);
        QVERIFY(!pane.player());
        QVERIFY(f.model->promptsPart().fileMissingNotice());
    }

    // The last item row coming into view asks for the next page: here the paging stopped at a failed
    // page, and scrolling to the end asks for it again from where the list ends.
    void theLastRowAsksForTheNextPage() {
        ViewFixture f;
        // As the engine writes them: every field present.
        auto libraryItem = [](const QString& path, const QString& kind) {
            QJsonObject item = ::libraryItem(path, kind);
            item["addedAt"] = 1.0;
            item["thumbURL"] = "";
            item["thumbPath"] = "";
            item["exists"] = false;
            return item;
        };
        QJsonArray page;
        for (int i = 0; i < 40; ++i)
            page << libraryItem(QString("/m/%1.mp4").arg(i, 2, 10, QChar('0')), "video");
        f.startEngine();
        f.script("library.list",
                 {{"result", QJsonObject{{"items", page}, {"total", 80}, {"offset", 0}, {"hasMore", true}}}});
        f.scriptError("library.list", 5, "page lost");
        f.boot();
        QVERIFY(f.waitForRequests("library.list", 2));
        QTRY_VERIFY(!f.model->libraryPart().libraryLoading());
        QVERIFY(f.model->libraryPart().libraryHasMore());
        LibraryPane pane(f.model.get(), {});
        QVERIFY(showAt(&pane, QSize(1000, 700)));
        QCOMPARE(tagsOf(*pane.rows(), Kind::Item).size(), 40);
        // Rows in view that are not the last ask nothing: a status refresh comes back with no page asked.
        QCoro::waitFor(f.model->libraryPart().refreshSearchStatus());
        QCOMPARE(f.requestsOf("library.list").size(), 2);
        QJsonArray next;
        for (int i = 40; i < 80; ++i)
            next << libraryItem(QString("/m/%1.mp4").arg(i, 2, 10, QChar('0')), "video");
        f.script(
            "library.list",
            {{"result", QJsonObject{{"items", next}, {"total", 80}, {"offset", 40}, {"hasMore", false}}}});
        pane.list()->scrollToBottom();
        QVERIFY(f.waitForRequests("library.list", 3));
        QCOMPARE(f.requestsOf("library.list").last().params["offset"].toInt(), 40);
        QTRY_COMPARE(tagsOf(*pane.rows(), Kind::Item).size(), 80);
        QCOMPARE(headerText(*pane.rows(), Kind::ItemsHeader), QString("Downloads (80)"));
    }

    // A download finishing while the list is scrolled far into a long library: the reload lists the new file
    // without emptying the list or resetting it, the row the user looks at stays where it is, and so do the
    // view's current row and the selection.
    void aReloadKeepsTheListInPlace() {
        ViewFixture f;
        QJsonArray items;
        for (int i = 0; i < 1000; ++i) {
            QJsonObject item = libraryItem(QString("/m/%1.mp4").arg(i, 4, 10, QChar('0')), "video");
            item["addedAt"] = 5000.0 - i;
            items << item;
        }
        QVERIFY(seedLibrary(f.path("support"), items));
        f.boot();
        QTRY_VERIFY(f.model->libraryPart().library().size() == 1000 &&
                    !f.model->libraryPart().libraryHasMore() && !f.model->libraryPart().libraryLoading());
        LibraryPane pane(f.model.get(), {});
        QVERIFY(showAt(&pane, QSize(1000, 700)));
        LibraryPaneModel& rows = *pane.rows();
        QListView* list = pane.list();
        auto topTag = [&] {
            return rows.tagAt(list->indexAt(QPoint(list->viewport()->width() / 2, 2)).row());
        };
        const QString looked = "/m/0700.mp4";
        // The list lays its rows out in batches: the row is reached once its batch is laid out.
        auto scrollToLooked = [&] {
            list->scrollTo(rows.index(rows.rowOf(looked)), QAbstractItemView::PositionAtTop);
            return topTag() == looked;
        };
        QTRY_VERIFY(scrollToLooked());
        const int offsetBefore = list->visualRect(rows.index(rows.rowOf(looked))).top();
        list->setCurrentIndex(rows.index(rows.rowOf("/m/0705.mp4")));
        QVERIFY(clickRow(pane, rows.rowOf("/m/0703.mp4"), Spot::Checkbox));
        QTRY_VERIFY(scrollToLooked());
        const int before = rows.rowCount();

        QSignalSpy resets(&rows, &QAbstractItemModel::modelReset);
        int fewest = before;
        connect(&rows, &QAbstractItemModel::rowsRemoved, this,
                [&] { fewest = std::min(fewest, rows.rowCount()); });
        QJsonObject fresh = libraryItem("/m/new.mp4", "video");
        fresh["addedAt"] = 9000.0;
        QVERIFY(seedLibrary(f.path("support"), {fresh}));
        QCoro::waitFor(f.model->libraryPart().reloadLibrary());
        QTRY_VERIFY(f.model->libraryPart().library().size() == 1001 &&
                    !f.model->libraryPart().libraryHasMore() && !f.model->libraryPart().libraryLoading());
        QCOMPARE(rows.rowCount(), before + 1);
        QCOMPARE(rows.tagAt(1), QString("/m/new.mp4"));
        QCOMPARE(resets.size(), 0);
        QCOMPARE(fewest, before);
        QTRY_COMPARE(topTag(), looked);
        QTRY_COMPARE(list->visualRect(rows.index(rows.rowOf(looked))).top(), offsetBefore);
        QCOMPARE(rows.tagAt(list->currentIndex().row()), QString("/m/0705.mp4"));
        QCOMPARE(rows.selectedPaths(), QStringList{"/m/0703.mp4"});
    }

    void nothingSelectable() {
        Seeded s(QJsonArray{});
        QVERIFY(s.show());
        QVERIFY(s.pane->findChild<EmptyNotice*>("title_downloads")->isVisible());
        for (const QString category : {"all", "playlists", "thumbnails"}) {
            clickCategory(*s.pane, category);
            QVERIFY(!s.selectAll()->isEnabled());
            QCOMPARE(s.selectAll()->text(), QString("Select All"));
            QVERIFY(s.pane->findChild<EmptyNotice*>("title_downloads")->isVisible());
        }
    }
};

QTEST_MAIN(TestLibraryPane)
#include "Session.h"
#include "tst_librarypane.moc"
