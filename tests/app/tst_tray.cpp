// The tray: the drawn mark (its shape sampled at 1x and 2x, the progress ring), the percentage label,
// the icon following progress and the palette, the context menu, and the panel driven offscreen against
// the stand-in engine.
#include "Composition.h"
#include "DownloadQueue.h"
#include "JobStates.h"
#include "ViewFixture.h"

#include "FunnelIcon.h"
#include "Tray.h"
#include "TrayPanel.h"

#include "FusionAppearance.h"
#include "Job.h"
#include "Strings.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include <cmath>

namespace {

// Where a point of the mark's artwork (whose y grows downwards) lands when the mark fills `rect`: centred,
// one unit of margin per 18 of size.
QPointF artIn(const QRectF& rect, double x, double y) {
    const double m = std::min(rect.width(), rect.height()) / 18;
    const double s = std::min((rect.width() - 2 * m) / 87, (rect.height() - 2 * m) / 91.5);
    return {rect.left() + (rect.width() - 87 * s) / 2 + s * (x - 26.5),
            rect.top() + (rect.height() - 91.5 * s) / 2 + s * (y - 20.5)};
}
QPointF artAt(double x, double y) {
    return artIn(QRectF(0, 0, 18, 18), x, y);
}

// The contrast ratio of two opaque colours (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

int alphaAt(const QImage& image, QPointF logical) {
    const qreal r = image.devicePixelRatio();
    return qAlpha(image.pixel(int(logical.x() * r), int(logical.y() * r)));
}

// A point on the ring of a `size` icon with progress, `degrees` clockwise from the top.
QPointF ringAt(qreal size, double degrees) {
    const QRectF ring = FunnelIcon::ringRect(size);
    const double a = qDegreesToRadians(degrees);
    return {ring.center().x() + ring.width() / 2 * std::sin(a),
            ring.center().y() - ring.height() / 2 * std::cos(a)};
}

// Jobs that count as running: the current download (held by the engine) and `batch` queued ones.
std::vector<std::shared_ptr<Job>> makeRunning(ViewFixture& f, int batch) {
    f.control("test.hold", {{"method", "download.start"}});
    f.enqueue(QStringLiteral("https://current.example/v"));
    std::vector<std::shared_ptr<Job>> jobs;
    for (int i = 0; i < batch; ++i) {
        auto job = std::make_shared<Job>(QStringLiteral("https://batch.example/%1").arg(i),
                                         f.model->compositionPart().format(),
                                         QStringLiteral("Batch & video %1").arg(i), false);
        putInState(*job, {Job::State::Downloading, {}});
        job->setFraction(0.1 * (i + 1));
        jobs.push_back(job);
    }
    f.model->queuePart().insertJobs(0, jobs);
    return jobs;
}

} // namespace

