// The painted lists from the keyboard alone: the library, the batch queue, the transcription list and the
// listing picker each take focus with Tab, draw a ring on the current row, move it with the arrows, Page
// Up/Down, Home and End over the rows that can take it, and run Space, Return, Delete and the menu key on
// it; their rows read out through assistive technology. Tables of key presses per list.
#include "BatchFixture.h"
#include "DownloadQueue.h"
#include "LibraryPaneHelpers.h"
#include "TranscriptionFixture.h"
#include "Transcriptions.h"

#include "JobListModel.h"
#include "JsonReader.h"
#include "Library.h"
#include "ListingPick.h"
#include "batch/BatchPane.h"
#include "batch/ListingPicker.h"
#include "batch/ListingRowsModel.h"
#include "batch/QueueListView.h"
#include "kit/LinkButton.h"
#include "kit/RowListView.h"
#include "rows/JobRowDelegate.h"
#include "rows/RowIcon.h"
#include "transcription/TranscriptionListModel.h"
#include "transcription/TranscriptionPane.h"
#include "transcription/TranscriptionRowContent.h"

#include <QAccessible>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>

using Kind = Job::State::Kind;
using Spot = LibraryRowDelegate::Spot;

namespace {

Qt::Key keyNamed(const QString& name) {
    static const QHash<QString, Qt::Key> keys{
        {"Up", Qt::Key_Up},         {"Down", Qt::Key_Down},     {"PgUp", Qt::Key_PageUp},
        {"PgDn", Qt::Key_PageDown}, {"Home", Qt::Key_Home},     {"End", Qt::Key_End},
        {"Space", Qt::Key_Space},   {"Return", Qt::Key_Return}, {"Delete", Qt::Key_Delete},
        {"Menu", Qt::Key_Menu},     {"Escape", Qt::Key_Escape},
    };
    return keys.value(name, Qt::Key_unknown);
}

// Presses the keys named (space-separated) on whatever has the focus, as a user would.
void press(const QString& keys) {
    for (const QString& name : keys.split(' ', Qt::SkipEmptyParts)) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY2(target, qPrintable("nothing has the focus for " + name));
        QVERIFY2(keyNamed(name) != Qt::Key_unknown, qPrintable(name));
        QTest::keyClick(target, keyNamed(name));
    }
}

// Tabs from `start` until `target` has the focus; false when it never comes.
bool tabTo(QWidget* start, QWidget* target, int most = 16) {
    start->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < most; ++i) {
        if (target->hasFocus())
            return true;
        QWidget* now = QApplication::focusWidget();
        if (!now)
            return false;
        QTest::keyClick(now, Qt::Key_Tab);
    }
    return target->hasFocus();
}

bool showActive(QWidget* w, QSize size) {
    if (!showAt(w, size))
        return false;
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

// The current row draws a ring while the list has the focus, and none without it.
bool ringShows(RowListView* list) {
    const QModelIndex current = list->currentIndex();
    if (!current.isValid() || !list->hasFocus())
        return false;
    const QRect row = list->visualRect(current);
    const QImage focused = list->viewport()->grab(row).toImage();
    QWidget* other = list->window();
    list->clearFocus();
    other->setFocus();
    QCoreApplication::processEvents();
    const QImage unfocused = list->viewport()->grab(row).toImage();
    list->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    return focused != unfocused;
}

QStringList menuNames(QMenu* menu) {
    QStringList names;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            names << action->objectName() + (action->isEnabled() ? "" : " (off)");
    }
    return names;
}

void trigger(QMenu* menu, const QString& name) {
    for (QAction* action : menu->actions()) {
        if (action->objectName() == name) {
            menu->close();
            action->trigger();
            return;
        }
    }
    QFAIL(qPrintable("no menu entry " + name));
}

// What a screen reader hears of a row of the list.
QString spoken(QAbstractItemView* list, int row, QAccessible::Text what) {
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
    if (!view || !view->tableInterface())
        return {};
    QAccessibleInterface* cell = view->tableInterface()->cellAt(row, 0);
    return cell ? cell->text(what) : QString();
}

// ---- The library -----------------------------------------------------------------------------------

struct LibraryScreen {
    ViewFixture f;
    std::unique_ptr<LibraryPane> pane;
    QStringList played;

