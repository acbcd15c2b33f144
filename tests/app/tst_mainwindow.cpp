// The main window, its menus and shortcuts, and the quit, in process against the stand-in engine.
#include "Composition.h"
#include "DownloadQueue.h"
#include "SpeechModels.h"
#include "Transcriptions.h"
#include "ViewFixture.h"

#include "Commands.h"
#include "MainWindow.h"
#include "Shutdown.h"

#include "kit/WebLink.h"
#include "shell/LaunchGate.h"

#include "Prompts.h"
#include "Strings.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

class TestMainWindow : public QObject {
    Q_OBJECT

    struct Window {
        ViewFixture f;
        MainWindow window{*f.model, {}};
        Commands commands{*f.model, window.menuBar()};
        // Shows the window and waits for its boot.
        bool showAndBoot() {
            QSignalSpy booted(&window, &MainWindow::bootFinished);
            window.show();
            return booted.wait(15000);
        }
    };

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void titleAndSizes() {
        Window w;
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Vamber Video Downloader"));
        QVERIFY(w.showAndBoot());
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Download"));
        QCOMPARE(w.window.centralWidget()->size(), MainWindow::defaultContent);
        QCOMPARE(w.window.gate()->page(), LaunchGate::Page::Root);
        // It cannot be made smaller than the minimum content.
        w.window.resize(400, 300);
        QTRY_VERIFY(w.window.centralWidget()->width() >= 900);
        QVERIFY(w.window.centralWidget()->height() >= 620);
    }