class TestTray : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void markShape_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        for (const qreal ratio : {1.0, 2.0}) {
            const QString x = ratio == 1.0 ? "1x " : "2x ";
            QTest::newRow(qPrintable(x + "stem")) << ratio << artAt(70, 78) << 240 << 255;
            QTest::newRow(qPrintable(x + "left arm")) << ratio << artAt(52, 49) << 240 << 255;
            QTest::newRow(qPrintable(x + "right arm, faded")) << ratio << artAt(88, 49) << 110 << 145;
            QTest::newRow(qPrintable(x + "arrow head")) << ratio << artAt(70, 95) << 240 << 255;
            QTest::newRow(qPrintable(x + "between the arms")) << ratio << artAt(70, 30) << 0 << 0;
            QTest::newRow(qPrintable(x + "top left")) << ratio << QPointF(0.2, 0.2) << 0 << 0;
            QTest::newRow(qPrintable(x + "top right")) << ratio << QPointF(17.8, 0.2) << 0 << 0;
            QTest::newRow(qPrintable(x + "bottom left")) << ratio << QPointF(0.2, 17.8) << 0 << 0;
            QTest::newRow(qPrintable(x + "bottom right")) << ratio << QPointF(17.8, 17.8) << 0 << 0;
        }
    }
    void markShape() {
        QFETCH(qreal, ratio);
        QFETCH(QPointF, at);
        QFETCH(int, low);
        QFETCH(int, high);
        const QImage image = FunnelIcon::image(18, ratio, Qt::black);
        QCOMPARE(image.size(), QSize(int(18 * ratio), int(18 * ratio)));
        const int alpha = alphaAt(image, at);
        QVERIFY2(alpha >= low && alpha <= high, qPrintable(QString::number(alpha)));
    }

    void markUsesTheColourGiven() {
        const QImage image = FunnelIcon::image(18, 1.0, QColor(200, 40, 10));
        const QRgb stem = image.pixel(artAt(70, 78).toPoint());
        QCOMPARE(qAlpha(stem), 255);
        QCOMPARE(QColor(stem), QColor(200, 40, 10));
    }

    // The ring: done part full, the rest faint, from the top clockwise.
    void progressRing_data() {
        QTest::addColumn<double>("progress");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<bool>("done");
        QTest::newRow("45%: a quarter round") << 0.45 << 90.0 << true;
        QTest::newRow("45%: just before the end") << 0.45 << 150.0 << true;
        QTest::newRow("45%: just after the end") << 0.45 << 175.0 << false;
        QTest::newRow("45%: on the left") << 0.45 << 270.0 << false;
        QTest::newRow("0%: nothing done") << 0.0 << 90.0 << false;
        QTest::newRow("100%: all round") << 1.0 << 300.0 << true;
    }
    void progressRing() {
        QFETCH(double, progress);
        QFETCH(double, degrees);
        QFETCH(bool, done);
        for (const qreal ratio : {1.0, 2.0}) {
            const QImage image = FunnelIcon::image(48, ratio, Qt::black, progress);
            const int alpha = alphaAt(image, ringAt(48, degrees));
            if (done)
                QVERIFY2(alpha >= 240, qPrintable(QString::number(alpha)));
            else
                QVERIFY2(alpha >= 50 && alpha <= 100, qPrintable(QString::number(alpha)));
            // The mark is still there, smaller, inside the ring.
            QVERIFY(alphaAt(image, artIn(FunnelIcon::innerRect(48), 70, 78)) >= 240);
        }
    }

    void label_data() {
        QTest::addColumn<std::optional<double>>("progress");
        QTest::addColumn<QString>("label");
        QTest::newRow("none") << std::optional<double>() << "";
        QTest::newRow("0") << std::optional<double>(0.0) << "0%";
        QTest::newRow("0.4567") << std::optional<double>(0.4567) << "45%";
        QTest::newRow("0.29") << std::optional<double>(0.29) << "29%";
        QTest::newRow("0.999") << std::optional<double>(0.999) << "99%";
        QTest::newRow("1") << std::optional<double>(1.0) << "100%";
        QTest::newRow("NaN") << std::optional<double>(std::nan("")) << "0%";
    }
    void label() {
        QFETCH(std::optional<double>, progress);
        QFETCH(QString, label);
        QCOMPARE(FunnelIcon::label(progress), label);
        QCOMPARE(Tray::toolTipFor(progress), label.isEmpty() ? QString("Vamber") : "Vamber — " + label);
    }

    // The icon and tooltip follow the overall progress.
    void iconFollowsProgress() {
        ViewFixture f;
        f.boot();
        Tray tray(*f.model, QColor(0x30, 0x30, 0x30));
        QCOMPARE(tray.toolTip(), QString("Vamber"));
        const QImage idle = tray.icon().pixmap(QSize(48, 48)).toImage();
        const auto jobs = makeRunning(f, 1);
        jobs[0]->setFraction(0.5);
        QTRY_VERIFY(tray.toolTip() != QString("Vamber"));
        QCOMPARE(tray.toolTip(), "Vamber — " + FunnelIcon::label(f.model->queuePart().overallProgress()));
        const QImage running = tray.icon().pixmap(QSize(48, 48)).toImage();
        QVERIFY(running != idle);
        // The ring's track is there while something runs, not when idle.
        QCOMPARE(qAlpha(idle.pixel(ringAt(48, 270).toPoint())), 0);
        QVERIFY(qAlpha(running.pixel(ringAt(48, 270).toPoint())) > 0);
    }

    // The tray gets a mask, which hosts tint for their panel; drawn, the mark and its ring stand out on the
    // panel's colour whatever the window's appearance, and do not change when the appearance does.
    void iconContrastsWithThePanel_data() {
        QTest::addColumn<QColor>("panel");
        QTest::addColumn<bool>("darkWindow");
        for (const bool dark : {false, true}) {
            const QString window = dark ? "dark window, " : "light window, ";
            QTest::newRow(qPrintable(window + "light panel")) << QColor(0xf0, 0xf0, 0xf0) << dark;
            QTest::newRow(qPrintable(window + "dark panel")) << QColor(0x23, 0x26, 0x29) << dark;
            QTest::newRow(qPrintable(window + "blue panel")) << QColor(0x1d, 0x4e, 0x89) << dark;
            QTest::newRow(qPrintable(window + "pale yellow panel")) << QColor(0xf6, 0xe9, 0xb0) << dark;
        }
    }
    void iconContrastsWithThePanel() {
        QFETCH(QColor, panel);
        QFETCH(bool, darkWindow);
        ViewFixture::useAppearance(darkWindow);
        ViewFixture f;
        f.boot();
        Tray tray(*f.model, panel);
        const auto check = [&](const QIcon& icon, bool ring) {
            QVERIFY(icon.isMask());
            const QImage image = icon.pixmap(QSize(48, 48)).toImage();
            const QRectF mark = ring ? FunnelIcon::innerRect(48) : QRectF(0, 0, 48, 48);
            std::vector<QPointF> points{artIn(mark, 70, 78), artIn(mark, 52, 49), artIn(mark, 70, 95)};
            if (ring)
                points.push_back(ringAt(48, 20)); // the part done
            for (const QPointF& at : points) {
                const QColor ink = QColor::fromRgba(image.pixel(at.toPoint()));
                QVERIFY2(ink.alpha() >= 200, qPrintable(QString::number(ink.alpha())));
                QVERIFY2(
                    contrast(ink, panel) >= 4.5,
                    qPrintable(
                        QString("%1 on %2: %3").arg(ink.name(), panel.name()).arg(contrast(ink, panel))));
            }
        };
        check(tray.icon(), false);
        const auto jobs = makeRunning(f, 1);
        jobs[0]->setFraction(0.5);
        QTRY_VERIFY(tray.toolTip() != QString("Vamber"));
        check(tray.icon(), true);
        // The window's appearance changes; the panel did not.
        const QImage before = tray.icon().pixmap(QSize(48, 48)).toImage();
        ViewFixture::useAppearance(!darkWindow);
        QCoreApplication::processEvents();
        QCOMPARE(tray.icon().pixmap(QSize(48, 48)).toImage(), before);
        check(Tray::drawIcon(0.5, panel), true);
        ViewFixture::useAppearance(false);
    }

    // Progress while the menu is open updates its entries in place: the same actions, the highlighted one
    // still highlighted, the keyboard still moving through them.
    void menuEntriesSurviveProgress() {
        ViewFixture f;
        f.boot();
        Tray tray(*f.model, Qt::black);
        const auto jobs = makeRunning(f, 2);
        QMenu* menu = tray.menu();
        menu->popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QList<QPointer<QAction>> before;
        for (QAction* a : menu->actions())
            before << a;
        QAction* paste = menu->findChild<QAction*>("menu_paste");
        QVERIFY(paste);
        menu->setActiveAction(paste);
        for (int step = 1; step <= 5; ++step) {
            jobs[0]->setFraction(0.1 + 0.15 * step);
            Q_EMIT f.model->queuePart().activityChanged();
            QCoreApplication::processEvents();
        }
        QCOMPARE(menu->actions().size(), before.size());
        for (int i = 0; i < before.size(); ++i) {
            QVERIFY2(!before[i].isNull(), "an entry was destroyed");
            QCOMPARE(menu->actions()[i], before[i].data());
        }
        QCOMPARE(menu->activeAction(), paste);
        QStringList texts;
        for (QAction* a : menu->actions()) {
            if (a->objectName() == "trayJob" && a->isVisible())
                texts << a->text();
        }
        QVERIFY2(texts.contains("Batch && video 0 — 85%"), qPrintable(texts.join(" | ")));
        // Up from the paste entry is the open entry.
        QTest::keyClick(menu, Qt::Key_Up);
        QCOMPARE(menu->activeAction()->objectName(), QString("button_open_group"));
        jobs[0]->setFraction(0.95);
        Q_EMIT f.model->queuePart().activityChanged();
        QCOMPARE(menu->activeAction()->objectName(), QString("button_open_group"));
        menu->hide();
    }

    void menuListsFourJobsAndQuits() {
        ViewFixture f;
        f.boot();
        Tray tray(*f.model, Qt::black);
        makeRunning(f, 5);
        QSignalSpy quit(&tray, &Tray::quitRequested);
        QSignalSpy open(&tray, &Tray::openWindowRequested);
        Q_EMIT tray.menu()->aboutToShow();
        QStringList jobs;
        QStringList names;
        for (QAction* a : tray.menu()->actions()) {
            if (a->isSeparator() || !a->isVisible())
                continue;
            names << a->objectName();
            if (a->objectName() == "trayJob") {
                jobs << a->text();
                QVERIFY(!a->isEnabled());
            }
        }
        QCOMPARE(names, QStringList({"button_open_group", "menu_paste", "trayJob", "trayJob", "trayJob",
                                     "trayJob", "menu_quit"}));
        QCOMPARE(jobs.size(), 4);
        QVERIFY(jobs[0].startsWith("https://current.example/v — "));
        QCOMPARE(jobs[1], QString("Batch && video 0 — 10%"));
        QCOMPARE(jobs[3], QString("Batch && video 2 — 30%"));
        for (QAction* a : tray.menu()->actions()) {
            if (a->objectName() == "menu_quit")
                a->trigger();
            if (a->objectName() == "button_open_group")
                a->trigger();
        }
        QCOMPARE(quit.size(), 1);
        QCOMPARE(open.size(), 1);
        // The panel's quit goes the same way.
        tray.panel()->findChild<QPushButton*>("menu_quit")->click();
        QCOMPARE(quit.size(), 2);
    }

    void panelEmpty() {
        ViewFixture f;
        f.boot();
        TrayPanel panel(*f.model);
        panel.show();
        QCOMPARE(panel.width(), TrayPanel::panelWidth);
        QVERIFY(panel.findChild<QLabel*>("status_ready")->isVisible());
        QCOMPARE(panel.findChild<QLabel*>("status_ready")->text(), Strings::text("status_ready"));
        QCOMPARE(panel.shownJobs(), 0);
        int visibleDividers = 0;
        for (QFrame* d : panel.findChildren<QFrame*>("divider"))
            visibleDividers += d->isVisible();
        QCOMPARE(visibleDividers, 1); // none before the ready text
        QVERIFY(!panel.findChild<QPushButton*>("button_download")->isEnabled());
        QCOMPARE(panel.findChild<QPushButton*>("menu_quit")->text(),
                 Strings::text("menu_quit", {{"app", "Vamber"}}));
    }

    void panelListsAtMostFourJobsCurrentFirst() {
        ViewFixture f;
        f.boot();
        TrayPanel panel(*f.model);
        panel.show();
        const auto jobs = makeRunning(f, 5);
        QTRY_COMPARE(panel.shownJobs(), 4);
        QVERIFY(!panel.findChild<QLabel*>("status_ready")->isVisible());
        QList<QWidget*> boxes;
        for (QWidget* box : panel.findChildren<QWidget*>("trayJob")) {
            if (box->isVisible())
                boxes << box;
        }
        QCOMPARE(boxes.size(), 4);
        QCOMPARE(boxes[0]->findChild<QLabel*>()->text(), QString("https://current.example/v"));
        QCOMPARE(boxes[1]->findChild<QLabel*>()->text(), QString("Batch & video 0"));
        QCOMPARE(boxes[1]->findChild<QProgressBar*>()->value(), 100);
        // A job's progress shows as it comes.
        jobs[0]->setFraction(0.75);
        QCOMPARE(boxes[1]->findChild<QProgressBar*>()->value(), 750);
        // Jobs that end leave the list.
        for (const auto& job : jobs)
            putInState(*job, {Job::State::Done, {}});
        QTRY_COMPARE(panel.shownJobs(), 1);
    }

    void panelSendTrimsAndClears_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("sent"); // "" for nothing
        QTest::addColumn<bool>("byReturn");
        QTest::newRow("address with blanks, button")
            << "  https://x.example/a \t" << true << "https://x.example/a" << false;
        QTest::newRow("address, Return") << "https://x.example/b" << true << "https://x.example/b" << true;
        QTest::newRow("spaces only, button") << "   \t " << false << "" << false;
        QTest::newRow("spaces only, Return") << "   \t " << false << "" << true;
    }
    void panelSendTrimsAndClears() {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        QFETCH(QString, sent);
        QFETCH(bool, byReturn);
        ViewFixture f;
        f.startEngine();
        f.scriptSettings({{"askWhereToSave", true}});
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        f.fakes.fileDialogs.saveAnswer = f.path("out/chosen.mp4");
        TrayPanel panel(*f.model);
        panel.show();
        auto* field = panel.findChild<QLineEdit*>("placeholder_url");
        auto* button = panel.findChild<QPushButton*>("button_download");
        QCOMPARE(field->placeholderText(), Strings::text("placeholder_url"));
        field->setText(typed);
        QCOMPARE(button->isEnabled(), enabled);
        if (byReturn)
            QTest::keyClick(field, Qt::Key_Return);
        else
            QTest::mouseClick(button, Qt::LeftButton);
        if (sent.isEmpty()) {
            QCOMPARE(field->text(), typed);
            QVERIFY(!f.model->queuePart().currentDownload());
            QVERIFY(f.fakes.fileDialogs.calls.isEmpty());
            return;
        }
        QCOMPARE(field->text(), QString());
        QVERIFY(!button->isEnabled());
        QVERIFY(f.waitForRequests("download.start", 1));
        QCOMPARE(f.requestsOf("download.start")[0].params["url"].toString(), sent);
        QCOMPARE(f.fakes.fileDialogs.calls.size(), 1); // handed over as the user's own download
    }

    void panelPasteSendsAtOnce() {
        ViewFixture f;
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        TrayPanel panel(*f.model);
        panel.show();
        auto* field = panel.findChild<QLineEdit*>("placeholder_url");
        f.fakes.clipboard.clear();
        field->setText("kept");
        panel.findChild<QPushButton*>("menu_paste")->click();
        QCOMPARE(field->text(), QString("kept")); // no text on the clipboard: nothing
        QVERIFY(!f.model->queuePart().currentDownload());

        f.fakes.clipboard.copy(" https://paste.example/v\n");
        panel.findChild<QPushButton*>("menu_paste")->click();
        QCOMPARE(field->text(), QString());
        QVERIFY(f.waitForRequests("download.start", 1));
        QCOMPARE(f.requestsOf("download.start")[0].params["url"].toString(),
                 QString("https://paste.example/v"));
    }

    void panelOpenAndQuit() {
        ViewFixture f;
        TrayPanel panel(*f.model);
        panel.show();
        QSignalSpy open(&panel, &TrayPanel::openWindowRequested);
        QSignalSpy quit(&panel, &TrayPanel::quitRequested);
        panel.findChild<QPushButton*>("button_open_group")->click();
        QCOMPARE(open.size(), 1);
        QVERIFY(!panel.isVisible());
        panel.show();
        panel.findChild<QPushButton*>("menu_quit")->click();
        QCOMPARE(quit.size(), 1);
        QCOMPARE(open.size(), 1);
    }

    // The panel stays on the screen wherever it is asked for.
    void panelPopsUpWithinTheScreen() {
        ViewFixture f;
        TrayPanel panel(*f.model);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (const QPoint anchor : {screen.topLeft(), screen.bottomRight(), screen.center()}) {
            panel.popUpAt(anchor);
            QVERIFY(panel.isVisible());
            QVERIFY2(screen.contains(panel.frameGeometry()),
                     qPrintable(QString("%1,%2").arg(anchor.x()).arg(anchor.y())));
            panel.hide();
        }
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
