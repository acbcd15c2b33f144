#include "Tray.h"

#include "DownloadQueue.h"
#include "FunnelIcon.h"
#include "TrayPanel.h"

#include "kit/Icons.h"
#include "kit/TextsFollow.h"

#include "AppModel.h"
#include "Fraction.h"
#include "Job.h"
#include "Strings.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include <cmath>

namespace {

QString escapedForMenu(QString text) {
    // An "&" in a title is shown, never taken for a mnemonic.
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

Tray::Tray(AppModel& model, QColor panel, QObject* parent)
    : QObject(parent), m_model(model), m_panel(std::make_unique<TrayPanel>(model)),
      m_menu(std::make_unique<QMenu>()), m_tray(new QSystemTrayIcon(this)), m_panelColour(panel) {
    static_assert(std::tuple_size_v<decltype(m_jobs)> == TrayPanel::maxJobs);
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    buildMenu();
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        if (m_panel->isVisible()) {
            m_panel->hide();
            return;
        }
        const QRect where = m_tray->geometry();
        m_panel->popUpAt(where.isValid() ? QPoint(where.center().x(), where.bottom()) : QCursor::pos());
    });
    connect(m_panel.get(), &TrayPanel::openWindowRequested, this, &Tray::openWindowRequested);
    connect(m_panel.get(), &TrayPanel::quitRequested, this, &Tray::quitRequested);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &Tray::updateMenu);
    connect(&m_model.queuePart(), &DownloadQueue::activityChanged, this, &Tray::refresh);
    followTexts(m_model, this, [this] {
        refresh();
        updateMenu();
    });
}

Tray::~Tray() = default;

bool Tray::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void Tray::show() {
    m_tray->show();
}

QColor Tray::inkOn(const QColor& panel) {
    // Relative luminance of the panel (sRGB); the threshold is where black and white contrast equally.
    const auto linear = [](qreal c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = panel.toRgb();
    const qreal luminance =
        0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
    return luminance > 0.179 ? QColor(Qt::black) : QColor(Qt::white);
}

QColor Tray::panelGuess() {
    return QApplication::palette().color(QPalette::Active, QPalette::Window);
}

QIcon Tray::drawIcon(std::optional<double> progress, const QColor& panel) {
    const QColor ink = inkOn(panel);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        for (const qreal ratio : {1.0, 2.0})
            icon.addPixmap(QPixmap::fromImage(FunnelIcon::image(size, ratio, ink, progress)));
    }
    icon.setIsMask(true);
    return icon;
}

QString Tray::toolTipFor(std::optional<double> progress) {
    const QString name = QStringLiteral("Vamber");
    return progress ? name + QStringLiteral(" — ") + FunnelIcon::label(progress) : name;
}

void Tray::refresh() {
    const std::optional<double> progress = m_model.queuePart().overallProgress();
    // Drawn again only when the whole percentage (or its absence) changes.
    const std::optional<int> percent = progress ? std::optional<int>(percentOf(*progress)) : std::nullopt;
    if (!m_drawn || percent != m_shownPercent) {
        m_drawn = true;
        m_shownPercent = percent;
        m_icon = drawIcon(progress ? std::optional<double>(*percent / 100.0) : std::nullopt, m_panelColour);
        m_tray->setIcon(m_icon);
    }
    m_toolTip = toolTipFor(progress);
    m_tray->setToolTip(m_toolTip);
    if (m_menu->isVisible())
        updateMenu();
}

void Tray::buildMenu() {
    m_open = m_menu->addAction(QString());
    m_open->setObjectName(QStringLiteral("button_open_group"));
    connect(m_open, &QAction::triggered, this, &Tray::openWindowRequested);
    m_paste = m_menu->addAction(Icons::icon(QStringLiteral("doc.on.clipboard")), QString());
    m_paste->setObjectName(QStringLiteral("menu_paste"));
    connect(m_paste, &QAction::triggered, m_panel.get(), &TrayPanel::pasteAndSend);
    m_jobsSeparator = m_menu->addSeparator();
    for (QAction*& entry : m_jobs) {
        entry = m_menu->addAction(QString());
        entry->setObjectName(QStringLiteral("trayJob"));
        entry->setEnabled(false);
    }
    m_menu->addSeparator();
    m_quit = m_menu->addAction(QString());
    m_quit->setObjectName(QStringLiteral("menu_quit"));
    connect(m_quit, &QAction::triggered, this, &Tray::quitRequested);
    updateMenu();
}

void Tray::updateMenu() {
    const auto setText = [](QAction* action, const QString& text) {
        if (action->text() != text)
            action->setText(text);
    };
    setText(m_open, Strings::text(QStringLiteral("button_open_group")));
    setText(m_paste, Strings::text(QStringLiteral("menu_paste")));
    setText(m_quit,
            Strings::text(QStringLiteral("menu_quit"), {{QStringLiteral("app"), QStringLiteral("Vamber")}}));
    const std::vector<std::shared_ptr<Job>> jobs = m_model.queuePart().allActiveJobs();
    m_jobsSeparator->setVisible(!jobs.empty());
    for (size_t i = 0; i < m_jobs.size(); ++i) {
        QAction* entry = m_jobs[i];
        entry->setVisible(i < jobs.size());
        if (i < jobs.size())
            setText(entry, QStringLiteral("%1 — %2%")
                               .arg(escapedForMenu(jobs[i]->title()))
                               .arg(percentOf(jobs[i]->fraction())));
    }
}