    // Once the texts are there the window is named after the place it shows, in the language shown.
    void titleFollowsThePlace_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("title");
        QTest::newRow("batch") << "en" << int(AppModel::Tab::Batch) << "Batch";
        QTest::newRow("transcription") << "en" << int(AppModel::Tab::Transcription) << "Transcription";
        QTest::newRow("downloads") << "en" << int(AppModel::Tab::Downloads) << "Downloads";
        QTest::newRow("settings") << "en" << int(AppModel::Tab::Settings) << "Settings";
        QTest::newRow("download, French") << "fr" << int(AppModel::Tab::Download) << "Télécharger";
        QTest::newRow("batch, French") << "fr" << int(AppModel::Tab::Batch) << "Lot";
        QTest::newRow("settings, French") << "fr" << int(AppModel::Tab::Settings) << "Réglages";
    }
    void titleFollowsThePlace() {
        QFETCH(QString, language);
        QFETCH(int, tab);
        QFETCH(QString, title);
        Window w;
        QVERIFY(w.showAndBoot());
        w.f.model->setTab(*AppModel::tabFromRaw(tab));
        if (language != QLatin1String("en"))
            QCoro::waitFor(w.f.model->sessionPart().applyLanguage(language));
        QCOMPARE(w.window.windowTitle(), title);
        // Back to the first place: its name again.
        w.f.model->setTab(AppModel::Tab::Download);
        QCOMPARE(w.window.windowTitle(), Strings::text(QStringLiteral("tab_download")));
    }

    void closeHidesWhileItCanComeBack() {
        Window w;
        w.window.setHidesOnClose([] { return true; });
        QSignalSpy quit(&w.window, &MainWindow::quitRequested);
        QVERIFY(w.showAndBoot());
        QCOMPARE(w.f.methods().count(QStringLiteral("hello")), 1);
        w.window.close();
        QVERIFY(!w.window.isVisible());
        QCOMPARE(quit.size(), 0);
        QVERIFY(w.f.model->engine().isRunning()); // the application and its engine keep running

        // Shown again: the start runs once more.
        QVERIFY(w.showAndBoot());
        QCOMPARE(w.f.methods().count(QStringLiteral("hello")), 2);
        QCOMPARE(w.window.bootsStarted(), 2);
    }

    void closeWithNothingToBringItBackQuits() {
        Window w;
        w.window.setHidesOnClose([] { return false; });
        QSignalSpy quit(&w.window, &MainWindow::quitRequested);
        QVERIFY(w.showAndBoot());
        w.window.close();
        QCOMPARE(quit.size(), 1);
        // Once quitting, closing goes through.
        w.window.setQuitting();
        w.window.close();
        QVERIFY(!w.window.isVisible());
        QCOMPARE(quit.size(), 1);
    }

    void twoQuickShowsStartOneSession() {
        Window w;
        w.window.setHidesOnClose([] { return true; });
        QSignalSpy booted(&w.window, &MainWindow::bootFinished);
        w.window.show();
        w.window.close();
        w.window.show();
        QVERIFY(booted.wait(15000));
        // A later request proves nothing more of the start is on its way.
        QCoro::waitFor(w.f.model->sessionPart().reloadSettings());
        QCOMPARE(w.f.methods().count(QStringLiteral("hello")), 1);
        QCOMPARE(w.f.methods().count(QStringLiteral("i18n.table")), 1);
        QCOMPARE(w.window.bootsStarted(), 1);
        QCOMPARE(booted.size(), 1);
    }

    void shortcuts_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("tab"); // -1: stays on Batch (where each row starts)
        QTest::addColumn<QString>("flag");
        const int ctrl = Qt::ControlModifier;
        const int ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
        QTest::newRow("Ctrl+1") << int(Qt::Key_1) << ctrl << int(AppModel::Tab::Download) << "";
        QTest::newRow("Ctrl+2") << int(Qt::Key_2) << ctrl << int(AppModel::Tab::Batch) << "";
        QTest::newRow("Ctrl+3") << int(Qt::Key_3) << ctrl << int(AppModel::Tab::Transcription) << "";
        QTest::newRow("Ctrl+4") << int(Qt::Key_4) << ctrl << int(AppModel::Tab::Downloads) << "";
        QTest::newRow("Ctrl+5") << int(Qt::Key_5) << ctrl << int(AppModel::Tab::Browser) << "";
        QTest::newRow("Ctrl+6 does nothing") << int(Qt::Key_6) << ctrl << -1 << "";
        QTest::newRow("Ctrl+, settings") << int(Qt::Key_Comma) << ctrl << int(AppModel::Tab::Settings) << "";
        QTest::newRow("Ctrl+L log") << int(Qt::Key_L) << ctrl << -1 << "showLogSheet";
        QTest::newRow("Ctrl+Shift+L report") << int(Qt::Key_L) << ctrlShift << -1 << "showReportSheet";
        QTest::newRow("Ctrl+Shift+V paste address")
            << int(Qt::Key_V) << ctrlShift << int(AppModel::Tab::Download) << "pastedText";
    }
    void shortcuts() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, tab);
        QFETCH(QString, flag);
        Window w;
        QVERIFY(w.showAndBoot());
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.f.model->setTab(AppModel::Tab::Batch);
        const QString copied = QStringLiteral("  https://example.test/v?a=1&b=2 \n");
        w.f.fakes.clipboard.copy(copied);
        QSignalSpy tabs(w.f.model.get(), &AppModel::tabChanged);
        QTest::keyClick(&w.window, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(int(w.f.model->tab()), tab < 0 ? int(AppModel::Tab::Batch) : tab);
        if (tab < 0 || tab == int(AppModel::Tab::Batch))
            QCOMPARE(tabs.size(), 0);
        if (flag == QLatin1String("pastedText"))
            QCOMPARE(w.f.model->compositionPart().pastedText(), copied); // verbatim, blanks and all
        else if (!flag.isEmpty())
            QVERIFY(w.f.model->promptsPart().property(flag.toLatin1()).toBool());
        else
            QVERIFY(!w.f.model->promptsPart().showLogSheet() && !w.f.model->promptsPart().showReportSheet());
    }

    void pasteWithoutTextDoesNothing() {
        Window w;
        w.f.model->setTab(AppModel::Tab::Batch);
        w.f.fakes.clipboard.clear();
        w.commands.action(QStringLiteral("menu_clipboard_url"))->trigger();
        QCOMPARE(w.f.model->tab(), AppModel::Tab::Batch);
        QCOMPARE(w.f.model->compositionPart().pastedText(), QString());
    }

    void chooseFilesToTranscribe_data() {
        QTest::addColumn<bool>("booted");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("three files, one of an unknown type") << true << true;
        QTest::newRow("cancelled") << true << false;
        QTest::newRow("before the engine named its media types") << false << false;
    }
    void chooseFilesToTranscribe() {
        QFETCH(bool, booted);
        QFETCH(bool, confirmed);
        Window w;
        if (booted)
            QVERIFY(w.showAndBoot());
        w.f.model->setTab(AppModel::Tab::Batch);
        const QStringList files{w.f.path("one.wav"), w.f.path("notes.xyz"), w.f.path("two.mp3")};
        for (const QString& path : files)
            QFile(path).open(QIODevice::WriteOnly);
        if (confirmed)
            w.f.fakes.fileDialogs.filesAnswer = files;
        if (booted)
            w.f.control(QStringLiteral("test.hold"),
                        {{QStringLiteral("method"), QStringLiteral("transcribe.start")}});
        w.commands.action(QStringLiteral("button_choose_files"))->trigger();
        QTRY_COMPARE(w.f.fakes.fileDialogs.calls.size(), 1);
        const FakeFileDialogs::Call call = w.f.fakes.fileDialogs.calls[0];
        QCOMPARE(int(call.kind), int(FakeFileDialogs::Call::Files));
        QCOMPARE(call.message, Strings::text(QStringLiteral("hint_transcription")));
        QCOMPARE(call.confirmTitle, Strings::text(QStringLiteral("button_transcribe")));
        QCOMPARE(call.nameFilters, w.f.model->transcriptionsPart().mediaFileFilters());
        QCOMPARE(call.nameFilters.isEmpty(), !booted); // any file while the engine has not named its types
        if (!confirmed) {
            // A request sent after the answer proves the answer has been dealt with.
            if (booted)
                QCoro::waitFor(w.f.model->sessionPart().reloadSettings());
            QCoreApplication::processEvents();
            QCOMPARE(w.f.model->tab(), AppModel::Tab::Batch);
            QVERIFY(w.f.model->transcriptionsPart().activeTranscriptions().empty());
            return;
        }
        QTRY_COMPARE(w.f.model->tab(), AppModel::Tab::Transcription);
        if (!w.f.model->modelsPart().canTranscribe())
            QSKIP("this machine cannot transcribe");
        // The known types are handed over in order; the other one is refused with its own text.
        QVERIFY(w.f.waitForRequests(QStringLiteral("transcribe.start"), 2));
        QCOMPARE(int(w.f.model->transcriptionsPart().activeTranscriptions().size()), 2);
        const QList<LoggedRequest> starts = w.f.requestsOf(QStringLiteral("transcribe.start"));
        QCOMPARE(starts[0].params[QStringLiteral("path")].toString(), files[0]);
        QCOMPARE(starts[1].params[QStringLiteral("path")].toString(), files[2]);
        QVERIFY(w.f.model->promptsPart().transcriptionRefusal().has_value());
        QVERIFY(w.f.model->promptsPart().transcriptionRefusal()->contains(QStringLiteral("notes.xyz")));
        w.f.control(QStringLiteral("test.release"),
                    {{QStringLiteral("method"), QStringLiteral("transcribe.start")}});
    }

    void accountMenu() {
        Window w;
        QVERIFY(w.showAndBoot());
        w.commands.action(QStringLiteral("menu_clear_browser_data"))->trigger();
        QVERIFY(w.f.model->promptsPart().confirmClearBrowserData());
        w.f.script(QStringLiteral("update.check"), {{"result", QJsonObject{{"available", false}}}});
        const int checks = w.f.requestsOf(QStringLiteral("update.check")).size();
        w.commands.action(QStringLiteral("menu_check_updates"))->trigger();
        QVERIFY(w.f.waitForRequests(QStringLiteral("update.check"), checks + 1));
    }

    void titlesFollowTheLanguage() {
        Window w;
        QVERIFY(w.showAndBoot());
        QCOMPARE(w.commands.action(QStringLiteral("tab_download"))->text(), QStringLiteral("Download"));
        QCOMPARE(w.commands.action(QStringLiteral("menu_quit"))->text(), QStringLiteral("Quit Vamber"));
        QCoro::waitFor(w.f.model->sessionPart().applyLanguage(QStringLiteral("fr")));
        const QStringList keys{"menu_clipboard_url", "menu_settings",           "tab_download",
                               "tab_batch",          "tab_transcription",       "tab_downloads",
                               "tab_browser",        "menu_clear_browser_data", "menu_check_updates",
                               "v2_menu_show_log",   "menu_report_problem",     "menu_help_online",
                               "menu_release_notes"};
        for (const QString& key : keys) {
            QAction* action = w.commands.action(key);
            QVERIFY2(action, qPrintable(key));
            QCOMPARE(action->text(),
                     QString(Strings::text(key)).replace(QLatin1Char('&'), QStringLiteral("&&")));
        }
        QCOMPARE(w.commands.action(QStringLiteral("tab_download"))->text(), QStringLiteral("Télécharger"));
        for (const QString& key : {QStringLiteral("v2_menu_file"), QStringLiteral("v2_menu_tabs"),
                                   QStringLiteral("menu_account"), QStringLiteral("v2_menu_help")})
            QCOMPARE(w.commands.menu(key)->title(), Strings::text(key));
        QCOMPARE(w.commands.menu(QStringLiteral("v2_menu_file"))->title(), QStringLiteral("Fichier"));
    }

    void helpOpensOnlyWebPages() {
        QList<QUrl> opened;
        WebLink::setOpener([&opened](const QUrl& url) {
            opened << url;
            return true;
        });
        Window w;
        w.commands.action(QStringLiteral("menu_help_online"))->trigger();
        w.commands.action(QStringLiteral("menu_release_notes"))->trigger();
        QCOMPARE(opened.size(), 2);
        for (const QUrl& url : opened)
            QVERIFY(url.scheme() == QLatin1String("https") && !url.host().isEmpty());
        QCOMPARE(opened[0].toString(), Commands::supportPage());
        QCOMPARE(opened[1].toString(), Commands::releaseNotesPage());
        for (const QString& refused :
             {QStringLiteral("file:///etc/passwd"), QStringLiteral("javascript:alert(1)"),
              QStringLiteral("vamber://download?url=x"), QStringLiteral("ftp://host/x")})
            QVERIFY2(!WebLink::open(refused), qPrintable(refused));
        QCOMPARE(opened.size(), 2);
        WebLink::setOpener({});
    }

    void quitStopsTheEngine() {
        ViewFixture f;
        f.boot();
        Shutdown shutdown(*f.model);
        QSignalSpy finished(&shutdown, &Shutdown::finished);
        QElapsedTimer clock;
        clock.start();
        shutdown.request();
        shutdown.request(); // joins the one running
        QVERIFY(finished.wait(10000));
        QVERIFY(clock.elapsed() < 6000); // the engine's stop bound
        QCOMPARE(finished.size(), 1);
        QCOMPARE(f.methods().count(QStringLiteral("shutdown")), 1);
        QVERIFY(!f.model->engine().isRunning());
        QVERIFY(!f.model->sessionPart().engineFailure()); // a stop asked for is no failure
    }

    // The last change of the queue reaches the engine even when Quit follows at once: started again,
    // the engine gives that queue back.
    void quitKeepsTheLastQueueChange() {
        ViewFixture f;
        f.startEngine();
        QJsonArray rows;
        for (const QString url : {"http://q/one", "http://q/two"})
            rows.append(savedQueueRow(url, {{"title", url}}));
        f.control("queue.save", {{"items", rows}});
        f.boot();
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(2));
        Shutdown shutdown(*f.model);
        QSignalSpy finished(&shutdown, &Shutdown::finished);
        const std::shared_ptr<Job> first = f.model->queuePart().jobs()[0];
        f.model->queuePart().remove(first);
        shutdown.request();
        QVERIFY(finished.wait(10000));
        QVERIFY(!f.model->engine().isRunning());

        f.startEngine();
        const QJsonArray items = f.control("queue.load").toObject()["items"].toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].toObject()["url"].toString(), QString("http://q/two"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
