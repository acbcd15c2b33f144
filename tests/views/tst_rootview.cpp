// The root view: the sidebar (badges, selection, titles after a language change), a fresh pane per
// selection through the pane factories, and every sheet and alert driven by the state's flags.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "SpeechModels.h"
#include "Transcriptions.h"
#include "ViewFixture.h"

#include "shell/RootView.h"
#include "shell/SidebarModel.h"

#include "Prompts.h"
#include "Strings.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

namespace {

std::shared_ptr<Job> makeJob(const QString& url, Job::State::Kind kind) {
    auto job = std::make_shared<Job>(url, FormatChoice{}, url, true);
    putInState(*job, {kind, {}});
    return job;
}

QJsonObject listingEntry(const QString& url) {
    return {{"url", url},      {"title", url},    {"thumbnail", ""}, {"playlist", ""},
            {"channel", "Ch"}, {"duration", 0.0}, {"section", ""}};
}

QJsonObject resolutionOf(const QStringList& titles) {
    QJsonArray listings;
    for (const QString& title : titles)
        listings.append(QJsonObject{{"title", title},
                                    {"entries", QJsonArray{listingEntry("http://l/" + title)}},
                                    {"sections", QJsonArray{}},
                                    {"notes", QJsonArray{}}});
    return {{"result", QJsonObject{{"singles", QJsonArray{}},
                                   {"listings", listings},
                                   {"notes", QJsonArray{}},
                                   {"pageSize", 50}}}};
}

QPoint rowCentre(QListView* view, int row) {
    return view->visualRect(view->model()->index(row, 0)).center();
}

} // namespace

class TestRootView : public QObject {
    Q_OBJECT

    // The dialog the root view shows now, once it has been shown.
    static QDialog* waitSurface(RootView& root, const QString& name) {
        if (!QTest::qWaitFor([&] {
                return root.surface() && root.surface()->objectName() == name && root.surface()->isVisible();
            }))
            return nullptr;
        return root.surface();
    }
    static bool waitNoSurface(RootView& root) {
        return QTest::qWaitFor([&] { return !root.surface(); });
    }

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void batchBadge_data() {
        using K = Job::State;
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<int>("badge");
        QTest::newRow("empty") << QList<int>{} << 0;
        QTest::newRow("mixed") << QList<int>{K::Waiting, K::Waiting, K::Downloading, K::Paused,   K::Done,
                                             K::Done,    K::Done,    K::Failed,      K::Cancelled}
                               << 4;
        QTest::newRow("every unfinished kind")
            << QList<int>{K::Waiting, K::Queued,     K::Analyzing, K::Downloading,
                          K::Paused,  K::Processing, K::Converting}
            << 7;
        QTest::newRow("all finished") << QList<int>{K::Done, K::Failed, K::Cancelled} << 0;
    }
    void batchBadge() {
        QFETCH(QList<int>, states);
        QFETCH(int, badge);
        ViewFixture f;
        std::vector<std::shared_ptr<Job>> jobs;
        for (int i = 0; i < states.size(); ++i)
            jobs.push_back(makeJob(QStringLiteral("http://q/%1").arg(i), Job::State::Kind(states[i])));
        f.model->queuePart().insertJobs(0, jobs);
        RootView root(*f.model, {});
        SidebarModel* rows = root.sidebarModel();
        const auto at = [&](AppModel::Tab tab, int role) {
            return rows->data(rows->index(SidebarModel::rowOf(tab)), role);
        };
        QCOMPARE(at(AppModel::Tab::Batch, SidebarModel::BadgeRole).toInt(), badge);
        for (AppModel::Tab other : {AppModel::Tab::Download, AppModel::Tab::Downloads, AppModel::Tab::Browser,
                                    AppModel::Tab::Settings})
            QCOMPARE(at(other, SidebarModel::BadgeRole).toInt(), 0);

        // A job that finishes leaves the count once the activity is told.
        if (badge > 0) {
            QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
            for (const auto& job : f.model->queuePart().jobs()) {
                if (!job->state().isFinished()) {
                    putInState(*job, {Job::State::Done, {}});
                    break;
                }
            }
            QTRY_COMPARE(at(AppModel::Tab::Batch, SidebarModel::BadgeRole).toInt(), badge - 1);
            QCOMPARE(changed.size(), 1);
            QCOMPARE(changed.at(0).at(2).value<QList<int>>(), QList<int>{SidebarModel::BadgeRole});
        }
    }

