// The tray's panel (empty, with running jobs, with text typed) and the tray icon at the sizes trays use,
// idle and at 45 %.
#include "Shots.h"

#include "FunnelIcon.h"
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
        auto job = std::make_shared<Job>(QStringLiteral("https://media.example/%1").arg(i),
                                         c.model().format(), titles[i % titles.size()], false);
        job->setState({Job::State::Downloading, {}});
        job->setFraction(0.15 + 0.2 * i);
        jobs.push_back(job);
    }
    c.model().insertJobs(0, jobs);
}

QWidget* panel(ShotContext& c) {
    auto* p = new TrayPanel(c.model());
    p->setWindowFlags(Qt::Widget); // drawn as a plain widget for the picture
    p->setFixedHeight(p->sizeHint().height()); // as tall as its content, whatever the shot's size
    return p;
}

// The icons at 16, 22, 32 and 48 pixels, idle and at 45 %, each at its size and magnified four times.
class IconSheet : public QWidget {
public:
    IconSheet() { setAutoFillBackground(true); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QColor ink = palette().color(QPalette::WindowText);
        int y = 12;
        for (const std::optional<double> progress : {std::optional<double>(), std::optional<double>(0.45)}) {
            int x = 12;
            for (const int size : {16, 22, 32, 48}) {
                const QImage icon = FunnelIcon::image(size, 1.0, ink, progress);
                p.drawImage(QPoint(x, y), icon);
                p.drawImage(QRect(x, y + 56, size * 4, size * 4), icon);
                x += size * 4 + 16;
            }
            y += 56 + 48 * 4 + 16;
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
                             {.size = {560, 560}, .boot = false});

} // namespace