    LibraryScreen() {
        QJsonArray items;
        auto add = [&](const QString& name, const QString& kind, const QString& channel,
                       const QString& playlist) {
            const QString path = f.path("media/" + name);
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
                qFatal("no media file");
            items << libraryItem(path, kind, channel, playlist);
        };
        add("v01.mp4", "video", "Chan A", "Trip");
        add("v02.mp4", "video", "Chan A", "Trip");
        add("a03.m4a", "audio", "Chan B", "Mix");
        for (int i = 4; i <= 30; ++i)
            add(QStringLiteral("v%1.mp4").arg(i, 2, 10, QLatin1Char('0')), "video", "", "");
        if (!seedLibrary(f.path("support"), items))
            qFatal("seeding failed");
        f.boot();
        pane = std::make_unique<LibraryPane>(
            f.model.get(), [this](AppModel&, const PlayerTarget& target, QWidget* parent) -> QDialog* {
                played << QFileInfo(target.mediaPath).fileName();
                return new QDialog(parent);
            });
    }
    bool show() {
        return showActive(pane.get(), QSize(1000, 700)) && QTest::qWaitFor([&] {
                   return f.model->libraryPart().library().size() >= 30 && pane->rows()->rowCount() > 30;
               });
    }
    QString tag(const QString& name) const {
        return name.startsWith("group:") ? name : f.path("media/" + name);
    }
    QString currentName() const {
        const QString tag = pane->rows()->tagAt(pane->list()->currentRow());
        return tag.startsWith("group:") ? tag : QFileInfo(tag).fileName();
    }
    QStringList selectionNames() const {
        QStringList names;
        for (const QString& tag : pane->rows()->selection())
            names << (tag.startsWith("group:") ? tag : QFileInfo(tag).fileName());
        names.sort();
        return names;
    }
};

} // namespace

class TestListKeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }
    void cleanup() { LibraryPane::setFileOpener({}); }

    void library_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("current");       // the current row's file or group tag
        QTest::addColumn<QStringList>("selection"); // file names or group tags, sorted
        QTest::addColumn<QString>("count");         // the selection bar's count, "" when hidden
        QTest::addColumn<QString>("open");          // the open group
        QTest::addColumn<QString>("played");        // the file the player opened
        QTest::addColumn<QString>("alert");         // the alert's message, "" for none
        const QStringList none;
        QTest::newRow("tab lands on the first item, past the header") << "all"
                                                                      << ""
                                                                      << "v01.mp4" << none << ""
                                                                      << ""
                                                                      << ""
                                                                      << "";
        QTest::newRow("down twice") << "all"
                                    << "Down Down"
                                    << "a03.m4a" << none << ""
                                    << ""
                                    << ""
                                    << "";
        QTest::newRow("up never reaches the header") << "all"
                                                     << "Up Up"
                                                     << "v01.mp4" << none << ""
                                                     << ""
                                                     << ""
                                                     << "";
        QTest::newRow("end, then up") << "all"
                                      << "End Up"
                                      << "v29.mp4" << none << ""
                                      << ""
                                      << ""
                                      << "";
        QTest::newRow("home from the end") << "all"
                                           << "End Home"
                                           << "v01.mp4" << none << ""
                                           << ""
                                           << ""
                                           << "";
        QTest::newRow("space checks the row") << "all"
                                              << "Down Space"
                                              << "v02.mp4" << QStringList{"v02.mp4"} << "1 selected"
                                              << ""
                                              << ""
                                              << "";
        QTest::newRow("space again unchecks it") << "all"
                                                 << "Space Space"
                                                 << "v01.mp4" << none << ""
                                                 << ""
                                                 << ""
                                                 << "";
        QTest::newRow("return plays the item") << "all"
                                               << "Down Return"
                                               << "v02.mp4" << none << ""
                                               << ""
                                               << "v02.mp4"
                                               << "";
        QTest::newRow("delete asks about the row's item") << "all"
                                                          << "Down Delete"
                                                          << "v02.mp4" << none << ""
                                                          << ""
                                                          << ""
                                                          << "Remove “v02.mp4”?";
        QTest::newRow("delete on a checked row asks about the selection")
            << "all"
            << "Space Down Space Delete"
            << "v02.mp4" << QStringList{"v01.mp4", "v02.mp4"} << "2 selected"
            << ""
            << ""
            << "Remove the 2 selected downloads?";
        QTest::newRow("one checked row reads in the singular")
            << "all"
            << "Space Delete"
            << "v01.mp4" << QStringList{"v01.mp4"} << "1 selected"
            << ""
            << ""
            << "Remove the selected download?";
        QTest::newRow("groups: the first group") << "playlists"
                                                 << ""
                                                 << "group:Trip" << none << ""
                                                 << ""
                                                 << ""
                                                 << "";
        QTest::newRow("return opens a group without selecting it") << "playlists"
                                                                   << "Down Return"
                                                                   << "a03.m4a" << none << ""
                                                                   << "Mix"
                                                                   << ""
                                                                   << "";
        QTest::newRow("space checks a group: its items count")
            << "playlists"
            << "Space"
            << "group:Trip" << QStringList{"group:Trip"} << "2 selected"
            << ""
            << ""
            << "";
        QTest::newRow("a checked group is not counted while a group is open")
            << "playlists"
            << "Space Return"
            << "v01.mp4" << QStringList{"group:Trip"} << ""
            << "Trip"
            << ""
            << "";
        QTest::newRow("inside a group, what is checked is what counts")
            << "playlists"
            << "Space Return Space"
            << "v01.mp4" << QStringList{"group:Trip", "v01.mp4"} << "1 selected"
            << "Trip"
            << ""
            << "";
    }
    void library() {
        QFETCH(QString, category);
        QFETCH(QString, keys);
        QFETCH(QString, current);
        QFETCH(QStringList, selection);
        QFETCH(QString, count);
        QFETCH(QString, open);
        QFETCH(QString, played);
        QFETCH(QString, alert);
        LibraryScreen l;
        QVERIFY(l.show());
        clickCategory(*l.pane, category);
        auto* filter = l.pane->findChild<QLineEdit*>("placeholder_filter");
        QVERIFY(tabTo(filter, l.pane->list()));
        QVERIFY(ringShows(l.pane->list()));
        press(keys);
        QCOMPARE(l.currentName(), current);
        QCOMPARE(l.selectionNames(), selection);
        auto* countLabel = l.pane->findChild<QLabel*>("label_selected_count");
        QCOMPARE(countLabel->isVisible() ? countLabel->text() : QString(), count);
        QCOMPARE(l.pane->rows()->openGroup().value_or(QString()), open);
        QCOMPARE(l.played.join(','), played);
        QCOMPARE(l.pane->alert() ? l.pane->alert()->informativeText() : QString(), alert);
        // The current row is in sight.
        const QRect row = l.pane->list()->visualRect(l.pane->list()->currentIndex());
        QVERIFY(l.pane->list()->viewport()->rect().contains(row.center()));
    }

    // Page Down moves about a page and keeps the row in sight; Page Up comes back.
    void libraryPages() {
        LibraryScreen l;
        QVERIFY(l.show());
        RowListView* list = l.pane->list();
        QVERIFY(tabTo(l.pane->findChild<QLineEdit*>("placeholder_filter"), list));
        QCOMPARE(list->currentRow(), 1);
        const int perPage = list->viewport()->height() / LibraryRowDelegate::rowHeight;
        press("PgDn");
        QVERIFY2(list->currentRow() >= perPage - 1 && list->currentRow() <= perPage + 1,
                 qPrintable(QString::number(list->currentRow())));
        press("PgDn PgDn PgDn");
        QCOMPARE(list->currentRow(), l.pane->rows()->rowCount() - 1);
        QVERIFY(list->viewport()->rect().contains(list->visualRect(list->currentIndex()).center()));
        press("PgUp PgUp PgUp PgUp PgUp");
        QCOMPARE(list->currentRow(), 1);
    }

    // The menu key and a right click open the row's actions; an entry runs as its icon would.
    void libraryMenus() {
        LibraryScreen l;
        QVERIFY(l.show());
        RowListView* list = l.pane->list();
        QVERIFY(tabTo(l.pane->findChild<QLineEdit*>("placeholder_filter"), list));
        press("Menu");
        QMenu* menu = list->openMenu();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        const QStringList names = menuNames(menu);
        QCOMPARE(names.first(), QString("button_play"));
        QVERIFY(names.contains("button_finder"));
        QVERIFY(names.contains("button_web"));
        QCOMPARE(names.last(), QString("button_remove"));
        trigger(menu, "button_remove");
        QVERIFY(l.pane->alert());
        QCOMPARE(l.pane->alert()->objectName(), QString("title_remove_download"));
        QTest::mouseClick(l.pane->alert()->findChild<QPushButton*>("button_cancel"), Qt::LeftButton);
        QTRY_VERIFY(!l.pane->alert());

        // A right click on a group row: its one action, opening it.
        clickCategory(*l.pane, "playlists");
        const QModelIndex mix = l.pane->rows()->index(l.pane->rows()->rowOf("group:Mix"));
        const QPoint at = list->visualRect(mix).center();
        QContextMenuEvent right(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &right);
        QTRY_VERIFY(list->openMenu() && list->openMenu()->isVisible());
        QCOMPARE(menuNames(list->openMenu()), QStringList{"button_open_group"});
        trigger(list->openMenu(), "button_open_group");
        QCOMPARE(l.pane->rows()->openGroup(), std::optional<QString>("Mix"));
        QVERIFY(l.pane->rows()->selection().isEmpty());
    }

    // A double click as the desktop sends it (press, release, press, double click, release) opens a
    // group and selects nothing: not the group, not the item under the pointer after it opened.
    void doubleClickOpensWithoutSelecting_data() {
        QTest::addColumn<QStringList>("before"); // checked before the double click
        QTest::addColumn<QStringList>("after");  // the selection once the group is open
        QTest::newRow("nothing checked") << QStringList{} << QStringList{};
        QTest::newRow("another group checked") << QStringList{"group:Mix"} << QStringList{"group:Mix"};
    }
    void doubleClickOpensWithoutSelecting() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        LibraryScreen l;
        QVERIFY(l.show());
        clickCategory(*l.pane, "playlists");
        for (const QString& tag : before)
            QVERIFY(clickRow(*l.pane, l.pane->rows()->rowOf(tag), Spot::Checkbox));
        QListView* list = l.pane->list();
        const QRect trip = list->visualRect(l.pane->rows()->index(l.pane->rows()->rowOf("group:Trip")));
        const QPoint at(trip.left() + trip.width() / 2, trip.center().y());
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(l.pane->rows()->openGroup(), std::optional<QString>("Trip"));
        QCOMPARE(l.selectionNames(), after);
        QVERIFY(l.pane->rows()->selectedPaths().isEmpty());
        auto* countLabel = l.pane->findChild<QLabel*>("label_selected_count");
        QVERIFY(!countLabel->isVisible());
        // Ticking one item inside: one selected, and the trash removes that one file alone.
        QVERIFY(clickRow(*l.pane, l.pane->rows()->rowOf(l.tag("v02.mp4")), Spot::Checkbox));
        QCOMPARE(countLabel->text(), QString("1 selected"));
        QCOMPARE(l.pane->rows()->selectedPaths(), QStringList{l.tag("v02.mp4")});
        QTest::mouseClick(l.pane->findChild<RowIcon*>("deleteSelected"), Qt::LeftButton);
        QVERIFY(l.pane->alert());
        QCOMPARE(l.pane->alert()->informativeText(), QString("Remove the selected download?"));
        const qsizetype sent = l.f.requestsOf("library.remove").size();
        QTest::mouseClick(l.pane->alert()->findChild<QPushButton*>("button_move_to_trash"), Qt::LeftButton);
        QVERIFY(l.f.waitForRequests("library.remove", int(sent) + 1));
        QCOMPARE(l.f.requestsOf("library.remove").last().params["paths"].toArray(),
                 QJsonArray{l.tag("v02.mp4")});
    }

    // Each row reads its name and its facts to assistive technology.
    void libraryRowsAreSpoken() {
        LibraryScreen l;
        QVERIFY(l.show());
        LibraryPaneModel* rows = l.pane->rows();
        const int v01 = rows->rowOf(l.tag("v01.mp4"));
        QCOMPARE(rows->index(v01).data(Qt::AccessibleTextRole).toString(), QString("v01"));
        QCOMPARE(rows->index(v01).data(Qt::AccessibleDescriptionRole).toString(), QString("Chan A · 1 KB"));
        QCOMPARE(spoken(l.pane->list(), v01, QAccessible::Name), QString("v01"));
        QCOMPARE(spoken(l.pane->list(), v01, QAccessible::Description), QString("Chan A · 1 KB"));
        clickCategory(*l.pane, "playlists");
        const int trip = rows->rowOf("group:Trip");
        QCOMPARE(spoken(l.pane->list(), trip, QAccessible::Name), QString("Trip"));
        QCOMPARE(spoken(l.pane->list(), trip, QAccessible::Description),
                 LibraryLists::groupMeta(*rows->groupAt(trip)));
    }

    // ---- The batch queue ---------------------------------------------------------------------------

    void queue_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("request"); // the request the keys sent, for the job of `job`
        QTest::addColumn<int>("job");
        QTest::addColumn<int>("left"); // jobs left in the queue
        QTest::newRow("tab lands on the first job") << "" << 0 << "" << -1 << 4;
        QTest::newRow("down twice") << "Down Down" << 2 << "" << -1 << 4;
        QTest::newRow("end, then home") << "End Home" << 0 << "" << -1 << 4;
        QTest::newRow("space resumes a waiting job") << "Space" << 0 << "download.start" << 0 << 4;
        QTest::newRow("space pauses a running job") << "Down Space" << 1 << "download.pause" << 1 << 4;
        QTest::newRow("return retries a failed job") << "End Return" << 3 << "download.start" << 3 << 4;
        QTest::newRow("delete removes the job") << "Down Delete" << 1 << "download.cancel" << 1 << 3;
    }
    void queue() {
        QFETCH(QString, keys);
        QFETCH(int, current);
        QFETCH(QString, request);
        QFETCH(int, job);
        QFETCH(int, left);
        ViewFixture f;
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        std::vector<std::shared_ptr<Job>> jobs;
        int i = 0;
        for (Kind kind : {Kind::Waiting, Kind::Downloading, Kind::Done, Kind::Failed}) {
            jobs.push_back(jobIn(kind, QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(i++), "it broke"));
            // A running job's request is open, so its pause goes to the engine.
            if (kind == Kind::Downloading)
                jobs.back()->openRun();
        }
        f.model->queuePart().insertJobs(0, jobs);
        BatchPane pane(f.model.get());
        QVERIFY(showActive(&pane, QSize(900, 620)));
        QueueListView* list = pane.queueList();
        QVERIFY(tabTo(pane.clearButton(), list));
        QVERIFY(ringShows(list));
        press(keys);
        if (!request.isEmpty()) {
            QVERIFY(f.waitForRequests(request, 1));
            QCOMPARE(f.requestsOf(request).last().params["jobId"].toString(), jobs[std::size_t(job)]->id());
        }
        QTRY_COMPARE(int(f.model->queuePart().jobs().size()), left);
        QCOMPARE(list->currentRow(), current);
    }

    void queueMenu() {
        ViewFixture f;
        f.boot();
        std::vector<std::shared_ptr<Job>> jobs{jobIn(Kind::Downloading, "http://127.0.0.1:9/a.mp4"),
                                               jobIn(Kind::Done, "http://127.0.0.1:9/b.mp4")};
        jobs[0]->openRun();
        f.model->queuePart().insertJobs(0, jobs);
        BatchPane pane(f.model.get());
        QVERIFY(showActive(&pane, QSize(900, 620)));
        QueueListView* list = pane.queueList();
        QVERIFY(tabTo(pane.clearButton(), list));
        press("Menu");
        QVERIFY(list->openMenu());
        QCOMPARE(menuNames(list->openMenu()),
                 (QStringList{"button_pause", "button_finder (off)", "button_cancel", "button_remove"}));
        trigger(list->openMenu(), "button_cancel");
        QVERIFY(f.waitForRequests("download.cancel", 1));
        QCOMPARE(f.requestsOf("download.cancel").last().params["jobId"].toString(), jobs[0]->id());
        // The menu gone and the window active again (the offscreen platform leaves that to us), the
        // keyboard is back on the list.
        pane.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pane));
        QTRY_VERIFY(list->hasFocus());
        press("Down Menu");
        QVERIFY(list->openMenu());
        QCOMPARE(menuNames(list->openMenu()),
                 (QStringList{"button_resume (off)", "button_finder", "button_cancel (off)",
                              "button_remove_from_list"}));
        list->openMenu()->close();
        QCOMPARE(list->model()->index(1, 0).data(Qt::AccessibleTextRole).toString(), QString("A title"));
        QCOMPARE(list->model()->index(1, 0).data(Qt::AccessibleDescriptionRole).toString(),
                 QString("Done · ") + jobs[1]->format().summary());
    }

    // A queue longer than the pane: the keys page through it and its scroll area follows.
    void queuePagesInItsScrollArea() {
        ViewFixture f;
        f.boot();
        std::vector<std::shared_ptr<Job>> jobs;
        for (int i = 0; i < 60; ++i)
            jobs.push_back(jobIn(Kind::Done, QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(i)));
        f.model->queuePart().insertJobs(0, jobs);
        BatchPane pane(f.model.get());
        QVERIFY(showActive(&pane, QSize(900, 620)));
        QueueListView* list = pane.queueList();
        QVERIFY(tabTo(pane.clearButton(), list));
        QScrollArea* area = pane.scrollArea();
        auto inSight = [&] {
            const QRect row = list->visualRect(list->currentIndex());
            const QRect shown(list->viewport()->mapTo(area->viewport(), row.topLeft()), row.size());
            return area->viewport()->rect().contains(shown);
        };
        const int first = list->currentRow();
        press("PgDn");
        const int perPage = area->viewport()->height() / JobRowDelegate::rowHeight;
        QVERIFY2(list->currentRow() - first >= perPage - 2 && list->currentRow() - first <= perPage + 1,
                 qPrintable(QString("%1 → %2").arg(first).arg(list->currentRow())));
        QVERIFY(inSight());
        press("End");
        QCOMPARE(list->currentRow(), 59);
        QVERIFY(inSight());
        QVERIFY(area->verticalScrollBar()->value() > 0);
        press("Home");
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(inSight());
    }

    // ---- The transcription list --------------------------------------------------------------------

    void transcriptions_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("current"); // the current job's id
        QTest::addColumn<QString>("request");
        QTest::addColumn<QJsonObject>("params");
        QTest::addColumn<QStringList>("left");
        const QStringList all{"A", "B", "C"};
        QTest::newRow("tab lands on the first job") << ""
                                                    << "A"
                                                    << "" << QJsonObject{} << all;
        QTest::newRow("end, then up") << "End Up"
                                      << "B"
                                      << "" << QJsonObject{} << all;
        QTest::newRow("return shows the transcript")
            << "Down Return"
            << "B"
            << "library.reveal" << QJsonObject{{"path", "/m/b.srt"}} << all;
        QTest::newRow("delete removes the job") << "Down Delete"
                                                << "C"
                                                << "" << QJsonObject{} << QStringList{"A", "C"};
        QTest::newRow("delete a running job cancels it first")
            << "Delete"
            << "B"
            << "transcribe.cancel" << QJsonObject{{"jobId", "A"}} << QStringList{"B", "C"};
    }
    void transcriptions() {
        QFETCH(QString, keys);
        QFETCH(QString, current);
        QFETCH(QString, request);
        QFETCH(QJsonObject, params);
        QFETCH(QStringList, left);
        ViewFixture f;
        transcription::bootWith(f, transcription::modelsInfo(true));
        using transcription::stateEvent;
        f.emitEvent("transcribe.state", stateEvent("A", "running", {{"title", "Running"}}));
        f.emitEvent("transcribe.state", stateEvent("B", "done", {{"title", "Done"}, {"srt", "/m/b.srt"}}));
        f.emitEvent("transcribe.state", stateEvent("C", "failed", {{"title", "Failed"}}));
        QVERIFY(transcription::awaitJob(f, "C"));
        TranscriptionPane pane(f.model.get());
        QVERIFY(showActive(&pane, QSize(900, 620)));
        QTRY_COMPARE(pane.rows()->rowCount(), 3);
        RowListView* list = pane.list();
        QVERIFY(tabTo(pane.findChild<QPushButton*>("button_choose_files"), list));
        QVERIFY(ringShows(list));
        press(keys);
        if (!request.isEmpty()) {
            QVERIFY(f.waitForRequests(request, 1));
            QCOMPARE(f.requestsOf(request).last().params, params);
        }
        QStringList ids;
        for (const auto& [id, job] : f.model->transcriptionsPart().jobs())
            ids << id;
        QCOMPARE(ids, left);
        QTRY_COMPARE(pane.rows()->rowCount(), int(left.size()));
        QCOMPARE(list->currentIndex().data(TranscriptionListModel::IdRole).toString(), current);
    }

    void transcriptionMenuAndSpeech() {
        ViewFixture f;
        transcription::bootWith(f, transcription::modelsInfo(true));
        f.emitEvent("transcribe.state", transcription::stateEvent("A", "running", {{"title", "Running"}}));
        QVERIFY(transcription::awaitJob(f, "A"));
        TranscriptionPane pane(f.model.get());
        QVERIFY(showActive(&pane, QSize(900, 620)));
        QTRY_COMPARE(pane.rows()->rowCount(), 1);
        QVERIFY(tabTo(pane.findChild<QPushButton*>("button_choose_files"), pane.list()));
        press("Menu");
        QVERIFY(pane.list()->openMenu());
        QCOMPARE(menuNames(pane.list()->openMenu()), (QStringList{"button_cancel", "button_remove"}));
        trigger(pane.list()->openMenu(), "button_cancel");
        QVERIFY(f.waitForRequests("transcribe.cancel", 1));
        QCOMPARE(spoken(pane.list(), 0, QAccessible::Name), QString("Running"));
        QCOMPARE(spoken(pane.list(), 0, QAccessible::Description),
                 TranscriptionRowContent::captionOf(*f.model->transcriptionsPart().jobs().at("A")));
    }

    // ---- The listing picker ------------------------------------------------------------------------

    void picker_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("open");    // the open section
        QTest::addColumn<QString>("current"); // the current row's text
        QTest::addColumn<int>("checked");     // checked entries of the listing
        QTest::addColumn<bool>("paged");      // a further page was asked for
        QTest::newRow("tab lands on the first section") << ""
                                                        << ""
                                                        << "Videos" << 9 << false;
        QTest::newRow("down, return opens that section") << "Down Return"
                                                         << "Shorts"
                                                         << "Shorts 1" << 9 << false;
        QTest::newRow("space unchecks the entry") << "Return Down Space"
                                                  << "Videos"
                                                  << "Videos 2" << 8 << false;
        QTest::newRow("space twice checks it again") << "Return Space Space"
                                                     << "Videos"
                                                     << "Videos 1" << 9 << false;
        QTest::newRow("return on the load-more row asks for a page") << "Return End Return"
                                                                     << "Videos"
                                                                     << "" << 9 << true;
        QTest::newRow("space does nothing to a section") << "Space"
                                                         << ""
                                                         << "Videos" << 9 << false;
    }
    void picker() {
        QFETCH(QString, keys);
        QFETCH(QString, open);
        QFETCH(QString, current);
        QFETCH(int, checked);
        QFETCH(bool, paged);
        ViewFixture f;
        f.boot();
        resolveWith(f, BatchJson::resolution({}, {BatchJson::channel(4)}, {}, 4));
        const auto pick = f.model->queuePart().pendingListings().front();
        ListingPicker picker(&f.model->queuePart(), pick);
        QVERIFY(showActive(&picker, ListingPicker::fixedSize));
        RowListView* list = picker.list();
        QVERIFY(tabTo(picker.selectAllButton(), list));
        QVERIFY(ringShows(list));
        press(keys);
        QCOMPARE(pick->openSection().value_or(QString()), open);
        QCOMPARE(list->currentIndex().data(Qt::DisplayRole).toString(), current);
        QCOMPARE(int(pick->checked().size()), checked);
        if (paged)
            QVERIFY(f.waitForRequests("listing.page", 1));
        QVERIFY(!f.model->queuePart().pendingListings().empty());
    }

    void pickerMenuAndSpeech() {
        ViewFixture f;
        f.boot();
        resolveWith(f, BatchJson::resolution({}, {BatchJson::channel(4)}, {}, 4));
        const auto pick = f.model->queuePart().pendingListings().front();
        ListingPicker picker(&f.model->queuePart(), pick);
        QVERIFY(showActive(&picker, ListingPicker::fixedSize));
        RowListView* list = picker.list();
        QVERIFY(tabTo(picker.selectAllButton(), list));
        QCOMPARE(spoken(list, 1, QAccessible::Name), QString("Shorts"));
        QCOMPARE(spoken(list, 1, QAccessible::Description), QString("3 of 3 selected"));
        press("Down Menu");
        QVERIFY(list->openMenu());
        QCOMPARE(menuNames(list->openMenu()), QStringList{"button_open_group"});
        trigger(list->openMenu(), "button_open_group");
        QCOMPARE(pick->openSection(), std::optional<QString>("Shorts"));
        press("Menu");
        QCOMPARE(menuNames(list->openMenu()),
                 (QStringList{"entry", "button_select_all", "button_select_none"}));
        trigger(list->openMenu(), "button_select_none");
        QCOMPARE(int(pick->checked().size()), 6);
        QCOMPARE(spoken(list, 0, QAccessible::Name), QString("Shorts 1"));
    }
};

QTEST_MAIN(TestListKeys)
#include "tst_listkeys.moc"