    void selectingAndReselecting() {
        ViewFixture f;
        RootView root(*f.model, {});
        root.resize(1020, 700);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        QListView* sidebar = root.findChild<QListView*>(QStringLiteral("sidebar"));
        QVERIFY(sidebar);
        const int column = root.findChild<QWidget*>(QStringLiteral("sidebarColumn"))->width();
        QVERIFY(column >= RootView::sidebarMinimum && column <= RootView::sidebarMaximum);
        QCOMPARE(sidebar->currentIndex().row(), 0);

        QSignalSpy tabs(f.model.get(), &AppModel::tabChanged);
        QSignalSpy panes(&root, &RootView::paneShown);
        QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, rowCentre(sidebar, 1));
        QCOMPARE(f.model->tab(), AppModel::Tab::Batch);
        QCOMPARE(tabs.size(), 1);
        QCOMPARE(panes.size(), 1);

        // The selected row again: nothing is written.
        QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, rowCentre(sidebar, 1));
        QCOMPARE(tabs.size(), 1);
        QCOMPARE(panes.size(), 1);

        // Deselecting the selected row means the Download tab.
        QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(sidebar, 1));
        QCOMPARE(f.model->tab(), AppModel::Tab::Download);
        QCOMPARE(sidebar->selectionModel()->selectedIndexes().size(), 1);
        QCOMPARE(sidebar->currentIndex().row(), 0);

        // The state moves the selection too.
        f.model->setTab(AppModel::Tab::Settings);
        QCOMPARE(sidebar->selectionModel()->selectedIndexes().at(0).row(), 5);
        QCOMPARE(root.pane()->objectName(), QStringLiteral("placeholder"));
    }

    void titlesFollowTheLanguage() {
        ViewFixture f;
        f.boot();
        RootView root(*f.model, {});
        SidebarModel* rows = root.sidebarModel();
        QStringList expected;
        for (int row = 0; row < SidebarModel::tabCount; ++row)
            expected << rows->data(rows->index(row), Qt::DisplayRole).toString();
        QCOMPARE(expected,
                 (QStringList{"Download", "Batch", "Transcription", "Downloads", "Browser", "Settings"}));
        QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
        QCoro::waitFor(f.model->sessionPart().applyLanguage(QStringLiteral("fr")));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(rows->data(rows->index(0), Qt::DisplayRole).toString(), QStringLiteral("Télécharger"));
        QCOMPARE(rows->data(rows->index(5), Qt::DisplayRole).toString(),
                 Strings::text(QStringLiteral("title_settings")));
    }

    void panesAreBuiltAfreshFromTheirFactories() {
        ViewFixture f;
        ViewFactories views;
        int made = 0;
        views.panes.browser = [&made](AppModel&) {
            ++made;
            auto* field = new QLineEdit;
            field->setObjectName(QStringLiteral("browserField"));
            return field;
        };
        RootView root(*f.model, views);
        root.show();
        QCOMPARE(root.pane()->objectName(), QStringLiteral("placeholder")); // no download pane yet
        f.model->setTab(AppModel::Tab::Browser);
        auto* field = qobject_cast<QLineEdit*>(root.pane());
        QVERIFY(field);
        QCOMPARE(made, 1);
        QVERIFY(field->isVisible());
        field->setText(QStringLiteral("typed"));
        f.model->setTab(AppModel::Tab::Batch);
        f.model->setTab(AppModel::Tab::Browser);
        QCOMPARE(made, 2);
        QCOMPARE(qobject_cast<QLineEdit*>(root.pane())->text(), QString()); // a fresh pane
        QTRY_COMPARE(root.findChildren<QLineEdit*>().size(), 1);            // the old ones are gone
    }

    // Every alert: what raises it, its title, message and buttons, and what the chosen button does.
    void alerts_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message"); // "" for a title-only alert
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("press");
        QTest::newRow("clear queue, confirmed")
            << "confirmClearQueue"
            << "title_clear_queue"
            << "msg_clear_queue" << QStringList{"button_clear_queue", "button_cancel"}
            << "button_clear_queue";
        QTest::newRow("clear queue, cancelled")
            << "confirmClearQueue"
            << "title_clear_queue"
            << "msg_clear_queue" << QStringList{"button_clear_queue", "button_cancel"} << "button_cancel";
        QTest::newRow("file missing") << "fileMissingNotice"
                                      << "title_file_missing"
                                      << "msg_file_missing" << QStringList{"button_close"} << "button_close";
        QTest::newRow("clear browser data, confirmed")
            << "confirmClearBrowserData"
            << "title_clear_browser_data"
            << "msg_clear_browser_data" << QStringList{"button_clear_browser_data", "button_cancel"}
            << "button_clear_browser_data";
        QTest::newRow("clear browser data, cancelled")
            << "confirmClearBrowserData"
            << "title_clear_browser_data"
            << "msg_clear_browser_data" << QStringList{"button_clear_browser_data", "button_cancel"}
            << "button_cancel";
        QTest::newRow("browser data cleared")
            << "browserDataCleared"
            << "title_browser_data_cleared"
            << "msg_browser_data_cleared" << QStringList{"button_close"} << "button_close";
        QTest::newRow("batch duplicate")
            << "batchDuplicateNotice"
            << "title_batch_duplicate"
            << "msg_batch_duplicate" << QStringList{"button_close"} << "button_close";
        QTest::newRow("up to date") << "upToDate"
                                    << "title_up_to_date"
                                    << "" << QStringList{"button_close"} << "button_close";
    }
    void alerts() {
        QFETCH(QString, flag);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QStringList, buttons);
        QFETCH(QString, press);
        ViewFixture f;
        f.boot();
        f.model->queuePart().insertJobs(0, {makeJob("http://q/1", Job::State::Waiting),
                                            makeJob("http://q/2", Job::State::Done),
                                            makeJob("http://q/3", Job::State::Failed)});
        RootView root(*f.model, {});
        root.show();
        QVERIFY(!root.surface());

        // The update notice is the session's; every other flag is a prompt.
        QObject* holder = flag == QLatin1String("upToDate") ? static_cast<QObject*>(&f.model->sessionPart())
                                                            : &f.model->promptsPart();
        QVERIFY(holder->setProperty(flag.toLatin1(), true) || flag == QLatin1String("upToDate"));
        if (flag == QLatin1String("upToDate"))
            f.model->sessionPart().setUpToDate(true);
        auto* box = qobject_cast<QMessageBox*>(waitSurface(root, title));
        QVERIFY(box);
        QCOMPARE(box->text(), Strings::text(title));
        const QString expectedMessage =
            message.isEmpty() ? QString()
            : flag == QLatin1String("confirmClearQueue")
                ? Strings::text(message, {{QStringLiteral("count"), QStringLiteral("3")}})
                : Strings::text(message);
        QCOMPARE(box->informativeText(), expectedMessage);
        if (flag == QLatin1String("confirmClearQueue"))
            QVERIFY(box->informativeText().contains(QStringLiteral("3")));
        QStringList shown;
        for (QAbstractButton* b : box->buttons())
            shown << b->objectName();
        std::sort(shown.begin(), shown.end());
        QStringList sorted = buttons;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(shown, sorted);
        for (const QString& key : buttons)
            QCOMPARE(box->findChild<QPushButton*>(key)->text(), Strings::text(key));
        if (buttons.contains(QStringLiteral("button_cancel")))
            QCOMPARE(box->buttonRole(box->findChild<QPushButton*>(QStringLiteral("button_cancel"))),
                     QMessageBox::RejectRole);
        if (buttons.size() == 2)
            QCOMPARE(box->buttonRole(box->findChild<QPushButton*>(buttons[0])), QMessageBox::DestructiveRole);

        // Raising the flag again while shown changes nothing.
        holder->setProperty(flag.toLatin1(), true);
        QCOMPARE(root.surface(), box);

        const int clearsBefore = f.fakes.browserCookies.clears;
        QTest::mouseClick(box->findChild<QPushButton*>(press), Qt::LeftButton);
        QVERIFY(!holder->property(flag.toLatin1()).toBool()); // written back, whichever button

        if (flag == QLatin1String("confirmClearQueue")) {
            if (press == QLatin1String("button_clear_queue")) {
                QVERIFY(f.model->queuePart().jobs().empty());
            } else {
                QCOMPARE(f.model->queuePart().jobs().size(), size_t(3));
            }
            QVERIFY(waitNoSurface(root));
        } else if (flag == QLatin1String("confirmClearBrowserData")) {
            if (press == QLatin1String("button_clear_browser_data")) {
                // Once cleared, the next alert says so.
                QVERIFY(waitSurface(root, QStringLiteral("title_browser_data_cleared")));
                QCOMPARE(f.fakes.browserCookies.clears, clearsBefore + 1);
            } else {
                QVERIFY(waitNoSurface(root));
                QTest::qWait(50);
                QCOMPARE(f.fakes.browserCookies.clears, clearsBefore);
                QVERIFY(!f.model->promptsPart().browserDataCleared());
            }
        } else {
            QVERIFY(waitNoSurface(root));
        }
    }

    void oneSurfaceAtATimeInOrder() {
        ViewFixture f;
        RootView root(*f.model, {});
        root.show();
        f.model->sessionPart().setUpToDate(true);
        f.model->promptsPart().setFileMissingNotice(true);
        f.model->promptsPart().setShowLogSheet(true);
        QDialog* first = waitSurface(root, QStringLiteral("logSheet"));
        QVERIFY(first);
        QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("button_close")), Qt::LeftButton);
        QVERIFY(!f.model->promptsPart().showLogSheet());
        QDialog* second = waitSurface(root, QStringLiteral("title_file_missing"));
        QVERIFY(second);
        QVERIFY(f.model->sessionPart().upToDate()); // still waiting its turn
        QTest::keyClick(second, Qt::Key_Escape);
        QVERIFY(!f.model->promptsPart().fileMissingNotice());
        QVERIFY(waitSurface(root, QStringLiteral("title_up_to_date")));
        // A flag cleared elsewhere closes its surface without writing anything else.
        f.model->sessionPart().setUpToDate(false);
        QVERIFY(waitNoSurface(root));
    }

    void sheets_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("sheet");
        QTest::newRow("log") << "showLogSheet"
                             << "logSheet";
        QTest::newRow("report") << "showReportSheet"
                                << "reportSheet";
    }
    void sheets() {
        QFETCH(QString, flag);
        QFETCH(QString, sheet);
        ViewFixture f;
        RootView root(*f.model, {});
        root.show();
        f.model->promptsPart().setProperty(flag.toLatin1(), true);
        QPointer<QDialog> dialog = waitSurface(root, sheet);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QVERIFY(dialog->findChild<QLabel*>(QStringLiteral("placeholder.detail")));
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!f.model->promptsPart().property(flag.toLatin1()).toBool());
        QVERIFY(waitNoSurface(root));
        // The keys go back to the window, so its shortcuts work at once.
        QTRY_COMPARE(QApplication::activeWindow(), root.window());

        // A fresh sheet at each presentation.
        f.model->promptsPart().setProperty(flag.toLatin1(), true);
        QDialog* again = waitSurface(root, sheet);
        QVERIFY(again);
        QTRY_VERIFY(!dialog);                                       // the closed one was thrown away
        f.model->promptsPart().setProperty(flag.toLatin1(), false); // cleared elsewhere: closed
        QVERIFY(waitNoSurface(root));
    }

    void sheetFactoriesAreUsed() {
        ViewFixture f;
        ViewFactories views;
        int made = 0;
        views.sheets.report = [&made](AppModel&, QWidget* parent) {
            ++made;
            auto* dialog = new QDialog(parent);
            auto* close = new QPushButton(QStringLiteral("x"), dialog);
            close->setObjectName(QStringLiteral("button_close"));
            QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
            return dialog;
        };
        RootView root(*f.model, views);
        root.show();
        for (int round = 1; round <= 2; ++round) {
            f.model->promptsPart().setShowReportSheet(true);
            QDialog* dialog = waitSurface(root, QStringLiteral("reportSheet"));
            QVERIFY(dialog);
            QCOMPARE(made, round);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("button_close")),
                              Qt::LeftButton);
            QVERIFY(!f.model->promptsPart().showReportSheet());
            QVERIFY(waitNoSurface(root));
        }
    }

    void optInSheetFollowsItsKey() {
        ViewFixture f;
        ViewFactories views;
        QStringList keys;
        views.sheets.modelOptIn = [&keys](AppModel&, QString key, QWidget* parent) {
            keys << key;
            auto* sheet = new QDialog(parent);
            sheet->setProperty("key", key);
            return sheet;
        };
        RootView root(*f.model, views);
        root.show();
        f.model->promptsPart().setModelOptIn(Prompts::ModelOptInRequest{QStringLiteral("base")});
        QPointer<QDialog> first = waitSurface(root, QStringLiteral("modelOptInSheet"));
        QVERIFY(first);
        QCOMPARE(first->property("key").toString(), QStringLiteral("base"));

        // The same model again: untouched. A later request round trip proves the moment has passed.
        f.model->promptsPart().setModelOptIn(Prompts::ModelOptInRequest{QStringLiteral("base")});
        f.model->promptsPart().setShowLogSheet(true); // queued behind the sheet that shows
        QTest::qWait(0);
        QCoreApplication::processEvents();
        QCOMPARE(root.surface(), first.data());
        QCOMPARE(keys, QStringList{QStringLiteral("base")});
        f.model->promptsPart().setShowLogSheet(false);

        // Another model: the sheet is closed and presented anew for it, the request kept.
        f.model->promptsPart().setModelOptIn(Prompts::ModelOptInRequest{QStringLiteral("small")});
        QTRY_VERIFY(root.surface() && root.surface() != first.data() && root.surface()->isVisible());
        QDialog* second = root.surface();
        QCOMPARE(second->objectName(), QStringLiteral("modelOptInSheet"));
        QCOMPARE(second->property("key").toString(), QStringLiteral("small"));
        QTRY_VERIFY(!first);
        QCOMPARE(f.model->promptsPart().modelOptIn()->key, QStringLiteral("small"));

        // Dismissed: the request goes.
        QTest::keyClick(second, Qt::Key_Escape);
        QVERIFY(!f.model->promptsPart().modelOptIn());
        QVERIFY(waitNoSurface(root));
        QCOMPARE(keys, (QStringList{QStringLiteral("base"), QStringLiteral("small")}));
    }

    void transcriptionRowBadgeAndLock() {
        ViewFixture f;
        RootView root(*f.model, {});
        SidebarModel* rows = root.sidebarModel();
        const QModelIndex row = rows->index(SidebarModel::rowOf(AppModel::Tab::Transcription));
        // Before the model list arrived transcription cannot run: the row is locked, still selectable.
        QVERIFY(!f.model->modelsPart().canTranscribe());
        QVERIFY(rows->data(row, SidebarModel::LockedRole).toBool());
        QVERIFY(rows->flags(row) & Qt::ItemIsSelectable);
        for (int other = 0; other < SidebarModel::tabCount; ++other) {
            if (other != row.row())
                QVERIFY(!rows->data(rows->index(other), SidebarModel::LockedRole).toBool());
        }
        f.boot();
        QTRY_COMPARE(rows->data(row, SidebarModel::LockedRole).toBool(),
                     !f.model->modelsPart().canTranscribe());
        if (!f.model->modelsPart().canTranscribe())
            QSKIP("this machine cannot transcribe: the badge needs running transcriptions");
        QCOMPARE(rows->data(row, SidebarModel::BadgeRole).toInt(), 0);
        f.control(QStringLiteral("test.hold"),
                  {{QStringLiteral("method"), QStringLiteral("transcribe.start")}});
        const QString media = f.path(QStringLiteral("talk.wav"));
        QFile(media).open(QIODevice::WriteOnly);
        QVERIFY(f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile(media)));
        QVERIFY(f.model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile(media)));
        QTRY_COMPARE(rows->data(row, SidebarModel::BadgeRole).toInt(), 2);
        QCOMPARE(int(f.model->transcriptionsPart().activeTranscriptions().size()), 2);
        f.control(QStringLiteral("test.release"),
                  {{QStringLiteral("method"), QStringLiteral("transcribe.start")}});
    }

    void listingPicksOneAfterTheOther() {
        ViewFixture f;
        f.boot();
        RootView root(*f.model, {});
        root.show();
        f.script(QStringLiteral("queue.resolve"), resolutionOf({"First", "Second"}));
        QCoro::waitFor(f.model->queuePart().enqueuePasted(QStringLiteral("http://a\nhttp://b")));
        QCOMPARE(f.model->queuePart().pendingListings().size(), size_t(2));
        const QString firstId = f.model->queuePart().pendingListings()[0]->id();
        QDialog* first = waitSurface(root, QStringLiteral("listingSheet"));
        QVERIFY(first);

        // Closed by anything but its own buttons, it comes back while its pick is pending.
        first->done(QDialog::Rejected);
        QDialog* back = waitSurface(root, QStringLiteral("listingSheet"));
        QVERIFY(back);
        QCOMPARE(f.model->queuePart().pendingListings().size(), size_t(2));
        QCOMPARE(f.model->queuePart().pendingListings()[0]->id(), firstId);

        // Escape is the picker's cancel: the pick is dismissed, the next one follows.
        QTest::keyClick(back, Qt::Key_Escape);
        QCOMPARE(f.model->queuePart().pendingListings().size(), size_t(1));
        QTRY_VERIFY(root.surface() && root.surface() != back && root.surface()->isVisible());
        QCOMPARE(root.surface()->objectName(), QStringLiteral("listingSheet"));

        // Accepted from elsewhere: the sheet closes and nothing else comes.
        f.model->queuePart().acceptListing(f.model->queuePart().pendingListings()[0]);
        QVERIFY(waitNoSurface(root));
        QVERIFY(f.model->queuePart().pendingListings().empty());
    }

    void failureAlertStaysUntilClosed() {
        ViewFixture f;
        f.boot();
        RootView root(*f.model, {});
        root.show();
        f.control(QStringLiteral("test.exit"), {{QStringLiteral("status"), 2}});
        auto* box = qobject_cast<QMessageBox*>(waitSurface(root, QStringLiteral("title_error")));
        QVERIFY(box);
        const QString text = *f.model->sessionPart().engineFailure();
        QCOMPARE(box->informativeText(), text);
        QCOMPARE(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))->textFormat(),
                 Qt::PlainText);

        // Closed by other means than its buttons, it comes back while the failure holds.
        box->done(QDialog::Rejected);
        box = qobject_cast<QMessageBox*>(waitSurface(root, QStringLiteral("title_error")));
        QVERIFY(box);
        QCOMPARE(box->informativeText(), text);

        // Retry: the alert goes at once, the engine is started again; a new failure brings it back.
        const int hellos = f.methods().count(QStringLiteral("hello"));
        QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("v2_engine_retry")), Qt::LeftButton);
        QVERIFY(!f.model->sessionPart().engineFailure());
        QTRY_VERIFY(f.model->sessionPart().sessionLive());
        QCOMPARE(f.methods().count(QStringLiteral("hello")), hellos + 1);
        QVERIFY(waitNoSurface(root));

        f.control(QStringLiteral("test.exit"), {{QStringLiteral("status"), 2}});
        box = qobject_cast<QMessageBox*>(waitSurface(root, QStringLiteral("title_error")));
        QVERIFY(box);
        // Close: the text goes and nothing is started.
        QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("button_close")), Qt::LeftButton);
        QVERIFY(!f.model->sessionPart().engineFailure());
        QVERIFY(waitNoSurface(root));
        QTest::qWait(100);
        QVERIFY(!root.surface());
        QVERIFY(!f.model->sessionPart().sessionLive());
        QCOMPARE(f.methods().count(QStringLiteral("hello")), hellos + 1);
    }
};

QTEST_MAIN(TestRootView)
#include "tst_rootview.moc"
