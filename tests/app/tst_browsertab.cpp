// The Browser tab in the window: the application's factory makes the browser pane, and the web engine
// starts only when that tab is first shown.
#include "ViewFixture.h"

#include "AppViews.h"
#include "MainWindow.h"

#include "BrowserPane.h"
#include "BrowserRuntime.h"
#include "BrowserSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>

class TestBrowserTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void paneComesFromTheApplicationsFactory() {
        QTemporaryDir dir;
        BrowserRuntime runtime(dir.filePath(QStringLiteral("browser")),
                               dir.filePath(QStringLiteral("exports")));
        ViewFixture f({}, &runtime);
        MainWindow window(*f.model, appViews(&runtime));
        QSignalSpy booted(&window, &MainWindow::bootFinished);
        window.show();
        QVERIFY(booted.wait(15000));
        QVERIFY(!window.findChild<BrowserPane*>());
        QVERIFY(!runtime.isStarted());

        f.model->setTab(AppModel::Tab::Browser);
        QTRY_VERIFY(window.findChild<BrowserPane*>());
        QVERIFY(runtime.isStarted());
        QCOMPARE(f.model->browser().pages().size(), 1);                  // the first tab, on the start page
        QCOMPARE(f.model->browser().current()->pendingURL(), QString()); // handed to its web view

        // Another tab and back: a new pane on the same tabs.
        QPointer<BrowserPane> first = window.findChild<BrowserPane*>();
        f.model->setTab(AppModel::Tab::Download);
        QTRY_VERIFY(first.isNull());
        f.model->setTab(AppModel::Tab::Browser);
        QTRY_VERIFY(window.findChild<BrowserPane*>());
        QCOMPARE(f.model->browser().pages().size(), 1);
        window.hide();
    }
};

int main(int argc, char** argv) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The start page is not reachable here; nothing may leave this machine.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--proxy-server=127.0.0.1:9");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBrowserTab test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browsertab.moc"
