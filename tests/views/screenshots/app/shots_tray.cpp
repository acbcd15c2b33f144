// The tray's panel (empty, with running jobs, with text typed) and the tray icon at the sizes trays use,
// idle and at 45 %, on a light and a dark panel.
#include "Composition.h"
#include "DownloadQueue.h"
#include "JobStates.h"
#include "Shots.h"

#include "FunnelIcon.h"
#include "Tray.h"
#include "TrayPanel.h"

#include "Job.h"

#include <QLineEdit>
#include <QPainter>

namespace {

void addRunningJobs(ShotContext& c, int batch) {
    c.fixture.control("test.hold", {{"method", "download.start"}});
    c.fixture.enqueue(QStringLiteral("https://media.example/watch/mountain-timelapse"));
    std::vector<std::shared_ptr<Job>> jobs;
    const QStringList titles{
        QStringLiteral("Lecture 4: Fourier transforms & signals"),
        QStringLiteral("A very long title of a concert recording that cannot fit the panel"),
        QStringLiteral("Podcast — episode 112"), QStringLiteral("Cooking at home"),
        QStringLiteral("Sixth job")};
    for (int i = 0; i < batch; ++i) {
        auto job =
            std::make_shared<Job>(QStringLiteral("https://media.example/%1").arg(i),
                                  c.model().compositionPart().format(), titles[i % titles.size()], false);
        putInState(*job, {Job::State::Downloading, {}});
        job->setFraction(0.15 + 0.2 * i);
        jobs.push_back(job);
    }
    c.model().queuePart().insertJobs(0, jobs);
}

QWidget* panel(ShotContext& c) {
    auto* p = new TrayPanel(c.model());
    p->setWindowFlags(Qt::Widget);             // drawn as a plain widget for the picture
    p->setFixedHeight(p->sizeHint().height()); // as tall as its content, whatever the shot's size
    return p;
}

// The icons the tray gets, at 16, 22, 32 and 48 pixels, idle and at 45 %, each at its size and magnified
// three times, on a light and on a dark panel (whatever the window's appearance).
class IconSheet : public QWidget {
public:
    IconSheet() { setAutoFillBackground(true); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        int y = 0;
        for (const QColor panel : {QColor(0xee, 0xee, 0xee), QColor(0x23, 0x26, 0x29)}) {
            p.fillRect(QRect(0, y, width(), 300), panel);
            int x = 12;
            for (const std::optional<double> progress :
                 {std::optional<double>(), std::optional<double>(0.45)}) {
                const QIcon icon = Tray::drawIcon(progress, panel);
                for (const int size : {16, 22, 32, 48}) {
                    const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
                    p.drawImage(QPoint(x, y + 12), image);
                    p.drawImage(QRect(x, y + 72, size * 3, size * 3), image);
                    x += size * 3 + 12;
                }
                x += 20;
            }
            y += 300;
        }
    }
};

const ShotRegistration empty("tray-panel-empty", [](ShotContext& c) -> QWidget* { return panel(c); },
                             {.size = {320, 190}});
const ShotRegistration running("tray-panel-jobs",
                               [](ShotContext& c) -> QWidget* {
                                   addRunningJobs(c, 5);
                                   return panel(c);
                               },
                               {.size = {320, 380}});
const ShotRegistration typed("tray-panel-typed",
                             [](ShotContext& c) -> QWidget* {
                                 QWidget* p = panel(c);
                                 p->findChild<QLineEdit*>(QStringLiteral("placeholder_url"))
                                     ->setText(QStringLiteral("https://media.example/watch?v=42"));
                                 return p;
                             },
                             {.size = {320, 190}});
const ShotRegistration icons("tray-icons", [](ShotContext&) -> QWidget* { return new IconSheet; },
                             {.size = {960, 600}, .boot = false});

} // namespace
